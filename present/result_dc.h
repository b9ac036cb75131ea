// Off-screen drawing surfaces for the result overlay: the camera image fitted into the surface and
// one execution's results drawn over it. The image page owns one CQZMResultDC of 320 x 320, fills it
// grey, draws the image (or its placeholder), then the results, and shows Surface() on the screen.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QStaticText>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "device/qzm_results.h"
#include "image/image_data.h"
#include "present/overlay_geometry.h"
#include "present/result_text.h"

namespace qzm {

// A surface with an image-to-surface scale and offset (1.0 and (0, 0) until an image is drawn).
// Drawing goes through Painter(), active between Create and Release; the background mode is
// transparent and the font is the application font until the owner selects another.
class CResultDC {
public:
    CResultDC() = default;
    virtual ~CResultDC();
    CResultDC(const CResultDC&) = delete;
    CResultDC& operator=(const CResultDC&) = delete;

    // Creates the width x height surface (contents undefined until filled) and starts painting on
    // it. Returns 1, or 0 when the surface already exists or the size is not positive. The format
    // decides what CopyToImage produces. With a device pixel ratio above 1 the surface holds that
    // many pixels per unit in each direction, so that it is shown unscaled on a dense screen: every
    // size and position given to the surface stays in units of width x height, the painter scales.
    int Create(int width, int height, QImage::Format format = QImage::Format_RGB32,
               qreal devicePixelRatio = 1.0);
    // Ends painting and frees the surface; Create may follow again.
    void Release();
    // Makes the surface anew, same size and format, when devicePixelRatio differs from its own (the
    // window moved to another screen). True when it did: its contents are then undefined.
    bool MatchDevicePixelRatio(qreal devicePixelRatio);

    // Draws a 24-bit blue-green-red or 8-bit grey image, rows stored bottom-up as in a
    // device-independent bitmap (packed or padded to 4 bytes), as large as it fits and centred,
    // nearest pixel when scaled; takes the fit's scale and offset. Returns 0, or -1 with nothing drawn
    // and scale and offset kept for an empty image, another format or no surface.
    int DrawImage(const CImageData& image);

    // Copies the surface, one image pixel per surface pixel (device pixels at a ratio above 1),
    // into the image as packed rows, top row first: format 0x49050565 for a
    // 16-bit (RGB16) surface, 0x45068888 for 24 bits (BGR888), 0x41088888 for 32 bits (RGB32,
    // ARGB32). Returns 0; the surface's bit depth, nothing copied, for any other surface format; -1
    // without a surface or when the image cannot be allocated.
    int CopyToImage(CImageData* image) const;

    // Outline of a rectangle given in module coordinates, with the current pen; factor converts
    // module coordinates to image pixels. Values of -1 are drawn as they are.
    void DrawRect(int left, int top, int right, int bottom, double factor);

    // The image-to-surface scale, for drawing results without an image (the placeholder is 1.0);
    // labels and bars may then use the whole surface.
    void SetScale(double scale) {
        scale_ = scale;
        picture_ = {0, 0, width_, height_};
    }
    double Scale() const { return scale_; }
    int OffsetX() const { return offsetX_; }
    int OffsetY() const { return offsetY_; }
    // Module coordinates to surface pixels at the current scale and offset.
    OverlayMapping Mapping(double factor) const { return {scale_ * factor, offsetX_, offsetY_}; }
    // Where the last image was drawn (the whole surface before any): labels and bars stay inside.
    const OverlayRect& PictureArea() const { return picture_; }

    // Valid between Create and Release. The surface is painted in place: take QImage::copy() to
    // keep a frame while drawing goes on.
    QPainter& Painter() { return painter_; }
    const QImage& Surface() const { return surface_; }
    // In units, as given to Create.
    int Width() const { return width_; }
    int Height() const { return height_; }
    qreal DevicePixelRatio() const { return surface_.isNull() ? 1.0 : surface_.devicePixelRatio(); }

protected:
    void DrawOutline(const RectOutline& outline);
    // Lines with the current pen; those of no length are left out.
    void DrawSegments(std::span<const OverlaySegment> segments);

    QPainter painter_;

private:
    QImage surface_;
    QImage frame_;  // DrawImage's top-down copy of the last image, reused between frames
    int width_ = 0;
    int height_ = 0;
    double scale_ = 1.0;
    int offsetX_ = 0;
    int offsetY_ = 0;
    OverlayRect picture_;
};

// The result overlay: rectangles for bodies, hands and faces, and per face the direction axes, gaze
// lines, blink bars and a stack of labels (recognised name, age, gender, expression) on a black box
// blended in at 160/255.
class CQZMResultDC : public CResultDC {
public:
    CQZMResultDC();

    // Draws one execution's results over what the surface shows. flags: ten display switches in
    // function order; factor: image pixels per module coordinate (the larger image side divided by
    // the module's coordinate width; 0.5 without an image).
    void DrawResults(const bool flags[kFunctionCount], double factor, const CExecResult& result);

    // The registered users, for the names of recognised faces; replaced whenever they change.
    void SetUserList(std::vector<UserName> users) { users_ = std::move(users); }
    const std::vector<UserName>& UserList() const { return users_; }

private:
    void DrawFace(const bool flags[kFunctionCount], const OverlayMapping& mapping, const CFaceResult& face);
    void DrawLabels(const std::vector<LabelLine>& lines, const OverlayMapping& mapping,
                    const CQZMDetectRes& detection);

    // A label text laid out in the surface font, with its width. The same few texts come back in
    // every frame and laying text out is most of an overlay's cost, so they are kept while the
    // font stays the same. Handed out as a copy (the layout is shared, not copied): a later
    // insertion may empty the cache while a face's earlier lines are still to be drawn.
    struct PreparedLabel {
        QStaticText text;
        int width = 0;
    };
    static constexpr std::size_t kMaxPreparedLabels = 512;
    PreparedLabel Prepared(const std::string& text);

    QPen bodyPen_;
    QPen handPen_;
    QPen facePen_;
    QPen blinkFramePen_;
    QPen directionXPen_;
    QPen directionYPen_;
    QPen directionZPen_;
    QPen gazePen_;
    std::vector<UserName> users_;
    std::unordered_map<std::string, PreparedLabel> labels_;
    QFont labelFont_;  // the font labels_ was prepared with
};

}  // namespace qzm
