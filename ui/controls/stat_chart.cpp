#include "ui/controls/stat_chart.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
constexpr double kPad = 4;
constexpr double kSample = 12;  // a line's sample in the legend

// The top of the value axis: the maximum rounded up to 1, 2 or 5 times a power of ten.
double NiceTop(double maximum) {
    if (maximum <= 0)
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(maximum)));
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (maximum <= step * power)
            return step * power;
    }
    return 10 * power;
}

// Secondary text (scales, "no data"): the text colour, faded, so that it reads on the card in any
// palette (a theme's placeholder colour is not always set to match its base).
QColor Faint(const QPalette& palette) {
    QColor colour = palette.color(QPalette::Text);
    colour.setAlphaF(0.6);
    return colour;
}

// A second line colour set off against the highlight: its opposite hue, as saturated, light enough
// on a dark card and dark enough on a light one.
QColor Accent(const QPalette& palette) {
    const QColor highlight = palette.color(QPalette::Highlight).toHsl();
    const int hue = highlight.hslHue() < 0 ? 30 : (highlight.hslHue() + 180) % 360;
    const bool darkCard = palette.color(QPalette::Base).lightnessF() < 0.5;
    return QColor::fromHslF(hue / 360.0, std::max<double>(0.65, highlight.hslSaturationF()),
                            darkCard ? 0.66 : 0.42);
}

QString Short(double value) {
    if (value >= 10000)
        return QString::number(value / 1000, 'f', 0) + QLatin1Char('k');
    return QString::number(value, 'g', 4);
}
}  // namespace

CStatChart::CStatChart(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
    setAccessibleName(title);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void CStatChart::SetTitle(const QString& title) {
    title_ = title;
    setAccessibleName(title);
    update();
}

void CStatChart::SetBars(std::vector<double> values, QStringList labels) {
    kind_ = Kind::kBars;
    bars_ = std::move(values);
    labels_ = std::move(labels);
    update();
}

void CStatChart::SetSeries(std::vector<QPointF> line, std::vector<QPointF> second, double spanSeconds,
                           const QString& unit) {
    std::vector<ChartLine> lines;
    lines.push_back({std::move(line), {}, ChartLine::Colour::kHighlight});
    if (!second.empty())
        lines.push_back({std::move(second), {}, ChartLine::Colour::kText, true});
    SetTimeLines(std::move(lines), {spanSeconds, 30, 0}, unit);
}

void CStatChart::SetTimeLines(std::vector<ChartLine> lines, const TimeAxis& axis, const QString& unit) {
    kind_ = Kind::kTime;
    lines_ = std::move(lines);
    time_ = axis;
    unit_ = unit;
    marks_.clear();
    update();
}

void CStatChart::SetCurves(std::vector<ChartLine> lines, const ValueAxes& axes,
                           std::vector<ChartMark> marks) {
    kind_ = Kind::kCurves;
    lines_ = std::move(lines);
    axes_ = axes;
    unit_ = axes.yUnit;
    marks_ = std::move(marks);
    update();
}

void CStatChart::Clear(const QString& note) {
    kind_ = Kind::kNone;
    note_ = note;
    bars_.clear();
    lines_.clear();
    marks_.clear();
    update();
}

bool CStatChart::IsEmpty() const {
    switch (kind_) {
        case Kind::kNone:
            return true;
        case Kind::kBars:
            return bars_.empty();
        case Kind::kTime:
        case Kind::kCurves:
            return std::all_of(lines_.begin(), lines_.end(),
                               [](const ChartLine& line) { return line.points.empty(); });
    }
    return true;
}

void CStatChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QFontMetricsF metrics(font());

    // Layer 1: the card.
    const QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(pal.color(QPalette::Mid), 1));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawRoundedRect(card, 3, 3);

    // Layer 2: the title.
    painter.setPen(pal.color(QPalette::Text));
    const QRectF titleRect(kPad + 2, kPad, width() - 2 * kPad - 4, metrics.height());
    painter.drawText(titleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(title_, Qt::ElideRight, titleRect.width()));

    // Layer 3: the plot (bars or lines), or the word that there is nothing yet.
    const QRectF plot(kPad + 2, titleRect.bottom() + 2, width() - 2 * kPad - 4,
                      height() - titleRect.bottom() - 2 - kPad - metrics.height());
    const double least = kind_ == Kind::kBars ? 8 : 8 + metrics.height();
    if (IsEmpty() || plot.height() < least) {
        painter.setPen(Faint(pal));
        const QString note = kind_ == Kind::kNone && !note_.isEmpty() ? note_ : UiText(kStrStatsNoData);
        painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap, note);
        return;
    }
    if (kind_ == Kind::kBars)
        DrawBars(painter, plot);
    else
        DrawLines(painter, plot);
}

