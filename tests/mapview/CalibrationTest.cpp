// The calibration solver, the fit and the grid background, without a window.
#include "mapview/Calibration.h"
#include "mapview/GridBackground.h"
#include "mapview/WorldToMap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

TReferencePair Exact(const TCalibration& c, int height, double x, double z)
{
    return {x, z, double(CalibratedMapX(c, x)), double(CalibratedMapY(c, height, z))};
}

double SquaredError(const TCalibration& c, int height, const std::vector<TReferencePair>& pairs)
{
    double sum = 0;
    for (const double r : PairResiduals(c, height, pairs))
        sum += r * r;
    return sum;
}

std::string SolveMessage(const std::vector<TReferencePair>& pairs)
{
    try {
        SolveCalibration(pairs, 600);
    } catch (const ECalibrationError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(CalibrationSolver, ExactPairsGiveBackTheSliderValuesTheRoundingIncluded)
{
    std::mt19937 random(14);
    std::uniform_int_distribution<int> scale(MinCalibrationScale, MaxCalibrationScale);
    std::uniform_int_distribution<int> offset(MinCalibrationOffset, MaxCalibrationOffset);
    std::uniform_int_distribution<int> height(50, 2000);
    std::uniform_int_distribution<int> extra(0, 4);
    std::uniform_real_distribution<double> near(0, 800), far(3200, 6000);
    for (int trial = 0; trial < 250; ++trial) {
        const TCalibration truth{scale(random), scale(random), offset(random), offset(random)};
        const int h = height(random);
        // Two places more than 2000 world units apart on each axis fix every value: one more
        // thousandth of scale moves their pixels apart by more than the rounding can hide.
        std::vector<TReferencePair> pairs{Exact(truth, h, near(random), far(random)),
                                          Exact(truth, h, far(random), near(random))};
        for (int i = extra(random); i > 0; --i)
            pairs.push_back(Exact(truth, h, far(random) - near(random), near(random) + near(random)));
        SCOPED_TRACE(trial);
        const TCalibration solved = SolveCalibration(pairs, h);
        EXPECT_EQ(solved, truth);
        for (const double r : PairResiduals(solved, h, pairs))
            EXPECT_EQ(r, 0);
    }
}

TEST(CalibrationSolver, HalfPixelsRoundToEvenAsTheMapViewDoes)
{
    // At 2000 thousandths X = 100.25 is pixel 200.5, which the map view puts on 200, and 100.75 on
    // 202: a solver that rounded halves up would be a pixel off at every such place.
    const TCalibration truth{2000, 1000, 7, -3};
    const std::vector<TReferencePair> pairs{
        Exact(truth, 600, 100.25, 2.5), Exact(truth, 600, 100.75, 3.5), Exact(truth, 600, 3000.25, 4000.5),
        Exact(truth, 600, 2500.75, 3000.5)};
    ASSERT_EQ(pairs[0].MapX, 207);
    ASSERT_EQ(pairs[1].MapX, 209);
    EXPECT_EQ(SolveCalibration(pairs, 600), truth);

    // Pairs close together fix the values only up to what they can tell apart; whatever comes
    // back puts them exactly where they are.
    const TCalibration shipped{1172, 1172, 0, 0};
    const std::vector<TReferencePair> close{Exact(shipped, 600, 70, 440), Exact(shipped, 600, 450, 60),
                                            Exact(shipped, 600, 210, 330)};
    const TCalibration solved = SolveCalibration(close, 600);
    EXPECT_NEAR(solved.XScale, 1172, 6);
    EXPECT_EQ(SquaredError(solved, 600, close), 0);
}

TEST(CalibrationSolver, NoisyPairsAreFittedByLeastSquares)
{
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 1.5);
    std::uniform_real_distribution<double> place(0, 2048);
    for (int trial = 0; trial < 20; ++trial) {
        const TCalibration truth{293 + trial, 293 - trial, 12 - trial, -40 + trial};
        std::vector<TReferencePair> pairs;
        for (int i = 0; i < 12; ++i) {
            TReferencePair p = Exact(truth, 600, place(random), place(random));
            p.MapX += noise(random);
            p.MapY += noise(random);
            pairs.push_back(p);
        }
        SCOPED_TRACE(trial);
        const TCalibration solved = SolveCalibration(pairs, 600);
        // The best values the sliders can take: never worse than the truth itself.
        EXPECT_LE(SquaredError(solved, 600, pairs), SquaredError(truth, 600, pairs) + 1e-9);
        EXPECT_NEAR(solved.XScale, truth.XScale, 6);
        EXPECT_NEAR(solved.YScale, truth.YScale, 6);
        EXPECT_NEAR(solved.Left, truth.Left, 6);
        EXPECT_NEAR(solved.Top, truth.Top, 6);
    }
}

TEST(CalibrationSolver, PairsThatCannotFixAnAxisAreRefusedNamingIt)
{
    struct TCase {
        std::vector<TReferencePair> pairs;
        std::string says, notSaid;
    };
    const TCase cases[] = {
        {{}, "Too few reference pairs: 0 given", "Cannot"},
        {{{100, 100, 50, 50}}, "the X and Y axes need two each", "Cannot"},
        // One world X for both, or places less than 10 pixels apart from top to bottom.
        {{{100, 100, 50, 500}, {100, 900, 80, 100}}, "Cannot determine the X axis", "Y axis"},
        {{{100, 100, 50, 300}, {900, 900, 500, 309.5}}, "Cannot determine the Y axis", "X axis"},
        // The same world position clicked at two places: neither.
        {{{100, 100, 50, 300}, {100, 100, 500, 20}}, "X axis: it needs two pairs at different world X", "Too few"},
        {{{100, 100, 50, 300}, {900, std::nan(""), 500, 20}}, "Reference pair 2: world Z", "Cannot"},
        // 10 pixels apart is enough, and a third pair may fix the axis the first two cannot.
        {{{100, 100, 50, 300}, {900, 900, 60, 310}}, "", ""},
        {{{100, 100, 50, 300}, {100, 900, 80, 100}, {600, 500, 300, 200}}, "", ""},
    };
    for (const TCase& c : cases) {
        const std::string message = SolveMessage(c.pairs);
        if (c.says.empty()) {
            EXPECT_EQ(message, "");
            continue;
        }
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        EXPECT_EQ(message.find(c.notSaid), std::string::npos) << message;
    }
}

TEST(CalibrationSolver, ValuesStayWithinTheSlidersRanges)
{
    // 8 pixels per world unit is beyond the scales: the largest they have, with the offsets
    // that suit it best.
    const std::vector<TReferencePair> steep{{0, 0, 100, 600 + 50}, {100, 100, 900, 600 - 800 + 50},
                                            {200, 200, 1700, 600 - 1600 + 50}};
    EXPECT_EQ(SolveCalibration(steep, 600), (TCalibration{MaxCalibrationScale, MaxCalibrationScale, 400, -250}));
    // An offset of 6000 (and of -6000) is beyond the offsets: the nearest they can take, and the
    // scale that makes the best of it, never worse than keeping the true scale.
    const std::vector<TReferencePair> shifted{{0, 0, 6000, 600 - 6000}, {100, 100, 6200, 600 - 200 - 6000},
                                              {200, 200, 6400, 600 - 400 - 6000}};
    const TCalibration c = SolveCalibration(shifted, 600);
    EXPECT_EQ(c.Left, MaxCalibrationOffset);
    EXPECT_EQ(c.Top, MinCalibrationOffset);
    EXPECT_LE(SquaredError(c, 600, shifted), SquaredError({2000, 2000, 4000, -4000}, 600, shifted));
    // A mirrored map needs a negative scale, which no slider has.
    const std::vector<TReferencePair> mirrored{{0, 0, -3000, 600}, {1000, 1000, -3100, 700}};
    EXPECT_EQ(SolveCalibration(mirrored, 600), (TCalibration{MinCalibrationScale, MinCalibrationScale, -3055, 55}));
}

TEST(CalibrationFit, EveryPositionLiesOnThePictureWithAMarginAtOneScale)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<double> size(200, 30000), unit(0, 1);
    std::uniform_int_distribution<int> height(105, 1200);
    for (int trial = 0; trial < 300; ++trial) {
        // Worlds that start near their origin, as the sliders' offsets can reach.
        const double w = size(random), d = trial % 3 ? size(random) : w / 50;
        const double x0 = 3 * w * unit(random), z0 = 3 * w * unit(random);
        std::vector<TWorldPoint> points;
        for (int i = 0; i < 30; ++i)
            points.push_back({x0 + w * unit(random), z0 + d * unit(random)});
        points.push_back({x0, z0});
        points.push_back({x0 + w, z0 + d});
        const int h = height(random);
        SCOPED_TRACE(trial);
        const TCalibration c = FitCalibration(points, h);
        EXPECT_EQ(c.XScale, c.YScale);
        int lowX = 600, highX = 0, lowY = 600, highY = 0;
        for (const TWorldPoint& p : points) {
            const int x = CalibratedMapX(c, p.X), y = CalibratedMapY(c, h, p.Z);
            lowX = std::min(lowX, x), highX = std::max(highX, x), lowY = std::min(lowY, y), highY = std::max(highY, y);
        }
        EXPECT_GE(lowX, 30);
        EXPECT_LE(highX, 570);
        EXPECT_GE(lowY, 30);
        EXPECT_LE(highY, 570);
        // As large as fits: one thousandth more and the longer side would not.
        const TCalibration larger{c.XScale + 1, c.YScale + 1, 0, 0};
        const int widthThen = CalibratedMapX(larger, x0 + w) - CalibratedMapX(larger, x0);
        const int heightThen = CalibratedMapY(larger, h, z0) - CalibratedMapY(larger, h, z0 + d);
        EXPECT_GT(std::max(widthThen, heightThen), 540);
        // Centred on the picture's middle.
        EXPECT_LE(std::abs(lowX + highX - 600), 1);
        EXPECT_LE(std::abs(lowY + highY - 600), 1);
    }
}

