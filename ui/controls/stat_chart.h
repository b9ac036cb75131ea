// A small chart for the statistics page: a title over either bars (a histogram's bins, or a split
// into named parts), lines over time (a strip, the newest at the right edge) or lines against a
// value range (rates by threshold, with marks). Drawn with QPainter in logical coordinates on every
// paint, so it stays sharp at any device pixel ratio, in colours taken from the palette, so it
// reads in light and dark themes alike.
#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

namespace qzm {

// One line of a chart and how it is drawn. Several lines on one chart are told apart by colour,
// width and dashes, and named in a legend above the plot.
struct ChartLine {
    enum class Colour {
        kHighlight,  // the palette's highlight: the line the chart is about
        kAccent,     // the highlight's opposite hue, lightened or darkened to read on the card
        kText,       // the text colour, faded
    };
    std::vector<QPointF> points;  // in x order
    QString name;                 // in the legend; empty: left out of it
    Colour colour = Colour::kHighlight;
    bool thin = false;
    bool dashed = false;
};

// A vertical mark on a chart of lines against a value range (a threshold), with its label.
struct ChartMark {
    double x = 0;
    QString label;
};

// The x axis of lines over time: x in seconds (any origin), the newest point at the right edge.
struct TimeAxis {
    double spanSeconds = 300;    // the most the strip covers
    double minimumSeconds = 30;  // the least, so that the first points are not a sliver at the edge
    double joinSeconds = 0;      // points farther apart than this stay unjoined (a gap); 0: all joined
    // The right edge this far past the newest point: a point standing for a span (a minute, drawn at
    // its middle) keeps the rest of its span to the right and does not sit on the card's edge.
    double endAfterSeconds = 0;
};

// The axes of lines against a value range: x from low to high, labelled at both ends and the
// middle in xUnit; y from 0 to yTop (0: the largest value rounded up) in yUnit.
struct ValueAxes {
    double xLow = 0;
    double xHigh = 1;
    QString xUnit;
    double yTop = 0;
    QString yUnit;
};

class CStatChart : public QWidget {
    Q_OBJECT

public:
    explicit CStatChart(const QString& title, QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    const QString& Title() const { return title_; }
    // Bars of equal width, one per value, from left; labels: one per bar (a split), or two (the
    // histogram's low and high end, shown under the first and the last bar), or none.
    void SetBars(std::vector<double> values, QStringList labels = {});
    // A strip over time: x in seconds (any origin; the newest at the right edge), y in unit; the
    // second line (drawn thinner, for example the maximum) may be empty. span: the seconds the
    // strip covers.
    void SetSeries(std::vector<QPointF> line, std::vector<QPointF> second, double spanSeconds,
                   const QString& unit);
    // Lines over time, the first drawn on top; y from 0 in unit.
    void SetTimeLines(std::vector<ChartLine> lines, const TimeAxis& axis, const QString& unit);
    // Lines against a value range (no time): thresholds, for example, with marks at chosen values.
    void SetCurves(std::vector<ChartLine> lines, const ValueAxes& axes, std::vector<ChartMark> marks = {});
    // Empty: nothing to show; note says why ("no data" when empty).
    void Clear(const QString& note = {});

    const std::vector<double>& Bars() const { return bars_; }
    const std::vector<ChartLine>& Lines() const { return lines_; }
    const std::vector<ChartMark>& Marks() const { return marks_; }
    bool IsEmpty() const;
    QSize sizeHint() const override { return {180, 96}; }
    QSize minimumSizeHint() const override { return {120, 72}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    enum class Kind { kNone, kBars, kTime, kCurves };

    void DrawBars(class QPainter& painter, const QRectF& plot) const;
    // Lines in either mode: the scale and legend in the plot's first text line, the lines below it.
    void DrawLines(class QPainter& painter, const QRectF& plot) const;
    void DrawLegend(class QPainter& painter, const QRectF& row) const;
    double LegendWidth() const;
    QPen PenOf(const ChartLine& line) const;

    QString title_;
    Kind kind_ = Kind::kNone;
    QString note_;
    std::vector<double> bars_;
    QStringList labels_;
    std::vector<ChartLine> lines_;
    TimeAxis time_;
    ValueAxes axes_;
    std::vector<ChartMark> marks_;
    QString unit_;
};

}  // namespace qzm
