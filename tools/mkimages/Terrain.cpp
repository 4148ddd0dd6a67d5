#include "Terrain.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mkimages {
namespace {

constexpr double Pi = std::numbers::pi;

struct Rgb {
    double r, g, b;
};

Rgb rgb(const QColor& c) { return {double(c.red()), double(c.green()), double(c.blue())}; }
Rgb mix(Rgb a, Rgb b, double t) { return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)}; }
Rgb scaled(Rgb a, double f) { return {a.r * f, a.g * f, a.b * f}; }
QRgb pack(Rgb c)
{
    auto ch = [](double v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v + 0.5)); };
    return qRgb(ch(c.r), ch(c.g), ch(c.b));
}

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QPainterPath polyline(const std::vector<QPointF>& pts)
{
    QPainterPath path;
    if (pts.empty())
        return path;
    path.moveTo(pts.front());
    for (size_t i = 1; i < pts.size(); ++i)
        path.lineTo(pts[i]);
    return path;
}

QPen roundPen(QColor c, double width)
{
    QPen pen(c, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// Light comes from the north-west (top left of the picture); shadows fall to the south-east.
const QPointF ShadowDir(0.72, 0.9);

} // namespace

Terrain::Terrain(int size, std::uint64_t seed, double detail)
    : m_size(size), m_detail(detail), m_seed(seed), m_rng(seed)
{
}

float Terrain::Mask::at(int x, int y) const
{
    x = std::clamp(x, 0, size - 1);
    y = std::clamp(y, 0, size - 1);
    return v[static_cast<size_t>(y * size + x)];
}

float Terrain::Mask::sample(double x, double y) const
{
    return at(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

void Terrain::addSea(const QPainterPath& area) { m_sea.push_back(area); }
void Terrain::addRiver(const River& river) { m_rivers.push_back(river); }

std::vector<QPointF> Terrain::addRoad(const Road& road)
{
    m_roads.push_back(road);
    m_roadLines.push_back(smoothLine(road.through, 1.5));
    return m_roadLines.back();
}

void Terrain::addFarmland(const QPainterPath& area) { m_farmland.push_back(area); }

void Terrain::setFieldPattern(double angle, double cellWidth, double cellHeight)
{
    m_fieldAngle = angle;
    m_cellW = cellWidth;
    m_cellH = cellHeight;
}

void Terrain::addWood(QPointF centre, double radius, double strength)
{
    m_woods.push_back({centre, radius, strength});
}

void Terrain::addClearing(const QPainterPath& area, QColor ground)
{
    m_clearings.emplace_back(area, ground);
}

void Terrain::addBuilding(const Building& b) { m_buildings.push_back(b); }

void Terrain::addVillage(QPointF centre, double radius, double density, std::vector<QColor> roofs)
{
    m_villages.push_back({centre, radius, density, std::move(roofs)});
}

double Terrain::waterAt(double x, double y) const
{
    return m_water.v.empty() ? 0.0 : m_water.sample(x, y);
}

// Centripetal Catmull-Rom through the points, resampled about every `step` pixels.
std::vector<QPointF> Terrain::smoothLine(const std::vector<QPointF>& through, double step)
{
    std::vector<QPointF> out;
    if (through.size() < 2)
        return through;
    auto at = [&](int i) {
        i = std::clamp(i, 0, static_cast<int>(through.size()) - 1);
        return through[static_cast<size_t>(i)];
    };
    for (int i = 0; i + 1 < static_cast<int>(through.size()); ++i) {
        QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        if (i == 0)
            p0 = p1 - (p2 - p1);
        if (i + 2 >= static_cast<int>(through.size()))
            p3 = p2 + (p2 - p1);
        auto knot = [](QPointF a, QPointF b, double t) {
            QPointF d = b - a;
            return t + std::pow(std::hypot(d.x(), d.y()), 0.5) + 1e-6;
        };
        double t0 = 0, t1 = knot(p0, p1, t0), t2 = knot(p1, p2, t1), t3 = knot(p2, p3, t2);
        double len = std::hypot(p2.x() - p1.x(), p2.y() - p1.y());
        int n = std::max(2, static_cast<int>(len / step));
        for (int k = 0; k < n; ++k) {
            double t = t1 + (t2 - t1) * k / n;
            QPointF a1 = p0 * ((t1 - t) / (t1 - t0)) + p1 * ((t - t0) / (t1 - t0));
            QPointF a2 = p1 * ((t2 - t) / (t2 - t1)) + p2 * ((t - t1) / (t2 - t1));
            QPointF a3 = p2 * ((t3 - t) / (t3 - t2)) + p3 * ((t - t2) / (t3 - t2));
            QPointF b1 = a1 * ((t2 - t) / (t2 - t0)) + a2 * ((t - t0) / (t2 - t0));
            QPointF b2 = a2 * ((t3 - t) / (t3 - t1)) + a3 * ((t - t1) / (t3 - t1));
            out.push_back(b1 * ((t2 - t) / (t2 - t1)) + b2 * ((t - t1) / (t2 - t1)));
        }
    }
    out.push_back(through.back());
    return out;
}

Terrain::Mask Terrain::paintMask(const std::function<void(QPainter&)>& draw) const
{
    QImage img(m_size, m_size, QImage::Format_RGB32);
    img.fill(Qt::black);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p);
    }
    Mask m;
    m.size = m_size;
    m.v.resize(static_cast<size_t>(m_size * m_size));
    for (int y = 0; y < m_size; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < m_size; ++x)
            m.v[static_cast<size_t>(y * m_size + x)] = qRed(line[x]) / 255.0f;
    }
    return m;
}

void Terrain::blur(Mask& m, int radius, int passes)
{
    const int n = m.size;
    std::vector<float> tmp(m.v.size());
    for (int pass = 0; pass < passes; ++pass) {
        for (int dir = 0; dir < 2; ++dir) {
            for (int a = 0; a < n; ++a) {
                auto idx = [&](int b) {
                    b = std::clamp(b, 0, n - 1);
                    return static_cast<size_t>(dir == 0 ? a * n + b : b * n + a);
                };
                double sum = 0;
                for (int b = -radius; b <= radius; ++b)
                    sum += m.v[idx(b)];
                for (int b = 0; b < n; ++b) {
                    tmp[idx(b)] = static_cast<float>(sum / (2 * radius + 1));
                    sum += m.v[idx(b + radius + 1)] - m.v[idx(b - radius)];
                }
            }
            m.v.swap(tmp);
        }
    }
}

QPainterPath Terrain::footprint(const Building& b, double grow) const
{
    QPainterPath path;
    double l = b.length / 2 + grow, d = b.depth / 2 + grow;
    double c = std::cos(b.angle), s = std::sin(b.angle);
    auto pt = [&](double u, double v) { return b.centre + QPointF(u * c - v * s, u * s + v * c); };
    path.moveTo(pt(-l, -d));
    path.lineTo(pt(l, -d));
    path.lineTo(pt(l, d));
    path.lineTo(pt(-l, d));
    path.closeSubpath();
    return path;
}

