// The wait and progress dialogs in front of real work on the device worker: the work starts only
// once the dialog is up, the windows keep painting meanwhile, only the work's end closes the
// dialog, and a flow reads as straight-line code with its messages answered by a script.
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "dialog_script.h"
#include "scripted_messenger.h"
#include "ui/progress_dlg.h"
#include "ui/wait_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using namespace std::chrono_literals;

class RequestDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void waitDialogLayout_data() {
        QTest::addColumn<int>("textId");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("one line") << 5200 << QStringList{"Please wait."};
        QTest::newRow("two lines") << 5201 << QStringList{"Running...", "Please wait."};
        QTest::newRow("short word keeps the minimum width") << 1002 << QStringList{"Hand"};
    }
    void waitDialogLayout() {
        QFETCH(int, textId);
        QFETCH(QStringList, lines);
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        dlg.SetTextId(textId);
        QList<QLabel*> shown = dlg.findChildren<QLabel*>();
        QCOMPARE(shown.size(), CWaitDlg::kMaxLines);
        shown.removeIf([](const QLabel* line) { return line->isHidden(); });
        QCOMPARE(shown.size(), lines.size());

        const QFont font = shown[0]->font();
        QVERIFY(font.bold());
        QCOMPARE(font.pointSizeF(), dlg.font().pointSizeF() * 3);
        const QFontMetrics metrics(font);
        const int height = metrics.size(Qt::TextSingleLine, lines[0]).height();
        int width = 208;
        for (const QString& line : lines) {
            width = std::max(width, metrics.size(Qt::TextSingleLine, line).width());
        }
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i]->accessibleName(), lines[i]);
            QCOMPARE(shown[i]->geometry(), QRect(16, 16 + i * height, width, height));
        }
        QCOMPARE(dlg.size(), QSize(width + 32, std::max(64, 16 + int(lines.size()) * height + 16)));
    }

    // Half a second of work: a timer of the window thread goes on firing, the dialog is up from
    // before the work starts until it has ended, and neither Escape, nor a close request, nor a
    // posted close ends it early. Showing it again without a request starts no work.
    void runWaitingKeepsWindowsPaintingUntilTheWorkEnds() {
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        std::atomic<bool> working{false};
        int ticks = 0;
        int ticksWhileHidden = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            if (!working) {
                return;
            }
            if (++ticks == 3) {
                QVERIFY(!qzm_test::SaveScreenshot(dlg, QStringLiteral("wait_dialog")).isEmpty());
                QTest::keyClick(&dlg, Qt::Key_Escape);
                dlg.close();
                dlg.PostClose();
            }
            ticksWhileHidden += dlg.isVisible() ? 0 : 1;
        });
        ticker.start(20ms);
        int runs = 0;
        std::thread::id workThread;
        const int result = RunWaiting(dlg, 5201, [&] {
            ++runs;
            workThread = std::this_thread::get_id();
            working = true;
            std::this_thread::sleep_for(500ms);
            working = false;
            return 42;
        });
        QCOMPARE(result, 42);
        QVERIFY(workThread != std::this_thread::get_id());
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(ticksWhileHidden, 0);
        QVERIFY(!dlg.isVisible());

        QTimer::singleShot(50, &dlg, [&] { dlg.PostClose(); });
        QCOMPARE(dlg.exec(), 0);
        QCOMPARE(runs, 1);
    }

    void runProgressFeedsTheBar() {
        CDeviceWorker worker;
        CProgressDlg dlg(worker);
        dlg.SetText(5036, QString());
        QCOMPARE(dlg.width(), 320);
        std::atomic<double> progress{0.0};
        QList<int> seen;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] {
            seen << dlg.Pos();
            if (seen.size() == 20) {
                QVERIFY(!qzm_test::SaveScreenshot(dlg, QStringLiteral("progress_dialog")).isEmpty());
            }
        });
        ticker.start(10ms);
        const bool saved = RunProgress(
            dlg, 5036, QStringLiteral("Monday album.qzc"), [&] { return progress.load(); },
            [&] {
                for (int step = 1; step <= 20; ++step) {
                    std::this_thread::sleep_for(20ms);
                    progress = step * 4.99;
                }
                return true;
            });
        QVERIFY(saved);
        QCOMPARE(dlg.Pos(), 99);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY(std::any_of(seen.begin(), seen.end(), [](int pos) { return pos > 0 && pos < 99; }));

        // A text wider than the minimum widens the dialog instead of being cut off.
        const auto* line = dlg.findChild<QLabel*>();
        const auto* bar = dlg.findChild<QProgressBar*>();
        QCOMPARE(line->text(), QStringLiteral("Saving Monday album.qzc."));
        QVERIFY(line->width() > 288);
        QCOMPARE(dlg.width(), line->width() + 32);
        QCOMPARE(bar->geometry(), QRect(16, line->geometry().bottom() + 3, line->width(), bar->height()));
        QCOMPARE(dlg.height(), bar->geometry().bottom() + 1 + 24);
    }

    // A retry loop written the way the windows write it: the work fails, the user is asked,
    // answers Yes once and No the second time.
    void failedWorkAskedAndRetried() {
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        CScriptedMessenger messenger;
        messenger.Script({MsgAnswer::kYes, MsgAnswer::kNo});
        int attempts = 0;
        for (;;) {
            ++attempts;
            const int response = RunWaiting(dlg, 5201, [] { return 0x20; });
            if (messenger.ShowMessage(5211, MsgIcon::kInformation, MsgButtons::kYesNo, response) !=
                MsgAnswer::kYes) {
                break;
            }
        }
        QCOMPARE(attempts, 2);
        QCOMPARE(messenger.Messages().size(), std::size_t{2});
        QCOMPARE(messenger.Messages()[1].text,
                 QStringLiteral("Cannot load the Album. (error code 20)\nTry again?"));
        QCOMPARE(messenger.Unscripted(), 0);
    }

    void messageBoxShowsTextIconAndButtons() {
        CMessageBoxMessenger messenger;
        QString text;
        int icon = -1;
        qzm_test::DialogScript<QMessageBox> user{[&](QMessageBox& box) {
            text = box.text();
            icon = box.icon();
            QCOMPARE(box.windowTitle(), QStringLiteral("QZM-K Demo"));
            box.button(QMessageBox::No)->click();
        }};
        QCOMPARE(messenger.ShowMessage(5020, MsgIcon::kWarning, MsgButtons::kYesNo), MsgAnswer::kNo);
        QCOMPARE(text, UiText(5020));
        QCOMPARE(icon, int(QMessageBox::Warning));
    }
};

QZM_UI_TEST_CLASS(RequestDialogsTest)
#include "request_dialogs_test.moc"
