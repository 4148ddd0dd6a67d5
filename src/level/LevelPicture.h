#pragma once

// The map's picture made from a level: the terrain colour tiles Textures/TxAAxBB stitched with Z
// up, the game's own overview map Textures/ingamemap.dds, or, for a level that has neither (a
// modification's archive often holds only the scripts it changes), the world's square drawn as
// the map view's grid.
//
// Tile AA, BB covers 256 world units along X from 256 × (AA + texOffsetX) and along Z from
// 256 × (BB + texOffsetY), its pixel row 0 at its low Z; the offsets are GeometryTemplate's in
// Init/Terrain.con, 0 when missing. A level of islands names its tiles from Tx00x00 and moves
// them into the middle of its world so.

#include "level/Level.h"
#include "mapview/Calibration.h"

#include <QImage>

#include <string>

// A texture (.dds through libavcodec, or any format Qt reads) as a 32-bit picture; ELevelError
// names the file when it is no picture. Pictures over 8192 pixels a side are refused.
QImage DecodeTexture(const std::string& bytes, const std::string& name);

// DXT1 .dds bytes of a picture of solid-colour 4x4 blocks, as the game stores its tiles (tests
// and benchmarks make levels with it); width and height multiples of 4.
std::string EncodeDxt1(const QImage& picture);

// The world square a picture shows, chosen so that the map view's whole-number values place
// every position on it exactly: the frame stretches the picture over DrawnMapSize map pixels and
// places a position at Round(Scale / 1000 × world) + offset, so the side is DrawnMapSize × 1000 /
// Scale world units and the low corners lie a whole number of map pixels (CellsX, CellsZ) from
// world 0. It holds the square asked for and a sliver more.
struct TPictureSquare {
    int Scale = 0;         // thousandths of a map pixel per world unit
    long long CellsX = 0;  // map pixels from world X 0 to the picture's left edge
    long long CellsZ = 0;  // the same along Z to its bottom edge
    double X0() const { return CellsX * 1000.0 / Scale; }
    double Z0() const { return CellsZ * 1000.0 / Scale; }
    double Side() const;
};
TPictureSquare ExactSquare(long long x0, long long z0, long long side);


// The map view's values that place the square on a picture `height` pixels high as the frame
// draws it; offsets beyond the sliders' ranges are left for the caller to refuse.
TCalibration SquareCalibration(const TPictureSquare& square, int height);

enum class TPictureKind { Terrain, Overview, Grid };
// "terrain", "overview", "grid".
const char* PictureKindName(TPictureKind kind);

struct TLevelPicture {
    QImage Picture;
    TPictureSquare Square; // the world the picture shows
    int Tiles = 0;         // tiles drawn
    TPictureKind Kind = TPictureKind::Terrain;
};

// GeometryTemplate.texOffsetX and texOffsetY of Init/Terrain.con in tiles, 0 when missing.
struct TTileOffset {
    int X = 0;
    int Z = 0;
};
TTileOffset ReadTileOffset(const TLevel& level);

// The terrain tiles that lie inside the world.
int TerrainTileCount(const TLevel& level, int worldSize);
bool HasOverview(const TLevel& level);

// The stitched tiles: cropped to the smallest square of whole tiles holding every tile present
// (the world square when that is no smaller, a larger one when the map view's offsets could not
// reach it), missing tiles grey, at least 2048 and at most 4096 pixels a side (the tiles' own
// resolution between the two).
TLevelPicture TerrainPicture(const TLevel& level, int worldSize);
// The overview map over the whole world square, at the same sizes.
TLevelPicture OverviewPicture(const TLevel& level, int worldSize);
// The world square with a line every 100 world units and a label every 500, as the map view
// draws a map without a picture, placed by the square's own calibration.
TLevelPicture GridPicture(int worldSize);
// The picture an import makes: the terrain, or the overview map when preferred; when the level
// lacks the one, the other; when it has neither, the grid.
TLevelPicture LevelPictureOf(const TLevel& level, int worldSize, bool preferOverview);