bool Terrain::footprintFree(const Building& b, double margin, bool againstBuildings) const
{
    double c = std::cos(b.angle), s = std::sin(b.angle);
    for (int i = 0; i <= 4; ++i)
        for (int j = 0; j <= 2; ++j) {
            double u = (i / 4.0 - 0.5) * (b.length + 2 * margin);
            double v = (j / 2.0 - 0.5) * (b.depth + 2 * margin);
            QPointF p = b.centre + QPointF(u * c - v * s, u * s + v * c);
            if (p.x() < 2 || p.y() < 2 || p.x() > m_size - 3 || p.y() > m_size - 3)
                return false;
            if (m_clear.sample(p.x(), p.y()) > 0.1f || m_water.sample(p.x(), p.y()) > 0.02f)
                return false;
        }
    if (!againstBuildings)
        return true;
    for (const Building& o : m_buildings) {
        double reach = (std::hypot(b.length, b.depth) + std::hypot(o.length, o.depth)) * 0.42 + margin;
        QPointF d = o.centre - b.centre;
        if (std::hypot(d.x(), d.y()) < reach)
            return false;
    }
    return true;
}

void Terrain::placeVillageHouses()
{
    const double d = m_detail;
    for (const Village& v : m_villages) {
        for (size_t r = 0; r < m_roads.size(); ++r) {
            const auto& line = m_roadLines[r];
            const double roadW = m_roads[r].width;
            double nextAt[2] = {0, 0};
            double along = 0;
            for (size_t i = 1; i + 1 < line.size(); ++i) {
                QPointF seg = line[i + 1] - line[i - 1];
                along += std::hypot(line[i].x() - line[i - 1].x(), line[i].y() - line[i - 1].y());
                QPointF off = line[i] - v.c;
                double dist = std::hypot(off.x(), off.y());
                if (dist > v.r)
                    continue;
                double angle = std::atan2(seg.y(), seg.x());
                QPointF normal(-std::sin(angle), std::cos(angle));
                for (int side = 0; side < 2; ++side) {
                    if (along < nextAt[side])
                        continue;
                    double falloff = 1.0 - 0.75 * (dist / v.r) * (dist / v.r);
                    if (!m_rng.chance(v.density * falloff * 0.8)) {
                        nextAt[side] = along + 2 * d;
                        continue;
                    }
                    Building b;
                    b.length = m_rng.range(9, 15) * d;
                    b.depth = m_rng.range(6.5, 8.5) * d;
                    // Most houses stand along the road, some with their gable end to it.
                    bool endOn = m_rng.chance(0.3);
                    b.angle = angle + (endOn ? Pi / 2 : 0) + m_rng.range(-0.06, 0.06);
                    double sign = side == 0 ? 1 : -1;
                    double gap = roadW / 2 + m_rng.range(3.0, 6.5) * d + (endOn ? b.length : b.depth) / 2;
                    b.centre = line[i] + normal * (sign * gap);
                    b.roof = v.roofs[static_cast<size_t>(m_rng.below(static_cast<int>(v.roofs.size())))];
                    b.style = Building::Gable;
                    if (!footprintFree(b, 1.2 * d)) {
                        nextAt[side] = along + 2 * d;
                        continue;
                    }
                    m_buildings.push_back(b);
                    nextAt[side] = along + b.length + m_rng.range(2, 7) * d;
                    // A garden behind the house, away from the road.
                    Building garden = b;
                    garden.angle = angle;
                    garden.depth = m_rng.range(8, 15) * d;
                    garden.length = (endOn ? b.depth : b.length) + m_rng.range(0, 4) * d;
                    garden.centre = b.centre + normal * (sign * ((endOn ? b.length : b.depth) / 2 + garden.depth / 2 + 0.8 * d));
                    if (footprintFree(garden, 0, false)) {
                        m_gardens.push_back(footprint(garden));
                        if (m_rng.chance(0.6))
                            m_trees.push_back({garden.centre + QPointF(m_rng.range(-3, 3), m_rng.range(-3, 3)) * d,
                                               m_rng.range(2.0, 3.0) * d, false, m_rng.uniform()});
                        // Now and then a barn or shed at the bottom of the garden.
                        Building shed = b;
                        shed.length = m_rng.range(7, 12) * d;
                        shed.depth = m_rng.range(5, 6.5) * d;
                        shed.angle = angle + (m_rng.chance(0.5) ? Pi / 2 : 0);
                        shed.centre = garden.centre + normal * (sign * (garden.depth / 2 + 5 * d));
                        shed.roof = b.roof.darker(110);
                        if (m_rng.chance(v.density * 0.45) && footprintFree(shed, 1.0 * d))
                            m_buildings.push_back(shed);
                    }
                }
            }
        }
    }
}

// Houses off the roads, near the heart of each village, turned like the nearest road.
void Terrain::placeVillageCores()
{
    const double d = m_detail;
    for (const Village& v : m_villages) {
        int wanted = static_cast<int>(v.density * v.r / (9 * d));
        for (int attempt = 0; attempt < wanted * 8 && wanted > 0; ++attempt) {
            double a = m_rng.range(0, 2 * Pi), r = v.r * 0.7 * std::sqrt(m_rng.uniform());
            QPointF at = v.c + QPointF(std::cos(a), std::sin(a)) * r;
            double best = 1e18, angle = 0;
            for (const auto& line : m_roadLines)
                for (size_t i = 1; i < line.size(); i += 2) {
                    QPointF q = line[i] - at;
                    double dist = q.x() * q.x() + q.y() * q.y();
                    if (dist < best) {
                        best = dist;
                        QPointF t = line[i] - line[i - 1];
                        angle = std::atan2(t.y(), t.x());
                    }
                }
            Building b;
            b.centre = at;
            b.length = m_rng.range(9, 14) * d;
            b.depth = m_rng.range(6.5, 8.0) * d;
            b.angle = angle + (m_rng.chance(0.4) ? Pi / 2 : 0) + m_rng.range(-0.08, 0.08);
            b.roof = v.roofs[static_cast<size_t>(m_rng.below(static_cast<int>(v.roofs.size())))];
            if (footprintFree(b, 2.5 * d)) {
                m_buildings.push_back(b);
                if (--wanted == 0)
                    break;
            }
        }
    }
}

