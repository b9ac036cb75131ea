// The statistics page against the emulated module: fed live by the runs the window shows, tagged
// with the person in view, recorded and read back, exported, reset.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "demo_harness.h"
#include "dialog_script.h"
#include "record/run_statistics.h"
#include "test_folder.h"
#include "ui/dialogs/org_file_dlg.h"
#include "ui/pages/statistics_page.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::ChooseFile;
using qzm_test::DemoHarness;
using qzm_test::DialogScript;

namespace {

constexpr int kWaitMs = 15000;
constexpr int kRuns = 40;

// A page's shortcut in the main window, activated first (the test platform leaves no window active
// once a modal dialog has gone).
void PressCtrl(QWidget& window, Qt::Key key) {
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, key, Qt::ControlModifier);
}

QString Figure(const std::vector<StatFigure>& figures, const QString& name) {
    for (const StatFigure& figure : figures) {
        if (figure.name == name)
            return figure.value;
    }
    return QStringLiteral("(none)");
}

}  // namespace

class StatisticsPageIntegration : public QObject {
    Q_OBJECT

private slots:
    // Continuous execution with a stranger tagged in view, recorded: the page shows what a
    // CRunStatistics fed with the same reports gives, the recording read back gives the same, the
    // exports hold what is shown, and Reset goes back to live figures and then starts them again.
    void liveFiguresRecordingAndReset() {
        DemoHarness demo;
        QVERIFY(demo.Connect());
        demo.Host().Emulator().SetScene(SceneKind::kTimeline);
        auto dialog = demo.OpenMainWindow();
        QVERIFY(dialog);
        CStatisticsPage& page = dialog->StatisticsPage();
        CExecuteDlg& panel = dialog->MainPage().ExecutePanel();
        const TestFolder folder;
        const auto path = [&](const char* name) {
            return QString::fromStdString((folder.path() / name).string());
        };

        // The same reports, counted on their own.
        CRunStatistics expected;
        auto* session = dialog->findChild<CExecutionSession*>();
        QVERIFY(session);
        connect(session, &CExecutionSession::Executed, this, [&](const ExecutionReport& report) {
            expected.Add(report, demo.controller->UserNames(), session->PersonInViewNow());
        });

        // Untagged at first: the page says what tagging would add.
        PressCtrl(*dialog, Qt::Key_3);
        QVERIFY(page.isVisible() && !dialog->MainPage().isVisible());
        QCOMPARE(page.PersonCombo().currentText(), QStringLiteral("Not tagged"));
        QVERIFY(page.HintLine().isVisible());
        QCOMPARE(page.PersonCombo().itemText(1), QStringLiteral("Nobody"));
        QCOMPARE(page.PersonCombo().itemText(2), QStringLiteral("Stranger"));
        page.PersonCombo().setCurrentIndex(2);
        QCOMPARE(session->PersonInViewNow(), PersonInView::Stranger());

        // Recorded and run continuously with every function, the page in sight for most of it.
        PressCtrl(*dialog, Qt::Key_1);
        panel.FunctionSelect().SetFunctions({true, true, true, true, true, true, true, true, true, true});
        {
            DialogScript<COrgFileDlg> files{ChooseFile(path("tagged.qzmrec"))};
            QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
            QVERIFY(files.Done());
        }
        QSignalSpy shown(dialog.get(), &CQZMDemoDlg::ExecutionShown);
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        PressCtrl(*dialog, Qt::Key_3);
        QVERIFY(QTest::qWaitFor([&] { return shown.count() >= kRuns; }, 60000));
        // Refreshed while the runs come in, at most a few times a second.
        QVERIFY(QTest::qWaitFor([&] { return Figure(page.Figures(), "Runs").toInt() >= 2; }, kWaitMs));
        PressCtrl(*dialog, Qt::Key_1);
        QTest::mouseClick(panel.ContinuousButton(), Qt::LeftButton);
        QTest::mouseClick(panel.RecordButton(), Qt::LeftButton);
        const int runs = static_cast<int>(shown.count());

        PressCtrl(*dialog, Qt::Key_3);
        const int threshold = demo.controller->Read().detection.exec.threshold[ExecSettings::kRecognition];
        const std::vector<StatFigure> live = StatisticsFigures(expected, threshold);
        QCOMPARE(expected.Runs(), runs);
        QCOMPARE(page.Figures(), live);
        QCOMPARE(Figure(live, "Runs"), QString::number(runs));
        QVERIFY(Figure(live, "Median").endsWith(" ms"));
        QVERIFY(Figure(live, "Recognition per run") != "(none)");
        // What the user reads: the pace block and the rates of the tagged runs, no hint.
        QVERIFY(page.GroupText("Pace").contains(QStringLiteral("Runs\t%1").arg(runs)));
        QVERIFY(page.GroupText("Recognition rates").contains("Threshold for 1 % false accepts"));
        QVERIFY(!page.HintLine().isVisible());
        QVERIFY(!page.ResponseChart().Title().isEmpty());
        // As an engineer would open it up on a desktop: tall enough for every figure without scrolling.
        dialog->resize(dialog->width(), 720);
        QTest::qWait(50);
        qzm_test::SaveScreenshot(*dialog, QStringLiteral("statistics_page"));
        // In a dark palette the charts are dark cards with light text, not white boxes.
        {
            QPalette dark = page.palette();
            dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
            dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
            dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
            dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
            dark.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x50));
            dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
            page.setPalette(dark);
            const QImage charts = qzm_test::Grab(page.ChartArea());
            qzm_test::SaveScreenshot(page.ChartArea(), QStringLiteral("statistics_charts_dark"));
            const QPoint inside = page.ResponseChart().geometry().center();
            QCOMPARE(charts.pixelColor(inside.x(), inside.y() + 20).rgb(), QColor(0x1e, 0x1e, 0x1e).rgb());
            int light = 0;
            for (int x = 0; x < page.ResponseChart().width(); ++x)
                light +=
                    qGray(charts.pixel(page.ResponseChart().x() + x, page.ResponseChart().y() + 12)) > 160;
            QVERIFY2(light > 20, "the title is drawn in the palette's text colour");
            page.setPalette(QPalette());
        }

        // Exported as shown.
        {
            DialogScript<COrgFileDlg> files{ChooseFile(path("figures.csv"))};
            QTest::mouseClick(&page.ExportButton(), Qt::LeftButton);
            QVERIFY(files.Done());
        }
        QFile csv(path("figures.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray written = csv.readAll();
        QCOMPARE(written, FiguresCsv(live));
        QVERIFY(written.startsWith("group,name,value\r\nPace,Runs," + QByteArray::number(runs) + "\r\n"));
        {
            DialogScript<COrgFileDlg> files{ChooseFile(path("charts.png"))};
            QTest::mouseClick(&page.SaveChartsButton(), Qt::LeftButton);
            QVERIFY(files.Done());
        }
        const QImage charts(path("charts.png"));
        QCOMPARE(charts.size(), page.ChartArea().size() * page.devicePixelRatio());

        // The recording read back: the same runs with the same tags give the same figures.
        {
            DialogScript<COrgFileDlg> files{ChooseFile(path("tagged.qzmrec"))};
            QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
            QVERIFY(files.Done());
        }
        QVERIFY(page.SourceLine().text().startsWith(
            QStringLiteral("Recording tagged.qzmrec (%1 runs)").arg(runs)));
        QCOMPARE(page.Figures(), live);
        // Runs shown meanwhile count live, not into the file's figures.
        PressCtrl(*dialog, Qt::Key_1);
        DemoHarness::ExecuteWithEveryFunction(*dialog);
        PressCtrl(*dialog, Qt::Key_3);
        QCOMPARE(page.Figures(), live);

        // Reset: back to the live figures, then they start again.
        QTest::mouseClick(&page.ResetButton(), Qt::LeftButton);
        QCOMPARE(page.SourceLine().text(), QStringLiteral("Live: the runs shown in this window."));
        QCOMPARE(Figure(page.Figures(), "Runs"), QString::number(runs + 1));
        QTest::mouseClick(&page.ResetButton(), Qt::LeftButton);
        QCOMPARE(Figure(page.Figures(), "Runs"), QStringLiteral("0"));
        QCOMPARE(dialog->LiveStatistics().Runs(), 0);
        QVERIFY(page.HintLine().isVisible());

        // A file that is no recording is refused with a message; the figures stay.
        QFile junk(path("junk.qzmrec"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("not a recording") > 0);
        junk.close();
        demo.messenger.Script({MsgAnswer::kOk});
        {
            DialogScript<COrgFileDlg> files{ChooseFile(path("junk.qzmrec"))};
            QTest::mouseClick(&page.OpenButton(), Qt::LeftButton);
            QVERIFY(files.Done());
        }
        QCOMPARE(demo.MessageIds(), std::vector<int>{kStrStatsCannotRead});
        QCOMPARE(page.SourceLine().text(), QStringLiteral("Live: the runs shown in this window."));
    }

    // Names with commas and quotes survive the CSV export as one field each.
    void csvQuotesFields() {
        const QByteArray csv = FiguresCsv({{"Recognition", "Doe, \"Jo\": runs / mean score", "3 / 800"}});
        QCOMPARE(
            csv,
            QByteArray("group,name,value\r\nRecognition,\"Doe, \"\"Jo\"\": runs / mean score\",3 / 800\r\n"));
    }
};

QZM_UI_TEST_CLASS(StatisticsPageIntegration)
#include "statistics_page_test.moc"
