// The result log page as the user and the log files see it: blocks at the top, the block limit,
// the header waiting for the log file, the log menu, and results handed over by a worker thread.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFontMetrics>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "files/demo_logger.h"
#include "files/file_operate.h"
#include "page_results.h"
#include "present/result_text.h"
#include "test_folder.h"
#include "ui/pages/image_dlg.h"
#include "ui/pages/result_log_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using qzm_test::AllFunctions;
using qzm_test::Functions;
using qzm_test::OnlyFunctions;

namespace {

const std::string kSeparator(95, '-');

// Waits until the page has taken count blocks from its queue.
bool WaitForBlocks(const CResultLogDlg& page, int count) {
    return QTest::qWaitFor([&] { return page.BlockCount() == count; }, 10000);
}

std::string Block(const Functions& functions, const CExecResult& result, int responseTimeMs,
                  std::uint8_t returnCode = 0, const std::vector<UserName>* users = nullptr) {
    ResultBlockInput input;
    std::copy(functions.begin(), functions.end(), input.functions);
    input.returnCode = returnCode;
    input.responseTimeMs = responseTimeMs;
    input.result = &result;
    input.users = users;
    return FormatResultBlock(input);
}

// The one daily result log in ./Log.
std::filesystem::path DailyLog() {
    std::filesystem::path found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("Log", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() == 12 && name.ends_with(".log")) {
            found = entry.path();
        }
    }
    return found;
}

// Text as the log file holds it: CR LF line ends.
std::string FileLines(const std::string& text) {
    std::string lines;
    for (char c : text) {
        if (c == '\n') {
            lines += '\r';
        }
        lines += c;
    }
    return lines;
}

}  // namespace

