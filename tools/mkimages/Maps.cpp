// The two demo maps. Everything that matters to the replay is placed from the demo world's own
// coordinates (control points, vehicle spawns) at the drawing's scale: x = drawScale/1000 * X,
// y = drawSize - drawScale/1000 * Z. The scenery around them is placed by hand in drawn pixels.
// The finished drawing is scaled down to the shipped size, which keeps every place at the same
// fraction of the picture.
#include "MkImages.h"
#include "Terrain.h"

#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace mkimages {
namespace {

constexpr double Pi = std::numbers::pi;

QPointF toPixel(const demoworld::Map& map, double x, double z)
{
    const double s = map.drawScale / 1000.0;
    return {s * x, map.drawSize - s * z};
}

QPointF pointOf(const demoworld::Map& map, const demoworld::Place& p) { return toPixel(map, p.x, p.z); }

std::vector<QPointF> spawnsNear(const demoworld::Map& map, QPointF centre, double radius)
{
    std::vector<QPointF> out;
    for (const auto& v : map.vehicles) {
        QPointF at = toPixel(map, v.x, v.z);
        if (std::hypot(at.x() - centre.x(), at.y() - centre.y()) <= radius)
            out.push_back(at);
    }
    return out;
}

// The yard around a base's flag and its vehicle spawns.
QRectF compoundArea(QPointF flag, const std::vector<QPointF>& spawns, double pad)
{
    double l = flag.x(), r = flag.x(), t = flag.y(), b = flag.y();
    for (QPointF s : spawns) {
        l = std::min(l, s.x());
        r = std::max(r, s.x());
        t = std::min(t, s.y());
        b = std::max(b, s.y());
    }
    return QRectF(QPointF(l - pad, t - pad), QPointF(r + pad, b + pad));
}

QPainterPath polygon(std::initializer_list<QPointF> pts)
{
    QPainterPath path;
    bool first = true;
    for (QPointF p : pts) {
        if (first)
            path.moveTo(p);
        else
            path.lineTo(p);
        first = false;
    }
    path.closeSubpath();
    return path;
}

// A coastline through the points, roughened by fractal noise except on the marked stretches
// (quays are straight).
QPainterPath coast(const std::vector<QPointF>& pts, const std::vector<bool>& rough, double amount,
                   std::uint64_t seed)
{
    QPainterPath path;
    path.moveTo(pts.front());
    double s = 0;
    for (size_t i = 1; i < pts.size(); ++i) {
        QPointF a = pts[i - 1], b = pts[i];
        double len = std::hypot(b.x() - a.x(), b.y() - a.y());
        int steps = std::max(1, static_cast<int>(len / 4));
        QPointF nrm(-(b.y() - a.y()) / len, (b.x() - a.x()) / len);
        for (int k = 1; k <= steps; ++k) {
            double t = double(k) / steps;
            s += len / steps;
            double off = rough[i - 1] ? (fbm(s, 0.5, 60, 4, seed) - 0.5) * 2 * amount * std::sin(Pi * t) : 0;
            path.lineTo(a + (b - a) * t + nrm * off);
        }
    }
    path.closeSubpath();
    return path;
}

double distanceToLine(const std::vector<QPointF>& line, double x, double y)
{
    double best = 1e18;
    for (size_t i = 1; i < line.size(); ++i) {
        QPointF a = line[i - 1], b = line[i];
        double vx = b.x() - a.x(), vy = b.y() - a.y();
        double t = std::clamp(((x - a.x()) * vx + (y - a.y()) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
        double dx = x - (a.x() + t * vx), dy = y - (a.y() + t * vy);
        best = std::min(best, dx * dx + dy * dy);
    }
    return std::sqrt(best);
}

void drawBoat(QPainter& p, QPointF at, double angle, double length, QColor hull)
{
    p.save();
    p.translate(at);
    p.rotate(angle * 180 / Pi);
    const double w = length * 0.34;
    QPainterPath shape;
    shape.moveTo(-length / 2, -w / 2);
    shape.lineTo(length * 0.2, -w / 2);
    shape.quadTo(length * 0.45, -w / 2, length / 2, 0);
    shape.quadTo(length * 0.45, w / 2, length * 0.2, w / 2);
    shape.lineTo(-length / 2, w / 2);
    shape.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 20, 30, 80));
    p.drawPath(shape.translated(1.5, 2.0));
    p.setPen(QPen(hull.darker(170), 0.7));
    p.setBrush(hull);
    p.drawPath(shape);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(176, 150, 110));
    p.drawRect(QRectF(-length / 2 + 1.2, -w / 2 + 1.0, length * 0.62, w - 2.0));
    p.setBrush(QColor(222, 220, 210));
    p.drawRect(QRectF(-length * 0.1, -w * 0.28, length * 0.22, w * 0.56));
    p.restore();
}

