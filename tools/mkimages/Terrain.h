// A small painter of top-down war-game terrain. A map describes its land (height, water, roads,
// farmland, woods, settlements and military sites) in picture pixels; render() paints it in
// layers: ground texture with hill shading, water, roads and bridges, sites and buildings, and
// trees, each with the soft shadows that give a bird's-eye picture its depth.
#pragma once

#include "Noise.h"

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include <functional>
#include <vector>

namespace mkimages {

struct Road {
    std::vector<QPointF> through; // the road runs smoothly through these points
    double width = 6;
    bool paved = false;
    bool avenue = false;          // lined with trees
};

struct River {
    std::vector<QPointF> through;
    double widthStart = 10, widthEnd = 16;
};

struct Bridge {
    QPointF centre;
    double angle = 0;  // radians, along the road
    double length = 30, width = 9;
};

struct Building {
    QPointF centre;
    double angle = 0;  // radians, along the long side
    double length = 10, depth = 7;
    QColor roof;
    enum Style { Gable, Flat, Hut, Church, Tower } style = Gable;
};

class Terrain {
public:
    using Painter = std::function<void(class QPainter&)>;

    Terrain(int size, std::uint64_t seed, double detail);

    int size() const { return m_size; }
    double detail() const { return m_detail; }
    Rng& rng() { return m_rng; }

    // Land shape: height in metres at a picture pixel, and how strongly slopes are shaded.
    std::function<double(double, double)> height = [](double, double) { return 0.0; };
    double relief = 1.0;
    // Share of the open land that grows wood (0..1), before the explicit woods are added.
    double woodiness = 0.35;
    double coniferShare = 0.1;   // conifers among the forest trees, more of them higher up
    double coniferAbove = 1e9;   // height from which most trees are conifers
    double rockAbove = 1e9;      // height from which bare rock shows through
    QColor grass = QColor(104, 128, 60);

    void addSea(const QPainterPath& area);
    void addRiver(const River& river);
    // Returns the smoothed centre line, for placing things along the road.
    std::vector<QPointF> addRoad(const Road& road);
    void addBridge(const Bridge& bridge) { m_bridges.push_back(bridge); }
    void addFarmland(const QPainterPath& area);
    void setFieldPattern(double angle, double cellWidth, double cellHeight);
    void addWood(QPointF centre, double radius, double strength = 1.0);
    // Keeps trees, fields and houses away (sites, yards, clearings), with an optional ground.
    void addClearing(const QPainterPath& area, QColor ground = QColor());
    void addBuilding(const Building& b);
    // Houses along the roads within the radius, with gardens behind them.
    void addVillage(QPointF centre, double radius, double density, std::vector<QColor> roofs);

    // Military sites.
    void addOutpost(QPointF centre, double radius);
    void addCompound(const QRectF& area, QPointF flagAt, const std::vector<QPointF>& parking,
                     QColor roofs, double gateSide);
    void addGunPit(QPointF centre, double facing);
    void addTrench(const std::vector<QPointF>& through);
    void addCraters(QPointF centre, double radius, int count);

    // Extra drawing on the ground (under trees and buildings) or on top of everything.
    void onGround(Painter draw) { m_ground.push_back(std::move(draw)); }
    void onTop(Painter draw) { m_top.push_back(std::move(draw)); }
    // Drawing after the roads, before shadows, buildings and trees.
    void onSite(Painter draw) { m_sites.push_back(std::move(draw)); }

    // Water mask value (0 land .. 1 water) at a pixel; valid once render() has begun.
    double waterAt(double x, double y) const;

    QImage render();

    // Helpers the maps use for their own details.
    static std::vector<QPointF> smoothLine(const std::vector<QPointF>& through, double step);
    void drawBuilding(QPainter& p, const Building& b) const;
    void drawShadow(QPainter& p, const QPainterPath& footprint, double height) const;
    void drawSandbags(QPainter& p, QPointF centre, double radius, double from, double span) const;
    void drawCrate(QPainter& p, QPointF at, double size, double angle) const;
    void drawTent(QPainter& p, QPointF at, double size, double angle) const;
    void drawTree(QPainter& p, QPointF at, double radius, bool conifer, double tone) const;

private:
    struct Tree {
        QPointF at;
        double radius;
        bool conifer;
        double tone;
    };
    struct Mask {
        int size = 0;
        std::vector<float> v;
        float at(int x, int y) const;
        float sample(double x, double y) const;
    };

    Mask paintMask(const std::function<void(QPainter&)>& draw) const;
    static void blur(Mask& m, int radius, int passes);
    void paintGround(QImage& img);
    void placeVillageHouses();
    void placeVillageCores();
    void placeTrees();
    void paintRoads(QPainter& p);
    void paintBridges(QPainter& p);
    bool footprintFree(const Building& b, double margin, bool againstBuildings = true) const;
    QPainterPath footprint(const Building& b, double grow = 0) const;

    int m_size;
    double m_detail;
    std::uint64_t m_seed;
    Rng m_rng;

    std::vector<QPainterPath> m_sea;
    std::vector<River> m_rivers;
    std::vector<Road> m_roads;
    std::vector<std::vector<QPointF>> m_roadLines;
    std::vector<Bridge> m_bridges;
    std::vector<QPainterPath> m_farmland;
    double m_fieldAngle = 0.3, m_cellW = 60, m_cellH = 45;
    struct Wood { QPointF c; double r, s; };
    std::vector<Wood> m_woods;
    std::vector<std::pair<QPainterPath, QColor>> m_clearings;
    std::vector<Building> m_buildings;
    struct Village { QPointF c; double r, density; std::vector<QColor> roofs; };
    std::vector<Village> m_villages;
    std::vector<QPainterPath> m_gardens;
    std::vector<Tree> m_trees, m_boulders;
    std::vector<float> m_rock;
    std::vector<Painter> m_ground, m_sites, m_top;

    Mask m_water, m_deep, m_depth, m_shore, m_riverShore, m_sitesMask, m_roadMask, m_clear, m_farm, m_hedgeTrees;
    std::vector<float> m_height;
};

} // namespace mkimages
