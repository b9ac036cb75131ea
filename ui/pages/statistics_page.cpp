#include "ui/pages/statistics_page.h"

#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>
#include <numeric>

#include "ui/controls/ui_text.h"
#include "ui/pages/page_layout.h"

namespace qzm {

namespace {

// The functions that report a confidence, in function order (gaze and blink report none).
constexpr std::array<int, CStatisticsPage::kConfidenceCharts> kConfidenceFunctions = {0, 1, 2, 3, 4, 5, 8, 9};
constexpr int kExpressionFunction = 8;
constexpr int kRecognitionFunction = 9;
// The chart grid's row with the gender and expression splits; the score charts follow them.
constexpr int kSplitRow = 4;
constexpr int kGridColumns = 4;

// The combo's item data for the person in view: a user's number, or one of these.
constexpr int kItemUntagged = -3;
constexpr int kItemNobody = -2;
constexpr int kItemStranger = -1;

QString Number(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

QString Percent(double share) {
    return Number(100.0 * share, 1) + QStringLiteral(" %");
}

QString MeanAndDeviation(const Spread& spread, int decimals) {
    if (spread.count == 0)
        return QStringLiteral("-");
    return QStringLiteral("%1 ± %2").arg(Number(spread.Mean(), decimals),
                                         Number(spread.Deviation(), decimals));
}

QString Ms(int value) {
    return QStringLiteral("%1 ms").arg(value);
}

QString UserCaption(int number, const std::string& name) {
    return name.empty() ? QStringLiteral("#%1").arg(number) : QString::fromStdString(name);
}

std::vector<double> BinValues(const Histogram& histogram) {
    return {histogram.bins.begin(), histogram.bins.end()};
}

QStringList RangeLabels(const Histogram& histogram) {
    const int high = histogram.low + histogram.binWidth * static_cast<int>(histogram.bins.size());
    return {QString::number(histogram.low), QString::number(high)};
}

// The face estimates of a span as figure lines (name, value): age, gender and expression split, eye
// closure, gaze and direction as mean and spread.
std::vector<std::pair<QString, QString>> FaceLines(const FaceEstimates& faces) {
    std::vector<std::pair<QString, QString>> lines;
    const auto add = [&](const QString& name, const QString& value) { lines.emplace_back(name, value); };
    add(UiText(kStrStatsAge), MeanAndDeviation(faces.age, 1));
    const std::int64_t genders = faces.male + faces.female;
    add(UiText(kStrStatsGender),
        genders > 0 ? QStringLiteral("%1 / %2").arg(Percent(double(faces.male) / double(genders)),
                                                    Percent(double(faces.female) / double(genders)))
                    : QStringLiteral("-"));
    std::int64_t expressions = 0;
    for (std::int64_t count : faces.expressions)
        expressions += count;
    const QStringList expressionNames = UiText(kStrStatsExpressionNames).split(QLatin1Char('|'));
    QStringList split;
    for (std::size_t i = 0; i < faces.expressions.size() && expressions > 0; ++i) {
        if (faces.expressions[i] == 0)
            continue;
        split << QStringLiteral("%1 %2").arg(
            expressionNames.value(static_cast<qsizetype>(i)),
            Number(100.0 * double(faces.expressions[i]) / double(expressions), 0) + QStringLiteral(" %"));
    }
    add(UiText(kStrStatsExpression),
        expressions > 0 ? split.join(QStringLiteral(", ")) : QStringLiteral("-"));
    add(UiText(kStrStatsBlink), MeanAndDeviation(faces.blink, 0));
    add(UiText(kStrStatsGaze), faces.gazeYaw.count > 0
                                   ? MeanAndDeviation(faces.gazeYaw, 1) + QStringLiteral(" / ") +
                                         MeanAndDeviation(faces.gazePitch, 1)
                                   : QStringLiteral("-"));
    add(UiText(kStrStatsDirection), faces.yaw.count > 0
                                        ? MeanAndDeviation(faces.yaw, 1) + QStringLiteral(" / ") +
                                              MeanAndDeviation(faces.pitch, 1) + QStringLiteral(" / ") +
                                              MeanAndDeviation(faces.roll, 1)
                                        : QStringLiteral("-"));
    return lines;
}

// One point per minute that has the value: (the minute's middle in seconds, value(spread)).
template <class Value>
std::vector<QPointF> PerMinute(const std::vector<FaceEstimates>& minutes, Spread FaceEstimates::*spread,
                               Value value) {
    std::vector<QPointF> points;
    for (const FaceEstimates& minute : minutes) {
        const Spread& s = minute.*spread;
        if (s.count > 0)
            points.emplace_back(double(minute.startMs) / 1000.0 + 30, value(s));
    }
    return points;
}

// The share (in per cent) of the minute's faces that count gives, over those that total gives, per
// minute with faces.
template <class Count>
std::vector<QPointF> SharePerMinute(const std::vector<FaceEstimates>& minutes, Count count, Count total) {
    std::vector<QPointF> points;
    for (const FaceEstimates& minute : minutes) {
        if (const std::int64_t all = total(minute); all > 0)
            points.emplace_back(double(minute.startMs) / 1000.0 + 30,
                                100.0 * double(count(minute)) / double(all));
    }
    return points;
}

// The rates of the table as a line in per cent against the threshold.
std::vector<QPointF> RateLine(const ThresholdTable& table, double ThresholdRow::*rate) {
    std::vector<QPointF> points;
    points.reserve(table.rows.size());
    for (const ThresholdRow& row : table.rows)
        points.emplace_back(row.threshold, 100.0 * (row.*rate));
    return points;
}

// A rate in percent as the user typed it (1, 0.5, 20).
QString PercentText(double share) {
    return QString::number(share * 100, 'g', 4);
}

}  // namespace

std::vector<StatFigure> StatisticsFigures(const CRunStatistics& stats, int recognitionThreshold,
                                          double targetFar) {
    std::vector<StatFigure> figures;
    QString group = UiText(kStrStatsGroupPace);
    const auto add = [&](const QString& name, const QString& value) {
        figures.push_back({group, name, value});
    };
    add(UiText(kStrStatsRuns), QString::number(stats.Runs()));
    add(UiText(kStrStatsFailedRuns), QString::number(stats.FailedRuns()));
    add(UiText(kStrStatsResultsPerSecond), Number(stats.ResultsPerSecond(), 1));

    group = UiText(kStrStatsGroupResponse);
    const ResponseFigures responses = stats.Responses();
    const bool answered = responses.runs > 0;
    add(UiText(kStrStatsLast), answered ? Ms(responses.lastMs) : QStringLiteral("-"));
    add(UiText(kStrStatsMedian), answered ? Ms(responses.medianMs) : QStringLiteral("-"));
    add(UiText(kStrStatsP95), answered ? Ms(responses.p95Ms) : QStringLiteral("-"));
    add(UiText(kStrStatsMaximum), answered ? Ms(responses.maxMs) : QStringLiteral("-"));

    group = UiText(kStrStatsGroupFunctions);
    for (int i = 0; i < kFunctionCount; ++i) {
        const FunctionFigures& function = stats.Functions()[static_cast<std::size_t>(i)];
        if (function.runs == 0)
            continue;
        QString value = Number(function.PerRun(), 2);
        if (!function.confidence.bins.empty() && function.confidence.count > 0)
            value += QStringLiteral(" (%1)").arg(Number(function.confidence.Mean(), 0));
        add(UiFormat(kStrStatsPerRun, FunctionCaption(i)), value);
    }

    group = UiText(kStrStatsGroupFaces);
    for (auto& [name, value] : FaceLines(stats.Faces()))
        add(name, value);

    group = UiText(kStrStatsGroupRecognition);
    const RecognitionFigures& recognition = stats.Recognition();
    for (const auto& [number, user] : recognition.users) {
        add(UiFormat(kStrStatsUserRuns, UserCaption(number, user.name)),
            QStringLiteral("%1 / %2").arg(user.runs).arg(Number(user.scores.Mean(), 0)));
    }
    add(UiText(kStrStatsStrangers), QString::number(recognition.strangerRuns));
    add(UiText(kStrStatsNoRegistered), QString::number(recognition.noDataRuns));

    group = UiText(kStrStatsGroupThresholds);
    if (stats.TaggedRuns() == 0) {
        add(UiText(kStrStatsUntagged), QStringLiteral("0"));
        return figures;
    }
    const ThresholdTable table = stats.Thresholds();
    add(UiText(kStrStatsTaggedRuns),
        QStringLiteral("%1 / %2 / %3").arg(table.genuineRuns).arg(table.strangerRuns).arg(table.nobodyRuns));
    const int atTarget = table.ThresholdFor(targetFar);
    add(UiFormat(kStrStatsThresholdForFar, PercentText(targetFar)),
        atTarget >= 0 ? QString::number(atTarget) : UiText(kStrStatsNotReached));
    if (recognitionThreshold >= 0 && recognitionThreshold < static_cast<int>(table.rows.size())) {
        const ThresholdRow& row = table.rows[static_cast<std::size_t>(recognitionThreshold)];
        add(UiFormat(kStrStatsRatesAt, recognitionThreshold),
            QStringLiteral("%1 / %2").arg(
                table.genuineRuns > 0 ? Percent(row.trueAcceptRate) : QStringLiteral("-"),
                table.Runs() > 0 ? Percent(row.falseAcceptRate) : QStringLiteral("-")));
    }
    return figures;
}

std::vector<StatFigure> ChartFigures(const std::vector<FaceEstimates>& minutes, const ThresholdTable& rates) {
    std::vector<StatFigure> figures;
    for (const FaceEstimates& minute : minutes) {
        const QString group = UiFormat(
            kStrStatsGroupMinute,
            QDateTime::fromMSecsSinceEpoch(minute.startMs).toString(QStringLiteral("yyyy-MM-dd hh:mm")));
        for (auto& [name, value] : FaceLines(minute))
            figures.push_back({group, name, value});
    }
    if (rates.Runs() == 0)
        return figures;
    const QString group = UiText(kStrStatsGroupRateTable);
    const bool genuine = rates.genuineRuns > 0;
    for (const ThresholdRow& row : rates.rows) {
        figures.push_back({group, UiFormat(kStrStatsRatesRow, row.threshold),
                           QStringLiteral("%1 / %2 / %3")
                               .arg(genuine ? Percent(row.trueAcceptRate) : QStringLiteral("-"),
                                    Percent(row.falseAcceptRate),
                                    genuine ? Percent(row.falseRejectRate) : QStringLiteral("-"))});
    }
    return figures;
}

QByteArray FiguresCsv(const std::vector<StatFigure>& figures) {
    const auto field = [](const QString& text) {
        if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
            !text.contains(QLatin1Char('\n')))
            return text;
        QString quoted = text;
        quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        return QLatin1Char('"') + quoted + QLatin1Char('"');
    };
    QString csv = QStringLiteral("group,name,value\r\n");
    for (const StatFigure& figure : figures)
        csv += field(figure.group) + QLatin1Char(',') + field(figure.name) + QLatin1Char(',') +
               field(figure.value) + QStringLiteral("\r\n");
    return csv.toUtf8();
}

CStatisticsPage::CStatisticsPage(QWidget* parent) : QWidget(parent) {
    setAccessibleName(UiText(kStrStatsPage));
    reset_ = new QPushButton(this);
    open_ = new QPushButton(this);
    export_ = new QPushButton(this);
    saveCharts_ = new QPushButton(this);
    SetCaption(*reset_, UiText(kStrStatsReset));
    SetCaption(*open_, UiText(kStrStatsOpenRecording));
    SetCaption(*export_, UiText(kStrStatsExport));
    SetCaption(*saveCharts_, UiText(kStrStatsSaveCharts));
    QLabel* personLabel = MakeLabel(UiText(kStrStatsPersonInView), this);
    person_ = new QComboBox(this);
    person_->setAccessibleName(UiText(kStrStatsPersonInView));
    person_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    personLabel->setBuddy(person_);
    QLabel* targetLabel = MakeLabel(UiText(kStrStatsTargetFar), this);
    targetFar_ = new QDoubleSpinBox(this);
    targetFar_->setAccessibleName(UiText(kStrStatsTargetFar));
    targetFar_->setRange(0, 100);
    targetFar_->setDecimals(1);
    targetFar_->setSingleStep(0.1);
    targetFar_->setValue(1.0);
    targetFar_->setSuffix(QStringLiteral(" %"));
    targetLabel->setBuddy(targetFar_);
    SetUserList({});
    source_ = new QLabel(UiText(kStrStatsLive), this);
    source_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    hint_ = new QLabel(UiText(kStrStatsUntaggedHint), this);
    hint_->setWordWrap(true);

    connect(reset_, &QPushButton::clicked, this, &CStatisticsPage::ResetRequested);
    connect(open_, &QPushButton::clicked, this, &CStatisticsPage::OpenRecordingRequested);
    connect(export_, &QPushButton::clicked, this, &CStatisticsPage::ExportRequested);
    connect(saveCharts_, &QPushButton::clicked, this, &CStatisticsPage::SaveChartsRequested);
    connect(person_, &QComboBox::currentIndexChanged, this, [this] { emit PersonChanged(Person()); });
    connect(targetFar_, &QDoubleSpinBox::valueChanged, this, &CStatisticsPage::TargetFarChanged);

    auto* bar = new QHBoxLayout;
    bar->setSpacing(kGap);
    for (QWidget* widget : std::initializer_list<QWidget*>{personLabel, person_})
        bar->addWidget(widget);
    bar->addSpacing(2 * kGap);
    for (QWidget* widget : std::initializer_list<QWidget*>{targetLabel, targetFar_})
        bar->addWidget(widget);
    bar->addSpacing(2 * kGap);
    bar->addWidget(source_, 1);
    for (QPushButton* button : {open_, reset_, export_, saveCharts_})
        bar->addWidget(button);

    // The figures in a column at the left: one table, a heading per group, so that the values line up.
    // It scrolls when the window is too low for all of it, and is never narrower than its lines.
    figuresScroll_ = new QScrollArea(this);
    figuresScroll_->setFrameShape(QFrame::NoFrame);
    figuresScroll_->setWidgetResizable(true);
    figuresScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* figuresContent = new QWidget(figuresScroll_);
    auto* figures = new QVBoxLayout(figuresContent);
    figures->setContentsMargins(0, 0, 0, 0);
    figures->setSpacing(kGap);
    table_ = new QLabel(figuresContent);
    table_->setTextFormat(Qt::RichText);
    table_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    table_->setAccessibleName(UiText(kStrStatsPage));
    figures->addWidget(table_);
    hint_->setParent(figuresContent);
    figures->addWidget(hint_);
    figures->addStretch(1);
    figuresScroll_->setWidget(figuresContent);

    // The charts at the right, in one widget so that they are saved as one picture: the response
    // strip and the rates by threshold, the face estimates per minute, the confidence histograms,
    // then the splits and a score chart per user recognised, four to a row. The area scrolls when
    // more users have been recognised than fit.
    chartsScroll_ = new QScrollArea(this);
    chartsScroll_->setFrameShape(QFrame::NoFrame);
    chartsScroll_->setWidgetResizable(true);
    chartsScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    charts_ = new QWidget(chartsScroll_);
    charts_->setAutoFillBackground(true);
    charts_->setBackgroundRole(QPalette::Window);
    grid_ = new QGridLayout(charts_);
    grid_->setContentsMargins(0, 0, 0, 0);
    grid_->setSpacing(kGap / 2);
    response_ = new CStatChart(UiText(kStrStatsResponseChart), charts_);
    response_->setMinimumHeight(130);
    grid_->addWidget(response_, 0, 0, 1, 2);
    rates_ = new CStatChart(UiText(kStrStatsRatesChart), charts_);
    rates_->setMinimumHeight(130);
    grid_->addWidget(rates_, 0, 2, 1, 2);
    const int faceTitles[kFaceTimeCharts] = {kStrStatsAgeChart,    kStrStatsBlinkChart,
                                             kStrStatsGazeChart,   kStrStatsDirectionChart,
                                             kStrStatsGenderChart, kStrStatsExpressionChart};
    for (int i = 0; i < kFaceTimeCharts; ++i) {
        faceTime_[static_cast<std::size_t>(i)] = new CStatChart(UiText(faceTitles[i]), charts_);
        // Title, scale and legend, lines and time: taller than a histogram to leave the lines room.
        faceTime_[static_cast<std::size_t>(i)]->setMinimumHeight(96);
        // The splits over time sit beside their totals, after the confidences.
        if (i < kGridColumns)
            grid_->addWidget(faceTime_[static_cast<std::size_t>(i)], 1, i);
        else
            grid_->addWidget(faceTime_[static_cast<std::size_t>(i)], kSplitRow, i - kGridColumns + 2);
    }
    for (int i = 0; i < kConfidenceCharts; ++i) {
        confidence_[static_cast<std::size_t>(i)] =
            new CStatChart(UiFormat(kStrStatsConfidenceChart,
                                    FunctionCaption(kConfidenceFunctions[static_cast<std::size_t>(i)])),
                           charts_);
        grid_->addWidget(confidence_[static_cast<std::size_t>(i)], 2 + i / 4, i % 4);
    }
    gender_ = new CStatChart(UiText(kStrStatsGender), charts_);
    expression_ = new CStatChart(UiText(kStrStatsExpression), charts_);
    grid_->addWidget(gender_, kSplitRow, 0);
    grid_->addWidget(expression_, kSplitRow, 1);
    for (int column = 0; column < kGridColumns; ++column)
        grid_->setColumnStretch(column, 1);
    chartsScroll_->setWidget(charts_);
    // Never narrower than four charts side by side: the scroll area only scrolls up and down.
    chartsScroll_->setMinimumWidth(kGridColumns * response_->minimumSizeHint().width() +
                                   (kGridColumns - 1) * grid_->spacing() +
                                   chartsScroll_->verticalScrollBar()->sizeHint().width());

    auto* body = new QHBoxLayout;
    body->setSpacing(2 * kGap);
    body->addWidget(figuresScroll_, 0);
    body->addWidget(chartsScroll_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPageMargin, kGap, kPageMargin, kGap);
    layout->setSpacing(kGap);
    layout->addLayout(bar);
    layout->addLayout(body, 1);
    ShowFigures(CRunStatistics());
}

void CStatisticsPage::SetUserList(const std::vector<UserName>& names) {
    const int chosen = person_->count() > 0 ? person_->currentData().toInt() : kItemUntagged;
    const QSignalBlocker quiet(person_);
    person_->clear();
    person_->addItem(UiText(kStrStatsNotTagged), kItemUntagged);
    person_->addItem(UiText(kStrStatsNobody), kItemNobody);
    person_->addItem(UiText(kStrStatsStranger), kItemStranger);
    for (const auto& [number, name] : names)
        person_->addItem(UserCaption(number, name), number);
    const int index = person_->findData(chosen);
    person_->setCurrentIndex(std::max(0, index));
    if (index < 0)
        emit PersonChanged(Person());
}

double CStatisticsPage::TargetFar() const {
    return targetFar_->value() / 100;
}

PersonInView CStatisticsPage::Person() const {
    const int item = person_->currentData().toInt();
    switch (item) {
        case kItemUntagged:
            return {};
        case kItemNobody:
            return PersonInView::Nobody();
        case kItemStranger:
            return PersonInView::Stranger();
        default:
            return PersonInView::User(item);
    }
}

void CStatisticsPage::SetSource(const QString& line) {
    source_->setText(line);
}

QString CStatisticsPage::GroupText(const QString& group) const {
    QStringList lines;
    for (const StatFigure& figure : figures_) {
        if (figure.group == group)
            lines << figure.name + QLatin1Char('\t') + figure.value;
    }
    return lines.join(QLatin1Char('\n'));
}

std::vector<StatFigure> CStatisticsPage::ExportFigures() const {
    std::vector<StatFigure> figures = figures_;
    for (StatFigure& figure : ChartFigures(minutes_, ratesTable_))
        figures.push_back(std::move(figure));
    return figures;
}

void CStatisticsPage::ShowFigures(const CRunStatistics& stats) {
    figures_ = StatisticsFigures(stats, recognitionThreshold_, TargetFar());
    QString html = QStringLiteral("<table cellspacing=0 cellpadding=1>");
    QString group;
    for (const StatFigure& figure : figures_) {
        if (figure.group != group) {
            group = figure.group;
            html += QStringLiteral("<tr><td colspan=2 style='padding-top:6px'><b>%1</b></td></tr>")
                        .arg(group.toHtmlEscaped());
        }
        html += QStringLiteral("<tr><td>%1&nbsp;&nbsp;&nbsp;</td><td>%2</td></tr>")
                    .arg(figure.name.toHtmlEscaped(), figure.value.toHtmlEscaped());
    }
    table_->setText(html + QStringLiteral("</table>"));
    // Wide enough for the widest line seen so far: growing only, so the charts do not jitter.
    const int wanted = table_->sizeHint().width() + figuresScroll_->verticalScrollBar()->sizeHint().width();
    if (wanted > figuresScroll_->minimumWidth()) {
        figuresScroll_->setMinimumWidth(wanted);
        layout()->activate();  // now, not at the next turn of the event loop: no line is cut meanwhile
    }
    hint_->setVisible(stats.TaggedRuns() == 0);
    ShowCharts(stats);
}

void CStatisticsPage::ShowCharts(const CRunStatistics& stats) {
    std::vector<QPointF> mean;
    std::vector<QPointF> max;
    for (const ResponseSecond& second : stats.ResponseSeries()) {
        mean.emplace_back(double(second.second), second.meanMs);
        max.emplace_back(double(second.second), second.maxMs);
    }
    response_->SetSeries(std::move(mean), std::move(max), CRunStatistics::kSeriesSeconds,
                         QStringLiteral("ms"));

    for (std::size_t i = 0; i < kConfidenceFunctions.size(); ++i) {
        const Histogram& confidence =
            stats.Functions()[static_cast<std::size_t>(kConfidenceFunctions[i])].confidence;
        if (confidence.count == 0)
            confidence_[i]->Clear();
        else
            confidence_[i]->SetBars(BinValues(confidence), RangeLabels(confidence));
    }
    const FaceEstimates& faces = stats.Faces();
    if (faces.male + faces.female == 0)
        gender_->Clear();
    else
        gender_->SetBars({double(faces.male), double(faces.female)},
                         UiText(kStrStatsMaleFemale).split(QLatin1Char('|')));
    const Histogram& expressionHistogram = stats.Functions()[kExpressionFunction].confidence;
    if (expressionHistogram.count == 0)
        expression_->Clear();
    else
        expression_->SetBars({faces.expressions.begin(), faces.expressions.end()},
                             UiText(kStrStatsExpressionNames).split(QLatin1Char('|')));

    minutes_ = stats.FaceSeries();
    ShowFaceTime();
    ShowRates(stats);
    ShowUsers(stats.Recognition());
}

void CStatisticsPage::ShowFaceTime() {
    // Per minute, so that a change over the session shows: who stands there (age), how awake
    // (eye closure), how steady the gaze and the head are (their spread).
    // Each minute drawn at its middle; the strip always covers the minutes kept, so that the four
    // charts share one time scale.
    TimeAxis axis;
    axis.spanSeconds = CRunStatistics::kFaceMinutes * 60.0;
    axis.minimumSeconds = axis.spanSeconds;
    axis.joinSeconds = 90;  // a minute without faces is a gap
    axis.endAfterSeconds = 30;
    const QStringList meanSd = UiText(kStrStatsMeanSdLegend).split(QLatin1Char('|'));
    const QStringList angles = UiText(kStrStatsAnglesLegend).split(QLatin1Char('|'));
    const auto mean = [](const Spread& s) { return s.Mean(); };
    const auto sd = [](const Spread& s) { return s.Deviation(); };
    using Colour = ChartLine::Colour;
    const auto show = [&](CStatChart* chart, std::vector<ChartLine> lines, const QString& unit) {
        if (std::all_of(lines.begin(), lines.end(), [](const ChartLine& l) { return l.points.empty(); }))
            chart->Clear();
        else
            chart->SetTimeLines(std::move(lines), axis, unit);
    };
    show(faceTime_[0],
         {{PerMinute(minutes_, &FaceEstimates::age, mean), meanSd.value(0), Colour::kHighlight},
          {PerMinute(minutes_, &FaceEstimates::age, sd), meanSd.value(1), Colour::kText, true}},
         UiText(kStrStatsYears));
    show(faceTime_[1],
         {{PerMinute(minutes_, &FaceEstimates::blink, mean), meanSd.value(0), Colour::kHighlight},
          {PerMinute(minutes_, &FaceEstimates::blink, sd), meanSd.value(1), Colour::kText, true}},
         {});
    show(faceTime_[2],
         {{PerMinute(minutes_, &FaceEstimates::gazeYaw, sd), angles.value(0), Colour::kHighlight},
          {PerMinute(minutes_, &FaceEstimates::gazePitch, sd), angles.value(1), Colour::kAccent}},
         QStringLiteral("°"));
    show(faceTime_[3],
         {{PerMinute(minutes_, &FaceEstimates::yaw, sd), angles.value(0), Colour::kHighlight},
          {PerMinute(minutes_, &FaceEstimates::pitch, sd), angles.value(1), Colour::kAccent},
          {PerMinute(minutes_, &FaceEstimates::roll, sd), angles.value(2), Colour::kText, false, true}},
         QStringLiteral("°"));
    using MinuteCount = std::function<std::int64_t(const FaceEstimates&)>;
    const MinuteCount genders = [](const FaceEstimates& m) { return m.male + m.female; };
    show(faceTime_[4],
         {{SharePerMinute<MinuteCount>(
               minutes_, [](const FaceEstimates& m) { return m.female; }, genders),
           UiText(kStrStatsMaleFemale).split(QLatin1Char('|')).value(1), Colour::kHighlight}},
         QStringLiteral("%"));
    // Every expression but neutral, told apart by colour and dashes and named short as under the
    // bars; what they leave to 100 % a minute is neutral.
    const QStringList expressionNames = UiText(kStrStatsExpressionNames).split(QLatin1Char('|'));
    const MinuteCount expressions = [](const FaceEstimates& m) {
        return std::accumulate(m.expressions.begin(), m.expressions.end(), std::int64_t{0});
    };
    const struct {
        Colour colour;
        bool dashed;
    } looks[4] = {{Colour::kHighlight, false},
                  {Colour::kAccent, false},
                  {Colour::kText, true},
                  {Colour::kHighlight, true}};
    std::vector<ChartLine> expressionLines;
    for (std::size_t e = 1; e < 5; ++e) {
        expressionLines.push_back(
            {SharePerMinute<MinuteCount>(
                 minutes_, [e](const FaceEstimates& m) { return m.expressions[e]; }, expressions),
             expressionNames.value(static_cast<int>(e)).left(3), looks[e - 1].colour, false,
             looks[e - 1].dashed});
    }
    show(faceTime_[5], std::move(expressionLines), QStringLiteral("%"));
}

void CStatisticsPage::ShowRates(const CRunStatistics& stats) {
    ratesTable_ = stats.Thresholds();
    if (ratesTable_.Runs() == 0) {
        rates_->Clear(UiText(kStrStatsRatesUntagged));
        return;
    }
    // Every threshold the module can be set to: TAR and FRR only with a registered user in view.
    const QStringList names = UiText(kStrStatsRatesLegend).split(QLatin1Char('|'));
    using Colour = ChartLine::Colour;
    std::vector<ChartLine> lines;
    if (ratesTable_.genuineRuns > 0)
        lines.push_back(
            {RateLine(ratesTable_, &ThresholdRow::trueAcceptRate), names.value(0), Colour::kHighlight});
    lines.push_back({RateLine(ratesTable_, &ThresholdRow::falseAcceptRate), names.value(1), Colour::kAccent});
    if (ratesTable_.genuineRuns > 0)
        lines.push_back({RateLine(ratesTable_, &ThresholdRow::falseRejectRate), names.value(2), Colour::kText,
                         false, true});
    std::vector<ChartMark> marks;
    const int atTarget = ratesTable_.ThresholdFor(TargetFar());
    if (atTarget >= 0)
        marks.push_back({double(atTarget), UiFormat(kStrStatsMarkFar, PercentText(TargetFar()), atTarget)});
    if (recognitionThreshold_ >= 0 && recognitionThreshold_ <= kRecognitionScoreMax)
        marks.push_back(
            {double(recognitionThreshold_), UiFormat(kStrStatsMarkModule, recognitionThreshold_)});
    rates_->SetCurves(std::move(lines), {0, double(kRecognitionScoreMax), {}, 100, QStringLiteral("%")},
                      std::move(marks));
}

void CStatisticsPage::ShowUsers(const RecognitionFigures& recognition) {
    // A chart per user recognised, in user-number order; one empty chart while nobody was.
    const std::size_t wanted = std::max<std::size_t>(1, recognition.users.size());
    if (wanted != users_.size()) {
        for (CStatChart* chart : users_) {
            grid_->removeWidget(chart);
            delete chart;
        }
        users_.clear();
        for (std::size_t i = 0; i < wanted; ++i) {
            auto* chart =
                new CStatChart(UiFormat(kStrStatsScoreChart, FunctionCaption(kRecognitionFunction)), charts_);
            const int cell = kGridColumns + static_cast<int>(i);
            grid_->addWidget(chart, kSplitRow + cell / kGridColumns, cell % kGridColumns);
            chart->show();
            users_.push_back(chart);
        }
        const int lastRow = kSplitRow + (kGridColumns - 1 + static_cast<int>(wanted)) / kGridColumns;
        for (int row = 0; row < grid_->rowCount(); ++row)
            grid_->setRowStretch(row, row <= lastRow ? 1 : 0);
    }
    if (recognition.users.empty()) {
        users_.front()->SetTitle(UiFormat(kStrStatsScoreChart, FunctionCaption(kRecognitionFunction)));
        users_.front()->Clear();
        return;
    }
    std::size_t i = 0;
    for (const auto& [number, user] : recognition.users) {
        CStatChart* chart = users_[i++];
        chart->SetTitle(UiFormat(kStrStatsScoreChart, UserCaption(number, user.name)));
        if (user.scores.count == 0)
            chart->Clear();
        else
            chart->SetBars(BinValues(user.scores), RangeLabels(user.scores));
    }
}

}  // namespace qzm
