#include "replay/MarkerPictures.h"

#include "base/Numeric.h"

#include <QPoint>

#include <vector>

void TMarkerPictures::Show(TMarker& marker, const std::string& name, const QImage& picture, QSize size)
{
    FPictures.insert_or_assign(name, picture);
    marker.PictureName = name;
    marker.Colour.reset();
    marker.Width = size.width();
    marker.Height = size.height();
}

const QImage* TMarkerPictures::Painted(const TMarker& marker)
{
    if (!marker.PictureName)
        return nullptr;
    const auto source = FPictures.find(*marker.PictureName);
    if (source == FPictures.end())
        return nullptr;
    // An unpainted picture is filed under black, which is never painted.
    const QRgb colour = marker.Colour.value_or(qRgb(0, 0, 0));
    TPainted& painted = FPainted[{*marker.PictureName, colour}];
    const qint64 key = source->second.cacheKey();
    if (painted.source == key && (!painted.picture.isNull() || source->second.isNull()))
        return &painted.picture;
    painted.source = key;
    painted.picture = source->second;
    if (!painted.picture.isNull() && painted.picture.format() != QImage::Format_RGB888)
        painted.picture = painted.picture.convertToFormat(QImage::Format_RGB888);
    if (marker.Colour && !painted.picture.isNull()) {
        // Both coordinates come from the width, as the markers are square.
        const int centre = DivTrunc(painted.picture.width(), 2);
        FloodFillBlack(painted.picture, centre, centre, colour);
    }
    return &painted.picture;
}

void TMarkerPictures::Clear()
{
    FPictures.clear();
    FPainted.clear();
}

namespace {

// Pixels of any format, through QImage's own access.
class TAnyPixels {
public:
    explicit TAnyPixels(QImage& picture) : FPicture(picture) {}
    bool IsBlack(int x, int y) const { return FPicture.pixel(x, y) == qRgb(0, 0, 0); }
    void Set(int x, int y, QRgb colour) { FPicture.setPixel(x, y, colour); }

private:
    QImage& FPicture;
};

// The markers' 24-bit pixels, read and written in place: a replay fills thousands of them.
class TRgb888Pixels {
public:
    explicit TRgb888Pixels(QImage& picture) : FBits(picture.bits()), FLine(picture.bytesPerLine()) {}
    bool IsBlack(int x, int y) const
    {
        const uchar* p = FBits + y * FLine + x * 3;
        return p[0] == 0 && p[1] == 0 && p[2] == 0;
    }
    void Set(int x, int y, QRgb colour)
    {
        uchar* p = FBits + y * FLine + x * 3;
        p[0] = static_cast<uchar>(qRed(colour));
        p[1] = static_cast<uchar>(qGreen(colour));
        p[2] = static_cast<uchar>(qBlue(colour));
    }

private:
    uchar* FBits;
    qsizetype FLine;
};

template <typename Pixels>
void FillBlackRegion(Pixels pixels, int width, int height, int x, int y, QRgb colour)
{
    // Scanline fill with an explicit stack: no recursion, however large the region.
    std::vector<QPoint> stack{{x, y}};
    while (!stack.empty()) {
        const QPoint seed = stack.back();
        stack.pop_back();
        if (!pixels.IsBlack(seed.x(), seed.y()))
            continue;
        int left = seed.x();
        while (left > 0 && pixels.IsBlack(left - 1, seed.y()))
            --left;
        int right = seed.x();
        while (right + 1 < width && pixels.IsBlack(right + 1, seed.y()))
            ++right;
        for (int i = left; i <= right; ++i)
            pixels.Set(i, seed.y(), colour);
        for (const int row : {seed.y() - 1, seed.y() + 1}) {
            if (row < 0 || row >= height)
                continue;
            bool inRun = false;
            for (int i = left; i <= right; ++i) {
                const bool isBlack = pixels.IsBlack(i, row);
                if (isBlack && !inRun)
                    stack.emplace_back(i, row);
                inRun = isBlack;
            }
        }
    }
}

} // namespace

void FloodFillBlack(QImage& picture, int x, int y, QRgb colour)
{
    if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height())
        return;
    const QRgb black = qRgb(0, 0, 0);
    if (picture.pixel(x, y) != black || colour == black)
        return;
    if (picture.format() == QImage::Format_RGB888)
        FillBlackRegion(TRgb888Pixels(picture), picture.width(), picture.height(), x, y, colour);
    else
        FillBlackRegion(TAnyPixels(picture), picture.width(), picture.height(), x, y, colour);
}
