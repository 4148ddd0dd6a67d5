// The picture tool's parts: markers and flags, map pictures, the logo, the text files, and the
// preview sheets that let a person check all of it at a glance.
#pragma once

#include "DemoWorld.h"

#include <QImage>
#include <QString>

#include <vector>

namespace mkimages {

struct Picture {
    QString name; // base name in the images folder, without extension
    QImage image;
};

// Player and vehicle markers (one per kit base picture, one per vehicle, and "death"): a pure
// black body around the fill point (w div 2, w div 2) on a pure white background, facing right.
std::vector<Picture> makeMarkers();
// The markers the program draws for a kit or vehicle no picture is found for, of kinds the
// markers above do not cover: a plain soldier and vehicle, plane, helicopter, boat, machine gun.
// Built into the program, not shipped in the images folder.
std::vector<Picture> makeStandIns();
// Control-point flags: AXISVLAG, ALIESVLAG and GRAYVLAG.
std::vector<Picture> makeFlags();
// The About window's logo.
QImage makeLogo();
// The bird's-eye drawing of one demo map, drawSize pixels square.
QImage drawMap(const demoworld::Map& map);
// The shipped picture: the drawing scaled down to pictureSize pixels square.
QImage makeMapPicture(const demoworld::Map& map);

// A 24-bit BMP, whatever the image's format; false when the file cannot be written.
bool saveBmp24(const QImage& image, const QString& path);

// Text files. All use CR LF line ends.
bool writeObjectFile(const demoworld::Map& map, const QString& path);
bool writeSettingsFile(const QString& path);
bool writePictureMapFile(const QString& path);

// Contact sheet of markers and flags (plain, 4x, team-filled, turned, on the map) and, per map,
// a check picture with every control point and vehicle spawn marked.
bool writePreviews(const QString& folder, const std::vector<Picture>& markers,
                   const std::vector<Picture>& flags, const std::vector<Picture>& maps);

// The program's own treatment of a marker, reproduced for the previews and kept beside the
// drawing code so both can be checked against each other.
// Empty when the marker fills cleanly: white top-left pixel, black fill point, and every black
// pixel joined to it, with no near-black pixels left over.
QString markerFault(const QImage& marker);
QImage teamFilled(const QImage& marker, bool axis);
QImage turned(const QImage& marker, double angle);

} // namespace mkimages
