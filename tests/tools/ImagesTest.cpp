// Invariants of the shipped pictures and object files in assets/: what the replay relies on when
// it loads them, checked against the demo world the logs are generated from.
#include "TestPaths.h"
#include "../../tools/demoworld/DemoWorld.h"
#include "base/Convert.h"
#include "base/TextList.h"
#include "log/EventInfo.h"
#include "mapview/MapObject.h"
#include "mapview/WorldToMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

QString assetsDir()
{
    // Not __FILE__: a cached compile may name the source relative to the build folder.
    return QString::fromUtf8(ORNWICK_SOURCE_DIR) + QStringLiteral("/assets");
}

QString imagePath(const QString& name) { return assetsDir() + "/images/" + name; }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

int bmpBitCount(const QString& path)
{
    QByteArray b = readAll(path);
    if (b.size() < 30 || b[0] != 'B' || b[1] != 'M')
        return -1;
    return static_cast<unsigned char>(b[28]) | (static_cast<unsigned char>(b[29]) << 8);
}

bool isBlack(QRgb p) { return (p & 0xFFFFFF) == 0; }

// The program's recolouring: a 4-connected fill of the pure black region at (w div 2, w div 2).
QImage filled(const QImage& marker)
{
    QImage img = marker.convertToFormat(QImage::Format_RGB32);
    const int w = img.width(), h = img.height();
    std::vector<QPoint> todo{{w / 2, w / 2}};
    while (!todo.empty()) {
        QPoint p = todo.back();
        todo.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h || !isBlack(img.pixel(p)))
            continue;
        img.setPixel(p, qRgb(255, 0, 0));
        todo.insert(todo.end(), {{p.x() + 1, p.y()}, {p.x() - 1, p.y()}, {p.x(), p.y() + 1}, {p.x(), p.y() - 1}});
    }
    return img;
}

// Tarvel.map lookup: first line whose name before "=" matches without regard to case.
QString pictureMapValue(const QString& name)
{
    const QStringList lines = QString::fromLatin1(readAll(assetsDir() + "/Tarvel.map")).split("\r\n");
    for (const QString& line : lines) {
        int eq = line.indexOf('=');
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}

// Whether the program finds a picture for the name: .bmp, then .jpg, then the picture map's
// value, for which only .bmp is tried.
bool hasPicture(const QString& name)
{
    if (QFile::exists(imagePath(name + ".bmp")) || QFile::exists(imagePath(name + ".jpg")))
        return true;
    QString mapped = pictureMapValue(name);
    return !mapped.isEmpty() && QFile::exists(imagePath(mapped + ".bmp"));
}

struct MapObject {
    QString cls;
    double x, y, z;
    QString team;
};

// The object-file reader: keep the three kinds of relevant lines, then take each run of
// create / absolutePosition / setTeam as one object.
std::vector<MapObject> readObjectFile(const QString& path)
{
    QStringList lines = QString::fromLatin1(readAll(path)).split('\n');
    QStringList kept;
    for (const QString& line : lines) {
        QString up = line.toUpper();
        if (up.contains("OBJECT.SETTEAM") || up.contains("OBJECT.ABSOLUTEPOSITION") || up.contains("OBJECT.CREATE"))
            kept << line;
    }
    std::vector<MapObject> out;
    for (int i = 0; i + 2 < kept.size(); ++i) {
        if (!kept[i].toUpper().startsWith("OBJECT.CREATE") ||
            !kept[i + 1].toUpper().startsWith("OBJECT.ABSOLUTEPOSITION") ||
            !kept[i + 2].toUpper().startsWith("OBJECT.SETTEAM"))
            continue;
        QStringList xyz = kept[i + 1].mid(24).trimmed().split('/');
        if (xyz.size() != 3)
            continue;
        out.push_back({kept[i].mid(14).trimmed(), xyz[0].toDouble(), xyz[1].toDouble(), xyz[2].toDouble(),
                       kept[i + 2].mid(15).trimmed()});
        i += 2;
    }
    return out;
}

std::vector<QString> markerNames()
{
    std::vector<QString> names;
    for (const char* n : demoworld::KitPictures)
        names.emplace_back(n);
    for (const char* n : demoworld::Vehicles)
        names.emplace_back(n);
    names.emplace_back("death");
    return names;
}

// Where the shipped picture shows a place: the tool draws it at the drawing's scale and scales
// the whole drawing down, so it keeps its fraction of the picture.
QPointF picturePoint(const demoworld::Map& map, double x, double z)
{
    const double s = map.pictureSize / map.worldSize;
    return {s * x, map.pictureSize - s * z};
}

QPoint picturePixel(const demoworld::Map& map, double x, double z)
{
    const QPointF p = picturePoint(map, x, z);
    return {static_cast<int>(std::nearbyint(p.x())), static_cast<int>(std::nearbyint(p.y()))};
}

} // namespace

