// Preview sheets for people: the markers as the replay shows them (team-filled, turned, drawn
// with white as the transparent colour over a piece of map) and each map with the demo world's
// control points and vehicle spawns placed the way the program places them.
#include "MkImages.h"

#include <QDir>
#include <QFont>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mkimages {
namespace {

const QColor SheetBack(54, 58, 62);
const QColor LabelColour(235, 235, 235);

// Draws `img` with its top-left pixel's colour left out, as the program draws markers and flags.
void drawTransparent(QImage& target, const QImage& img, int left, int top, int zoom = 1)
{
    const QRgb key = img.pixel(0, 0) & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            QRgb p = img.pixel(x, y);
            if ((p & 0xFFFFFF) == key)
                continue;
            for (int j = 0; j < zoom; ++j)
                for (int i = 0; i < zoom; ++i) {
                    int tx = left + x * zoom + i, ty = top + y * zoom + j;
                    if (tx >= 0 && ty >= 0 && tx < target.width() && ty < target.height())
                        target.setPixel(tx, ty, p | 0xFF000000);
                }
        }
}

void drawScaled(QPainter& p, const QImage& img, int x, int y, int zoom)
{
    p.drawImage(QRect(x, y, img.width() * zoom, img.height() * zoom), img);
}

// Where the shipped picture has a place, rounded: the program's frame placement from the
// shipped calibration lands within a pixel of this, scaled to the frame.
QPoint picturePixel(const demoworld::Map& map, double x, double z)
{
    const double s = map.pictureSize / map.worldSize;
    return {static_cast<int>(std::nearbyint(s * x)),
            map.pictureSize - static_cast<int>(std::nearbyint(s * z))};
}

const QImage* find(const std::vector<Picture>& list, const QString& name)
{
    for (const Picture& p : list)
        if (p.name == name)
            return &p.image;
    return nullptr;
}

// Heading as the frame drawing computes it, for a move by (dx, dz) in world units.
double heading(double dx, double dz)
{
    double a = -dx, b = dz;
    double angle = (a == 0 && b == 0) ? 0.0 : std::atan2(a, b);
    return angle - 3 * std::numbers::pi / 2;
}

QImage contactSheet(const std::vector<Picture>& all, size_t firstFlag, const QImage& mapPatch)
{
    const int zoom = 4, rowH = 32 * zoom + 12;
    const int colLabel = 8, col1 = 110, col4 = 150, colRed = 285, colBlue = 420, colMap = 560;
    const int patchW = 150, patchH = 42, width = colMap + 3 * patchW + 10;
    QImage sheet(width, 30 + rowH * static_cast<int>(all.size()), QImage::Format_RGB32);
    sheet.fill(SheetBack);
    QPainter p(&sheet);
    p.setPen(LabelColour);
    p.setFont(QFont("DejaVu Sans", 9));
    p.drawText(col1, 18, "1:1");
    p.drawText(col4, 18, "4x");
    p.drawText(colRed, 18, "team 1 fill");
    p.drawText(colBlue, 18, "team 2 fill");
    p.drawText(colMap, 18, "on the map, 3x: moving E, NE, N (red), W, S (blue)");
    for (size_t i = 0; i < all.size(); ++i) {
        const Picture& pic = all[i];
        const bool isFlag = i >= firstFlag;
        int top = 30 + rowH * static_cast<int>(i);
        QImage red = isFlag ? pic.image : teamFilled(pic.image, true);
        QImage blue = isFlag ? pic.image : teamFilled(pic.image, false);
        p.drawText(colLabel, top + 16, pic.name);
        p.drawText(colLabel, top + 32, QString("%1 x %2").arg(pic.image.width()).arg(pic.image.height()));
        p.drawImage(col1, top, pic.image);
        drawScaled(p, pic.image, col4, top, zoom);
        drawScaled(p, red, colRed, top, zoom);
        drawScaled(p, blue, colBlue, top, zoom);
        // Turned copies as the replay draws them.
        const double moves[5][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 0}, {0, -1}};
        int sx = static_cast<int>(i) * 23 % (mapPatch.width() - patchW);
        int sy = static_cast<int>(i) * 41 % (mapPatch.height() - patchH);
        QImage patch = mapPatch.copy(sx, sy, patchW, patchH).convertToFormat(QImage::Format_RGB32);
        for (int k = 0; k < 5; ++k) {
            double a = isFlag ? 0.0 : heading(moves[k][0], moves[k][1]);
            drawTransparent(patch, turned(k < 3 ? red : blue, a), 2 + k * 30, 5);
        }
        drawScaled(p, patch, colMap, top, 3);
    }
    return sheet;
}