void Terrain::paintGround(QImage& img)
{
    const int n = m_size;
    const double d = m_detail;
    const Rgb grassLight = scaled(rgb(grass), 1.04), grassDark = scaled(rgb(grass), 0.84);
    const Rgb dry{160, 152, 94}, forestFloor{52, 70, 36}, rock{142, 134, 116}, rockDark{98, 92, 80};
    const Rgb sand{204, 192, 150}, wetSand{168, 160, 126}, mud{112, 108, 76};
    const Rgb shallow{84, 132, 130}, deep{30, 70, 100}, riverWater{62, 100, 100};
    const Rgb crops[] = {{198, 180, 110}, {176, 158, 98}, {128, 102, 72}, {112, 142, 62},
                         {136, 154, 80}, {162, 152, 96}, {98, 122, 56},  {186, 170, 104}};
    const double stripeAmp[] = {0.05, 0.06, 0.11, 0.07, 0.02, 0.07, 0.05, 0.05};
    const double ca = std::cos(m_fieldAngle), sa = std::sin(m_fieldAngle);
    const double lx = -0.55, ly = -0.6, lz = 0.58; // light from the north-west and above
    const double flat = lz / std::sqrt(lx * lx + ly * ly + lz * lz);

    m_hedgeTrees.size = n;
    m_hedgeTrees.v.assign(static_cast<size_t>(n * n), 0.0f);
    std::vector<unsigned char> forest(static_cast<size_t>(n * n), 0);
    m_rock.assign(static_cast<size_t>(n * n), 0.0f);

    for (int y = 0; y < n; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < n; ++x) {
            const size_t i = static_cast<size_t>(y * n + x);
            const double h = m_height[i];
            // Hill shading from the height's slope.
            double hx = m_height[static_cast<size_t>(y * n + std::min(x + 1, n - 1))] -
                        m_height[static_cast<size_t>(y * n + std::max(x - 1, 0))];
            double hy = m_height[static_cast<size_t>(std::min(y + 1, n - 1) * n + x)] -
                        m_height[static_cast<size_t>(std::max(y - 1, 0) * n + x)];
            double nx = -hx * 0.5, ny = -hy * 0.5, nz = 1.0;
            double shade = (nx * lx + ny * ly + nz * lz) / std::sqrt(nx * nx + ny * ny + nz * nz) /
                           std::sqrt(lx * lx + ly * ly + lz * lz) / flat;
            double light = std::clamp(1.0 + relief * (shade - 1.0), 0.6, 1.22);

            // Meadow.
            double n1 = fbm(x, y, 70 * d, 4, m_seed + 1);
            double n2 = fbm(x, y, 230 * d, 3, m_seed + 2);
            double n3 = valueNoise(x / (2.2 * d), y / (2.2 * d), m_seed + 3);
            Rgb c = mix(grassLight, grassDark, smoothstep(0.3, 0.7, n1));
            c = mix(c, dry, smoothstep(0.52, 0.72, n2) * 0.45);
            c = scaled(c, 0.93 + 0.13 * n3);

            // Farmland parcels: a warped grid turned by the field angle.
            bool field = false;
            double wx = x + 6 * d * (valueNoise(x / 90.0, y / 90.0, m_seed + 4) - 0.5);
            double wy = y + 6 * d * (valueNoise(x / 90.0, y / 90.0, m_seed + 5) - 0.5);
            double u = wx * ca + wy * sa, v = -wx * sa + wy * ca;
            double col = std::floor(u / m_cellW);
            double fu = u / m_cellW - col;
            double rowH = m_cellH * (0.6 + 0.9 * hash01(static_cast<std::int64_t>(col), 1, m_seed));
            double vOff = hash01(static_cast<std::int64_t>(col), 2, m_seed) * rowH;
            double row = std::floor((v + vOff) / rowH);
            double fv = (v + vOff) / rowH - row;
            auto ic = static_cast<std::int64_t>(col), ir = static_cast<std::int64_t>(row);
            bool split = hash01(ic, ir, m_seed + 6) < 0.45;
            double cu = (col + 0.5) * m_cellW, cv = (row + 0.5) * rowH - vOff;
            QPointF centre(cu * ca - cv * sa, cu * sa + cv * ca);
            bool inVillage = false;
            for (const Village& vil : m_villages)
                inVillage |= std::hypot(centre.x() - vil.c.x(), centre.y() - vil.c.y()) < vil.r * 0.55;
            if (!inVillage &&
                m_farm.sample(std::clamp(centre.x(), 0.0, n - 1.0), std::clamp(centre.y(), 0.0, n - 1.0)) > 0.5f &&
                m_sitesMask.at(x, y) < 0.5f) {
                field = true;
                std::int64_t id = ir * 7919 + ic * 2 + (split && fu > 0.5 ? 1 : 0);
                int type = static_cast<int>(hash01(id, 3, m_seed) * 8);
                bool across = hash01(id, 4, m_seed) < 0.5;
                double localU = split ? std::fmod(fu * 2, 1.0) : fu;
                double edgeU = std::min(localU, 1 - localU) * m_cellW * (split ? 0.5 : 1);
                double edgeV = std::min(fv, 1 - fv) * rowH;
                double period = (2.6 + 1.4 * hash01(id, 5, m_seed)) * d;
                double stripe = std::sin(2 * Pi * (across ? u : v) / period);
                Rgb crop = crops[type];
                double mottle = fbm(x, y, 18 * d, 2, m_seed + 7);
                c = scaled(crop, (1 + stripeAmp[type] * stripe) * (0.94 + 0.12 * mottle));
                double edge = std::min(edgeU, edgeV);
                if (edge < 1.6 * d) {
                    // Field margins: hedgerows on some boundaries, grass strips on the rest.
                    bool alongU = edgeU < edgeV;
                    std::int64_t edgeId = alongU ? (ic * 3 + (localU > 0.5 ? 1 : 0)) * 131 + ir
                                                 : ir * 977 + ic + (fv > 0.5 ? 50000 : 0);
                    bool hedge = hash01(edgeId, 8, m_seed) < 0.55;
                    if (hedge) {
                        c = mix(c, Rgb{66, 88, 42}, smoothstep(1.6 * d, 0.4 * d, edge));
                        if (hash01(edgeId, 9, m_seed) < 0.55 && edge < 1.0 * d)
                            m_hedgeTrees.v[i] = 1.0f;
                    } else if (edge < 0.9 * d) {
                        c = mix(c, scaled(rgb(grass), 1.05), 0.8);
                    }
                }
            }

            // Rock outcrops on the heights, patchy; woods do not grow on bare rock.
            double rockT = 0;
            if (h > rockAbove - 25) {
                double patch = fbm(x, y, 28 * d, 4, m_seed + 12);
                rockT = smoothstep(rockAbove - 12, rockAbove + 8, h + 40 * (patch - 0.5)) *
                        smoothstep(0.5, 0.62, patch);
                double grain = fbm(x, y, 6 * d, 3, m_seed + 13);
                Rgb stone = mix(rock, rockDark, smoothstep(0.3, 0.75, grain));
                c = mix(c, stone, rockT * 0.9);
                m_rock[i] = static_cast<float>(rockT);
            }

            // Woods: fractal noise plus the map's own woods, kept off fields, water and clearings.
            double score = (fbm(x, y, 150 * d, 5, m_seed + 10) - 0.5) * 6 + (woodiness - 0.5) * 2.2;
            for (const Wood& w : m_woods) {
                double dd = std::hypot(x - w.c.x(), y - w.c.y()) / w.r;
                if (dd < 2.5)
                    score += w.s * 2.2 * std::exp(-dd * dd * 1.6);
            }
            for (const Village& v : m_villages) {
                double dd = std::hypot(x - v.c.x(), y - v.c.y()) / v.r;
                if (dd < 2.0)
                    score -= 3.0 * std::exp(-dd * dd * 1.5);
            }
            score += (valueNoise(x / (3.0 * d), y / (3.0 * d), m_seed + 11) - 0.5) * 0.5;
            if (!field && score > 0 && rockT < 0.4 && m_clear.at(x, y) < 0.05f && m_water.at(x, y) < 0.01f) {
                forest[i] = 1;
                c = mix(c, forestFloor, 0.85);
            }

            // Shores: sand along the sea, mud and reeds along rivers.
            double w = m_water.at(x, y);
            double seaNear = m_shore.at(x, y);
            double sandT = smoothstep(0.0, 0.25, seaNear) * (1 - w);
            c = mix(c, mix(sand, wetSand, smoothstep(0.2, 0.45, seaNear)), sandT * 0.9);
            double riverNear = m_riverShore.at(x, y);
            if (riverNear > 0.01 && w < 0.9)
                c = mix(c, mud, smoothstep(0.02, 0.3, riverNear) * 0.55 * (1 - w));

            // Sunlit slopes pale towards a warm grey rather than turning lime.
            c = light > 1 ? mix(c, Rgb{196, 196, 160}, (light - 1) * 1.3) : scaled(c, light);

            if (w > 0.0) {
                double depth = m_deep.at(x, y);
                double t = 0.45 * smoothstep(0.5, 0.97, depth) + 0.55 * smoothstep(0.6, 1.0, m_depth.at(x, y));
                Rgb wc = mix(mix(riverWater, shallow, smoothstep(0.15, 0.6, seaNear)), deep, t);
                double ripple = fbm(x * 1.0, y * 3.0, 9 * d, 3, m_seed + 14);
                wc = scaled(wc, 0.95 + 0.1 * ripple);
                // A lighter fringe where the water is very shallow.
                wc = mix(wc, Rgb{150, 170, 150}, smoothstep(0.62, 0.5, depth) * 0.35);
                c = mix(c, wc, w);
            }
            line[x] = pack(c);
        }
    }

    // Forest trees, densely packed, thinning out at the edges of the wood.
    const double spacing = 4.4 * d;
    for (double gy = 0; gy < n; gy += spacing)
        for (double gx = 0; gx < n; gx += spacing) {
            double x = gx + m_rng.range(-0.5, 0.5) * spacing, y = gy + m_rng.range(-0.5, 0.5) * spacing;
            int ix = std::clamp(static_cast<int>(x), 0, n - 1), iy = std::clamp(static_cast<int>(y), 0, n - 1);
            if (!forest[static_cast<size_t>(iy * n + ix)])
                continue;
            double h = m_height[static_cast<size_t>(iy * n + ix)];
            bool conifer = m_rng.chance(coniferShare) ||
                           (h > coniferAbove && m_rng.chance(smoothstep(coniferAbove, coniferAbove + 20, h) * 0.85));
            m_trees.push_back({{x, y}, spacing * m_rng.range(0.62, 0.9) * (conifer ? 0.9 : 1.0), conifer, m_rng.uniform()});
        }
}