TEST(ShippedImages, MarkersAreSmall24BitBitmapsWithWhiteCornerAndBlackFillPoint)
{
    for (const QString& name : markerNames()) {
        SCOPED_TRACE(name.toStdString());
        const QString path = imagePath(name + ".bmp");
        ASSERT_EQ(bmpBitCount(path), 24);
        QImage img(path);
        ASSERT_FALSE(img.isNull());
        EXPECT_GE(img.width(), 16);
        EXPECT_LE(img.width(), 32);
        EXPECT_LE(img.height(), 32);
        EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        ASSERT_LT(img.width() / 2, img.height());
        EXPECT_TRUE(isBlack(img.pixel(img.width() / 2, img.width() / 2)));
    }
}

TEST(ShippedImages, MarkerBodyIsOneRegionThatTheTeamFillColoursCompletely)
{
    for (const QString& name : markerNames()) {
        SCOPED_TRACE(name.toStdString());
        QImage img = filled(QImage(imagePath(name + ".bmp")));
        ASSERT_FALSE(img.isNull());
        int coloured = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                QRgb p = img.pixel(x, y);
                if (isBlack(p)) {
                    ADD_FAILURE() << "black pixel not joined to the body at " << x << "," << y;
                    continue;
                }
                if ((p & 0xFFFFFF) == 0xFF0000) {
                    ++coloured;
                    continue;
                }
                // Anti-aliasing leftovers would stay dark next to the coloured body.
                EXPECT_GE(std::max({qRed(p), qGreen(p), qBlue(p)}), 48) << "near-black at " << x << "," << y;
            }
        // The team colour has to be what the eye sees first.
        EXPECT_GT(coloured, img.width() * img.height() / 8);
    }
}

TEST(ShippedImages, FlagsAre24BitInTheirSidesColours)
{
    struct Flag {
        const char* name;
        int dominant; // 0 red, 2 blue, -1 grey
    };
    for (Flag f : {Flag{"AXISVLAG", 0}, Flag{"ALIESVLAG", 2}, Flag{"GRAYVLAG", -1}}) {
        SCOPED_TRACE(f.name);
        const QString path = imagePath(QString(f.name) + ".bmp");
        ASSERT_EQ(bmpBitCount(path), 24);
        QImage img(path);
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.pixel(0, 0) & 0xFFFFFF, 0xFFFFFFu);
        int red = 0, blue = 0, coloured = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                QRgb p = img.pixel(x, y);
                red += qRed(p) > qBlue(p) + 60;
                blue += qBlue(p) > qRed(p) + 60;
                coloured += (p & 0xFFFFFF) != 0xFFFFFF;
            }
        EXPECT_GT(coloured, 60);
        if (f.dominant == 0)
            EXPECT_GT(red, 60);
        if (f.dominant == 2)
            EXPECT_GT(blue, 60);
        if (f.dominant == -1)
            EXPECT_EQ(red + blue, 0);
    }
}

TEST(ShippedImages, EveryKitVehicleAndTheDeathMarkerHasAPicture)
{
    for (const char* kit : demoworld::Kits)
        EXPECT_TRUE(hasPicture(kit)) << kit;
    for (size_t i = 0; i < demoworld::Kits.size(); ++i)
        EXPECT_EQ(pictureMapValue(demoworld::Kits[i]), demoworld::KitPictures[i % demoworld::KitPictures.size()]);
    for (const char* vehicle : demoworld::Vehicles)
        EXPECT_TRUE(hasPicture(vehicle)) << vehicle;
    EXPECT_TRUE(hasPicture("death"));
    EXPECT_TRUE(hasPicture("controlpoint"));
}

