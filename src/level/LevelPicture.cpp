#include "level/LevelPicture.h"

#include "level/LevelObjects.h"
#include "mapview/GridBackground.h"
#include "mapview/Calibration.h"
#include "video/FFmpegLog.h"

#include <QFont>
#include <QPainter>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>

namespace {

constexpr int MaxTextureSide = 8192;
constexpr int MinPictureSide = 2048;
constexpr int MaxPictureSide = 4096;
constexpr int TileWorld = 256;
const QColor MissingTile(128, 128, 128);
// The map view's zoom at which the grid picture is drawn: a whole zoom, so that every line lies
// where the view puts the positions it marks, on a picture of 2400 pixels.
constexpr int GridZoom = 4000;
constexpr double GridLabelEvery = 5; // lines; as GridBackground labels them
const char* const OverviewPath = "Textures/ingamemap.dds";

struct TCodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    void operator()(AVFrame* f) const { av_frame_free(&f); }
    void operator()(AVPacket* p) const { av_packet_free(&p); }
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

uint32_t Le16(const std::string& b, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

uint32_t Le32(const std::string& b, size_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A texture decoded by libavcodec. The size its header gives is checked before the decoder
// takes memory for it.
QImage DecodeWithCodec(const std::string& bytes, const std::string& name, AVCodecID id, const char* kind, uint32_t width,
                       uint32_t height)
{
    const auto bad = [&](const std::string& why) { return ELevelError(name + " is no readable texture: " + why); };
    if (width == 0 || height == 0 || width > MaxTextureSide || height > MaxTextureSide)
        throw bad(std::to_string(width) + " x " + std::to_string(height) + " pixels");
    QuietenFFmpeg(); // its complaints about a bad texture are no lines of the program's
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        throw ELevelError(std::string("This FFmpeg has no ") + kind + " decoder");
    std::unique_ptr<AVCodecContext, TCodecFree> context(avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, TCodecFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, TCodecFree> frame(av_frame_alloc());
    if (!context || !packet || !frame || avcodec_open2(context.get(), codec, nullptr) < 0)
        throw ELevelError(std::string("The ") + kind + " decoder could not start");
    if (bytes.size() > static_cast<size_t>(std::numeric_limits<int>::max() - AV_INPUT_BUFFER_PADDING_SIZE) ||
        av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0)
        throw bad("out of memory");
    std::copy(bytes.begin(), bytes.end(), packet->data);
    if (avcodec_send_packet(context.get(), packet.get()) < 0 || avcodec_receive_frame(context.get(), frame.get()) < 0)
        throw bad("the decoder rejected it");
    if (frame->width <= 0 || frame->height <= 0 || frame->width > MaxTextureSide || frame->height > MaxTextureSide)
        throw bad("bad size");
    QImage picture(frame->width, frame->height, QImage::Format_RGB32);
    std::unique_ptr<SwsContext, TCodecFree> scale(
        sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), frame->width,
                       frame->height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
    if (!scale || picture.isNull())
        throw bad("its pixel format cannot be converted");
    uint8_t* planes[1] = {picture.bits()};
    const int strides[1] = {static_cast<int>(picture.bytesPerLine())};
    sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return picture;
}

int TextureWidth(const std::string& bytes, const std::string& name)
{
    if (bytes.size() >= 20 && bytes.compare(0, 4, "DDS ") == 0)
        return static_cast<int>(std::min<uint32_t>(Le32(bytes, 16), MaxTextureSide));
    if (bytes.size() >= 18 && LowerAscii(name).ends_with(".tga"))
        return static_cast<int>(std::min<uint32_t>(Le16(bytes, 12), MaxTextureSide));
    return 0;
}

// The side in pixels of each of `tiles` tiles across the picture.
int SlotSide(int tiles, int native)
{
    const int low = (MinPictureSide + tiles - 1) / tiles;
    const int high = std::max(1, MaxPictureSide / tiles);
    return std::clamp(native > 0 ? native : low, std::min(low, high), high);
}

struct TTileName {
    int X, Z;
    std::string Path;
};

// "textures/tx01x02.dds" -> 1, 2.
std::optional<TTileName> TileOf(const std::string& path)
{
    const std::string prefix = "textures/tx";
    if (!path.starts_with(prefix))
        return std::nullopt;
    const std::string rest = path.substr(prefix.size());
    const size_t x = rest.find('x'), dot = rest.rfind('.');
    if (x != 2 || dot != 5 || (rest.substr(dot) != ".dds" && rest.substr(dot) != ".tga"))
        return std::nullopt;
    for (const size_t i : {0, 1, 3, 4})
        if (rest[i] < '0' || rest[i] > '9')
            return std::nullopt;
    return TTileName{std::stoi(rest.substr(0, 2)), std::stoi(rest.substr(3, 2)), path};
}

// The rectangle of the picture that shows world X x0..x1 and Z z0..z1 (Z up).
QRect WorldRect(const TPictureSquare& square, int pixels, double x0, double x1, double z0, double z1)
{
    const double perUnit = pixels / square.Side();
    const auto at = [&](double v) { return static_cast<int>(std::lround(v * perUnit)); };
    const double top = square.Z0() + square.Side();
    return QRect(QPoint(at(x0 - square.X0()), at(top - z1)), QPoint(at(x1 - square.X0()) - 1, at(top - z0) - 1));
}

// The tiles inside the world by their place in it, in tiles from world 0 along X and Z: (x, z)
// -> path; a .dds before a .tga of the same tile.
std::map<std::pair<int, int>, std::string> WorldTiles(const TLevel& level, int worldSize)
{
    const int across = (worldSize + TileWorld - 1) / TileWorld;
    const TTileOffset offset = ReadTileOffset(level);
    std::map<std::pair<int, int>, std::string> tiles;
    for (const std::string& path : level.PathsUnder("textures/tx"))
        if (const std::optional<TTileName> tile = TileOf(path)) {
            const int x = tile->X + offset.X, z = tile->Z + offset.Z;
            if (x >= 0 && x < across && z >= 0 && z < across) {
                auto [it, added] = tiles.try_emplace({x, z}, tile->Path);
                if (!added && path.ends_with(".dds"))
                    it->second = path;
            }
        }
    return tiles;
}

// A square whose offsets the map view's sliders can hold.
bool Reachable(const TPictureSquare& square)
{
    return square.CellsX <= MaxCalibrationOffset - 100 && square.CellsZ <= MaxCalibrationOffset - 100;
}

} // namespace

double TPictureSquare::Side() const { return DrawnMapSize * 1000.0 / Scale; }

TCalibration SquareCalibration(const TPictureSquare& square, int height)
{
    // map x = Round(Scale / 1000 × X) − CellsX is 0 at the square's left edge; map y, measured
    // from the picture's height, is DrawnMapSize at its bottom edge.
    return {square.Scale, square.Scale, static_cast<int>(-square.CellsX),
            static_cast<int>(square.CellsZ + DrawnMapSize - height)};
}

const char* PictureKindName(TPictureKind kind)
{
    switch (kind) {
    case TPictureKind::Overview:
        return "overview";
    case TPictureKind::Grid:
        return "grid";
    case TPictureKind::Terrain:
        break;
    }
    return "terrain";
}

TTileOffset ReadTileOffset(const TLevel& level)
{
    TTileOffset offset;
    const std::optional<std::string> terrain = level.Read("Init/Terrain.con");
    if (!terrain)
        return offset;
    for (const TConCommand& c : ReadConCommands(*terrain)) {
        const bool alongX = c.Keyword == "geometrytemplate.texoffsetx";
        if ((!alongX && c.Keyword != "geometrytemplate.texoffsety") || c.Args.empty())
            continue;
        const std::string& text = c.Args[0];
        double value = 0;
        const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        // Beyond a million tiles no tile lies in any world; the bound keeps the sums in an int.
        if (error != std::errc() || stop != text.data() + text.size() || !(std::fabs(value) <= 1e6))
            throw ELevelError(level.Source() + ": Init/Terrain.con gives no tile count for GeometryTemplate.texOffset" +
                              (alongX ? "X" : "Y") + " ('" + text + "')");
        (alongX ? offset.X : offset.Z) = static_cast<int>(std::lround(value));
    }
    return offset;
}

int TerrainTileCount(const TLevel& level, int worldSize) { return static_cast<int>(WorldTiles(level, worldSize).size()); }

bool HasOverview(const TLevel& level) { return level.Has(OverviewPath); }

TPictureSquare ExactSquare(long long x0, long long z0, long long side)
{
    // The largest scale whose square, moved down to whole map pixels, still holds the one asked.
    for (long long scale = DrawnMapSize * 1000LL / side; scale > 0; --scale) {
        TPictureSquare square{static_cast<int>(scale), x0 * scale / 1000, z0 * scale / 1000};
        if (square.X0() + square.Side() >= static_cast<double>(x0 + side) &&
            square.Z0() + square.Side() >= static_cast<double>(z0 + side))
            return square;
    }
    throw ELevelError("No picture square holds a world of " + std::to_string(side));
}

QImage DecodeTexture(const std::string& bytes, const std::string& name)
{
    const auto bad = [&](const std::string& why) { return ELevelError(name + " is no readable texture: " + why); };
    if (bytes.size() >= 4 && bytes.compare(0, 4, "DDS ") == 0) {
        if (bytes.size() < 128)
            throw bad("no DDS header");
        return DecodeWithCodec(bytes, name, AV_CODEC_ID_DDS, "DDS", Le32(bytes, 16), Le32(bytes, 12));
    }
    // A TGA file has no mark of its own: its name says what it is.
    if (LowerAscii(name).ends_with(".tga")) {
        if (bytes.size() < 18)
            throw bad("no TGA header");
        return DecodeWithCodec(bytes, name, AV_CODEC_ID_TARGA, "TGA", Le16(bytes, 12), Le16(bytes, 14));
    }
    QImage picture;
    if (!picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size())) ||
        picture.width() > MaxTextureSide || picture.height() > MaxTextureSide)
        throw ELevelError(name + " is no readable texture");
    return picture.convertToFormat(QImage::Format_RGB32);
}

std::string EncodeDxt1(const QImage& source)
{
    const QImage picture = source.convertToFormat(QImage::Format_RGB32);
    const int w = picture.width(), h = picture.height();
    std::string out(128, '\0');
    const auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    out.replace(0, 4, "DDS ");
    put(4, 124);
    put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000);
    put(12, static_cast<uint32_t>(h));
    put(16, static_cast<uint32_t>(w));
    put(20, static_cast<uint32_t>(w / 4 * (h / 4) * 8));
    put(28, 1);
    put(76, 32);
    put(80, 0x4);
    out.replace(84, 4, "DXT1");
    put(108, 0x1000);
    for (int by = 0; by < h / 4; ++by)
        for (int bx = 0; bx < w / 4; ++bx) {
            const QRgb c = picture.pixel(bx * 4, by * 4);
            const uint16_t c565 = static_cast<uint16_t>((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | (qBlue(c) >> 3));
            const char block[8] = {static_cast<char>(c565 & 0xFF), static_cast<char>(c565 >> 8),
                                   static_cast<char>(c565 & 0xFF), static_cast<char>(c565 >> 8), 0, 0, 0, 0};
            out.append(block, 8);
        }
    return out;
}

TLevelPicture TerrainPicture(const TLevel& level, int worldSize)
{
    const int across = (worldSize + TileWorld - 1) / TileWorld;
    const std::map<std::pair<int, int>, std::string> tiles = WorldTiles(level, worldSize);
    if (tiles.empty())
        throw ELevelError(level.Source() + ": the level has no terrain tiles (Textures/TxAAxBB.dds) inside its world of " +
                          std::to_string(worldSize));
    int x0 = across, x1 = -1, z0 = across, z1 = -1;
    for (const auto& [at, path] : tiles) {
        x0 = std::min(x0, at.first);
        x1 = std::max(x1, at.first);
        z0 = std::min(z0, at.second);
        z1 = std::max(z1, at.second);
    }
    // A square, so the picture keeps its shape where the frame draws it square; centred on the
    // tiles present and kept within the world.
    int side = std::max(x1 - x0, z1 - z0) + 1, cropX = 0, cropZ = 0;
    TLevelPicture result;
    for (;; ++side) {
        const auto place = [&](int low, int high) {
            const int start = low - (side - (high - low + 1)) / 2;
            return std::clamp(start, 0, std::max(0, across - side));
        };
        cropX = place(x0, x1);
        cropZ = place(z0, z1);
        result.Square = ExactSquare(cropX * TileWorld, cropZ * TileWorld, side * TileWorld);
        if (Reachable(result.Square) || side >= across)
            break;
    }
    const int slot = SlotSide(side, TextureWidth(level.Read(tiles.begin()->second).value_or(std::string()), tiles.begin()->second));
    const int pixels = slot * side;
    result.Picture = QImage(pixels, pixels, QImage::Format_RGB32);
    result.Picture.fill(MissingTile);
    QPainter painter(&result.Picture);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const auto& [at, path] : tiles) {
        if (at.first < cropX || at.first >= cropX + side || at.second < cropZ || at.second >= cropZ + side)
            continue;
        // Each tile is scaled on its own: the whole picture at the tiles' size could take gigabytes.
        const QRect place = WorldRect(result.Square, pixels, at.first * TileWorld, (at.first + 1) * TileWorld,
                                      at.second * TileWorld, (at.second + 1) * TileWorld);
        const QImage tile = DecodeTexture(level.ReadRequired(path), level.Where(path))
                                .scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .mirrored(false, true);
        painter.drawImage(place.topLeft(), tile);
        ++result.Tiles;
    }
    return result;
}