// A crowd of markers over the map at 1:1 and at 2x, the way they look in a real replay.
QImage sceneSheet(const std::vector<Picture>& all, size_t firstFlag, const QImage& mapPatch)
{
    QImage scene = mapPatch.copy(0, 0, 460, 150).convertToFormat(QImage::Format_RGB32);
    for (size_t i = 0; i < firstFlag; ++i) {
        const QImage& img = all[i].image;
        for (int team = 0; team < 2; ++team) {
            double a = heading(std::cos(i * 1.3 + team), std::sin(i * 1.3 + team));
            QImage m = turned(teamFilled(img, team == 0), a);
            drawTransparent(scene, m, 10 + static_cast<int>(i) * 37, 20 + team * 60 + (i % 2) * 12);
        }
    }
    for (size_t i = firstFlag; i < all.size(); ++i)
        drawTransparent(scene, all[i].image, 10 + static_cast<int>(i - firstFlag) * 40, 125);
    QImage sheet(scene.width() * 3 + 30, scene.height() * 2 + 20, QImage::Format_RGB32);
    sheet.fill(SheetBack);
    QPainter p(&sheet);
    p.drawImage(10, 10, scene);
    drawScaled(p, scene, scene.width() + 20, 10, 2);
    return sheet;
}

QImage checkPicture(const demoworld::Map& map, const QImage& picture,
                    const std::vector<Picture>& markers, const std::vector<Picture>& flags)
{
    QImage img = picture.convertToFormat(QImage::Format_RGB32);
    // Objects first, as the frame drawing does: flags in 25 x 25, vehicles at their own size.
    for (const demoworld::VehicleSpawn& v : map.vehicles) {
        const QImage* pic = find(markers, v.vehicle);
        QPoint c = picturePixel(map, v.x, v.z);
        if (pic)
            drawTransparent(img, *pic, c.x() - pic->width() / 2, c.y() - pic->height() / 2);
    }
    for (const demoworld::Place& cp : map.controlPoints) {
        const char* name = cp.team == 1 ? "AXISVLAG" : (cp.team == 2 ? "ALIESVLAG" : "GRAYVLAG");
        const QImage* pic = find(flags, name);
        QPoint c = picturePixel(map, cp.x, cp.z);
        if (pic)
            drawTransparent(img, *pic, c.x() - pic->width() / 2, c.y() - pic->height() / 2);
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(QFont("DejaVu Sans", 8));
    for (const demoworld::Place& cp : map.controlPoints) {
        QPoint c = picturePixel(map, cp.x, cp.z);
        p.setPen(QPen(QColor(255, 0, 255), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 20, 20);
        p.drawLine(c + QPoint(-4, 0), c + QPoint(4, 0));
        p.drawLine(c + QPoint(0, -4), c + QPoint(0, 4));
        p.setPen(Qt::white);
        p.drawText(c + QPoint(24, -10), QString("%1 (%2,%3)").arg(cp.name).arg(c.x()).arg(c.y()));
    }
    for (const demoworld::VehicleSpawn& v : map.vehicles) {
        QPoint c = picturePixel(map, v.x, v.z);
        p.setPen(QPen(QColor(255, 255, 0), 1));
        p.drawLine(c + QPoint(-3, -3), c + QPoint(3, 3));
        p.drawLine(c + QPoint(-3, 3), c + QPoint(3, -3));
        p.drawText(c + QPoint(8, 14), v.vehicle);
    }
    return img;
}

} // namespace

bool writePreviews(const QString& folder, const std::vector<Picture>& markers,
                   const std::vector<Picture>& flags, const std::vector<Picture>& maps)
{
    QDir().mkpath(folder);
    bool ok = true;
    QImage patch = maps.empty() ? QImage(demoworld::ShippedPictureSize, demoworld::ShippedPictureSize,
                                         QImage::Format_RGB32)
                                : maps.front().image;
    if (maps.empty())
        patch.fill(QColor(100, 130, 70));
    std::vector<Picture> all = markers;
    all.insert(all.end(), flags.begin(), flags.end());
    // Bases, villages and the main road, at the size the frame shows the picture.
    QImage piece = patch.copy(60, 60, 480, 480);
    const size_t soldiers = 5;
    std::vector<Picture> first(all.begin(), all.begin() + soldiers);
    first.push_back(*std::find_if(all.begin(), all.end(), [](const Picture& p) { return p.name == "death"; }));
    std::vector<Picture> second;
    for (size_t i = soldiers; i < all.size(); ++i)
        if (all[i].name != "death")
            second.push_back(all[i]);
    ok &= contactSheet(first, first.size(), piece).save(folder + "/markers_soldiers.png");
    ok &= contactSheet(second, second.size() - flags.size(), piece).save(folder + "/markers_vehicles.png");
    ok &= sceneSheet(all, markers.size(), piece).save(folder + "/markers_scene.png");
    for (const Picture& m : maps)
        for (const demoworld::Map& map : demoworld::Maps)
            if (m.name == map.name)
                ok &= checkPicture(map, m.image, markers, flags).save(folder + "/check_" + m.name + ".png");
    return ok;
}

} // namespace mkimages