void drawWindmill(QPainter& p, QPointF at, double size, double sails)
{
    // Shadow of the sails, the round tower with its cap, then the sails.
    auto sailShape = [&](QPainter& q, QColor frame, QColor cloth) {
        for (int k = 0; k < 4; ++k) {
            q.save();
            q.translate(at);
            q.rotate((sails + k * Pi / 2) * 180 / Pi);
            q.setPen(QPen(frame, 0.9));
            q.drawLine(QPointF(0, 0), QPointF(size * 1.9, 0));
            q.setPen(QPen(frame, 0.5));
            q.setBrush(cloth);
            q.drawRect(QRectF(size * 0.5, 0.4, size * 1.35, size * 0.42));
            for (double x = size * 0.5; x <= size * 1.85; x += size * 0.27)
                q.drawLine(QPointF(x, 0.4), QPointF(x, 0.4 + size * 0.42));
            q.restore();
        }
    };
    p.save();
    p.translate(size * 0.9, size * 1.1);
    sailShape(p, QColor(0, 0, 0, 70), QColor(0, 0, 0, 50));
    p.restore();
    QRadialGradient g(at + QPointF(-size * 0.25, -size * 0.25), size * 0.9);
    g.setColorAt(0, QColor(196, 184, 160));
    g.setColorAt(1, QColor(120, 108, 90));
    p.setPen(QPen(QColor(90, 80, 66), 0.7));
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawEllipse(at + QPointF(size * 0.6, size * 0.7), size * 0.65, size * 0.65);
    p.setBrush(g);
    p.drawEllipse(at, size * 0.65, size * 0.65);
    p.setBrush(QColor(96, 70, 52));
    p.drawEllipse(at, size * 0.3, size * 0.3);
    sailShape(p, QColor(84, 64, 44), QColor(226, 218, 196, 220));
}

// --- Bramble Bay: farmland running down to a bay, a river with a bridge, a harbour town ------