void CStatChart::DrawBars(QPainter& painter, const QRectF& plot) const {
    const QPalette& pal = palette();
    const QFontMetricsF metrics(font());
    const double maximum = *std::max_element(bars_.begin(), bars_.end());
    const double top = NiceTop(maximum);
    const double slot = plot.width() / static_cast<double>(bars_.size());
    const double gap = slot >= 6 ? 1 : 0;

    // Base line, then the bars, then the largest value at the top left.
    painter.setPen(QPen(pal.color(QPalette::Mid), 1));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::Highlight));
    for (std::size_t i = 0; i < bars_.size(); ++i) {
        // The top line stays free for the largest value.
        const double room = plot.height() - metrics.height();
        const double h = bars_[i] > 0 ? std::max(1.0, room * bars_[i] / top) : 0;
        painter.drawRect(
            QRectF(plot.left() + slot * static_cast<double>(i) + gap / 2, plot.bottom() - h, slot - gap, h));
    }
    painter.setPen(Faint(pal));
    painter.drawText(QRectF(plot.left(), plot.top(), plot.width(), metrics.height()), Qt::AlignRight,
                     Short(maximum));

    // Labels under the bars: each bar's own, or the two ends of the range.
    const QRectF below(plot.left(), plot.bottom() + 1, plot.width(), metrics.height());
    painter.setPen(pal.color(QPalette::Text));
    if (labels_.size() == static_cast<qsizetype>(bars_.size())) {
        for (qsizetype i = 0; i < labels_.size(); ++i) {
            const QRectF cell(plot.left() + slot * static_cast<double>(i), below.top(), slot, below.height());
            // A name too long for its bar is cut short to its first letters, as an engineer
            // abbreviates ("neu", "hap"), not with an ellipsis that leaves nothing readable.
            QString label = labels_[i];
            if (metrics.horizontalAdvance(label) > slot)
                label = label.left(3);
            painter.drawText(cell, Qt::AlignHCenter | Qt::AlignTop, label);
        }
    } else if (labels_.size() == 2) {
        painter.drawText(below, Qt::AlignLeft | Qt::AlignTop, labels_[0]);
        painter.drawText(below, Qt::AlignRight | Qt::AlignTop, labels_[1]);
    }
}

QPen CStatChart::PenOf(const ChartLine& line) const {
    const QPalette& pal = palette();
    QColor colour;
    switch (line.colour) {
        case ChartLine::Colour::kHighlight:
            colour = pal.color(QPalette::Highlight);
            break;
        case ChartLine::Colour::kAccent:
            colour = Accent(pal);
            break;
        case ChartLine::Colour::kText:
            colour = pal.color(QPalette::Text);
            colour.setAlphaF(line.thin ? 0.45 : 0.7);
            break;
    }
    QPen pen(colour, line.thin ? 1.0 : 1.6);
    if (line.dashed)
        pen.setDashPattern({4, 2.5});
    return pen;
}

double CStatChart::LegendWidth() const {
    const QFontMetricsF metrics(font());
    double width = 0;
    for (const ChartLine& line : lines_) {
        if (!line.name.isEmpty())
            width += kSample + 3 + metrics.horizontalAdvance(line.name) + 8;
    }
    return width > 0 ? width - 8 : 0;
}

