#include "ui/controls/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace qzm {

namespace {
const QColor kInk(0x1b, 0x23, 0x30);
const QColor kBlue(0x2f, 0x6f, 0xd6);
const QColor kTeal(0x1e, 0x9e, 0x8a);
constexpr int kLogoWidth = 148;
constexpr int kLogoHeight = 36;
}  // namespace

QImage PaintMark(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    // Rounded square body with a blue to teal gradient.
    QLinearGradient body(0, 0, s, s);
    body.setColorAt(0, kBlue);
    body.setColorAt(1, kTeal);
    painter.setPen(Qt::NoPen);
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(0, 0, s, s).adjusted(s * 0.04, s * 0.04, -s * 0.04, -s * 0.04), s * 0.22,
                            s * 0.22);

    // The lens: a dark ring with a light glint.
    const QPointF centre(s * 0.5, s * 0.5);
    QRadialGradient lens(centre, s * 0.32, QPointF(s * 0.42, s * 0.4));
    lens.setColorAt(0, QColor(0x45, 0x55, 0x6d));
    lens.setColorAt(1, QColor(0x10, 0x16, 0x20));
    painter.setBrush(lens);
    painter.setPen(QPen(QColor(255, 255, 255, 230), s * 0.05));
    painter.drawEllipse(centre, s * 0.32, s * 0.32);

    // A face outline inside the lens, as the module finds it: head, eyes and a detection box.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0x7c, 0xf0, 0x9a), s * 0.035));
    painter.drawRect(QRectF(s * 0.36, s * 0.33, s * 0.28, s * 0.34));
    painter.setPen(QPen(QColor(255, 255, 255, 220), s * 0.03));
    painter.drawEllipse(QRectF(s * 0.4, s * 0.36, s * 0.2, s * 0.26));
    painter.setBrush(QColor(255, 255, 255, 220));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(s * 0.46, s * 0.47), s * 0.018, s * 0.018);
    painter.drawEllipse(QPointF(s * 0.54, s * 0.47), s * 0.018, s * 0.018);
    painter.setBrush(QColor(255, 255, 255, 170));
    painter.drawEllipse(QPointF(s * 0.38, s * 0.34), s * 0.05, s * 0.035);
    return image;
}

QImage PaintLogo(qreal devicePixelRatio) {
    QImage image(qRound(kLogoWidth * devicePixelRatio), qRound(kLogoHeight * devicePixelRatio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    const int markSize = kLogoHeight;
    painter.drawImage(QRectF(0, 0, markSize, markSize), PaintMark(qRound(markSize * devicePixelRatio)));

    QFont name;
    name.setBold(true);
    name.setPixelSize(17);
    painter.setFont(name);
    painter.setPen(kInk);
    const QRectF textArea(markSize + 8, 0, kLogoWidth - markSize - 8, kLogoHeight);
    painter.drawText(textArea.adjusted(0, 1, 0, -kLogoHeight / 2 + 2), Qt::AlignLeft | Qt::AlignBottom,
                     QStringLiteral("QZM-K"));
    QFont tag;
    tag.setPixelSize(11);
    painter.setFont(tag);
    painter.setPen(kBlue.darker(110));
    painter.drawText(textArea.adjusted(0, kLogoHeight / 2 + 1, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                     QStringLiteral("Demo"));
    return image;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(PaintMark(size)));
    return icon;
}

}  // namespace qzm