TEST(CalibrationFit, OnePlaceNoPlaceAndPlacesTooFarForTheSliders)
{
    const TCalibration one = FitCalibration({{250, 125}}, 600);
    EXPECT_EQ(one.XScale, MaxCalibrationScale);
    EXPECT_EQ(CalibratedMapX(one, 250), 300);
    EXPECT_EQ(CalibratedMapY(one, 600, 125), 300);

    EXPECT_THROW(FitCalibration({}, 600), ECalibrationError);
    // Wider than the smallest scale can draw in 540 pixels: the smallest scale, centred.
    const TCalibration wide = FitCalibration({{0, 0}, {60000, 10}}, 600);
    EXPECT_EQ(wide, (TCalibration{MinCalibrationScale, MinCalibrationScale, 0, -300}));
    EXPECT_EQ(CalibratedMapX(wide, 0) + CalibratedMapX(wide, 60000), 600);
    // So far out that no offset brings it back: as near as the offsets reach.
    const TCalibration far = FitCalibration({{0, 900000}, {100, 900100}}, 600);
    EXPECT_EQ(far.XScale, MinCalibrationScale);
    EXPECT_EQ(far.Top, MaxCalibrationOffset);
}

// Whether some offsets within the sliders' ranges put the pixels low..high (the offset not
// added) within the picture's margins.
bool OffsetReaches(long long low, long long high)
{
    for (int offset = MinCalibrationOffset; offset <= MaxCalibrationOffset; ++offset)
        if (low + offset >= 30 && high + offset <= 570)
            return true;
    return false;
}

