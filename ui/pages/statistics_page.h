// The statistics page: what an evaluator reads off a stream of runs at a glance. Pace and response
// times, what each function found and how sure it was, the face estimates, who was recognised and,
// for runs tagged with the person in view, the recognition rates. It shows the figures of a
// CRunStatistics it is handed (live from the main window, or a recording's) and raises the user's
// requests (reset, open a recording, export) for the main window to carry out.
#pragma once

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

#include "record/run_statistics.h"
#include "ui/controls/stat_chart.h"

namespace qzm {

// One line of the figures: its group ("Pace", "Response time" ...), name and value as shown.
struct StatFigure {
    QString group;
    QString name;
    QString value;
    bool operator==(const StatFigure&) const = default;
};

// The figures of stats in the order the page shows and exports them. recognitionThreshold: the
// module's current recognition threshold (for the rates there), -1 when unknown; targetFar: the
// false-accept rate (a share) whose threshold is sought.
std::vector<StatFigure> StatisticsFigures(const CRunStatistics& stats, int recognitionThreshold,
                                          double targetFar = 0.01);

// The figures behind the charts over time and thresholds, for the export after the figures shown:
// the face estimates of each minute (minutes as CRunStatistics::FaceSeries gives them) and, when
// runs took part in the rates, TAR / FAR / FRR at every threshold.
std::vector<StatFigure> ChartFigures(const std::vector<FaceEstimates>& minutes, const ThresholdTable& rates);

// The figures as a CSV table (group,name,value with a header line), UTF-8, CR LF line ends.
QByteArray FiguresCsv(const std::vector<StatFigure>& figures);

class CStatisticsPage : public QWidget {
    Q_OBJECT

public:
    // The charts of the functions that report a confidence, in function order.
    static constexpr int kConfidenceCharts = 8;
    // The face estimates per minute: age, eye closure, gaze spread, direction spread.
    // Age, eye closure, gaze, direction, then gender and expression (beside their totals).
    static constexpr int kFaceTimeCharts = 6;

    explicit CStatisticsPage(QWidget* parent = nullptr);

    // The registered users for the person-in-view choice; a chosen user that is gone falls back to
    // "Not tagged".
    void SetUserList(const std::vector<UserName>& names);
    void SetRecognitionThreshold(int threshold) { recognitionThreshold_ = threshold; }
    // Who the user says is in view of the camera (untagged by default).
    PersonInView Person() const;
    // The false-accept rate the user will accept, as a share (1 % by default): the page names the
    // lowest threshold that keeps to it.
    double TargetFar() const;

    // Shows the figures and charts of stats (also when the page is hidden: the next show has them).
    void ShowFigures(const CRunStatistics& stats);
    // The line saying where the figures come from.
    void SetSource(const QString& line);

    const std::vector<StatFigure>& Figures() const { return figures_; }
    // What "Export figures" writes: the figures shown, then those behind the charts (ChartFigures).
    std::vector<StatFigure> ExportFigures() const;
    QWidget& ChartArea() { return *charts_; }
    QLabel& SourceLine() { return *source_; }
    QLabel& HintLine() { return *hint_; }
    QComboBox& PersonCombo() { return *person_; }
    QDoubleSpinBox& TargetFarBox() { return *targetFar_; }
    QPushButton& ResetButton() { return *reset_; }
    QPushButton& OpenButton() { return *open_; }
    QPushButton& ExportButton() { return *export_; }
    QPushButton& SaveChartsButton() { return *saveCharts_; }
    CStatChart& ResponseChart() { return *response_; }
    CStatChart& RatesChart() { return *rates_; }
    CStatChart& FaceTimeChart(int index) { return *faceTime_[static_cast<std::size_t>(index)]; }
    // One per user recognised, in user-number order; one empty chart when nobody was.
    const std::vector<CStatChart*>& UserCharts() const { return users_; }
    // The figures of one group as shown (name and value per line, tab-separated).
    QString GroupText(const QString& group) const;

signals:
    void ResetRequested();
    void OpenRecordingRequested();
    void ExportRequested();
    void SaveChartsRequested();
    void PersonChanged(PersonInView person);
    void TargetFarChanged();

private:
    void ShowCharts(const CRunStatistics& stats);
    void ShowFaceTime();
    void ShowRates(const CRunStatistics& stats);
    void ShowUsers(const RecognitionFigures& recognition);

    int recognitionThreshold_ = -1;
    std::vector<StatFigure> figures_;
    QPushButton* reset_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* saveCharts_ = nullptr;
    QComboBox* person_ = nullptr;
    QDoubleSpinBox* targetFar_ = nullptr;
    QLabel* source_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* table_ = nullptr;  // the figures, grouped
    QScrollArea* figuresScroll_ = nullptr;
    QScrollArea* chartsScroll_ = nullptr;
    QWidget* charts_ = nullptr;
    QGridLayout* grid_ = nullptr;
    CStatChart* response_ = nullptr;
    CStatChart* rates_ = nullptr;
    std::array<CStatChart*, kFaceTimeCharts> faceTime_{};
    std::array<CStatChart*, kConfidenceCharts> confidence_{};
    CStatChart* gender_ = nullptr;
    CStatChart* expression_ = nullptr;
    std::vector<CStatChart*> users_;
    // Kept from the last figures shown, for the export.
    std::vector<FaceEstimates> minutes_;
    ThresholdTable ratesTable_;
};

}  // namespace qzm