QImage brambleBay(const demoworld::Map& map)
{
    Terrain t(map.drawSize, 0xB4A3B1E5ULL, 1.0);
    const auto& cp = map.controlPoints;
    const QPointF axis = pointOf(map, cp[0]), mill = pointOf(map, cp[1]), farm = pointOf(map, cp[2]),
                  bridge = pointOf(map, cp[3]), chapel = pointOf(map, cp[4]), harbour = pointOf(map, cp[5]),
                  allies = pointOf(map, cp[6]);

    const std::vector<QPointF> river = {{-20, 762}, {120, 720}, {260, 652}, {400, 583}, bridge,
                                        {600, 490}, {655, 472}, {720, 462}};
    t.height = [river](double x, double y) {
        double h = 48 - 0.028 * (x + y) + 22 * (fbm(x, y, 260, 4, 77) - 0.5);
        double dr = distanceToLine(river, x, y);
        return h - 9 * std::exp(-(dr / 45) * (dr / 45));
    };
    t.relief = 1.3;
    t.woodiness = 0.28;

    // The bay: open sea to the east between a wooded headland and the harbour quay.
    const double quayY = 597;
    QPainterPath bay = coast({{1044, 160}, {990, 150}, {930, 138}, {870, 110}, {820, 60}, {790, -20}, {640, -20}, {652, 40},
                    {702, 112}, {690, 190}, {712, 262}, {700, 332}, {690, 400}, {688, 444}, {694, 488},
                    {682, 545}, {688, quayY}, {806, quayY}, {832, 622}, {884, 652}, {944, 672}, {1000, 680},
                    {1044, 684}},
                   {true, true, true, true, false, false, true, true, true, true, true, true, true, true, true,
                    false, true, true, true, true, true, true},
                   14, 5);
    std::vector<QPointF> islandShore;
    for (int k = 0; k <= 24; ++k)
        islandShore.push_back(QPointF(905, 390) + QPointF(std::cos(k * Pi / 12) * 32, std::sin(k * Pi / 12) * 20));
    QPainterPath island = coast(islandShore, std::vector<bool>(islandShore.size(), true), 5, 9);
    t.addSea(bay.subtracted(island));
    t.addRiver({river, 9, 17});

    // Roads: the paved road from base to base through every control point, and dirt side roads.
    auto main = t.addRoad({{axis, {228, 232}, {300, 300}, {352, 362}, mill, farm, bridge, {598, 566},
                            {662, 614}, harbour, {782, 724}, {842, 800}, allies},
                           7,
                           true,
                           true});
    (void)main;
    t.addRoad({{axis, {100, 122}, {40, 100}, {-12, 92}}, 5, false});
    t.addRoad({{mill, {402, 300}, {432, 205}, {470, 110}, {500, -12}}, 5, false});
    t.addRoad({{mill, {300, 420}, {200, 432}, {100, 470}, {-12, 482}}, 4.5, false});
    t.addRoad({{bridge, chapel, {520, 700}, {470, 800}, {432, 900}, {420, 1036}}, 5, false});
    t.addRoad({{harbour, {800, 705}, {900, 730}, {1036, 748}}, 5, false});
    t.addRoad({{allies, {950, 930}, {1036, 962}}, 5, false});
    t.addRoad({{allies, {780, 892}, {660, 882}, {560, 842}, {470, 800}}, 4.5, false});
    t.addRoad({{harbour, {722, quayY + 14}, {800, quayY + 14}}, 6, true});

    // The bridge carries the main road over the river at the Bridge control point.
    t.addBridge({bridge, std::atan2(566 - 452, 598 - 445.0), 34, 12});

    // Fields, woods, settlements.
    t.setFieldPattern(0.42, 58, 40);
    t.addFarmland(polygon({{230, 240}, {345, 228}, {470, 300}, {505, 440}, {425, 505}, {300, 525}, {228, 470}}));
    t.addFarmland(polygon({{300, 725}, {470, 645}, {640, 700}, {770, 760}, {740, 960}, {560, 1030}, {360, 1030}, {300, 900}}));
    t.addFarmland(polygon({{250, 20}, {420, 8}, {445, 180}, {300, 228}, {240, 150}}));
    t.addFarmland(polygon({{0, 520}, {180, 500}, {240, 620}, {100, 700}, {0, 720}}));
    t.addFarmland(polygon({{960, 720}, {1030, 720}, {1030, 860}, {980, 850}}));
    t.addWood({100, 930}, 150, 1.3);
    t.addWood({560, 160}, 110, 1.2);
    t.addWood({60, 330}, 90, 1.0);
    t.addWood({1000, 900}, 90, 1.0);
    t.addWood({960, 60}, 70, 1.2);
    t.addWood({620, 380}, 60, 0.8);
    t.addWood({905, 390}, 25, 1.4);

    const std::vector<QColor> redRoofs = {QColor(168, 78, 56), QColor(150, 70, 52), QColor(178, 96, 64),
                                          QColor(110, 104, 104), QColor(140, 84, 62)};
    t.addVillage(mill, 80, 0.9, redRoofs);
    t.addVillage({510, 590}, 55, 0.8, redRoofs);
    t.addVillage(harbour + QPointF(10, 40), 80, 1.0, redRoofs);
    t.addVillage({455, 860}, 60, 0.9, redRoofs);
    t.addVillage({110, 478}, 45, 0.8, redRoofs);

    // Harbour: quay, piers, warehouses and boats.
    QPainterPath quay = polygon({{678, quayY - 5}, {812, quayY - 5}, {812, quayY + 8}, {678, quayY + 8}});
    t.addClearing(quay);
    for (double x : {735.0, 770.0, 805.0})
        t.addBuilding({{x, quayY + 26}, 0, 28, 13, QColor(126, 122, 116), Building::Flat});
    t.addBuilding({{836, quayY + 44}, 0.5, 24, 12, QColor(112, 110, 106), Building::Flat});
    t.onSite([&t, quayY](QPainter& p) {
        // Cargo waiting on the quay, bollards along its edge.
        for (int k = 0; k < 5; ++k)
            t.drawCrate(p, {690.0 + k * 3.2, quayY + 2.0 + (k % 2) * 2.6}, 2.8, 0);
        for (int k = 0; k < 4; ++k)
            t.drawCrate(p, {772.0 + k * 3.2, quayY + 1.0}, 2.8, 0);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(50, 48, 46));
        for (double x = 684; x < 810; x += 12)
            p.drawEllipse(QPointF(x, quayY - 3.6), 0.9, 0.9);
    });
    t.onGround([quayY](QPainter& p) {
        p.setPen(QPen(QColor(96, 92, 86), 1.0));
        p.setBrush(QColor(158, 154, 144));
        p.drawRect(QRectF(678, quayY - 5, 134, 13));
        for (double x : {712.0, 752.0, 792.0}) {
            p.setBrush(QColor(0, 0, 0, 70));
            p.setPen(Qt::NoPen);
            p.drawRect(QRectF(x + 2, quayY - 52, 6, 48));
            p.setPen(QPen(QColor(90, 72, 50), 0.8));
            p.setBrush(QColor(132, 108, 76));
            p.drawRect(QRectF(x, quayY - 54, 6, 50));
            p.setPen(QPen(QColor(96, 78, 54, 160), 0.5));
            for (double y = quayY - 52; y < quayY - 4; y += 2)
                p.drawLine(QPointF(x, y), QPointF(x + 6, y));
        }
    });
    t.onGround([](QPainter& p) {
        drawBoat(p, {703, 558}, -Pi / 2, 20, QColor(226, 222, 212));
        drawBoat(p, {741, 566}, -Pi / 2 + 0.05, 16, QColor(70, 90, 120));
        drawBoat(p, {780, 552}, -Pi / 2 - 0.08, 22, QColor(150, 60, 50));
        drawBoat(p, {826, 570}, 0.5, 14, QColor(220, 214, 196));
        drawBoat(p, {760, 470}, 2.5, 18, QColor(92, 96, 100));
    });

    // Windmill beside the Mill control point.
    const QPointF windmill = mill + QPointF(-30, 46);
    QPainterPath millYard;
    millYard.addEllipse(windmill, 16, 16);
    t.addClearing(millYard, QColor(150, 140, 104));
    t.onTop([windmill](QPainter& p) { drawWindmill(p, windmill, 9, 0.35); });

    // Military sites: both bases, the neutral points, gun pits at the field-gun spawns.
    const auto axisSpawns = spawnsNear(map, axis, 80), alliedSpawns = spawnsNear(map, allies, 80);
    t.addCompound(compoundArea(axis, axisSpawns, 45), axis, axisSpawns, QColor(104, 110, 84), 0);
    t.addCompound(compoundArea(allies, alliedSpawns, 45), allies, alliedSpawns, QColor(108, 112, 96), 0);
    t.addOutpost(mill, 20);
    t.addOutpost(harbour, 20);
    // The forward points either side of the bridge: a farmstead on the north bank, a chapel in
    // the hamlet on the south bank.
    t.addOutpost(farm, 18);
    const double alongMain = std::atan2(bridge.y() - farm.y(), bridge.x() - farm.x());
    t.addBuilding({farm + QPointF(24, -24), alongMain, 22, 12, QColor(150, 84, 58), Building::Gable});
    t.addBuilding({farm + QPointF(40, -4), alongMain + Pi / 2, 18, 10, QColor(118, 100, 84), Building::Gable});
    t.addOutpost(chapel, 18);
    t.addBuilding({chapel + QPointF(34, 6), 1.45, 30, 14, QColor(128, 118, 110), Building::Church});
    for (const auto& v : map.vehicles)
        if (std::strcmp(v.vehicle, "FieldGun") == 0) {
            QPointF at = toPixel(map, v.x, v.z);
            t.addGunPit(at, std::atan2(at.y() - 512, at.x() - 512) + Pi);
        }
    // Sandbag posts at both ends of the bridge.
    t.onSite([&t, bridge](QPainter& p) {
        const double a = std::atan2(566 - 452, 598 - 445.0);
        for (double side : {-1.0, 1.0}) {
            QPointF end = bridge + QPointF(std::cos(a), std::sin(a)) * (side * 30);
            t.drawSandbags(p, end, 9, a + (side > 0 ? 0 : Pi) - 1.3, 2.6);
        }
    });
    t.addTrench({{250, 262}, {290, 250}, {330, 262}});
    t.addTrench({{560, 470}, {600, 452}, {640, 440}});
    t.addTrench({{780, 800}, {800, 770}, {830, 756}});
    t.addCraters({460, 470}, 70, 18);
    t.addCraters({640, 600}, 60, 10);
    t.addCraters({300, 300}, 60, 10);
    return t.render();
}