TEST(ShippedImages, ObjectFilesListEveryControlPointAndVehicleSpawn)
{
    for (const demoworld::Map& map : demoworld::Maps) {
        SCOPED_TRACE(map.name);
        std::vector<MapObject> objects = readObjectFile(imagePath(QString(map.name) + "OBS.con"));
        ASSERT_EQ(objects.size(), map.controlPoints.size() + map.vehicles.size());
        size_t i = 0;
        for (const demoworld::Place& cp : map.controlPoints) {
            const MapObject& o = objects[i++];
            EXPECT_EQ(o.cls, "controlpoint");
            EXPECT_NEAR(o.x, cp.x, 1e-6);
            EXPECT_NEAR(o.y, cp.y, 1e-6);
            EXPECT_NEAR(o.z, cp.z, 1e-6);
            EXPECT_EQ(o.team, QString::number(cp.team));
        }
        for (const demoworld::VehicleSpawn& v : map.vehicles) {
            const MapObject& o = objects[i++];
            EXPECT_EQ(o.cls, v.vehicle);
            EXPECT_NEAR(o.x, v.x, 1e-6);
            EXPECT_NEAR(o.z, v.z, 1e-6);
            EXPECT_EQ(o.team, QString::number(v.team));
        }
    }
}

TEST(ShippedImages, TheProgramsOwnReadersTakeTheShippedFilesAsMeant)
{
    for (const demoworld::Map& map : demoworld::Maps) {
        SCOPED_TRACE(map.name);
        TTextList file;
        file.LoadFromFile(imagePath(QString(map.name) + "OBS.con").toStdString());
        std::vector<TObjectGroup> groups = ReadObjectGroups(file);
        ASSERT_EQ(groups.size(), map.controlPoints.size() + map.vehicles.size());
        for (size_t i = 0; i < groups.size(); ++i) {
            const bool isPoint = i < map.controlPoints.size();
            const auto& cp = map.controlPoints;
            const auto& vs = map.vehicles;
            const double x = isPoint ? cp[i].x : vs[i - cp.size()].x;
            const double z = isPoint ? cp[i].z : vs[i - cp.size()].z;
            const int team = isPoint ? cp[i].team : vs[i - cp.size()].team;
            EXPECT_EQ(QString::fromStdString(groups[i].ObjectClass).trimmed(),
                      isPoint ? QString("controlpoint") : QString(vs[i - cp.size()].vehicle));
            TVectorParts p = ParseVector(groups[i].Position);
            EXPECT_NEAR(p.First, x, 1e-6);
            EXPECT_NEAR(p.Third, z, 1e-6);
            EXPECT_EQ(std::stoi(CleanNumber(groups[i].Team)), team);
        }
    }
    TTextList pictures;
    pictures.LoadFromFile((assetsDir() + "/Tarvel.map").toStdString());
    EXPECT_EQ(pictures.Values("AlliesMedic"), "medic");
    TTextList settings;
    settings.LoadFromFile((assetsDir() + "/Tarvel.ini").toStdString());
    // Frame pixels: 600 * 1000 / world size; the pictures are the frame's size, so no margin.
    EXPECT_EQ(settings.Values("BRAMBLE_BAY_scale"), "293");
    EXPECT_EQ(settings.Values("KESSEL_RIDGE_correctiony"), "1172");
    EXPECT_EQ(settings.Values("kessel_ridge_TopMargin"), "0");
    EXPECT_EQ(settings.Values("bramble_bay_leftmargin"), "0");
    EXPECT_EQ(settings.Values("zoom"), "1000");
    // The program compares the value as written, so it must be lower case.
    EXPECT_EQ(settings.Values("admin"), "true");
}