void CStatChart::DrawLegend(QPainter& painter, const QRectF& row) const {
    const QFontMetricsF metrics(font());
    double x = row.right() - LegendWidth();
    const double y = row.center().y();
    for (const ChartLine& line : lines_) {
        if (line.name.isEmpty())
            continue;
        QPen pen = PenOf(line);
        pen.setWidthF(std::max(pen.widthF(), 1.6));  // a sample line as bold as it can be told apart
        painter.setPen(pen);
        painter.drawLine(QPointF(x, y), QPointF(x + kSample, y));
        x += kSample + 3;
        painter.setPen(palette().color(QPalette::Text));
        const double advance = metrics.horizontalAdvance(line.name);
        painter.drawText(QRectF(x, row.top(), advance + 1, row.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         line.name);
        x += advance + 8;
    }
}

void CStatChart::DrawLines(QPainter& painter, const QRectF& plot) const {
    const QPalette& pal = palette();
    const QFontMetricsF metrics(font());
    // The plot's first text line holds the scale (left) and the legend (right); the lines go below
    // it, so neither hides the other. A legend too wide to share the line gets one of its own above.
    const bool legendRow = LegendWidth() > 0.7 * plot.width();
    const QRectF legendLine(plot.left(), plot.top(), plot.width(), metrics.height());
    const QRectF header(plot.left(), legendRow ? legendLine.bottom() : plot.top(), plot.width(),
                        metrics.height());
    const QRectF area(plot.left(), header.bottom() + 2, plot.width(), plot.bottom() - header.bottom() - 2);

    double maximum = 0;
    double newest = -std::numeric_limits<double>::infinity();
    double oldest = std::numeric_limits<double>::infinity();
    for (const ChartLine& line : lines_) {
        for (const QPointF& p : line.points) {
            maximum = std::max(maximum, p.y());
            newest = std::max(newest, p.x());
            oldest = std::min(oldest, p.x());
        }
    }
    double xLow = axes_.xLow;
    double xHigh = axes_.xHigh;
    double top = NiceTop(maximum);
    if (kind_ == Kind::kTime) {
        // The strip covers the time there is, between the least and the most it is given.
        const double least = std::max(1.0, time_.minimumSeconds);
        const double span =
            std::clamp(newest + time_.endAfterSeconds - oldest, least, std::max(least, time_.spanSeconds));
        xHigh = newest + time_.endAfterSeconds;
        xLow = xHigh - span;
    } else if (axes_.yTop > 0) {
        top = axes_.yTop;
    }
    if (xHigh <= xLow)
        xHigh = xLow + 1;
    const auto xAt = [&](double x) {
        return std::clamp(area.left() + area.width() * (x - xLow) / (xHigh - xLow), area.left(),
                          area.right());
    };
    const auto at = [&](const QPointF& p) {
        return QPointF(xAt(p.x()), area.bottom() - area.height() * std::clamp(p.y() / top, 0.0, 1.0));
    };

    // Grid: the base line, the half lines, the scale.
    QColor grid = pal.color(QPalette::Mid);
    painter.setPen(QPen(grid, 1));
    painter.drawLine(QPointF(area.left(), area.bottom()), QPointF(area.right(), area.bottom()));
    grid.setAlphaF(0.5);
    painter.setPen(QPen(grid, 1, Qt::DashLine));
    painter.drawLine(QPointF(area.left(), area.top()), QPointF(area.right(), area.top()));
    painter.drawLine(QPointF(area.left(), area.center().y()), QPointF(area.right(), area.center().y()));
    if (kind_ == Kind::kCurves)
        painter.drawLine(QPointF(area.center().x(), area.top()), QPointF(area.center().x(), area.bottom()));
    painter.setPen(Faint(pal));
    const QString scale = unit_.isEmpty() ? Short(top) : Short(top) + QLatin1Char(' ') + unit_;
    // On a narrow card the legend keeps its room and the scale gives way.
    const QRectF scaleRect(header.left(), header.top(),
                           std::max(0.0, header.width() - (legendRow ? 0 : LegendWidth() + 6)),
                           header.height());
    painter.drawText(scaleRect, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(scale, Qt::ElideRight, scaleRect.width()));
    DrawLegend(painter, legendRow ? legendLine : header);

    // The lines, the first on top; a gap longer than the axis joins stays open.
    for (auto line = lines_.rbegin(); line != lines_.rend(); ++line) {
        const std::vector<QPointF>& points = line->points;
        if (points.empty())
            continue;
        const QPen pen = PenOf(*line);
        QPainterPath path(at(points.front()));
        for (std::size_t i = 1; i < points.size(); ++i) {
            const bool gap = kind_ == Kind::kTime && time_.joinSeconds > 0 &&
                             points[i].x() - points[i - 1].x() > time_.joinSeconds;
            if (gap)
                path.moveTo(at(points[i]));
            else
                path.lineTo(at(points[i]));
        }
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        // Sparse points as dots too: a line between two points far apart hides that none came between.
        if (points.size() < 60) {
            // Larger when there are only a few: a lone point must still catch the eye.
            const double radius = (line->thin ? 1.5 : 2.0) + (points.size() <= 12 ? 0.5 : 0.0);
            painter.setPen(Qt::NoPen);
            painter.setBrush(pen.color());
            for (const QPointF& p : points)
                painter.drawEllipse(at(p), radius, radius);
        }
    }

    // Marks: a line across the plot, its label at the top beside it on a patch of the card, each
    // mark a text line lower than the one before so that near marks keep their labels apart.
    QColor patch = pal.color(QPalette::Base);
    patch.setAlphaF(0.85);
    for (std::size_t i = 0; i < marks_.size(); ++i) {
        const double x = xAt(marks_[i].x);
        painter.setPen(QPen(pal.color(QPalette::Text), 1, Qt::DotLine));
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        const double w = metrics.horizontalAdvance(marks_[i].label) + 4;
        const double left = x + 3 + w <= area.right() ? x + 3 : x - 3 - w;
        const QRectF label(std::max(area.left(), left), area.top() + 1 + metrics.height() * double(i), w,
                           metrics.height());
        painter.fillRect(label, patch);
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(label, Qt::AlignCenter, marks_[i].label);
    }

    // Under the plot: how far back a strip reaches, or the ends and the middle of the value range.
    painter.setPen(pal.color(QPalette::Text));
    const QRectF below(plot.left(), plot.bottom() + 1, plot.width(), metrics.height());
    if (kind_ == Kind::kTime) {
        painter.drawText(below, Qt::AlignLeft | Qt::AlignTop,
                         UiFormat(kStrStatsMinutesBack, QString::number((xHigh - xLow) / 60.0, 'g', 2)));
        painter.drawText(below, Qt::AlignRight | Qt::AlignTop, UiText(kStrStatsNow));
        return;
    }
    const QString high = axes_.xUnit.isEmpty() ? Short(xHigh) : Short(xHigh) + QLatin1Char(' ') + axes_.xUnit;
    painter.drawText(below, Qt::AlignLeft | Qt::AlignTop, Short(xLow));
    painter.drawText(below, Qt::AlignHCenter | Qt::AlignTop, Short((xLow + xHigh) / 2));
    painter.drawText(below, Qt::AlignRight | Qt::AlignTop, high);
}

}  // namespace qzm