void Terrain::placeTrees()
{
    const int n = m_size;
    const double d = m_detail;
    auto freeAt = [&](double x, double y) {
        return x > 1 && y > 1 && x < n - 2 && y < n - 2 && m_clear.sample(x, y) < 0.1f &&
               m_water.sample(x, y) < 0.02f;
    };
    // Boulders strewn over the bare rock.
    for (double y = 0; y < n; y += 6 * d)
        for (double x = 0; x < n; x += 6 * d) {
            double px = x + m_rng.range(0, 6) * d, py = y + m_rng.range(0, 6) * d;
            int ix = std::clamp(static_cast<int>(px), 0, n - 1), iy = std::clamp(static_cast<int>(py), 0, n - 1);
            if (m_rock[static_cast<size_t>(iy * n + ix)] > 0.6f && freeAt(px, py) && m_rng.chance(0.22))
                m_boulders.push_back({{px, py}, m_rng.range(0.9, 2.4) * d, false, m_rng.uniform()});
        }
    // Hedgerow trees.
    for (double y = 0; y < n; y += 3.5 * d)
        for (double x = 0; x < n; x += 3.5 * d) {
            double px = x + m_rng.range(-1, 1) * d, py = y + m_rng.range(-1, 1) * d;
            if (m_hedgeTrees.sample(px, py) > 0.5f && freeAt(px, py) && m_rng.chance(0.5))
                m_trees.push_back({{px, py}, m_rng.range(1.8, 3.0) * d, false, m_rng.uniform()});
        }
    // Lone trees and copses in the meadows.
    for (double y = 0; y < n; y += 16 * d)
        for (double x = 0; x < n; x += 16 * d) {
            double px = x + m_rng.range(0, 16) * d, py = y + m_rng.range(0, 16) * d;
            if (!m_rng.chance(0.16) || !freeAt(px, py) || m_farm.sample(px, py) > 0.3f)
                continue;
            int count = m_rng.chance(0.35) ? 2 + m_rng.below(4) : 1;
            for (int k = 0; k < count; ++k) {
                QPointF at(px + m_rng.range(-5, 5) * d * (count > 1), py + m_rng.range(-5, 5) * d * (count > 1));
                if (freeAt(at.x(), at.y()))
                    m_trees.push_back({at, m_rng.range(2.2, 4.2) * d, m_rng.chance(coniferShare), m_rng.uniform()});
            }
        }
    // Trees along avenues and river banks.
    for (size_t r = 0; r < m_roads.size(); ++r) {
        if (!m_roads[r].avenue)
            continue;
        const auto& line = m_roadLines[r];
        for (size_t i = 2; i + 2 < line.size(); i += static_cast<size_t>(std::max(1.0, 6 * d / 1.5))) {
            QPointF t = line[i + 1] - line[i - 1];
            double len = std::hypot(t.x(), t.y());
            QPointF nrm(-t.y() / len, t.x() / len);
            for (double side : {-1.0, 1.0}) {
                QPointF at = line[i] + nrm * (side * (m_roads[r].width / 2 + 3.2 * d));
                if (m_water.sample(at.x(), at.y()) < 0.02f && m_sitesMask.sample(at.x(), at.y()) < 0.05f &&
                    m_rng.chance(0.85))
                    m_trees.push_back({at, m_rng.range(2.2, 2.9) * d, false, m_rng.uniform()});
            }
        }
    }
    for (const River& river : m_rivers) {
        auto line = smoothLine(river.through, 2.0);
        for (size_t i = 1; i + 1 < line.size(); ++i) {
            if (!m_rng.chance(0.22))
                continue;
            QPointF t = line[i + 1] - line[i - 1];
            double len = std::hypot(t.x(), t.y());
            QPointF nrm(-t.y() / len, t.x() / len);
            double w = lerp(river.widthStart, river.widthEnd, double(i) / line.size());
            double side = m_rng.chance(0.5) ? 1 : -1;
            QPointF at = line[i] + nrm * (side * (w / 2 + m_rng.range(2.5, 6) * d));
            if (freeAt(at.x(), at.y()))
                m_trees.push_back({at, m_rng.range(2.0, 3.4) * d, false, m_rng.uniform()});
        }
    }
}

