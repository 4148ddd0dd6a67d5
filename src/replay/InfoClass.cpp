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

void TInfoClass::SetTeam(int32_t team)
{
    FTeam = team;
    UpdateTeamColor();
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

void TInfoClass::UpdateTeamColor()
{
    QImage& picture = Image.Bitmap();
    if (picture.isNull())
        return;
    // Both coordinates come from the width, as the markers are square.
    const int centre = DivTrunc(picture.width(), 2);
    FloodFillBlack(picture, centre, centre, FTeam == 1 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
}

void FloodFillBlack(QImage& picture, int x, int y, QRgb colour)
{
    if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height())
        return;
    const QRgb black = qRgb(0, 0, 0);
    if (picture.pixel(x, y) != black || colour == black)
        return;
    // Scanline fill with an explicit stack: no recursion, however large the region.
    std::vector<QPoint> stack{{x, y}};
    const int width = picture.width();
    const int height = picture.height();
    while (!stack.empty()) {
        const QPoint seed = stack.back();
        stack.pop_back();
        if (picture.pixel(seed) != black)
            continue;
        int left = seed.x();
        while (left > 0 && picture.pixel(left - 1, seed.y()) == black)
            --left;
        int right = seed.x();
        while (right + 1 < width && picture.pixel(right + 1, seed.y()) == black)
            ++right;
        for (int i = left; i <= right; ++i)
            picture.setPixel(i, seed.y(), colour);
        for (const int row : {seed.y() - 1, seed.y() + 1}) {
            if (row < 0 || row >= height)
                continue;
            bool inRun = false;
            for (int i = left; i <= right; ++i) {
                const bool isBlack = picture.pixel(i, row) == black;
                if (isBlack && !inRun)
                    stack.emplace_back(i, row);
                inRun = isBlack;
            }
        }
    }
}