TLevelPicture OverviewPicture(const TLevel& level, int worldSize)
{
    const QImage overview = DecodeTexture(level.ReadRequired(OverviewPath), level.Where(OverviewPath));
    const int pixels = std::clamp(std::max(overview.width(), overview.height()), MinPictureSide, MaxPictureSide);
    TLevelPicture result;
    result.Kind = TPictureKind::Overview;
    result.Square = ExactSquare(0, 0, worldSize);
    result.Picture = QImage(pixels, pixels, QImage::Format_RGB32);
    result.Picture.fill(MissingTile);
    const QRect place = WorldRect(result.Square, pixels, 0, worldSize, 0, worldSize);
    QPainter painter(&result.Picture);
    painter.drawImage(place.topLeft(), overview.scaled(place.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return result;
}

TLevelPicture GridPicture(int worldSize)
{
    TLevelPicture result;
    result.Kind = TPictureKind::Grid;
    result.Square = ExactSquare(0, 0, worldSize);
    const int pixels = DrawnMapSize * GridZoom / 1000;
    const TCalibration calibration = SquareCalibration(result.Square, pixels);
    // Lines and labels as wide as the view shrinks the picture: seen at its first zoom. Labels
    // no larger than the room between two of them.
    const double labelRoom = GridStep(calibration, GridZoom) * GridLabelEvery * pixels / result.Square.Side();
    QFont font;
    font.setPixelSize(std::clamp(static_cast<int>(labelRoom / 8), 10, 48));
    result.Picture =
        DrawGridBackground(QSize(pixels, pixels), GridZoom, calibration, pixels, font, GridZoom / 1000)
            .convertToFormat(QImage::Format_RGB32);
    if (result.Picture.isNull())
        throw ELevelError("No memory for a picture of " + std::to_string(pixels) + " pixels");
    return result;
}

TLevelPicture LevelPictureOf(const TLevel& level, int worldSize, bool preferOverview)
{
    // The overview asked for needs nothing of the terrain: not even readable texture offsets.
    const bool overview = HasOverview(level);
    if (overview && preferOverview)
        return OverviewPicture(level, worldSize);
    if (TerrainTileCount(level, worldSize) > 0)
        return TerrainPicture(level, worldSize);
    return overview ? OverviewPicture(level, worldSize) : GridPicture(worldSize);
}