void Terrain::paintRoads(QPainter& p)
{
    const double d = m_detail;
    p.setBrush(Qt::NoBrush);
    std::vector<QPainterPath> paths;
    for (const auto& line : m_roadLines)
        paths.push_back(polyline(line));
    // Layer by layer over all roads, so junctions merge.
    for (size_t i = 0; i < paths.size(); ++i) {
        p.setPen(roundPen(QColor(150, 136, 98, 90), m_roads[i].width + 4.5 * d));
        p.drawPath(paths[i]);
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        p.setPen(roundPen(m_roads[i].paved ? QColor(104, 100, 92) : QColor(148, 130, 94), m_roads[i].width + 1.4 * d));
        p.drawPath(paths[i]);
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        p.setPen(roundPen(m_roads[i].paved ? QColor(138, 134, 124) : QColor(184, 164, 124), m_roads[i].width));
        p.drawPath(paths[i]);
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        if (m_roads[i].paved) {
            p.setPen(roundPen(QColor(150, 146, 136, 120), m_roads[i].width * 0.45));
        } else {
            // Grass creeping up the middle between the wheel ruts.
            p.setPen(roundPen(QColor(152, 150, 100, 150), std::max(1.0, m_roads[i].width * 0.2)));
        }
        p.drawPath(paths[i]);
    }
}

void Terrain::paintBridges(QPainter& p)
{
    const double d = m_detail;
    for (const Bridge& b : m_bridges) {
        p.save();
        p.translate(b.centre);
        p.rotate(b.angle * 180 / Pi);
        QRectF deck(-b.length / 2, -b.width / 2, b.length, b.width);
        // Shadow on the water.
        p.save();
        p.rotate(-b.angle * 180 / Pi);
        p.translate(ShadowDir * 3.0 * d);
        p.rotate(b.angle * 180 / Pi);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 90));
        p.drawRect(deck);
        p.restore();
        // Abutments, deck, parapets.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(128, 122, 112));
        p.drawRect(QRectF(-b.length / 2 - 2 * d, -b.width / 2 - 1.5 * d, 5 * d, b.width + 3 * d));
        p.drawRect(QRectF(b.length / 2 - 3 * d, -b.width / 2 - 1.5 * d, 5 * d, b.width + 3 * d));
        p.setBrush(QColor(152, 146, 134));
        p.drawRect(deck);
        p.setBrush(QColor(134, 130, 120));
        p.drawRect(QRectF(-b.length / 2, -b.width / 2 + 1.6 * d, b.length, b.width - 3.2 * d));
        p.setPen(QPen(QColor(196, 190, 176), 0.9 * d));
        p.drawLine(QPointF(-b.length / 2, -b.width / 2 + 0.6 * d), QPointF(b.length / 2, -b.width / 2 + 0.6 * d));
        p.setPen(QPen(QColor(92, 88, 80), 0.9 * d));
        p.drawLine(QPointF(-b.length / 2, b.width / 2 - 0.6 * d), QPointF(b.length / 2, b.width / 2 - 0.6 * d));
        p.restore();
    }
}

void Terrain::drawShadow(QPainter& p, const QPainterPath& fp, double height) const
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 34));
    // Several offsets build the sweep of the shadow; overlaps darken it towards the building.
    for (int k = 1; k <= 4; ++k)
        p.drawPath(fp.translated(ShadowDir * (height * k / 4.0)));
}

void Terrain::drawBuilding(QPainter& p, const Building& b) const
{
    const double d = m_detail;
    p.save();
    p.translate(b.centre);
    p.rotate(b.angle * 180 / Pi);
    const double l = b.length, w = b.depth;
    const QColor edge = b.roof.darker(160);
    // Which long side faces the light: its outward normal in picture space.
    const QPointF upNormal(std::sin(b.angle), -std::cos(b.angle));
    const bool upLit = upNormal.x() * -0.7 + upNormal.y() * -0.7 > 0;
    const QColor lit = b.roof.lighter(128), dark = b.roof.darker(135);
    switch (b.style) {
    case Building::Gable: {
        p.setPen(Qt::NoPen);
        p.setBrush(upLit ? lit : dark);
        p.drawRect(QRectF(-l / 2, -w / 2, l, w / 2));
        p.setBrush(upLit ? dark : lit);
        p.drawRect(QRectF(-l / 2, 0, l, w / 2));
        p.setPen(QPen(edge, 0.6));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(-l / 2, -w / 2, l, w));
        p.setPen(QPen(b.roof.lighter(145), 0.7));
        p.drawLine(QPointF(-l / 2 + 0.5, 0), QPointF(l / 2 - 0.5, 0));
        if (l > 9 * d) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(70, 60, 56));
            p.drawRect(QRectF(l * 0.22, -w * 0.32, 1.4 * d, 1.4 * d));
        }
        break;
    }
    case Building::Flat: {
        p.setPen(Qt::NoPen);
        p.setBrush(b.roof);
        p.drawRect(QRectF(-l / 2, -w / 2, l, w));
        p.setPen(QPen(b.roof.lighter(125), 0.9));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(-l / 2 + 0.8, -w / 2 + 0.8, l - 1.6, w - 1.6));
        p.setPen(QPen(edge, 0.6));
        p.drawRect(QRectF(-l / 2, -w / 2, l, w));
        p.setPen(Qt::NoPen);
        p.setBrush(b.roof.darker(118));
        for (double x = -l / 2 + 3 * d; x < l / 2 - 3 * d; x += 5 * d)
            p.drawRect(QRectF(x, -1.0 * d, 2.2 * d, 2.0 * d));
        break;
    }
    case Building::Hut: {
        // A curved corrugated roof: shaded across, ribbed along.
        QLinearGradient g(QPointF(0, -w / 2), QPointF(0, w / 2));
        g.setColorAt(0, upLit ? b.roof.lighter(145) : b.roof.darker(150));
        g.setColorAt(0.4, b.roof.lighter(112));
        g.setColorAt(1, upLit ? b.roof.darker(160) : b.roof.lighter(135));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(-l / 2, -w / 2, l, w), 1.0, 1.0);
        p.setPen(QPen(withAlpha(b.roof.darker(170), 150), 0.5));
        for (double x = -l / 2 + 1.2; x < l / 2; x += 1.6)
            p.drawLine(QPointF(x, -w / 2 + 0.3), QPointF(x, w / 2 - 0.3));
        p.setPen(QPen(edge, 0.6));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(-l / 2, -w / 2, l, w), 1.0, 1.0);
        break;
    }
    case Building::Church: {
        // Nave along the length, transept across, square tower at the west end.
        auto gable = [&](QRectF r, bool alongX) {
            p.setPen(Qt::NoPen);
            if (alongX) {
                p.setBrush(upLit ? lit : dark);
                p.drawRect(QRectF(r.left(), r.top(), r.width(), r.height() / 2));
                p.setBrush(upLit ? dark : lit);
                p.drawRect(QRectF(r.left(), r.center().y(), r.width(), r.height() / 2));
            } else {
                p.setBrush(lit);
                p.drawRect(QRectF(r.left(), r.top(), r.width() / 2, r.height()));
                p.setBrush(dark);
                p.drawRect(QRectF(r.center().x(), r.top(), r.width() / 2, r.height()));
            }
            p.setPen(QPen(edge, 0.6));
            p.setBrush(Qt::NoBrush);
            p.drawRect(r);
        };
        gable(QRectF(-l / 2 + w * 0.5, -w * 0.32, l - w * 0.5, w * 0.64), true);
        gable(QRectF(l * 0.12, -w / 2 - w * 0.25, w * 0.5, w * 1.5), false);
        QRectF tower(-l / 2, -w * 0.3, w * 0.6, w * 0.6);
        QPointF c = tower.center();
        QColor stone = b.roof.darker(110);
        const QPointF corners[4] = {tower.topLeft(), tower.topRight(), tower.bottomRight(), tower.bottomLeft()};
        const QColor faces[4] = {stone.lighter(130), stone, stone.darker(135), stone.lighter(108)};
        p.setPen(Qt::NoPen);
        for (int k = 0; k < 4; ++k) {
            p.setBrush(faces[k]);
            QPointF tri[3] = {corners[k], corners[(k + 1) % 4], c};
            p.drawPolygon(tri, 3);
        }
        p.setPen(QPen(edge, 0.6));
        p.setBrush(Qt::NoBrush);
        p.drawRect(tower);
        break;
    }
    case Building::Tower: {
        QRadialGradient g(QPointF(-w * 0.2, -w * 0.2), w * 0.7);
        g.setColorAt(0, b.roof.lighter(140));
        g.setColorAt(1, b.roof.darker(140));
        p.setPen(QPen(edge, 0.6));
        p.setBrush(g);
        p.drawEllipse(QPointF(0, 0), w / 2, w / 2);
        break;
    }
    }
    p.restore();
}

