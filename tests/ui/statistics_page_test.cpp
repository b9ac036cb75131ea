// The statistics page against the emulated module: fed live by the runs the window shows, tagged
// with the person in view, recorded and read back, exported, reset.
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <numeric>

#include "demo_harness.h"
#include "dialog_script.h"
#include "record/run_statistics.h"
#include "test_folder.h"
#include "ui/controls/stat_chart.h"
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

// The figures of a group as exported, in order.
std::vector<StatFigure> Group(const std::vector<StatFigure>& figures, const QString& group) {
    std::vector<StatFigure> lines;
    std::copy_if(figures.begin(), figures.end(), std::back_inserter(lines),
                 [&](const StatFigure& figure) { return figure.group == group; });
    return lines;
}

QStringList Titles(const std::vector<CStatChart*>& charts) {
    QStringList titles;
    for (const CStatChart* chart : charts)
        titles << chart->Title();
    return titles;
}

// A run at atMs with one face: recognised as userId (-1: not recognised) with score, estimated age
// and face direction.
ExecutionReport Run(std::int64_t atMs, int userId, int score, int age, int yaw) {
    CFaceResult face;
    face.detection.confidence = 900;
    face.detection.valid = 1;
    face.age.age = age;
    face.age.confidence = 700;
    face.age.valid = 1;
    face.direction.yaw = yaw;
    face.direction.pitch = -yaw / 2;
    face.direction.roll = 3;
    face.direction.confidence = 800;
    face.direction.valid = 1;
    face.recognition.userId = userId;
    face.recognition.score = score;
    face.recognition.valid = 1;
    ExecutionReport report;
    for (int function : {kFunctionFace, kFunctionDirection, kFunctionAge, kFunctionRecognition})
        report.functions[function] = true;
    report.sentWallMs = atMs;
    report.doneWallMs = atMs + 40;
    report.responseTimeMs = 40;
    report.result.faces = {face};
    return report;
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
        // The rates against every threshold: a stranger in view gives false accepts only (no TAR or
        // FRR without a registered user in view), marked where they fall to 1 % and at the module's
        // own threshold.
        const ThresholdTable rates = expected.Thresholds();
        CStatChart& ratesChart = page.RatesChart();
        QCOMPARE(ratesChart.Lines().size(), std::size_t{1});
        QCOMPARE(ratesChart.Lines()[0].name, QStringLiteral("FAR"));
        QCOMPARE(ratesChart.Lines()[0].points.size(), std::size_t{kRecognitionScoreMax + 1});
        QCOMPARE(ratesChart.Marks().size(), std::size_t{2});
        QCOMPARE(ratesChart.Marks()[0].x, double(rates.ThresholdFor(0.01)));
        QCOMPARE(ratesChart.Marks()[1].label, QStringLiteral("module: %1").arg(threshold));
        // The face estimates per minute: each minute's mean age as the summary gives it for the minute.
        const std::vector<FaceEstimates> minutes = expected.FaceSeries();
        QVERIFY(!minutes.empty());
        const std::vector<QPointF>& ages = page.FaceTimeChart(0).Lines()[0].points;
        const auto aged = std::count_if(minutes.begin(), minutes.end(),
                                        [](const FaceEstimates& minute) { return minute.age.count > 0; });
        QCOMPARE(ages.size(), std::size_t(aged));
        QVERIFY(aged > 0 && minutes.back().age.count > 0);
        QCOMPARE(ages.back().y(), minutes.back().age.Mean());
        for (int i = 0; i < CStatisticsPage::kFaceTimeCharts; ++i)
            QVERIFY2(!page.FaceTimeChart(i).IsEmpty(), qPrintable(page.FaceTimeChart(i).Title()));
        // The splits per minute: the female share, and the other expressions' shares, as counted.
        const FaceEstimates& last = minutes.back();
        QCOMPARE(page.FaceTimeChart(4).Lines()[0].points.back().y(),
                 100.0 * double(last.female) / double(last.male + last.female));
        const std::vector<ChartLine>& shares = page.FaceTimeChart(5).Lines();
        QCOMPARE(shares.size(), std::size_t{4});
        const double faces = double(std::accumulate(last.expressions.begin(), last.expressions.end(), 0LL));
        QCOMPARE(shares[1].points.back().y(), 100.0 * double(last.expressions[2]) / faces);  // surprise
        // Nobody registered: one score chart, empty.
        QCOMPARE(Titles(page.UserCharts()), QStringList{"Recognition scores"});
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
            // Every chart, the new ones too: a dark card with its title in light text.
            for (CStatChart* chart : page.ChartArea().findChildren<CStatChart*>()) {
                const QRect at = chart->geometry();
                QCOMPARE(charts.pixelColor(at.right() - 3, at.bottom() - 3).rgb(),
                         QColor(0x1e, 0x1e, 0x1e).rgb());
                int titleLight = 0;
                for (int x = 0; x < at.width(); ++x)
                    titleLight += qGray(charts.pixel(at.x() + x, at.y() + 12)) > 160;
                QVERIFY2(titleLight > 10, qPrintable(chart->accessibleName()));
            }
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
        // The figures shown, then those behind the charts: each minute's face estimates and the
        // rates at every threshold.
        std::vector<StatFigure> exported = live;
        for (const StatFigure& figure : ChartFigures(minutes, rates))
            exported.push_back(figure);
        QCOMPARE(written, FiguresCsv(exported));
        QCOMPARE(Group(exported, "Rates by threshold").size(), std::size_t{kRecognitionScoreMax + 1});
        QVERIFY(written.contains("\r\nRates by threshold,TAR / FAR / FRR at 1000,- / 0.0 % / -\r\n"));
        QVERIFY(written.contains("\r\n\"Face estimates, minute from "));
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
        QVERIFY(page.RatesChart().IsEmpty() && page.FaceTimeChart(0).IsEmpty());

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

    // A tagged session with three users recognised, over four minutes with one minute nobody came:
    // what the evaluator reads off the charts.
    void taggedRatesMinutesAndEveryUser() {
        constexpr std::int64_t kMinute = 60000;
        constexpr std::int64_t kStart = 28333334 * kMinute;  // a minute's start
        const std::vector<UserName> names = {{3, "Cleo"}, {7, "Ann"}, {12, "Bo"}};
        CRunStatistics stats;
        // Minute 0: Cleo in view, accepted at 820 and 700, once not recognised.
        stats.Add(Run(kStart + 1000, 3, 820, 30, 10), names, PersonInView::User(3));
        stats.Add(Run(kStart + 2000, 3, 700, 32, -10), names, PersonInView::User(3));
        stats.Add(Run(kStart + 3000, -1, 400, 34, 0), names, PersonInView::User(3));
        // Minute 1: a stranger, once taken for Ann at 560; Bo (untagged) recognised often.
        stats.Add(Run(kStart + kMinute + 1000, 7, 560, 50, 20), names, PersonInView::Stranger());
        for (int i = 0; i < 3; ++i)
            stats.Add(Run(kStart + kMinute + 2000 + i, -1, 300, 52, -20), names, PersonInView::Stranger());
        for (int i = 0; i < 5; ++i)
            stats.Add(Run(kStart + kMinute + 9000 + i, 12, 900, 40, 0), names);
        // Minute 2: nobody. Minute 3: nobody in view, nothing found.
        ExecutionReport empty = Run(kStart + 3 * kMinute + 1000, -1, 0, 0, 0);
        empty.result.faces.clear();
        stats.Add(empty, names, PersonInView::Nobody());
        stats.Add(Run(kStart + 3 * kMinute + 2000, -1, 100, 60, 5), names);

        CStatisticsPage page;
        page.resize(1260, 640);
        page.SetRecognitionThreshold(500);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.ShowFigures(stats);

        // Every user recognised has a score chart, in user-number order (not by runs or name).
        QCOMPARE(Titles(page.UserCharts()), (QStringList{"Cleo scores", "Ann scores", "Bo scores"}));
        for (CStatChart* chart : page.UserCharts()) {
            QCOMPARE(chart->accessibleName(), chart->Title());
            QVERIFY(chart->isVisible() && !chart->IsEmpty());
        }
        QCOMPARE(page.UserCharts()[2]->Bars()[18], 5.0);  // Bo's five scores of 900, bin 900..949

        // The rates: 2 of 3 genuine runs accepted up to 700, 1 of 8 runs a false accept up to 560.
        const ThresholdTable table = stats.Thresholds();
        QCOMPARE(table.Runs(), 8);
        CStatChart& rates = page.RatesChart();
        QCOMPARE(rates.accessibleName(), QStringLiteral("Recognition rates by score threshold"));
        QCOMPARE(rates.Lines().size(), std::size_t{3});
        QCOMPARE(rates.Lines()[0].name + rates.Lines()[1].name + rates.Lines()[2].name,
                 QStringLiteral("TARFARFRR"));
        const auto at = [&](int line, int threshold) {
            return rates.Lines()[static_cast<std::size_t>(line)].points[static_cast<std::size_t>(threshold)];
        };
        QCOMPARE(at(0, 700), QPointF(700, 100.0 * 2 / 3));
        QCOMPARE(at(0, 701), QPointF(701, 100.0 * 1 / 3));
        QCOMPARE(at(0, 821), QPointF(821, 0));
        QCOMPARE(at(1, 560), QPointF(560, 100.0 / 8));
        QCOMPARE(at(1, 561), QPointF(561, 0));
        QCOMPARE(at(2, 600), QPointF(600, 100.0 * 1 / 3));
        QCOMPARE(rates.Marks().size(), std::size_t{2});
        QCOMPARE(rates.Marks()[0].x, 561.0);
        QCOMPARE(rates.Marks()[0].label, QStringLiteral("1 % FAR: 561"));
        QCOMPARE(rates.Marks()[1].label, QStringLiteral("module: 500"));
        // A looser target: below the module's threshold the false accepts stay at 1 in 8, so any
        // threshold keeps to 20 %; 10 % still needs 561.
        page.TargetFarBox().setValue(20);
        page.ShowFigures(stats);
        QCOMPARE(rates.Marks()[0].label, QStringLiteral("20 % FAR: 0"));
        QVERIFY(page.GroupText("Recognition rates").contains("Threshold for 20 % false accepts\t0"));
        page.TargetFarBox().setValue(10);
        page.ShowFigures(stats);
        QCOMPARE(rates.Marks()[0].label, QStringLiteral("10 % FAR: 561"));
        page.TargetFarBox().setValue(1);
        page.ShowFigures(stats);

        // Per minute: the three minutes with faces, the empty one a gap.
        const std::vector<QPointF>& ages = page.FaceTimeChart(0).Lines()[0].points;
        QCOMPARE(ages.size(), std::size_t{3});
        QCOMPARE(ages[0].y(), 32.0);
        QCOMPARE(ages[2].x() - ages[1].x(), 120.0);
        QCOMPARE(page.FaceTimeChart(3).Lines()[0].points[0].y(), std::sqrt(200.0 / 3));  // yaw 10, -10, 0
        qzm_test::SaveScreenshot(page, QStringLiteral("statistics_page_tagged"));

        // The export: the figures, then each minute's estimates and the rates at every threshold.
        const std::vector<StatFigure> exported = page.ExportFigures();
        QCOMPARE(Group(exported, "Rates by threshold").size(), std::size_t{kRecognitionScoreMax + 1});
        QCOMPARE(Group(exported, "Rates by threshold")[561],
                 (StatFigure{"Rates by threshold", "TAR / FAR / FRR at 561", "66.7 % / 0.0 % / 33.3 %"}));
        const QString minute0 =
            "Face estimates, minute from " +
            QDateTime::fromMSecsSinceEpoch(kStart).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        QCOMPARE(Group(exported, minute0).front(), (StatFigure{minute0, "Age", "32.0 ± 1.6"}));
        QCOMPARE(
            std::count_if(exported.begin(), exported.end(),
                          [](const StatFigure& f) { return f.group.startsWith("Face estimates, minute"); }),
            3 * 6);

        // Many users: a chart each, the area scrolls, and the saved picture holds them all.
        std::vector<UserName> many = names;
        for (int user = 20; user < 30; ++user) {
            many.push_back({user, "U" + std::to_string(user)});
            stats.Add(Run(kStart + 3 * kMinute + 5000 + user, user, 650, 40, 0), many);
        }
        page.ShowFigures(stats);
        QCOMPARE(page.UserCharts().size(), std::size_t{13});
        QCOMPARE(page.UserCharts().back()->Title(), QStringLiteral("U29 scores"));
        QTest::qWait(20);
        QWidget& area = page.ChartArea();
        QVERIFY(area.height() > area.parentWidget()->height());  // taller than the view: it scrolls
        const QRect last = page.UserCharts().back()->geometry();
        QVERIFY(last.height() >= page.UserCharts().back()->minimumSizeHint().height());
        QVERIFY(area.rect().contains(last));
        const QImage saved = area.grab().toImage();
        QCOMPARE(saved.size(), area.size() * page.devicePixelRatio());

        // Started again: one empty score chart, no rates, no minutes.
        page.ShowFigures(CRunStatistics());
        QCOMPARE(Titles(page.UserCharts()), QStringList{"Recognition scores"});
        QVERIFY(page.UserCharts().front()->IsEmpty());
        QVERIFY(page.RatesChart().IsEmpty() && page.FaceTimeChart(3).IsEmpty());
        QCOMPARE(Group(page.ExportFigures(), "Rates by threshold").size(), std::size_t{0});
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