TEST(CalibrationFit, PlacesAnywhereInARealWorldFitAtTheLargestScaleTheOffsetsCanHold)
{
    // The fight of a real log on a 4096 world, far from the origin, on a map with no picture
    // (the picture holder's height); then random rounds anywhere from -100 000 to 100 000.
    std::vector<std::vector<TWorldPoint>> rounds = {
        {{1694, 2100}, {1862.67, 2320}, {1750, 2200}},
        {{3500, 3000}, {3705, 3185}, {3295, 2805}},
        {{50, 4000}, {460, 4046}, {55, 3666}},
        {{100000, 100000}},
        {{-100000, -100000}, {-99800, -99700}},
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<double> where(-100000, 100000), spread(1, 5000), unit(0, 1);
    for (int trial = 0; trial < 200; ++trial) {
        const double x0 = where(random), z0 = where(random), w = spread(random), d = spread(random);
        std::vector<TWorldPoint> points;
        for (int i = 0; i < 20; ++i)
            points.push_back({x0 + w * unit(random), z0 + d * unit(random)});
        rounds.push_back(points);
    }
    for (const int h : {105, 600, 4096}) {
        for (size_t r = 0; r < rounds.size(); ++r) {
            SCOPED_TRACE(std::to_string(h) + " " + std::to_string(r));
            const std::vector<TWorldPoint>& points = rounds[r];
            const TCalibration c = FitCalibration(points, h);
            EXPECT_EQ(c.XScale, c.YScale);
            EXPECT_GE(c.XScale, MinCalibrationScale);
            EXPECT_LE(c.XScale, MaxCalibrationScale);
            EXPECT_GE(std::min(c.Left, c.Top), MinCalibrationOffset);
            EXPECT_LE(std::max(c.Left, c.Top), MaxCalibrationOffset);
            // Every one of these lies wholly on the picture, but for a far negative Z under a
            // tall picture, which no offset reaches (and no log holds: its positions carry no
            // sign).
            bool negative = false;
            for (const TWorldPoint& p : points)
                negative = negative || p.Z < 0;
            if (negative && h > 600)
                continue;
            long long lowX = 1LL << 40, highX = -lowX, lowY = lowX, highY = -lowX;
            long long lowX1 = lowX, highX1 = highX, lowZ1 = lowX, highZ1 = highX;
            for (const TWorldPoint& p : points) {
                const long long x = CalibratedMapX(c, p.X), y = CalibratedMapY(c, h, p.Z);
                lowX = std::min(lowX, x), highX = std::max(highX, x), lowY = std::min(lowY, y), highY = std::max(highY, y);
                const long long x1 = ScaleWorldToMap(c.XScale + 1, p.X), z1 = ScaleWorldToMap(c.XScale + 1, p.Z);
                lowX1 = std::min(lowX1, x1), highX1 = std::max(highX1, x1);
                lowZ1 = std::min(lowZ1, z1), highZ1 = std::max(highZ1, z1);
            }
            EXPECT_GE(lowX, 30);
            EXPECT_LE(highX, 570);
            EXPECT_GE(lowY, 30);
            EXPECT_LE(highY, 570);
            // The largest: one thousandth more and no offset the sliders take holds them.
            if (c.XScale < MaxCalibrationScale)
                EXPECT_FALSE(OffsetReaches(lowX1, highX1) && OffsetReaches(h - highZ1, h - lowZ1));
        }
    }
}

TEST(GridBackground, ALineEvery100WorldUnitsBrighterEvery500PlacedAsPositionsAre)
{
    // One pixel per world unit, shifted by the offsets; at zoom 1500 every place is half as far
    // again.
    const TCalibration c{1000, 1000, 20, -10};
    const QImage grid = DrawGridBackground(QSize(900, 900), 1500, c, 600, QFont());
    ASSERT_EQ(grid.format(), QImage::Format_RGB888);
    ASSERT_EQ(grid.size(), QSize(900, 900));
    const auto column = [](double x) { return static_cast<int>(std::nearbyint((x + 20) * 1.5)); };
    const auto row = [](double z) { return static_cast<int>(std::nearbyint((600 - z - 10) * 1.5)); };
    // Between labels: a minor line at X = 100 and Z = 200, a major one at X = 500 and Z = 0.
    EXPECT_EQ(grid.pixel(column(100), row(250)), GridLine);
    EXPECT_EQ(grid.pixel(column(330), row(200)), GridLine);
    EXPECT_EQ(grid.pixel(column(500), row(250)), GridMajorLine);
    EXPECT_EQ(grid.pixel(column(330), row(0)), GridMajorLine);
    EXPECT_EQ(grid.pixel(column(150), row(150)), GridGround);
    EXPECT_EQ(grid.pixel(column(100) + 1, row(250)), GridGround);
    // The crossing at X = 500, Z = 500 carries its label just above and right of it.
    int label = 0;
    for (int y = row(500) - 14; y < row(500); ++y)
        for (int x = column(500) + 1; x < column(500) + 60; ++x)
            label += grid.pixel(x, y) != GridGround && grid.pixel(x, y) != GridLine;
    EXPECT_GT(label, 10);

    // Lines that would stand closer than a few pixels are thinned tenfold.
    EXPECT_EQ(GridStep({1000, 1000, 0, 0}, 1000), 100);
    EXPECT_EQ(GridStep({20, 2000, 0, 0}, 1000), 1000);
    EXPECT_EQ(GridStep({10, 10, 0, 0}, 500), 1000);
    const QImage sparse = DrawGridBackground(QSize(300, 300), 500, {10, 10, 0, 0}, 600, QFont());
    int lines = 0;
    for (int x = 0; x < 300; ++x)
        lines += sparse.pixel(x, 7) != GridGround;
    EXPECT_GT(lines, 10);
    EXPECT_LT(lines, 80);
}