class ResultLogPageTest : public QObject {
    Q_OBJECT

private slots:
    void allFunctionsOffBlock() {
        ScopedWorkingFolder folder;
        CResultLogDlg page{CSettingsStore()};
        const CExecResult empty;
        page.AddResult(OnlyFunctions({}), &empty, 0, 0, 12);
        page.AddResult(OnlyFunctions({}), nullptr, 0, 0, 13);  // adds nothing
        QVERIFY(WaitForBlocks(page, 1));
        QCoreApplication::processEvents();  // the null result would come after
        QCOMPARE(page.BlockCount(), 1);
        const QString expected = QString::fromStdString(
            kSeparator +
            "\nExecute Body:Off Hand:Off Face:Off Dir.:Off Age:Off Gender:Off Gaze:Off Blink:Off Expr.:Off "
            "Recog.:Off\nResult  Response time:12ms  Return code:00\n\n");
        QCOMPARE(page.LogText(), expected);
        QCOMPARE(page.LogView()->accessibleName(), QStringLiteral("Result log"));
        QVERIFY(page.LogView()->font().bold());
        // Fixed pitch by what it draws: fonts do not all carry the flag.
        const QFontMetrics metrics(page.LogView()->font());
        QCOMPARE(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
    }

    void blockLimit_data() {
        QTest::addColumn<QString>("limitLine");  // the LimitLogBlock line of Application.ini
        QTest::addColumn<int>("results");
        QTest::addColumn<int>("kept");
        QTest::newRow("150 by default: the 151st pushes the oldest out") << "" << 151 << 150;
        QTest::newRow("150 fit") << "" << 150 << 150;
        QTest::newRow("limit 3") << "LimitLogBlock=3" << 7 << 3;
        QTest::newRow("limit 0 keeps all") << "LimitLogBlock=0" << 5 << 5;
        QTest::newRow("negative limit keeps all") << "LimitLogBlock=-4" << 5 << 5;
    }
    void blockLimit() {
        QFETCH(QString, limitLine);
        QFETCH(int, results);
        QFETCH(int, kept);
        ScopedWorkingFolder folder;
        if (!limitLine.isEmpty()) {
            std::ofstream("Application.ini") << "[Application]\r\n" << limitLine.toStdString() << "\r\n";
        }
        CResultLogDlg page{CSettingsStore()};
        CExecResult result;
        result.faces.push_back(qzm_test::FullFace(320, 240, 100));
        for (int i = 0; i < results; ++i) {
            page.AddResult(AllFunctions(), &result, 0, 0, i);
        }
        QVERIFY(WaitForBlocks(page, kept));
        // The newest at the top, down to the oldest kept; nothing of the blocks pushed out.
        std::string expected;
        for (int i = results - 1; i >= results - kept; --i) {
            expected += Block(AllFunctions(), result, i);
        }
        QCOMPARE(page.LogText(), QString::fromStdString(expected));
        QCOMPARE(page.LogView()->verticalScrollBar()->value(), 0);
    }

    void headerNeverPushesOutABlock() {
        ScopedWorkingFolder folder;
        std::ofstream("Application.ini") << "[Application]\r\nLimitLogBlock=2\r\n";
        CResultLogDlg page{CSettingsStore()};
        const CExecResult empty;
        const Functions off = OnlyFunctions({});
        page.AddResult(off, &empty, 0, 0, 1);
        page.AddResult(off, &empty, 0, 0, 2);
        QVERIFY(WaitForBlocks(page, 2));
        page.AddHeader("0.1.0.0", "1.2.3.4");
        QCOMPARE(page.BlockCount(), 3);
        // The next result takes out the oldest block only, and the header stays above it.
        page.AddResult(off, &empty, 0, 0, 3);
        QVERIFY(QTest::qWaitFor([&] { return page.LogText().contains("time:3ms"); }));
        QCOMPARE(page.BlockCount(), 3);
        QCOMPARE(page.LogText(),
                 QString::fromStdString(Block(off, empty, 3) + FormatHeaderBlock("0.1.0.0", "1.2.3.4") +
                                        Block(off, empty, 2)));
    }

    // A connection's header waits for the log file: switched on later, the file starts with it.
    // Every result block goes to the debug log too, and to the error log when the module refused.
    void logFilesFlow() {
        ScopedWorkingFolder folder;
        std::ofstream("Debug.ini") << "[Log]\r\n";
        CDemoLogger logger;
        CResultLogDlg page{CSettingsStore()};
        page.SetDebugLog(&logger);
        const std::string header = FormatHeaderBlock("0.1.0.0", "1.2.3.4");

        page.AddHeader("0.1.0.0", "1.2.3.4");
        QCOMPARE(page.PendingHeader(), header);
        QVERIFY(DailyLog().empty());

        page.SetLogOutput(1);
        QVERIFY(page.PendingHeader().empty());
        const std::filesystem::path daily = DailyLog();
        QVERIFY(!daily.empty());
        const std::string withHeader = "\xEF\xBB\xBF" + FileLines(header + "\n");
        QCOMPARE(ReadFile(daily), withHeader);
        page.SetLogOutput(1);  // already on: nothing written again
        QCOMPARE(ReadFile(daily), withHeader);

        CExecResult result;
        result.faces.push_back(qzm_test::FullFace(320, 240, 100));
        std::vector<UserName> users{{1, "Ada"}};
        page.SetUserList(users);
        page.AddResult(AllFunctions(), &result, 0, 0x02, 40);
        QVERIFY(WaitForBlocks(page, 2));
        const std::string block = Block(AllFunctions(), result, 40, 0x02, &users);
        const std::string written = ReadFile(daily);
        QVERIFY(written.starts_with(withHeader));
        // After the header: a time stamp line, then the block.
        const std::string after = written.substr(withHeader.size());
        const std::size_t stampEnd = after.find("\r\n");
        QCOMPARE(stampEnd, std::string("2024/01/01 00:00:00").size());
        QCOMPARE(after.substr(stampEnd + 2), FileLines(block + "\n"));

        const std::string errors = ReadFile(std::filesystem::path("Log") / "QZM_Error.log");
        QVERIFY(errors.find("Return code:02") != std::string::npos);
        const std::string debug = ReadFile(logger.GetDebugLogFileName());
        QVERIFY(debug.find("Firmware\t1.2.3.4") != std::string::npos);
        QVERIFY(debug.find("Return code:02") != std::string::npos);

        // Off, a new connection, the log cleared: the header still waits for the file.
        page.SetLogOutput(0);
        page.AddHeader("0.1.0.0", "2.0.0.0");
        page.ClearLog();
        QCOMPARE(page.BlockCount(), 0);
        QCOMPARE(page.PendingHeader(), FormatHeaderBlock("0.1.0.0", "2.0.0.0"));
        page.SetLogOutput(1);
        QVERIFY(ReadFile(daily).ends_with(FileLines(FormatHeaderBlock("0.1.0.0", "2.0.0.0") + "\n")));
        QVERIFY(page.PendingHeader().empty());
    }

    // A right click opens the menu at its screen point, greyed while the owner says the module is
    // busy; the menu copies and clears.
    void logMenu() {
        ScopedWorkingFolder folder;
        CResultLogDlg page{CSettingsStore()};
        page.resize(page.sizeHint());
        page.move(200, 150);
        bool busy = true;
        page.SetDeviceBusyCheck([&busy] { return busy; });
        QPoint menuAt;
        QString enabled;
        QTimer::singleShot(0, &page, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            menuAt = menu->pos();
            for (const QAction* action : menu->actions())
                enabled += action->isEnabled() ? u'1' : u'0';
            menu->close();
        });
        QWidget& area = *page.LogView()->viewport();
        qzm_test::SendMouse(area, QEvent::MouseButtonPress, Qt::RightButton, QPoint(30, 20));
        qzm_test::SendMouse(area, QEvent::MouseButtonRelease, Qt::RightButton, QPoint(32, 21));
        QCOMPARE(menuAt, area.mapToGlobal(QPoint(32, 21)));
        QCOMPARE(enabled, QStringLiteral("000"));

        const CExecResult empty;
        page.AddResult(OnlyFunctions({}), &empty, 0, 0, 5);
        page.AddResult(OnlyFunctions({}), &empty, -20, 0, 6);
        QVERIFY(WaitForBlocks(page, 2));
        const QString all = page.LogText();
        QVERIFY(all.contains("Device is not responding."));

        // Which of copy all, copy selected and clear are offered.
        auto offered = [&](bool busy) {
            QString items;
            const std::unique_ptr<QMenu> built = page.BuildLogMenu(busy);
            for (const QAction* action : built->actions()) {
                items += action->isEnabled() ? u'1' : u'0';
            }
            return items;
        };
        QCOMPARE(offered(false), QStringLiteral("101"));
        QTextCursor selection(page.LogView()->document());
        selection.setPosition(1 + 96);
        selection.setPosition(1 + 96 + 7, QTextCursor::KeepAnchor);
        page.LogView()->setTextCursor(selection);
        QCOMPARE(offered(false), QStringLiteral("111"));
        QCOMPARE(offered(true), QStringLiteral("000"));

        const std::unique_ptr<QMenu> menu = page.BuildLogMenu(false);
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QStringLiteral("Copy all log(&A)"));
        QCOMPARE(actions[1]->text(), QStringLiteral("Copy selected log(&S)"));
        QCOMPARE(actions[2]->text(), QStringLiteral("Clear log(&C)"));
        actions[1]->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Execute"));
        actions[0]->trigger();
        QCOMPARE(QApplication::clipboard()->text(), all);
        QVERIFY(!page.LogView()->textCursor().hasSelection());
        // A selection reaching above the first block copies only the log's own text.
        QTextCursor fromTop(page.LogView()->document());
        fromTop.setPosition(1 + 95, QTextCursor::KeepAnchor);
        page.LogView()->setTextCursor(fromTop);
        actions[1]->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QString(95, u'-'));

        actions[2]->trigger();
        QCOMPARE(page.LogText(), QString());
        QCOMPARE(page.BlockCount(), 0);
        page.AddResult(OnlyFunctions({}), &empty, 0, 0, 7);
        QVERIFY(WaitForBlocks(page, 1));
        QCOMPARE(page.LogText(), QString::fromStdString(Block(OnlyFunctions({}), empty, 7)));
    }

    // The execution worker hands over results while the window thread formats the ones before:
    // every block shows exactly what was handed over, even though the worker reuses its result.
    void resultsFromAWorkerThread() {
        ScopedWorkingFolder folder;
        CResultLogDlg page{CSettingsStore()};
        std::vector<UserName> users{{1, "Ada"}, {2, "Grace"}};
        page.SetUserList(users);
        constexpr int kRuns = 120;
        std::atomic<int> handedOver{0};
        auto fill = [](CExecResult& result, int run) {
            result.faces.assign(run % 4, qzm_test::FullFace(100 + run, 200, 80));
            result.bodies.assign(run % 3, qzm_test::Detection(300, 300 + run, 120));
        };
        std::thread worker([&] {
            CExecResult result;
            for (int i = 0; i < kRuns; ++i) {
                fill(result, i);
                page.AddResult(AllFunctions(), &result, 0, static_cast<std::uint8_t>(i % 2), i);
                handedOver.fetch_add(1);
            }
        });
        while (handedOver.load() < kRuns) {
            QCoreApplication::processEvents();
        }
        worker.join();
        QVERIFY(WaitForBlocks(page, kRuns));

        std::string expected;
        for (int i = kRuns - 1; i >= 0; --i) {
            CExecResult result;
            fill(result, i);
            expected += Block(AllFunctions(), result, i, static_cast<std::uint8_t>(i % 2), &users);
        }
        QCOMPARE(page.LogText(), QString::fromStdString(expected));
    }

    // Enter and Escape inside a page never close the dialog around it.
    void closeKeysStayInThePage() {
        ScopedWorkingFolder folder;
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* image = new CImageDlg(&dialog);
        auto* log = new CResultLogDlg(CSettingsStore(), &dialog);
        layout->addWidget(image);
        layout->addWidget(log);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (QWidget* target : {static_cast<QWidget*>(image), static_cast<QWidget*>(log->LogView())}) {
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
                QTest::keyClick(target, key);
                QVERIFY(dialog.isVisible());
            }
        }
    }
};

QZM_UI_TEST_CLASS(ResultLogPageTest)
#include "result_log_page_test.moc"
