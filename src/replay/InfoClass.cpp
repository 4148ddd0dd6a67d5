#include "replay/InfoClass.h"

#include "base/Numeric.h"

#include <vector>

const char* DirectionName(TDirections direction)
{
    switch (direction) {
    case TDirections::drNorth: return "drNorth";
    case TDirections::drNorthEast: return "drNorthEast";
    case TDirections::drEast: return "drEast";
    case TDirections::drEastSouth: return "drEastSouth";
    case TDirections::drSouth: return "drSouth";
    case TDirections::drSouthWest: return "drSouthWest";
    case TDirections::drWest: return "drWest";
    case TDirections::drWestNorth: return "drWestNorth";
    }
    return "drNorth";
}

TDirections DirectionBetween(const TVector& from, const TVector& to)
{
    if (from.X == to.X)
        return from.Z > to.Z ? TDirections::drSouth : TDirections::drNorth;
    if (from.X < to.X) {
        if (from.Z < to.Z)
            return TDirections::drNorthEast;
        return from.Z == to.Z ? TDirections::drEast : TDirections::drEastSouth;
    }
    if (from.Z > to.Z)
        return TDirections::drSouthWest;
    return from.Z == to.Z ? TDirections::drWest : TDirections::drWestNorth;
}

TInfoClass::TInfoClass()
{
    Image.AutoSize = true;
    Image.Transparent = true;
    Image.Stretch = true;
}

void TInfoClass::SetTeam(int32_t team, TPaintedPictures* painted)
{
    FTeam = team;
    UpdateTeamColor(painted);
}

void TInfoClass::SetFighterClass(std::string_view kit)
{
    if (!kit.empty())
        FFighterClass = kit;
}

TDirections TInfoClass::Direction()
{
    FDirection = DirectionBetween(CommingFrom, GoingTo);
    return FDirection;
}

void TInfoClass::UpdateTeamColor(TPaintedPictures* painted)
{
    if (!Image.HasPicture())
        return;
    const QRgb colour = FTeam == 1 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
    // The key names the picture's contents: any change of them gives it another.
    const qint64 key = Image.Picture().cacheKey();
    const bool memo = painted && painted->Active();
    if (memo)
        if (const QImage* known = painted->Find(key, colour)) {
            Image.ReplacePicture(*known);
            return;
        }
    QImage& picture = Image.Bitmap();
    // Both coordinates come from the width, as the markers are square.
    const int centre = DivTrunc(picture.width(), 2);
    FloodFillBlack(picture, centre, centre, colour);
    if (memo)
        painted->Keep(key, colour, picture);
}

void TPaintedPictures::SetActive(bool on)
{
    FActive = on;
    if (!on)
        FPainted.clear();
}

const QImage* TPaintedPictures::Find(qint64 pictureKey, QRgb colour) const
{
    const auto it = FPainted.find({pictureKey, colour});
    return it == FPainted.end() ? nullptr : &it->second;
}

void TPaintedPictures::Keep(qint64 pictureKey, QRgb colour, const QImage& painted)
{
    // A seek meets a few dozen pictures; a flood of new ones starts the memo afresh.
    if (FPainted.size() >= 512)
        FPainted.clear();
    FPainted.insert_or_assign({pictureKey, colour}, painted);
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
