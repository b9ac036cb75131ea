// The execution session without a window: single and continuous execution, the live image, a pause
// for another operation, refusals and failures, against the emulated module.
#include <QTest>

#include "demo_harness.h"
#include "device/qzm_frame.h"
#include "page_results.h"
#include "ui/app/execution_session.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::DemoHarness;

namespace {
constexpr int kWaitMs = 20000;
}  // namespace

class ExecutionSessionIntegration : public QObject {
    Q_OBJECT

private slots:
    void executionsLoopsAndLiveImage() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        int waits = 0;
        CExecutionSession session(*demo.controller, [&waits](const std::function<void()>& work) {
            ++waits;
            work();
        });
        std::vector<ExecutionReport> reports;
        std::vector<double> rates;
        std::vector<int> refusals;
        std::vector<DeviceOutcome> failures;
        std::vector<int> liveWidths;
        connect(&session, &CExecutionSession::Executed, this,
                [&](const ExecutionReport& report) { reports.push_back(report); });
        connect(&session, &CExecutionSession::RateChanged, this, [&](double rate) { rates.push_back(rate); });
        connect(&session, &CExecutionSession::RefusedWhileExecuting, this,
                [&](int code) { refusals.push_back(code); });
        connect(&session, &CExecutionSession::ExecutionFailed, this,
                [&](const DeviceOutcome& outcome) { failures.push_back(outcome); });
        connect(&session, &CExecutionSession::LiveImage, this,
                [&](const CImageData& frame) { liveWidths.push_back(frame.Width()); });

        // One execution behind the wait, with what the panel published.
        session.SetChoice(qzm_test::AllFunctions(), kImage160x120);
        session.ExecuteOnce();
        QCOMPARE(waits, 1);
        QCOMPARE(reports.size(), std::size_t{1});
        QCOMPARE(reports[0].image.Width(), 160);
        QCOMPARE(reports[0].result.faces.size(), std::size_t{1});
        QCOMPARE(session.Mode(), int(CExecutionSession::kModeIdle));

        // Continuous execution follows a new choice at once and shows its rate; stopped, it is quiet.
        session.StartContinuous();
        QVERIFY(session.Busy());
        session.SetChoice(qzm_test::OnlyFunctions({kFunctionFace}), kImageNone);
        QTRY_VERIFY_WITH_TIMEOUT(reports.size() > 3 && reports.back().image.Width() == 0, kWaitMs);
        QCOMPARE(reports.back().functions, qzm_test::OnlyFunctions({kFunctionFace}));
        QTRY_VERIFY_WITH_TIMEOUT(!rates.empty() && rates.back() > 0, kWaitMs);
        {
            // Another operation meanwhile: the loop stands still, then goes on.
            CExecutionSession::Pause pause(session);
            QVERIFY(!session.Busy());
            const std::size_t shown = reports.size();
            QTest::qWait(100);
            QCOMPARE(reports.size(), shown);
        }
        QVERIFY(session.Busy());
        session.StopContinuous();
        QVERIFY(!session.Busy());
        QCOMPARE(rates.back(), -1.0);
        const std::size_t stopped = reports.size();
        QTest::qWait(100);
        QCOMPARE(reports.size(), stopped);

        // The album page: continuous execution gives way to the live image and comes back after.
        session.StartContinuous();
        session.StartLiveImage();
        QCOMPARE(session.Mode(), int(CExecutionSession::kModeLiveImage));
        QTRY_VERIFY_WITH_TIMEOUT(liveWidths.size() >= 2, kWaitMs);
        QCOMPARE(liveWidths.back(), 160);
        const std::size_t beforeMain = reports.size();
        session.EndLiveImage();
        QCOMPARE(session.Mode(), int(CExecutionSession::kModeContinuous));
        QTRY_VERIFY_WITH_TIMEOUT(reports.size() > beforeMain, kWaitMs);
        session.StopContinuous();
        QVERIFY(refusals.empty() && failures.empty());

        // A refusal is shown as a run and reported once the execution has ended.
        ModuleFaults refuse;
        refuse.onlyCommand = kCmdExecuteEx;
        refuse.responseCode = 0x02;
        demo.Host().SetFaults(refuse);
        session.ExecuteOnce();
        QCOMPARE(reports.back().response, std::uint8_t(0x02));
        QCOMPARE(refusals, std::vector<int>{0x02});

        // A module gone silent ends continuous execution with one failure.
        ModuleFaults silent;
        silent.silent = true;
        demo.Host().SetFaults(silent);
        session.StartContinuous();
        QTRY_COMPARE_WITH_TIMEOUT(failures.size(), std::size_t{1}, kWaitMs);
        QCOMPARE(failures[0].result, int(kProtocolTimeout));
        QTRY_VERIFY_WITH_TIMEOUT(!session.Busy(), kWaitMs);
        QCOMPARE(session.Mode(), int(CExecutionSession::kModeIdle));
    }
};

QZM_UI_TEST_CLASS(ExecutionSessionIntegration)
#include "execution_session_test.moc"