void Terrain::drawSandbags(QPainter& p, QPointF centre, double radius, double from, double span) const
{
    const double d = m_detail;
    const double step = 2.6 * d / radius;
    for (double a = from; a <= from + span + 1e-9; a += step) {
        QPointF at = centre + QPointF(std::cos(a), std::sin(a)) * radius;
        if (m_roadMask.sample(at.x(), at.y()) > 0.25f || m_water.sample(at.x(), at.y()) > 0.1f)
            continue;
        p.save();
        p.translate(at);
        p.rotate(a * 180 / Pi + 90);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawEllipse(QRectF(-1.6 * d + 0.8 * d, -1.0 * d + 0.9 * d, 3.2 * d, 2.0 * d));
        p.setPen(QPen(QColor(122, 108, 78), 0.5));
        p.setBrush(QColor(196, 180, 134));
        p.drawEllipse(QRectF(-1.6 * d, -1.0 * d, 3.2 * d, 2.0 * d));
        p.restore();
    }
}

void Terrain::drawCrate(QPainter& p, QPointF at, double size, double angle) const
{
    p.save();
    p.translate(at);
    p.rotate(angle * 180 / Pi);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRect(QRectF(-size / 2 + size * 0.3, -size / 2 + size * 0.35, size, size));
    p.setBrush(QColor(118, 96, 60));
    p.drawRect(QRectF(-size / 2, -size / 2, size, size));
    p.setPen(QPen(QColor(160, 136, 92), 0.6));
    p.drawLine(QPointF(-size / 2, -size / 2), QPointF(size / 2, -size / 2));
    p.drawLine(QPointF(-size / 2, -size / 2), QPointF(-size / 2, size / 2));
    p.setPen(QPen(QColor(78, 62, 40), 0.5));
    p.drawLine(QPointF(-size / 2, size / 2), QPointF(size / 2, -size / 2));
    p.restore();
}

void Terrain::drawTent(QPainter& p, QPointF at, double size, double angle) const
{
    Building t;
    t.centre = at;
    t.angle = angle;
    t.length = size * 1.3;
    t.depth = size;
    t.roof = QColor(100, 104, 64);
    drawShadow(p, footprint(t), size * 0.35);
    drawBuilding(p, t);
}

void Terrain::drawTree(QPainter& p, QPointF at, double r, bool conifer, double tone) const
{
    QColor base = conifer ? QColor(44, 72, 48) : QColor(62 + int(tone * 14), 92 + int(tone * 18), 40);
    QRadialGradient g(at + QPointF(-0.35 * r, -0.4 * r), r * 1.25);
    g.setColorAt(0, base.lighter(conifer ? 150 : 165));
    g.setColorAt(0.55, base);
    g.setColorAt(1, base.darker(175));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    if (conifer) {
        // A star-shaped crown reads as a conifer from above.
        QPolygonF star;
        for (int k = 0; k < 16; ++k) {
            double a = k * Pi / 8 + tone;
            double rr = (k % 2 == 0) ? r : r * 0.62;
            star << at + QPointF(std::cos(a), std::sin(a)) * rr;
        }
        p.drawPolygon(star);
    } else {
        p.drawEllipse(at, r, r);
    }
}

