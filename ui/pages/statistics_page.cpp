#include "ui/pages/statistics_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/controls/ui_text.h"
#include "ui/pages/page_layout.h"

namespace qzm {

namespace {

// The functions that report a confidence, in function order (gaze and blink report none).
constexpr std::array<int, CStatisticsPage::kConfidenceCharts> kConfidenceFunctions = {0, 1, 2, 3, 4, 5, 8, 9};
constexpr int kExpressionFunction = 8;
constexpr int kRecognitionFunction = 9;

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

}  // namespace

std::vector<StatFigure> StatisticsFigures(const CRunStatistics& stats, int recognitionThreshold) {
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
    const FaceEstimates& faces = stats.Faces();
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
    const int at1 = table.ThresholdFor(0.01);
    add(UiText(kStrStatsThresholdAt1), at1 >= 0 ? QString::number(at1) : UiText(kStrStatsNotReached));
    if (recognitionThreshold >= 0 && recognitionThreshold < static_cast<int>(table.rows.size())) {
        const ThresholdRow& row = table.rows[static_cast<std::size_t>(recognitionThreshold)];
        add(UiFormat(kStrStatsRatesAt, recognitionThreshold),
            QStringLiteral("%1 / %2").arg(
                table.genuineRuns > 0 ? Percent(row.trueAcceptRate) : QStringLiteral("-"),
                table.Runs() > 0 ? Percent(row.falseAcceptRate) : QStringLiteral("-")));
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

    auto* bar = new QHBoxLayout;
    bar->setSpacing(kGap);
    for (QWidget* widget : std::initializer_list<QWidget*>{personLabel, person_})
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

    // The charts at the right, in one widget so that they are saved as one picture.
    charts_ = new QWidget(this);
    charts_->setAutoFillBackground(true);
    charts_->setBackgroundRole(QPalette::Window);
    auto* grid = new QGridLayout(charts_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(kGap / 2);
    response_ = new CStatChart(UiText(kStrStatsResponseChart), charts_);
    response_->setMinimumHeight(130);
    grid->addWidget(response_, 0, 0, 1, 4);
    for (int i = 0; i < kConfidenceCharts; ++i) {
        confidence_[static_cast<std::size_t>(i)] =
            new CStatChart(UiFormat(kStrStatsConfidenceChart,
                                    FunctionCaption(kConfidenceFunctions[static_cast<std::size_t>(i)])),
                           charts_);
        grid->addWidget(confidence_[static_cast<std::size_t>(i)], 1 + i / 4, i % 4);
    }
    gender_ = new CStatChart(UiText(kStrStatsGender), charts_);
    expression_ = new CStatChart(UiText(kStrStatsExpression), charts_);
    grid->addWidget(gender_, 3, 0);
    grid->addWidget(expression_, 3, 1);
    for (int i = 0; i < kUserCharts; ++i) {
        users_[static_cast<std::size_t>(i)] =
            new CStatChart(UiFormat(kStrStatsScoreChart, QStringLiteral("-")), charts_);
        grid->addWidget(users_[static_cast<std::size_t>(i)], 3, 2 + i);
    }
    for (int row = 0; row < 4; ++row)
        grid->setRowStretch(row, 1);

    auto* body = new QHBoxLayout;
    body->setSpacing(2 * kGap);
    body->addWidget(figuresScroll_, 0);
    body->addWidget(charts_, 1);
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

void CStatisticsPage::ShowFigures(const CRunStatistics& stats) {
    figures_ = StatisticsFigures(stats, recognitionThreshold_);
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

    // The users recognised in most runs.
    std::vector<const std::pair<const int, UserRecognition>*> users;
    for (const auto& entry : stats.Recognition().users)
        users.push_back(&entry);
    std::stable_sort(users.begin(), users.end(),
                     [](auto* a, auto* b) { return a->second.runs > b->second.runs; });
    for (std::size_t i = 0; i < users_.size(); ++i) {
        if (i >= users.size() || users[i]->second.scores.count == 0) {
            users_[i]->SetTitle(UiFormat(kStrStatsScoreChart, FunctionCaption(kRecognitionFunction)));
            users_[i]->Clear();
            continue;
        }
        users_[i]->SetTitle(
            UiFormat(kStrStatsScoreChart, UserCaption(users[i]->first, users[i]->second.name)));
        users_[i]->SetBars(BinValues(users[i]->second.scores), RangeLabels(users[i]->second.scores));
    }
}

}  // namespace qzm
