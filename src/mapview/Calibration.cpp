#include "mapview/Calibration.h"

#include "base/Json.h"
#include "base/Numeric.h"
#include "mapview/WorldToMap.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// Beyond these the conversion would leave 32 bits at the largest scale, or a pixel would be
// no place on any picture.
constexpr double MaxWorld = 4.0e8;
constexpr double MaxPixel = 1.0e7;

// The margin the fit keeps on each side: 5 % of the picture as drawn.
constexpr int FitMargin = DrawnMapSize / 20;

// One axis in the form target = Round(scale / 1000 × world) + offset. For y the target is the
// picture height minus the map y and the offset is minus TBTop.
struct TAxisSample {
    double world;
    double target;
};

struct TAxisValues {
    int scale;
    int offset;
};

struct TAxisNames {
    const char* axis;    // as the sliders are labelled
    const char* world;   // the world coordinate along it
    const char* across;  // the direction on the picture
};

constexpr TAxisNames XAxis{"X", "X", "from left to right"};
constexpr TAxisNames YAxis{"Y", "Z", "from top to bottom"};

int ClampOffset(long double value)
{
    if (value <= MinCalibrationOffset)
        return MinCalibrationOffset;
    if (value >= MaxCalibrationOffset)
        return MaxCalibrationOffset;
    return RoundToInt32(value);
}

bool Determines(const std::vector<TAxisSample>& samples)
{
    for (size_t i = 0; i < samples.size(); ++i)
        for (size_t j = i + 1; j < samples.size(); ++j)
            if (samples[i].world != samples[j].world &&
                std::fabs(samples[i].target - samples[j].target) >= MinPairSpread)
                return true;
    return false;
}

std::string AxisProblem(const TAxisNames& names)
{
    return std::string("Cannot determine the ") + names.axis + " axis: it needs two pairs at different world " +
           names.world + " whose places lie at least " + std::to_string(static_cast<int>(MinPairSpread)) +
           " pixels apart " + names.across;
}

// Least squares over the values the sliders can take: each scale with its best offset. Every
// scale is tried, so the rounding of the model is part of the fit and no local minimum of the
// rounded model can hide the best one.
TAxisValues SolveAxis(const std::vector<TAxisSample>& samples)
{
    const long double n = static_cast<long double>(samples.size());
    long double meanWorld = 0, meanTarget = 0;
    for (const TAxisSample& s : samples) {
        meanWorld += s.world;
        meanTarget += s.target;
    }
    meanWorld /= n;
    meanTarget /= n;
    long double spread = 0, together = 0;
    for (const TAxisSample& s : samples) {
        spread += (s.world - meanWorld) * (s.world - meanWorld);
        together += (s.world - meanWorld) * (s.target - meanTarget);
    }
    const long double straightScale = 1000.0L * together / spread;

    TAxisValues best{MinCalibrationScale, 0};
    long double bestCost = std::numeric_limits<long double>::infinity();
    std::vector<long double> rest(samples.size());
    for (int scale = MinCalibrationScale; scale <= MaxCalibrationScale; ++scale) {
        long double mean = 0;
        for (size_t i = 0; i < samples.size(); ++i) {
            rest[i] = samples[i].target - ScaleWorldToMap(scale, samples[i].world);
            mean += rest[i];
        }
        const int offset = ClampOffset(mean / n);
        long double cost = 0;
        for (const long double r : rest)
            cost += (r - offset) * (r - offset);
        const long double tie = std::isinf(bestCost) ? 0 : 1e-9L * (1 + bestCost);
        const bool better = cost < bestCost - tie;
        const bool same = !better && cost <= bestCost + tie;
        if (better)
            bestCost = cost;
        if (better || (same && std::fabs(scale - straightScale) < std::fabs(best.scale - straightScale)))
            best = {scale, offset};
    }
    return best;
}

void CheckNumber(double value, double limit, const std::string& what)
{
    if (!std::isfinite(value) || std::fabs(value) > limit)
        throw ECalibrationError(what + " is no usable number");
}

// The smallest and largest pixel of an axis at a scale; the rounding keeps the order.
struct TPixelSpan {
    long long low, high;
};

TPixelSpan SpanAt(int scale, double low, double high)
{
    return {ScaleWorldToMap(scale, low), ScaleWorldToMap(scale, high)};
}

long long FloorHalf(long long value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

} // namespace

int CalibratedMapX(const TCalibration& c, double x) { return CheckedAdd(ScaleWorldToMap(c.XScale, x), c.Left); }

int CalibratedMapY(const TCalibration& c, int pictureHeight, double z)
{
    return CheckedAdd(CheckedSub(pictureHeight, ScaleWorldToMap(c.YScale, z)), c.Top);
}

double PairResidual(const TCalibration& c, int pictureHeight, const TReferencePair& pair)
{
    return std::hypot(CalibratedMapX(c, pair.WorldX) - pair.MapX,
                      CalibratedMapY(c, pictureHeight, pair.WorldZ) - pair.MapY);
}

std::vector<double> PairResiduals(const TCalibration& c, int pictureHeight, const std::vector<TReferencePair>& pairs)
{
    std::vector<double> residuals;
    residuals.reserve(pairs.size());
    for (const TReferencePair& pair : pairs)
        residuals.push_back(PairResidual(c, pictureHeight, pair));
    return residuals;
}