void Terrain::addOutpost(QPointF centre, double radius)
{
    const double d = m_detail;
    QPainterPath area;
    area.addEllipse(centre, radius + 5 * d, radius + 5 * d);
    addClearing(area, QColor(150, 138, 104));
    m_sites.push_back([this, centre, radius, d](QPainter& p) {
        // Gravel plaza and a ring of sandbags, open where roads come in.
        QRadialGradient g(centre, radius);
        g.setColorAt(0, QColor(174, 164, 136));
        g.setColorAt(0.8, QColor(162, 150, 118));
        g.setColorAt(1, QColor(150, 138, 104, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(centre, radius, radius);
        p.setPen(QPen(QColor(120, 110, 86, 150), 1.0 * d));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, radius * 0.42, radius * 0.42);
        drawSandbags(p, centre, radius * 0.85, 0, 2 * Pi);
        Rng rng(static_cast<std::uint64_t>(centre.x() * 1000 + centre.y()));
        for (int k = 0; k < 3; ++k) {
            double a = rng.range(0, 2 * Pi);
            QPointF at = centre + QPointF(std::cos(a), std::sin(a)) * radius * 0.62;
            if (m_roadMask.sample(at.x(), at.y()) < 0.2f)
                drawCrate(p, at, 2.6 * d, rng.range(0, 1.5));
        }
    });
}

void Terrain::addCompound(const QRectF& area, QPointF flagAt, const std::vector<QPointF>& parking,
                          QColor roofs, double gateSide)
{
    const double d = m_detail;
    QPainterPath path;
    path.addRoundedRect(area.adjusted(-4 * d, -4 * d, 4 * d, 4 * d), 6 * d, 6 * d);
    addClearing(path, QColor(146, 136, 100));
    (void)gateSide;
    m_sites.push_back([this, area, flagAt, parking, roofs, d](QPainter& p) {
        Rng rng(static_cast<std::uint64_t>(area.x() * 7 + area.y() * 13));
        // Concrete apron under the parked vehicles, with marked bays open to the front.
        double l = 1e9, r = -1e9, t = 1e9, b = -1e9;
        for (QPointF v : parking) {
            l = std::min(l, v.x());
            r = std::max(r, v.x());
            t = std::min(t, v.y());
            b = std::max(b, v.y());
        }
        QPainterPath apron;
        if (!parking.empty())
            apron.addRoundedRect(QRectF(QPointF(l - 26, t - 18), QPointF(r + 26, b + 18)), 4 * d, 4 * d);
        p.setPen(QPen(QColor(104, 102, 96), 1.2 * d));
        p.setBrush(QColor(150, 148, 140));
        p.drawPath(apron);
        p.setPen(QPen(QColor(128, 126, 118), 0.6));
        const QRectF box = apron.boundingRect();
        for (double x = box.left() + 10 * d; x < box.right(); x += 10 * d)
            p.drawLine(QPointF(x, box.top() + 1), QPointF(x, box.bottom() - 1));
        for (double y = box.top() + 10 * d; y < box.bottom(); y += 10 * d)
            p.drawLine(QPointF(box.left() + 1, y), QPointF(box.right() - 1, y));
        p.setPen(QPen(QColor(222, 216, 196), 0.9 * d));
        p.setBrush(Qt::NoBrush);
        for (QPointF v : parking) {
            // Bays fit the vehicle markers, which keep their size on every map.
            QRectF bay(v.x() - 20, v.y() - 12, 38, 24);
            p.drawLine(bay.topLeft(), bay.topRight());
            p.drawLine(bay.bottomLeft(), bay.bottomRight());
            p.drawLine(bay.topLeft(), bay.bottomLeft());
        }
        // Flag plaza.
        p.setPen(QPen(QColor(110, 106, 98), 1.0 * d));
        p.setBrush(QColor(176, 172, 160));
        p.drawEllipse(flagAt, 15 * d, 15 * d);
        p.setPen(QPen(QColor(226, 222, 206), 1.0 * d));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(flagAt, 11 * d, 11 * d);

        // Huts and tents wherever the yard is free.
        QPainterPath taken = apron;
        taken.addEllipse(flagAt, 20 * d, 20 * d);
        std::vector<Building> huts;
        for (int attempt = 0; attempt < 120 && huts.size() < 9; ++attempt) {
            Building b;
            bool vertical = rng.chance(0.5);
            b.length = rng.range(16, 22) * d;
            b.depth = rng.range(7, 8.5) * d;
            b.angle = vertical ? Pi / 2 : 0;
            b.centre = QPointF(rng.range(area.left() + 12 * d, area.right() - 12 * d),
                               rng.range(area.top() + 12 * d, area.bottom() - 12 * d));
            b.roof = rng.chance(0.3) ? roofs.darker(115) : roofs;
            b.style = Building::Hut;
            QPainterPath fp = footprint(b, 4 * d);
            if (fp.intersects(taken) || m_roadMask.sample(b.centre.x(), b.centre.y()) > 0.05f)
                continue;
            bool onRoad = false;
            for (int k = 0; k < 8; ++k) {
                QPointF q = fp.pointAtPercent(k / 8.0);
                onRoad |= m_roadMask.sample(q.x(), q.y()) > 0.05f;
                onRoad |= !area.contains(q);
            }
            if (onRoad)
                continue;
            taken.addPath(fp);
            huts.push_back(b);
        }
        for (const Building& b : huts)
            drawShadow(p, footprint(b), 3.5 * d);
        for (const Building& b : huts)
            drawBuilding(p, b);
        for (int k = 0; k < 14; ++k) {
            QPointF at(rng.range(area.left() + 6 * d, area.right() - 6 * d),
                       rng.range(area.top() + 6 * d, area.bottom() - 6 * d));
            QPainterPath spot;
            spot.addEllipse(at, 6 * d, 6 * d);
            if (spot.intersects(taken) || m_roadMask.sample(at.x(), at.y()) > 0.05f)
                continue;
            taken.addPath(spot);
            if (k % 3 == 0)
                drawTent(p, at, 6 * d, rng.chance(0.5) ? 0 : Pi / 2);
            else
                for (int c = 0; c < 3; ++c)
                    drawCrate(p, at + QPointF(c * 3.2 * d, (c % 2) * 2.6 * d), 2.8 * d, 0);
        }
        // Fence with posts; gaps where roads pass.
        QPainterPath fence;
        fence.addRoundedRect(area, 5 * d, 5 * d);
        const double len = fence.length();
        for (double s = 0; s < len; s += 1.0) {
            QPointF a = fence.pointAtPercent(fence.percentAtLength(s));
            if (m_roadMask.sample(a.x(), a.y()) > 0.1f)
                continue;
            bool post = std::fmod(s, 6 * d) < 1.0;
            p.setPen(Qt::NoPen);
            p.setBrush(post ? QColor(60, 54, 46) : QColor(88, 84, 76, 200));
            double r = post ? 0.9 * d : 0.45 * d;
            p.drawEllipse(a, r, r);
        }
    });
}

void Terrain::addGunPit(QPointF centre, double facing)
{
    const double d = m_detail;
    QPainterPath area;
    area.addEllipse(centre, 13 * d, 13 * d);
    addClearing(area, QColor(140, 126, 94));
    m_sites.push_back([this, centre, facing, d](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 104, 76));
        p.drawEllipse(centre, 9 * d, 9 * d);
        // Sandbags round the front and sides; the rear stays open for the crew.
        drawSandbags(p, centre, 10.5 * d, facing - 2.0, 4.0);
        drawSandbags(p, centre, 12.6 * d, facing - 1.6, 3.2);
        QPointF back = centre - QPointF(std::cos(facing), std::sin(facing)) * 15 * d;
        drawCrate(p, back + QPointF(-2 * d, 0), 2.6 * d, facing);
        drawCrate(p, back + QPointF(2 * d, 1.5 * d), 2.6 * d, facing + 0.3);
    });
}

void Terrain::addTrench(const std::vector<QPointF>& through)
{
    const double d = m_detail;
    // Zig-zag the line so a single shell cannot sweep the trench.
    auto line = smoothLine(through, 1.0);
    std::vector<QPointF> zig;
    double along = 0;
    for (size_t i = 1; i < line.size(); ++i) {
        along += std::hypot(line[i].x() - line[i - 1].x(), line[i].y() - line[i - 1].y());
        if (zig.empty() || along > 7 * d) {
            QPointF t = line[std::min(i + 1, line.size() - 1)] - line[i - 1];
            double len = std::max(1e-6, std::hypot(t.x(), t.y()));
            QPointF nrm(-t.y() / len, t.x() / len);
            zig.push_back(line[i] + nrm * ((zig.size() % 2 ? 1 : -1) * 2.6 * d));
            along = 0;
        }
    }
    QPainterPath path = polyline(zig);
    QPainterPath area = QPainterPathStroker(QPen(Qt::black, 10 * d)).createStroke(path);
    addClearing(area);
    onGround([path, d](QPainter& p) {
        p.setBrush(Qt::NoBrush);
        p.setPen(roundPen(QColor(150, 132, 96, 200), 5.0 * d));
        p.drawPath(path.translated(-0.8 * d, -0.8 * d));
        p.setPen(roundPen(QColor(60, 48, 34), 2.4 * d));
        p.drawPath(path);
        p.setPen(roundPen(QColor(92, 76, 54), 0.9 * d));
        p.drawPath(path.translated(0.5 * d, 0.5 * d));
    });
}

