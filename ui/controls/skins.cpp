#include "ui/controls/skins.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <map>
#include <vector>

#include "ui/controls/state_bmp_button.h"
#include "ui/controls/ui_text.h"

namespace qzm {

namespace {

// Painted at twice the usual 24-pixel button height, so they stay sharp on dense screens.
constexpr int kCellHeight = 48;
constexpr int kCapWidth = 16;
constexpr int kCentreWidth = 8;
constexpr qreal kRadius = 11;
constexpr qreal kBorder = 2;
constexpr int kUnderline = 6;
constexpr int kRows = 4;

// How one state looks when enabled and not pressed; pressed and disabled are made from it.
struct Look {
    QColor top, bottom, border;
    QColor underline;  // invalid: none
};

const QColor kText(0x1b, 0x23, 0x30);
const QColor kDisabledText(0x98, 0xa2, 0xae);
const Look kNeutral{QColor(0xff, 0xff, 0xff), QColor(0xe4, 0xe9, 0xf0), QColor(0xa3, 0xae, 0xbd), {}};
const Look kOn{QColor(0xe6, 0xf0, 0xff), QColor(0xb7, 0xd2, 0xfa), QColor(0x2f, 0x6f, 0xd6), {}};
const Look kTabOff{QColor(0xf3, 0xf5, 0xf8), QColor(0xe1, 0xe6, 0xec), QColor(0xb4, 0xbd, 0xc9), {}};
const Look kTabOn{QColor(0xff, 0xff, 0xff), QColor(0xf1, 0xf5, 0xfb), QColor(0x2f, 0x6f, 0xd6),
                  QColor(0x2f, 0x6f, 0xd6)};
const Look kPanelIdle{QColor(0xff, 0xff, 0xff), QColor(0xd9, 0xe2, 0xee), QColor(0x86, 0x97, 0xae), {}};
const Look kPanelRunning{QColor(0xe8, 0xf8, 0xee), QColor(0xb4, 0xe6, 0xc5), QColor(0x1e, 0x9e, 0x4a), {}};

QColor Mix(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

Look Pressed(const Look& look) {
    // Sunk in: the gradient turns round and darkens a little.
    return {look.bottom.darker(106), look.top.darker(104), look.border.darker(125), look.underline};
}

Look Disabled(const Look& look) {
    // Flat and faded towards a light grey, but only so far that a greyed switch still shows
    // whether it is on: the estimation switches keep their states while Face is off.
    const QColor grey(0xf1, 0xf2, 0xf4);
    const QColor fill = Mix(look.bottom, grey, 0.3);
    const QColor underline = look.underline.isValid() ? Mix(look.underline, grey, 0.4) : QColor();
    return {fill, fill, Mix(look.border, grey, 0.4), underline};
}

// One whole button (cap, centre, cap) in one look; transparent outside the rounded shape.
QImage PaintShape(const Look& look) {
    QImage shape(2 * kCapWidth + kCentreWidth, kCellHeight, QImage::Format_ARGB32_Premultiplied);
    shape.fill(Qt::transparent);
    QPainter painter(&shape);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline =
        QRectF(shape.rect()).adjusted(kBorder / 2, kBorder / 2, -kBorder / 2, -kBorder / 2);
    QPainterPath path;
    path.addRoundedRect(outline, kRadius, kRadius);

    QLinearGradient fill(0, 0, 0, kCellHeight);
    fill.setColorAt(0, look.top);
    fill.setColorAt(1, look.bottom);
    painter.fillPath(path, fill);
    if (look.underline.isValid()) {
        painter.save();
        painter.setClipPath(path);
        painter.fillRect(QRect(0, kCellHeight - kUnderline, shape.width(), kUnderline), look.underline);
        painter.restore();
    }
    painter.strokePath(path, QPen(look.border, kBorder));
    return shape;
}

// Copies the three slices of a painted shape into their grid cells.
void PutCell(Skin& skin, const QImage& shape, int column, int row) {
    const QRect slices[] = {{0, 0, kCapWidth, kCellHeight},
                            {kCapWidth, 0, kCentreWidth, kCellHeight},
                            {kCapWidth + kCentreWidth, 0, kCapWidth, kCellHeight}};
    QImage* grids[] = {&skin.left, &skin.centre, &skin.right};
    for (int i = 0; i < 3; ++i) {
        QPainter painter(grids[i]);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(column * slices[i].width(), row * kCellHeight), shape, slices[i]);
    }
}

// Fully transparent pixels become the key colour; the soft edge keeps its partial alpha.
void KeyOutside(QImage& grid) {
    grid = grid.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = SkinKeyColor().rgb();
    for (int y = 0; y < grid.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(grid.scanLine(y));
        for (int x = 0; x < grid.width(); ++x) {
            if (qAlpha(line[x]) == 0) {
                line[x] = key;
            }
        }
    }
}

Skin PaintSkin(const std::vector<Look>& states) {
    Skin skin;
    skin.stateCount = static_cast<int>(states.size());
    const int height = kRows * kCellHeight;
    skin.left = QImage(kCapWidth * skin.stateCount, height, QImage::Format_ARGB32_Premultiplied);
    skin.centre = QImage(kCentreWidth * skin.stateCount, height, QImage::Format_ARGB32_Premultiplied);
    skin.right = QImage(kCapWidth * skin.stateCount, height, QImage::Format_ARGB32_Premultiplied);
    for (QImage* grid : {&skin.left, &skin.centre, &skin.right}) {
        grid->fill(Qt::transparent);
    }
    for (int column = 0; column < skin.stateCount; ++column) {
        const Look& look = states[column];
        PutCell(skin, PaintShape(look), column, 0);
        PutCell(skin, PaintShape(Pressed(look)), column, 1);
        PutCell(skin, PaintShape(Disabled(look)), column, 2);
    }
    for (QImage* grid : {&skin.left, &skin.centre, &skin.right}) {
        KeyOutside(*grid);
    }
    return skin;
}

QImage PaintNoImagePicture(qreal devicePixelRatio) {
    QImage picture(qRound(320 * devicePixelRatio), qRound(176 * devicePixelRatio),
                   QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // A dark card, so that it reads as "the picture goes here" on the grey picture area.
    const QRectF card = QRectF(QPointF(0, 0), picture.deviceIndependentSize()).adjusted(6.5, 6.5, -6.5, -6.5);
    QLinearGradient ground(0, card.top(), 0, card.bottom());
    ground.setColorAt(0, QColor(0x3d, 0x47, 0x56));
    ground.setColorAt(1, QColor(0x26, 0x2d, 0x37));
    painter.setPen(QPen(QColor(0x5a, 0x66, 0x78), 1));
    painter.setBrush(ground);
    painter.drawRoundedRect(card, 12, 12);

    // A camera outline: body, viewfinder and lens.
    const QColor line(0xa6, 0xb4, 0xc6);
    const QPointF lens(160, 70);
    painter.setPen(QPen(line, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0x30, 0x39, 0x46));
    painter.drawRoundedRect(QRectF(lens.x() - 38, lens.y() - 24, 76, 50), 9, 9);
    painter.drawRoundedRect(QRectF(lens.x() - 22, lens.y() - 32, 22, 8), 3, 3);
    painter.drawEllipse(lens, 15, 15);
    painter.setPen(QPen(line, 2));
    painter.drawEllipse(lens, 7, 7);

    // Crossed out in the program's blue, cut free of the outline by a band of the card's colour.
    const QLineF slash(lens.x() - 44, lens.y() + 34, lens.x() + 44, lens.y() - 34);
    painter.setPen(QPen(QColor(0x33, 0x3c, 0x49), 9, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(slash);
    painter.setPen(QPen(QColor(0x5b, 0x90, 0xea), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(slash);

    QFont font = QGuiApplication::font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xe2, 0xe8, 0xf0));
    painter.drawText(QRectF(card.left(), 116, card.width(), 28), Qt::AlignCenter, UiText(kStrNoImage));
    return picture;
}

}  // namespace

const QImage& NoImagePicture(qreal devicePixelRatio) {
    // One per ratio the screens have shown; window thread only.
    static std::map<qreal, QImage> pictures;
    auto found = pictures.find(devicePixelRatio);
    if (found == pictures.end()) {
        found = pictures.emplace(devicePixelRatio, PaintNoImagePicture(devicePixelRatio)).first;
    }
    return found->second;
}

const Skin& SkinOf(SkinKind kind) {
    static const std::map<SkinKind, Skin> skins = {
        {SkinKind::kButton, PaintSkin({kNeutral})},
        {SkinKind::kSwitch, PaintSkin({kNeutral, kOn})},
        {SkinKind::kPageButton, PaintSkin({kTabOff, kTabOn})},
        {SkinKind::kPanelButton, PaintSkin({kPanelIdle, kPanelRunning})},
    };
    return skins.at(kind);
}

void ApplySkin(CStateBmpButton& button, SkinKind kind) {
    const Skin& skin = SkinOf(kind);
    button.SetStateCount(skin.stateCount);
    button.SetBitmaps(skin.centre, skin.left, skin.right);
    button.SetTransparentColor(SkinKeyColor());
    button.SetTextColors(kText, kDisabledText);
}

}  // namespace qzm
