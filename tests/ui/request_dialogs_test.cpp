// The wait and progress dialogs in front of real work on the device worker: the work starts only
// once the dialog is up, the windows keep painting meanwhile, only the work's end closes the
// dialog, and the wait dialog shows its whole text; and the message box the windows ask through.
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QtMath>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "dialog_script.h"
#include "ui/dialogs/messenger.h"
#include "ui/dialogs/progress_dlg.h"
#include "ui/dialogs/wait_dlg.h"
#include "ui_test_support.h"

using namespace qzm;
using namespace std::chrono_literals;

namespace {

// The box round the pixels of area that stand out from the background: the text's ink.
QRect Ink(const QImage& image, const QRect& area, const QColor& background) {
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < qGray(background.rgb()) - 64)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

// The ink of label's text drawn with nothing to cut it off, at the device pixel ratio.
QRect WholeInk(const QLabel& label, qreal ratio, const QColor& background) {
    const QFontMetrics metrics(label.font());
    const QSize room(metrics.horizontalAdvance(label.text()) * 2, metrics.height() * 2);
    QImage image(room * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(background);
    QPainter painter(&image);
    painter.setFont(label.font());
    painter.setPen(label.palette().color(QPalette::WindowText));
    painter.drawText(QRect(QPoint(0, 0), room), Qt::AlignCenter, label.text());
    painter.end();
    return Ink(image, image.rect(), background);
}

// The wait dialog as its user sees it over owner: centred over it, showing lines in order in a
// big bold font (three times the desktop's), each line whole, inside the frame and centred.
void CheckWaitDialog(CWaitDlg& dialog, const QWidget& owner, const QStringList& lines, const QFont& desktop) {
    const QPoint off = dialog.frameGeometry().center() - owner.frameGeometry().center();
    QVERIFY2(qAbs(off.x()) <= 2 && qAbs(off.y()) <= 2,
             qPrintable(QStringLiteral("%1, %2").arg(off.x()).arg(off.y())));
    QList<QLabel*> shown = dialog.findChildren<QLabel*>();
    shown.removeIf([](const QLabel* line) { return !line->isVisible(); });
    std::sort(shown.begin(), shown.end(), [](const QLabel* a, const QLabel* b) { return a->y() < b->y(); });
    QStringList texts;
    for (const QLabel* line : shown)
        texts << line->accessibleName();
    QCOMPARE(texts, lines);

    const QImage shot = dialog.grab().toImage();
    const qreal ratio = shot.devicePixelRatio();
    const QColor background = dialog.palette().color(QPalette::Window);
    const int frame = qCeil(ratio);  // the dialog's own one-unit frame
    for (int i = 0; i < shown.size(); ++i) {
        const QLabel& line = *shown[i];
        QCOMPARE(line.text(), lines[i]);
        QVERIFY(line.font().bold());
        QCOMPARE(line.font().pointSizeF(), desktop.pointSizeF() * 3);
        if (i > 0)
            QVERIFY(line.geometry().top() > shown[i - 1]->geometry().bottom());
        const QRect band(frame, qRound(line.y() * ratio), shot.width() - 2 * frame,
                         qRound(line.height() * ratio));
        const QRect ink = Ink(shot, band, background);
        const QRect whole = WholeInk(line, ratio, background);
        const int left = ink.left();
        const int right = shot.width() - 1 - ink.right();
        const QString seen = QStringLiteral("%1: %2 x %3 of %4 x %5, %6 left, %7 right")
                                 .arg(line.text())
                                 .arg(ink.width())
                                 .arg(ink.height())
                                 .arg(whole.width())
                                 .arg(whole.height())
                                 .arg(left)
                                 .arg(right);
        QVERIFY2(qAbs(ink.width() - whole.width()) <= 1 && qAbs(ink.height() - whole.height()) <= 1,
                 qPrintable(seen));
        QVERIFY2(left > frame && right > frame && qAbs(left - right) <= ink.height() / 4, qPrintable(seen));
    }
}

}  // namespace

class RequestDialogsTest : public QObject {
    Q_OBJECT

private slots:
    // The wait dialog as a user sees it while the work runs, at several desktop fonts (and, in the
    // run on a dense screen, at two device pixels per unit).
    void waitDialogShowsTheWholeText_data() {
        QTest::addColumn<int>("textId");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QFont>("font");
        for (const QFont& font : {QApplication::font(), QFont(QStringLiteral("DejaVu Sans"), 6),
                                  QFont(QStringLiteral("DejaVu Serif"), 12)}) {
            const QByteArray name = (font.family() + u' ' + QString::number(font.pointSizeF())).toUtf8();
            QTest::addRow("one line, %s", name.data()) << 5200 << QStringList{"Please wait."} << font;
            QTest::addRow("two lines, %s", name.data())
                << 5202 << QStringList{"Terminating...", "Do not turn off the QZM."} << font;
            QTest::addRow("a short word, %s", name.data()) << 1002 << QStringList{"Hand"} << font;
        }
    }
    void waitDialogShowsTheWholeText() {
        QFETCH(int, textId);
        QFETCH(QStringList, lines);
        QFETCH(QFont, font);
        struct DesktopFont {
            explicit DesktopFont(const QFont& font) { QApplication::setFont(font); }
            ~DesktopFont() { QApplication::setFont(before); }
            const QFont before = QApplication::font();
        } desktop(font);
        CDeviceWorker worker;
        QWidget owner;
        owner.setGeometry(60, 40, 640, 480);
        owner.show();
        CWaitDlg dlg(worker, &owner);
        std::atomic<bool> looked{false};
        qzm_test::DialogScript<CWaitDlg> user{[&](CWaitDlg& shown) {
            CheckWaitDialog(shown, owner, lines, font);
            looked = true;
        }};
        RunWaiting(dlg, textId, [&] {
            for (int i = 0; i < 500 && !looked; ++i)
                std::this_thread::sleep_for(10ms);
        });
        QVERIFY(looked);
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