void Terrain::addCraters(QPointF centre, double radius, int count)
{
    const double d = m_detail;
    Rng rng(static_cast<std::uint64_t>(centre.x() * 31 + centre.y() * 17 + count));
    std::vector<std::pair<QPointF, double>> craters;
    for (int k = 0; k < count; ++k) {
        double a = rng.range(0, 2 * Pi), r = radius * std::sqrt(rng.uniform());
        craters.push_back({centre + QPointF(std::cos(a), std::sin(a)) * r, rng.range(1.8, 4.5) * d});
    }
    onGround([this, craters](QPainter& p) {
        for (auto [at, r] : craters) {
            if (m_roadMask.sample(at.x(), at.y()) > 0.05f || waterAt(at.x(), at.y()) > 0.01)
                continue;
            QRadialGradient rim(at, r * 1.6);
            rim.setColorAt(0.55, QColor(156, 140, 104, 200));
            rim.setColorAt(1, QColor(156, 140, 104, 0));
            p.setPen(Qt::NoPen);
            p.setBrush(rim);
            p.drawEllipse(at, r * 1.6, r * 1.6);
            QRadialGradient pit(at + QPointF(-0.3 * r, -0.3 * r), r);
            pit.setColorAt(0, QColor(58, 48, 36));
            pit.setColorAt(1, QColor(104, 90, 66));
            p.setBrush(pit);
            p.drawEllipse(at, r, r);
        }
    });
}

QImage Terrain::render()
{
    const int n = m_size;
    const double d = m_detail;

    m_height.resize(static_cast<size_t>(n * n));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            m_height[static_cast<size_t>(y * n + x)] = static_cast<float>(height(x, y));

    auto paintRivers = [this](QPainter& p, double extra) {
        for (const River& r : m_rivers) {
            auto line = smoothLine(r.through, 2.0);
            for (size_t i = 1; i < line.size(); ++i) {
                double t = double(i) / line.size();
                double wob = 1 + 0.18 * (valueNoise(i / 14.0, 0.5, m_seed + 20) - 0.5) * 2;
                p.setPen(roundPen(Qt::white, lerp(r.widthStart, r.widthEnd, t) * wob + extra));
                p.drawLine(line[i - 1], line[i]);
            }
        }
    };
    auto paintSea = [this](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (const auto& s : m_sea)
            p.drawPath(s);
    };
    m_water = paintMask([&](QPainter& p) {
        paintSea(p);
        paintRivers(p, 0);
    });
    Mask sea = paintMask(paintSea);
    m_riverShore = paintMask([&](QPainter& p) { paintRivers(p, 0); });
    blur(m_riverShore, static_cast<int>(2 * d), 2);
    m_deep = m_water;
    blur(m_deep, static_cast<int>(5 * d), 3);
    m_depth = m_water;
    blur(m_depth, static_cast<int>(18 * d), 3);
    m_shore = sea;
    blur(m_shore, static_cast<int>(3 * d), 2);
    m_roadMask = paintMask([&](QPainter& p) {
        for (size_t i = 0; i < m_roads.size(); ++i) {
            p.setPen(roundPen(Qt::white, m_roads[i].width + 2));
            p.drawPath(polyline(m_roadLines[i]));
        }
    });
    m_farm = paintMask([&](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (const auto& f : m_farmland)
            p.drawPath(f);
        p.setBrush(Qt::black);
        for (const auto& c : m_clearings)
            p.drawPath(c.first);
    });
    auto paintClear = [&](QPainter& p) {
        for (size_t i = 0; i < m_roads.size(); ++i) {
            p.setPen(roundPen(Qt::white, m_roads[i].width + 2.5 * d));
            p.drawPath(polyline(m_roadLines[i]));
        }
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (const auto& c : m_clearings)
            p.drawPath(c.first);
        for (const auto& g : m_gardens)
            p.drawPath(g);
        for (const Building& b : m_buildings)
            p.drawPath(footprint(b, 1.5 * d));
        for (const Bridge& b : m_bridges) {
            Building fp{b.centre, b.angle, b.length + 6 * d, b.width + 4 * d, {}, Building::Flat};
            p.drawPath(footprint(fp));
        }
        paintRivers(p, 2 * d);
    };
    m_sitesMask = paintMask([&](QPainter& p) {
        p.setPen(QPen(Qt::white, 4 * d));
        p.setBrush(Qt::white);
        for (const auto& c : m_clearings)
            p.drawPath(c.first);
        for (const Building& b : m_buildings)
            p.drawPath(footprint(b, 1.5 * d));
    });
    m_clear = paintMask(paintClear);
    placeVillageHouses();
    m_clear = paintMask(paintClear);
    placeVillageCores();
    m_clear = paintMask(paintClear);

    QImage img(n, n, QImage::Format_RGB32);
    paintGround(img);
    placeTrees();

    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        for (const auto& [area, ground] : m_clearings) {
            if (!ground.isValid())
                continue;
            p.setPen(roundPen(withAlpha(ground, 110), 3 * d));
            p.setBrush(withAlpha(ground, 215));
            p.drawPath(area);
        }
        for (const auto& g : m_gardens) {
            Rng rng(static_cast<std::uint64_t>(g.boundingRect().x() * 977 + g.boundingRect().y()));
            static const QColor gardenColours[] = {QColor(118, 140, 66), QColor(110, 96, 66), QColor(128, 148, 76),
                                                   QColor(100, 124, 58)};
            p.setPen(QPen(QColor(80, 84, 52, 160), 0.7));
            p.setBrush(gardenColours[rng.below(4)]);
            p.drawPath(g);
        }
        for (const auto& draw : m_ground)
            draw(p);
        paintRoads(p);
        paintBridges(p);
        for (const auto& draw : m_sites)
            draw(p);
        // Shadows of everything that stands, then the buildings, then the trees north to south.
        for (const Building& b : m_buildings)
            drawShadow(p, footprint(b), (b.style == Building::Church ? 7 : 3.5) * d);
        std::sort(m_trees.begin(), m_trees.end(), [](const Tree& a, const Tree& b) {
            return a.at.y() != b.at.y() ? a.at.y() < b.at.y() : a.at.x() < b.at.x();
        });
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 70));
        for (const Tree& t : m_trees)
            p.drawEllipse(t.at + ShadowDir * (t.radius * 0.75), t.radius * 1.02, t.radius * 0.95);
        for (const Tree& b : m_boulders) {
            p.setBrush(QColor(0, 0, 0, 80));
            p.drawEllipse(b.at + ShadowDir * (b.radius * 0.6), b.radius, b.radius * 0.85);
            QRadialGradient g(b.at + QPointF(-0.4, -0.4) * b.radius, b.radius * 1.3);
            g.setColorAt(0, QColor(176, 170, 156));
            g.setColorAt(1, QColor(92, 88, 80));
            p.setBrush(g);
            p.drawEllipse(b.at, b.radius, b.radius * (0.7 + 0.3 * b.tone));
        }
        for (const Building& b : m_buildings)
            drawBuilding(p, b);
        for (const Tree& t : m_trees)
            drawTree(p, t.at, t.radius, t.conifer, t.tone);
        for (const auto& draw : m_top)
            draw(p);
    }

    // Fine grain, so large flat areas do not look painted.
    for (int y = 0; y < n; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < n; ++x) {
            double f = 1 + (hash01(x, y, m_seed + 30) - 0.5) * 0.06;
            QRgb c = line[x];
            line[x] = pack({qRed(c) * f, qGreen(c) * f, qBlue(c) * f});
        }
    }
    return img;
}

} // namespace mkimages
