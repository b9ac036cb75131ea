#include "ui/controls/stat_chart.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui/controls/ui_text.h"

namespace qzm {

namespace {
constexpr double kPad = 4;

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
    kind_ = Kind::kSeries;
    line_ = std::move(line);
    second_ = std::move(second);
    spanSeconds_ = spanSeconds;
    unit_ = unit;
    update();
}

void CStatChart::Clear() {
    kind_ = Kind::kNone;
    bars_.clear();
    line_.clear();
    second_.clear();
    update();
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

    // Layer 3: the plot (bars or strip), or the word that there is nothing yet.
    const QRectF plot(kPad + 2, titleRect.bottom() + 2, width() - 2 * kPad - 4,
                      height() - titleRect.bottom() - 2 - kPad - metrics.height());
    const bool empty = kind_ == Kind::kNone || (kind_ == Kind::kBars && bars_.empty()) ||
                       (kind_ == Kind::kSeries && line_.empty());
    if (empty || plot.height() < 8) {
        painter.setPen(Faint(pal));
        painter.drawText(plot, Qt::AlignCenter, UiText(kStrStatsNoData));
        return;
    }
    if (kind_ == Kind::kBars)
        DrawBars(painter, plot);
    else
        DrawSeries(painter, plot);
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

void CStatChart::DrawSeries(QPainter& painter, const QRectF& plot) const {
    const QPalette& pal = palette();
    const QFontMetricsF metrics(font());
    double newest = line_.back().x();
    double maximum = 0;
    for (const auto* series : {&line_, &second_}) {
        for (const QPointF& p : *series) {
            newest = std::max(newest, p.x());
            maximum = std::max(maximum, p.y());
        }
    }
    const double top = NiceTop(maximum);
    // The strip covers the seconds there are, at least half a minute and at most the span given:
    // the first seconds of a run are not a sliver at the right edge.
    double oldest = newest;
    for (const auto* series : {&line_, &second_}) {
        for (const QPointF& p : *series)
            oldest = std::min(oldest, p.x());
    }
    const double span = std::clamp(newest - oldest, 30.0, std::max(30.0, spanSeconds_));
    const auto at = [&](const QPointF& p) {
        const double x = plot.right() - plot.width() * (newest - p.x()) / span;
        return QPointF(std::max(plot.left(), x), plot.bottom() - plot.height() * p.y() / top);
    };

    // Grid: the base line and the half line, the scale at the left.
    QColor grid = pal.color(QPalette::Mid);
    painter.setPen(QPen(grid, 1));
    painter.drawLine(QPointF(plot.left(), plot.bottom()), QPointF(plot.right(), plot.bottom()));
    grid.setAlphaF(0.5);
    painter.setPen(QPen(grid, 1, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), plot.center().y()), QPointF(plot.right(), plot.center().y()));
    painter.setPen(Faint(pal));
    painter.drawText(QRectF(plot.left(), plot.top(), plot.width(), metrics.height()), Qt::AlignLeft,
                     Short(top) + QLatin1Char(' ') + unit_);

    // The second line thin and faint behind the first.
    const auto draw = [&](const std::vector<QPointF>& series, const QPen& pen) {
        if (series.empty())
            return;
        QPainterPath path(at(series.front()));
        for (std::size_t i = 1; i < series.size(); ++i)
            path.lineTo(at(series[i]));
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        // Sparse seconds as dots too: a line between two points far apart hides that none came between.
        if (series.size() < 60) {
            painter.setBrush(pen.color());
            for (const QPointF& p : series)
                painter.drawEllipse(at(p), 1.5, 1.5);
        }
    };
    QColor faint = pal.color(QPalette::Text);
    faint.setAlphaF(0.45);
    draw(second_, QPen(faint, 1));
    draw(line_, QPen(pal.color(QPalette::Highlight), 1.6));

    // Time under the strip: how far back the left edge reaches.
    painter.setPen(pal.color(QPalette::Text));
    const QRectF below(plot.left(), plot.bottom() + 1, plot.width(), metrics.height());
    painter.drawText(below, Qt::AlignLeft | Qt::AlignTop,
                     UiFormat(kStrStatsMinutesBack, QString::number(span / 60.0, 'g', 2)));
    painter.drawText(below, Qt::AlignRight | Qt::AlignTop, UiText(kStrStatsNow));
}

}  // namespace qzm
