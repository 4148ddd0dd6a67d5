// The map object files and the default settings and picture map. All are written with CR LF
// line ends, like the game's own configuration files and like the program writes Tarvel.ini.
#include "MkImages.h"

#include <QFile>
#include <QStringList>

namespace mkimages {
namespace {

bool writeLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toLatin1() + "\r\n";
    return file.write(bytes) == bytes.size();
}

QString position(double x, double y, double z)
{
    return QString("%1/%2/%3").arg(x, 0, 'f', 3).arg(y, 0, 'f', 3).arg(z, 0, 'f', 3);
}

} // namespace

bool writeObjectFile(const demoworld::Map& map, const QString& path)
{
    // Only "Object.create", "Object.absolutePosition" and "Object.setTeam" matter to the reader;
    // the rest is what such a file carries anyway and must be skipped.
    QStringList out;
    out << "rem ================================================================"
        << QString("rem %1 - object spawns and control points").arg(map.title)
        << "rem Written by ornwick-mkimages; change the tool rather than this file."
        << "rem ================================================================"
        << ""
        << "rem -- Control points --------------------------------------------";
    int id = 1;
    for (const demoworld::Place& cp : map.controlPoints) {
        out << "Object.create controlpoint"
            << "Object.absolutePosition " + position(cp.x, cp.y, cp.z)
            << QString("Object.setTeam %1").arg(cp.team)
            << "Object.rotation 0/0/0"
            << QString("Object.setControlPointId %1").arg(id++)
            << "";
    }
    out << "rem -- Vehicle spawns --------------------------------------------";
    for (const demoworld::VehicleSpawn& v : map.vehicles) {
        // Park every vehicle facing the middle of the map.
        const double centre = map.worldSize / 2;
        const int yaw = (v.x < centre) == (v.z < centre) ? 45 : 315;
        out << QString("Object.create %1").arg(v.vehicle)
            << "Object.absolutePosition " + position(v.x, v.y, v.z)
            << QString("Object.rotation %1/0/0").arg(yaw)
            << QString("Object.setTeam %1").arg(v.team)
            << "ObjectTemplate.setSpawnDelay 30"
            << "ObjectTemplate.setMaxNrOfObjectSpawned 1"
            << "";
    }
    out << "rem -- end of file";
    return writeLines(path, out);
}

bool writeSettingsFile(const QString& path)
{
    // The demo is there to show everything, so the Admin, Missing picture and Score logg pages
    // are on.
    QStringList out{"admin=true"};
    // Frame calibration, not the picture's scale: the program stretches the picture over the
    // frame and places everything in frame pixels.
    for (const demoworld::Map& map : demoworld::Maps) {
        const QString name = map.name;
        out << QString("%1_SCALE=%2").arg(name).arg(map.frameScale())
            << QString("%1_CORRECTIONY=%2").arg(name).arg(map.frameScale())
            << QString("%1_TOPMARGIN=%2").arg(name).arg(map.frameTopMargin())
            << QString("%1_LEFTMARGIN=0").arg(name);
    }
    out << "ZOOM=1000";
    return writeLines(path, out);
}

bool writePictureMapFile(const QString& path)
{
    QStringList out;
    for (size_t i = 0; i < demoworld::Kits.size(); ++i)
        out << QString("%1=%2").arg(demoworld::Kits[i], demoworld::KitPictures[i % demoworld::KitPictures.size()]);
    // A control point's own picture is its flag, chosen by team when it is placed; this keeps the
    // class name off the missing-picture list before that happens.
    out << "controlpoint=GRAYVLAG";
    return writeLines(path, out);
}

} // namespace mkimages