TEST(ShippedImages, MapPicturesFitTheirCalibrationAndPutEveryPlaceOnLand)
{
    const QByteArray ini = readAll(assetsDir() + "/Tarvel.ini");
    const QStringList lines = QString::fromLatin1(ini).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(ini.count("\r\n"), ini.count('\n')) << "Tarvel.ini lines end with CR LF";
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines[0].toStdString(), "admin=true");
    EXPECT_TRUE(lines.contains("ZOOM=1000"));
    for (const demoworld::Map& map : demoworld::Maps) {
        SCOPED_TRACE(map.name);
        const QString n = map.name;
        QImage picture(imagePath(n + ".jpg"));
        ASSERT_FALSE(picture.isNull());
        // The frame's size: shown 1:1 at zoom 1000, and the minimap, half the picture, fits the
        // 300-pixel space beside the Track box and the zoom slider.
        EXPECT_EQ(picture.width(), demoworld::FrameSize);
        EXPECT_EQ(picture.height(), demoworld::FrameSize);
        EXPECT_EQ(picture.width(), map.pictureSize);
        EXPECT_EQ(picture.height(), map.pictureSize);
        EXPECT_LE(QFileInfo(imagePath(n + ".jpg")).size(), 300 * 1024);

        int at = lines.indexOf(QString("%1_SCALE=%2").arg(n).arg(map.frameScale()));
        ASSERT_GE(at, 0);
        ASSERT_LT(at + 3, lines.size());
        EXPECT_EQ(lines[at + 1].toStdString(), QString("%1_CORRECTIONY=%2").arg(n).arg(map.frameScale()).toStdString());
        // The program measures y from the loaded picture's height; the margin takes it to the frame's.
        EXPECT_EQ(lines[at + 2].toStdString(),
                  QString("%1_TOPMARGIN=%2").arg(n).arg(demoworld::FrameSize - picture.height()).toStdString());
        EXPECT_EQ(lines[at + 3].toStdString(), QString("%1_LEFTMARGIN=0").arg(n).toStdString());
        EXPECT_EQ(map.drawScale, static_cast<int>(std::lround(map.drawSize * 1000 / map.worldSize)));
        EXPECT_EQ(map.frameScale(), static_cast<int>(std::lround(demoworld::FrameSize * 1000 / map.worldSize)));

        auto onLand = [&](double x, double z, const char* what) {
            QPoint p = picturePixel(map, x, z);
            ASSERT_TRUE(picture.rect().contains(p)) << what;
            QRgb c = picture.pixel(p);
            EXPECT_FALSE(qBlue(c) > qRed(c) + 25 && qBlue(c) > qGreen(c)) << what << " is in the water";
        };
        for (const demoworld::Place& cp : map.controlPoints)
            onLand(cp.x, cp.z, cp.name);
        for (const demoworld::VehicleSpawn& v : map.vehicles)
            onLand(v.x, v.z, v.vehicle);
    }
}

// The frame stretches the picture over 600 pixels at zoom 1000 and puts every object at its
// calibrated map pixel, so with the shipped Tarvel.ini each control point and vehicle must land
// where the stretched picture shows it. Any error grows with the zoom, so under one pixel at
// zoom 1000 is under one map pixel's worth at every zoom.
TEST(ShippedImages, ShippedCalibrationPutsEveryPlaceWhereTheStretchedPictureHasIt)
{
    TTextList settings;
    settings.LoadFromFile((assetsDir() + "/Tarvel.ini").toStdString());
    const int zoom = StrToInt(settings.Values("ZOOM"));
    ASSERT_EQ(zoom, 1000);
    for (const demoworld::Map& map : demoworld::Maps) {
        SCOPED_TRACE(map.name);
        const std::string n = map.name;
        const int scale = StrToInt(settings.Values(n + "_SCALE"));
        const int correctionY = StrToInt(settings.Values(n + "_CORRECTIONY"));
        const int top = StrToInt(settings.Values(n + "_TOPMARGIN"));
        const int left = StrToInt(settings.Values(n + "_LEFTMARGIN"));
        // The program measures y from the height of the picture it loaded.
        const int height = QImage(imagePath(QString(map.name) + ".jpg")).height();
        ASSERT_GT(height, 0);
        const double toFrame = demoworld::FrameSize * (zoom / 1000.0) / height;
        auto check = [&](double x, double z, const char* what) {
            const double frameX = (ScaleWorldToMap(scale, x) + left) * (zoom / 1000.0);
            const double frameY = (height - ScaleWorldToMap(correctionY, z) + top) * (zoom / 1000.0);
            const QPointF drawn = picturePoint(map, x, z) * toFrame;
            EXPECT_LT(std::abs(frameX - drawn.x()), 1.0) << what << " x " << frameX << " vs " << drawn.x();
            EXPECT_LT(std::abs(frameY - drawn.y()), 1.0) << what << " y " << frameY << " vs " << drawn.y();
        };
        for (const demoworld::Place& cp : map.controlPoints)
            check(cp.x, cp.z, cp.name);
        for (const demoworld::VehicleSpawn& v : map.vehicles)
            check(v.x, v.z, v.vehicle);
    }
}

TEST(ShippedImages, LogoFitsTheAboutWindow)
{
    QImage logo(imagePath("logo.bmp"));
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.width(), 240);
    EXPECT_EQ(logo.height(), 80);
}