// --- Kessel Ridge: a wooded ridge above a river valley, a crossroads village ------------------

QImage kesselRidge(const demoworld::Map& map)
{
    const double d = 1.5;
    Terrain t(map.drawSize, 0x6B3E5512ULL, d);
    const auto& cp = map.controlPoints;
    const QPointF axis = pointOf(map, cp[0]), ridge = pointOf(map, cp[1]), cross = pointOf(map, cp[2]),
                  allies = pointOf(map, cp[3]);

    const std::vector<QPointF> river = {{1044, 378}, {930, 452}, {842, 540}, {792, 640}, {772, 730},
                                        {742, 830}, {702, 930}, {682, 1044}};
    const std::vector<QPointF> crest = {{-20, 440}, {200, 402}, ridge, {650, 282}, {900, 200}, {1044, 168}};
    t.height = [river, crest](double x, double y) {
        double dc = distanceToLine(crest, x, y);
        double dr = distanceToLine(river, x, y);
        double h = 86 + 80 * std::exp(-(dc / 150) * (dc / 150));
        h += 30 * smoothstep(500, 120, x + y * 0.8);                // the plateau of the Axis camp
        h -= 22 * std::exp(-(dr / 70) * (dr / 70));                  // the river valley
        h += 30 * (fbm(x, y, 180, 5, 99) - 0.5);
        h += 5 * (fbm(x, y, 40, 3, 98) - 0.5) * smoothstep(60, 10, dc - 20); // broken ground on the crest
        return h;
    };
    t.relief = 0.9;
    t.woodiness = 0.3;
    t.coniferShare = 0.15;
    t.coniferAbove = 128;
    t.rockAbove = 152;
    t.grass = QColor(98, 124, 58);

    t.addRiver({river, 14, 24});

    t.addRoad({{axis, {232, 152}, {300, 202}, {342, 262}, {392, 322}, ridge, {478, 436}, {548, 508}, {616, 580},
                cross, {690, 690}, {777, 706}, {842, 762}, {880, 830}, allies},
               10,
               false});
    t.addRoad({{cross, {480, 662}, {340, 652}, {200, 682}, {60, 700}, {-15, 706}}, 8.5, false, true});
    t.addRoad({{cross, {592, 760}, {562, 880}, {542, 1040}}, 8.5, false});
    t.addRoad({{ridge, {560, 300}, {700, 238}, {820, 160}, {900, 62}, {932, -15}}, 7, false});
    t.addRoad({{axis, {60, 100}, {-15, 80}}, 7, false});
    t.addRoad({{allies, {980, 900}, {1040, 882}}, 7, false});
    t.addRoad({{allies, {922, 990}, {932, 1040}}, 7, false});
    t.addBridge({{777, 706}, std::atan2(762 - 690.0, 842 - 690.0), 44, 16});

    t.setFieldPattern(-0.25, 74, 52);
    t.addFarmland(polygon({{190, 540}, {520, 560}, {560, 720}, {500, 870}, {300, 890}, {190, 770}}));
    t.addFarmland(polygon({{830, 580}, {1040, 540}, {1040, 780}, {960, 790}, {870, 720}}));
    t.addFarmland(polygon({{0, 730}, {170, 720}, {210, 860}, {90, 900}, {0, 880}}));
    t.addWood({300, 330}, 120, 1.2);
    t.addWood({620, 250}, 130, 1.3);
    t.addWood({860, 170}, 110, 1.2);
    t.addWood({190, 470}, 80, 0.9);
    t.addWood({140, 960}, 120, 1.2);
    t.addWood({990, 620}, 60, 0.6);
    t.addWood({620, 960}, 90, 1.0);
    t.addWood({80, 260}, 70, 0.9);

    const std::vector<QColor> roofs = {QColor(150, 78, 58), QColor(132, 70, 54), QColor(104, 100, 100),
                                       QColor(160, 96, 66), QColor(92, 90, 94)};
    t.addBuilding({cross + QPointF(52, -50), 0.5, 40, 20, QColor(128, 118, 110), Building::Church});
    t.addVillage(cross, 120, 1.1, roofs);
    // A farmstead across the river.
    t.addBuilding({{980, 720}, 0.1, 30, 15, QColor(120, 84, 60), Building::Gable});
    t.addBuilding({{1000, 752}, 1.67, 22, 12, QColor(140, 76, 56), Building::Gable});
    t.addBuilding({{955, 748}, 0.1, 14, 9, QColor(150, 80, 58), Building::Gable});

    const auto axisSpawns = spawnsNear(map, axis, 140), alliedSpawns = spawnsNear(map, allies, 140);
    t.addCompound(compoundArea(axis, axisSpawns, 52), axis, axisSpawns, QColor(104, 110, 84), 0);
    t.addCompound(compoundArea(allies, alliedSpawns, 52), allies, alliedSpawns, QColor(108, 112, 96), 0);
    t.addOutpost(ridge, 24);
    t.addOutpost(cross, 22);
    for (const auto& v : map.vehicles)
        if (std::strcmp(v.vehicle, "FieldGun") == 0)
            t.addGunPit(toPixel(map, v.x, v.z), -Pi / 2);
    // A concrete bunker looking down from the ridge.
    t.addBuilding({ridge + QPointF(48, 30), 0.35, 22, 14, QColor(150, 148, 140), Building::Flat});

    t.addTrench({{330, 392}, {380, 410}, {420, 412}});
    t.addTrench({{448, 404}, {500, 380}, {540, 374}});
    t.addTrench({{470, 590}, {510, 610}, {548, 612}});
    t.addCraters(ridge + QPointF(0, 40), 130, 40);
    t.addCraters({700, 560}, 80, 14);
    t.addCraters({250, 620}, 70, 8);
    return t.render();
}

} // namespace

QImage drawMap(const demoworld::Map& map)
{
    if (std::strcmp(map.name, "bramble_bay") == 0)
        return brambleBay(map);
    if (std::strcmp(map.name, "kessel_ridge") == 0)
        return kesselRidge(map);
    // A map added to the demo world without scenery of its own still gets a plain picture.
    Terrain t(map.drawSize, 1, 1.0);
    return t.render();
}

QImage makeMapPicture(const demoworld::Map& map)
{
    // Smooth scaling averages the drawn pixels, so roads, roofs and trees stay crisp at the
    // shipped size instead of breaking up the way sampling every 1.7th pixel would.
    return drawMap(map).scaled(map.pictureSize, map.pictureSize, Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
}

} // namespace mkimages
