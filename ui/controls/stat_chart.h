// A small chart for the statistics page: a title over either bars (a histogram's bins, or a split
// into named parts) or a strip of values over time (one or two lines). Drawn with QPainter in
// logical coordinates on every paint, so it stays sharp at any device pixel ratio, in colours taken
// from the palette, so it reads in light and dark themes alike.
#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

namespace qzm {

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
    // Empty: nothing to show yet ("no data" drawn).
    void Clear();

    const std::vector<double>& Bars() const { return bars_; }
    QSize sizeHint() const override { return {180, 96}; }
    QSize minimumSizeHint() const override { return {120, 72}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    enum class Kind { kNone, kBars, kSeries };

    void DrawBars(class QPainter& painter, const QRectF& plot) const;
    void DrawSeries(class QPainter& painter, const QRectF& plot) const;

    QString title_;
    Kind kind_ = Kind::kNone;
    std::vector<double> bars_;
    QStringList labels_;
    std::vector<QPointF> line_;
    std::vector<QPointF> second_;
    double spanSeconds_ = 0;
    QString unit_;
};

}  // namespace qzm
