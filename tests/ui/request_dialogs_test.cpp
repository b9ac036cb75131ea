// The wait and progress dialogs in front of real work on the device worker: the work starts only
// once the dialog is up, the windows keep painting meanwhile, only the work's end closes the
// dialog, and a flow reads as straight-line code with its messages answered by a script.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "scripted_messenger.h"
#include "ui/progress_dlg.h"
#include "ui/wait_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using namespace std::chrono_literals;

namespace {

QList<QLabel*> ShownLines(const CWaitDlg& dlg) {
    QList<QLabel*> shown;
    for (QLabel* line : dlg.findChildren<QLabel*>()) {
        if (!line->isHidden()) {
            shown << line;
        }
    }
    return shown;
}

// Calls tick every interval on the window thread while it lives.
class Ticker {
public:
    Ticker(std::chrono::milliseconds interval, std::function<void()> tick) {
        QObject::connect(&timer_, &QTimer::timeout, std::move(tick));
        timer_.start(interval);
    }

private:
    QTimer timer_;
};

}  // namespace

class RequestDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void waitDialogLayout_data() {
        QTest::addColumn<int>("textId");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("one line") << 5200 << QStringList{"Please wait."};
        QTest::newRow("two lines") << 5201 << QStringList{"Running...", "Please wait."};
        QTest::newRow("two long lines") << 5202 << QStringList{"Terminating...", "Do not turn off the QZM."};
        QTest::newRow("short word keeps the minimum width") << 1002 << QStringList{"Hand"};
    }
    void waitDialogLayout() {
        QFETCH(int, textId);
        QFETCH(QStringList, lines);
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        dlg.SetTextId(textId);
        const QList<QLabel*> shown = ShownLines(dlg);
        QCOMPARE(shown.size(), lines.size());
        QCOMPARE(dlg.findChildren<QLabel*>().size(), CWaitDlg::kMaxLines);

        const QFontMetrics metrics(shown[0]->font());
        QVERIFY(shown[0]->font().bold());
        QCOMPARE(shown[0]->font().pointSizeF(), dlg.font().pointSizeF() * 3);
        const int lineHeight = metrics.size(Qt::TextSingleLine, lines[0]).height();
        int widest = 208;
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i]->text(), lines[i]);
            QCOMPARE(shown[i]->accessibleName(), lines[i]);
            widest = std::max(widest, metrics.size(Qt::TextSingleLine, lines[i]).width());
        }
        for (int i = 0; i < shown.size(); ++i) {
            QCOMPARE(shown[i]->geometry(), QRect(16, 16 + i * lineHeight, widest, lineHeight));
        }
        QCOMPARE(dlg.width(), widest + 32);
        QCOMPARE(dlg.height(), std::max(64, 16 + int(lines.size()) * lineHeight + 16));
    }

    void progressDialogLayout() {
        CDeviceWorker worker;
        CProgressDlg dlg(worker);
        dlg.SetText(5036, QString());
        QCOMPARE(dlg.width(), 320);
        auto* bar = dlg.findChild<QProgressBar*>();
        QCOMPARE(bar->geometry().left(), 16);
        QCOMPARE(bar->width(), 288);
        dlg.SetText(5036, QStringLiteral("Monday album.qzc"));
        const auto* line = dlg.findChild<QLabel*>();
        QCOMPARE(line->text(), QStringLiteral("Saving Monday album.qzc."));
        // A text wider than the minimum widens the dialog instead of being cut off.
        QVERIFY(line->width() > 288);
        QCOMPARE(dlg.width(), line->width() + 32);
        QCOMPARE(bar->width(), line->width());
        QCOMPARE(bar->y(), line->geometry().bottom() + 1 + 2);
        QCOMPARE(dlg.height(), bar->geometry().bottom() + 1 + 24);
        // A name too long for any screen is shortened in the middle.
        dlg.SetText(5035, QString(200, QLatin1Char('n')) + QStringLiteral(".qzc"));
        QVERIFY(line->text().startsWith(QStringLiteral("Loading nnn")));
        QVERIFY(line->text().endsWith(QStringLiteral("n.qzc.")));
        QVERIFY(line->text().contains(QChar(0x2026)));
        QVERIFY(dlg.width() <= 1000);

        dlg.SetPos(42.9);
        QCOMPARE(dlg.Pos(), 42);
    }

    // Work of half a second: a timer of the window thread goes on firing, the dialog is up from
    // before the work starts until it has ended, and the work's result comes back.
    void runWaitingKeepsWindowsPainting() {
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        std::atomic<bool> working{false};
        int ticks = 0;
        int ticksWhileHidden = 0;
        bool screenshot = false;
        Ticker ticker(20ms, [&] {
            if (!working) {
                return;
            }
            ++ticks;
            ticksWhileHidden += dlg.isVisible() ? 0 : 1;
            if (!screenshot) {
                screenshot = !qzm_test::SaveScreenshot(dlg, QStringLiteral("wait_dialog")).isEmpty();
            }
        });
        const auto windowThread = std::this_thread::get_id();
        std::thread::id workThread;
        const int result = RunWaiting(dlg, 5201, [&] {
            workThread = std::this_thread::get_id();
            working = true;
            std::this_thread::sleep_for(500ms);
            working = false;
            return 42;
        });
        QCOMPARE(result, 42);
        QVERIFY(workThread != windowThread);
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));
        QCOMPARE(ticksWhileHidden, 0);
        QVERIFY(!dlg.isVisible());
        QVERIFY(screenshot);
    }

    // Neither Escape, nor a close request, nor a stray posted close ends the dialog while its work
    // runs; a second showing without a request starts no work and ends on a posted close.
    void requestRunsOnceAndOnlyItsEndCloses() {
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        std::atomic<int> runs{0};
        std::atomic<bool> release{false};
        bool upWhileWorking = false;
        QTimer::singleShot(50, &dlg, [&] {
            QTest::keyClick(&dlg, Qt::Key_Escape);
            dlg.close();
            dlg.PostClose();
            QTimer::singleShot(50, &dlg, [&] {
                upWhileWorking = dlg.isVisible();
                release = true;
            });
        });
        RunWaiting(dlg, 5200, [&] {
            ++runs;
            while (!release) {
                std::this_thread::sleep_for(1ms);
            }
        });
        QVERIFY(upWhileWorking);
        QCOMPARE(runs.load(), 1);

        bool shownAgain = false;
        QTimer::singleShot(50, &dlg, [&] {
            shownAgain = dlg.isVisible();
            dlg.PostClose();
        });
        QCOMPARE(dlg.exec(), 0);
        QVERIFY(shownAgain);
        QCOMPARE(runs.load(), 1);
    }

    void runProgressFeedsTheBar() {
        CDeviceWorker worker;
        CProgressDlg dlg(worker);
        std::atomic<double> progress{0.0};
        std::atomic<bool> halfway{false};
        QList<int> seen;
        bool screenshot = false;
        Ticker ticker(10ms, [&] {
            if (dlg.isVisible()) {
                seen << dlg.Pos();
                if (halfway && !screenshot) {
                    screenshot = !qzm_test::SaveScreenshot(dlg, QStringLiteral("progress_dialog")).isEmpty();
                }
            }
        });
        const bool saved = RunProgress(
            dlg, 5036, QStringLiteral("album.qzc"), [&] { return progress.load(); },
            [&] {
                for (int step = 1; step <= 20; ++step) {
                    std::this_thread::sleep_for(20ms);
                    progress = step * 4.99;
                    halfway = step >= 10;
                }
                return true;
            });
        QVERIFY(saved);
        QCOMPARE(dlg.Pos(), 99);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QVERIFY2(std::any_of(seen.begin(), seen.end(), [](int pos) { return pos > 0 && pos < 99; }),
                 "the bar moved while the work ran");
        QVERIFY(screenshot);
    }

    // A retry loop the way the windows write it: the work fails, the user is asked, answers Yes
    // once and No the second time.
    void failedWorkAskedAndRetried() {
        CDeviceWorker worker;
        CWaitDlg dlg(worker);
        CScriptedMessenger messenger;
        messenger.Script({MsgAnswer::kYes, MsgAnswer::kNo});
        int attempts = 0;
        for (;;) {
            ++attempts;
            const std::uint8_t response = RunWaiting(dlg, 5201, [] { return std::uint8_t{0x20}; });
            if (response == 0 || messenger.ShowMessage(5211, MsgIcon::kInformation, MsgButtons::kYesNo,
                                                       int{response}) != MsgAnswer::kYes) {
                break;
            }
        }
        QCOMPARE(attempts, 2);
        QCOMPARE(messenger.Messages().size(), std::size_t{2});
        QCOMPARE(messenger.Messages()[0].text,
                 QStringLiteral("Cannot load the Album. (error code 20)\nTry again?"));
        QCOMPARE(messenger.Messages()[1].buttons, MsgButtons::kYesNo);
        QCOMPARE(messenger.Unscripted(), 0);
    }

    void messageBoxShowsTextIconAndButtons() {
        CMessageBoxMessenger messenger;
        QString text;
        int icon = -1;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            text = box->text();
            icon = box->icon();
            QCOMPARE(box->windowTitle(), QStringLiteral("QZM-K Demo"));
            box->button(QMessageBox::No)->click();
        });
        const MsgAnswer answer = messenger.ShowMessage(5020, MsgIcon::kWarning, MsgButtons::kYesNo);
        QCOMPARE(answer, MsgAnswer::kNo);
        QCOMPARE(text, UiText(5020));
        QCOMPARE(icon, int(QMessageBox::Warning));
    }
};

QZM_UI_TEST_CLASS(RequestDialogsTest)
#include "request_dialogs_test.moc"