TCalibration SolveCalibration(const std::vector<TReferencePair>& pairs, int pictureHeight)
{
    if (pairs.size() < 2)
        throw ECalibrationError("Too few reference pairs: " + std::to_string(pairs.size()) +
                                " given, the X and Y axes need two each");
    std::vector<TAxisSample> xs, ys;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const TReferencePair& p = pairs[i];
        const std::string which = "Reference pair " + std::to_string(i + 1) + ": ";
        CheckNumber(p.WorldX, MaxWorld, which + "world X");
        CheckNumber(p.WorldZ, MaxWorld, which + "world Z");
        CheckNumber(p.MapX, MaxPixel, which + "map x");
        CheckNumber(p.MapY, MaxPixel, which + "map y");
        xs.push_back({p.WorldX, p.MapX});
        ys.push_back({p.WorldZ, pictureHeight - p.MapY});
    }
    std::string problem;
    if (!Determines(xs))
        problem = AxisProblem(XAxis);
    if (!Determines(ys))
        problem += (problem.empty() ? "" : "; ") + AxisProblem(YAxis);
    if (!problem.empty())
        throw ECalibrationError(problem);
    const TAxisValues x = SolveAxis(xs);
    const TAxisValues y = SolveAxis(ys);
    return {x.scale, y.scale, x.offset, -y.offset};
}

namespace {

// The offset that puts the pixels low..high of an axis (the offset not added yet) in the middle
// of the picture as drawn, moved as little as needed to keep them within the margins and the
// slider's range; nothing when no offset the slider can take keeps them within the margins.
std::optional<long long> AxisOffset(long long low, long long high)
{
    const long long middle = DrawnMapSize / 2;
    const long long centred = middle - FloorHalf(low + high);
    const long long least = std::max<long long>(FitMargin - low, MinCalibrationOffset);
    const long long most = std::min<long long>(DrawnMapSize - FitMargin - high, MaxCalibrationOffset);
    if (least > most)
        return std::nullopt;
    return std::clamp(centred, least, most);
}

} // namespace

TCalibration FitCalibration(const std::vector<TWorldPoint>& points, int pictureHeight)
{
    if (points.empty())
        throw ECalibrationError("No position to fit the map to: the round has no event with a place and the map "
                                "no object");
    double minX = points[0].X, maxX = minX, minZ = points[0].Z, maxZ = minZ;
    for (const TWorldPoint& p : points) {
        CheckNumber(p.X, MaxWorld, "A world X of the round");
        CheckNumber(p.Z, MaxWorld, "A world Z of the round");
        minX = std::min(minX, p.X);
        maxX = std::max(maxX, p.X);
        minZ = std::min(minZ, p.Z);
        maxZ = std::max(maxZ, p.Z);
    }
    // The largest scale at which the positions fit on the picture with offsets the sliders can
    // take. A place far from the world's origin needs a large offset at a large scale, so the
    // scale comes down until the offset is within reach; the view's zoom then brings the round
    // back to the size of the view. Where the round fills the picture at its own scale, that
    // scale is the one found, centred.
    const auto fitAt = [&](int scale) -> std::optional<TCalibration> {
        const TPixelSpan x = SpanAt(scale, minX, maxX), z = SpanAt(scale, minZ, maxZ);
        // y = height - z + top: the pixels of the y axis before the offset run from
        // height - z.high to height - z.low.
        const std::optional<long long> left = AxisOffset(x.low, x.high);
        const std::optional<long long> top =
            AxisOffset(static_cast<long long>(pictureHeight) - z.high, static_cast<long long>(pictureHeight) - z.low);
        if (!left || !top)
            return std::nullopt;
        return TCalibration{scale, scale, static_cast<int>(*left), static_cast<int>(*top)};
    };
    for (int scale = MaxCalibrationScale; scale >= MinCalibrationScale; --scale)
        if (const std::optional<TCalibration> fit = fitAt(scale))
            return *fit;
    // Spread wider than the picture holds at the smallest scale: centred on the middle of the
    // round as far as the sliders reach, the rest lies off the picture.
    const int scale = MinCalibrationScale;
    const TPixelSpan x = SpanAt(scale, minX, maxX), z = SpanAt(scale, minZ, maxZ);
    const long long middle = DrawnMapSize / 2;
    const auto clampOffset = [](long long v) {
        return static_cast<int>(std::clamp<long long>(v, MinCalibrationOffset, MaxCalibrationOffset));
    };
    return {scale, scale, clampOffset(middle - FloorHalf(x.low + x.high)),
            clampOffset(middle - pictureHeight + FloorHalf(z.low + z.high))};
}

std::string CalibrationJson(const TCalibration& c, const std::vector<double>& residuals)
{
    std::string json = "{\"TBXas\":" + std::to_string(c.XScale) + ",\"TBYas\":" + std::to_string(c.YScale) +
                       ",\"TBLeft\":" + std::to_string(c.Left) + ",\"TBTop\":" + std::to_string(c.Top) +
                       ",\"residuals\":[";
    for (size_t i = 0; i < residuals.size(); ++i)
        json += (i ? "," : "") + JsonNumber(residuals[i]);
    return json + "]}";
}
