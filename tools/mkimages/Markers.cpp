// Markers and flags are pixel art: at 20-30 pixels every pixel counts, and the program recolours
// a marker by flood-filling its pure black body from (w div 2, w div 2), so the body's edge has
// to be crisp (no anti-aliasing greys next to it) and the body one 4-connected region. Details
// are greys, which the fill leaves alone. Everything faces right; the program turns markers.
#include "MkImages.h"

#include <QColor>

#include <cmath>
#include <functional>

namespace mkimages {
namespace {

constexpr QRgb White = 0xFFFFFF;
constexpr QRgb Black = 0x000000;
constexpr QRgb Dark = 0x505050;  // wheels, tracks: stay dark after the fill but read as detail
constexpr QRgb Mid = 0x8C8C8C;
constexpr QRgb Light = 0xC4C4C4;
constexpr QRgb Pale = 0xEBEBEB;  // near-white highlights; pure white would turn transparent
constexpr QRgb CrossRed = 0xD21414;

class Grid {
public:
    Grid(int w, int h) : m_w(w), m_h(h), m_px(static_cast<size_t>(w * h), White) {}

    int width() const { return m_w; }
    int height() const { return m_h; }

    void set(int x, int y, QRgb c)
    {
        if (x >= 0 && y >= 0 && x < m_w && y < m_h)
            m_px[static_cast<size_t>(y * m_w + x)] = c;
    }
    QRgb get(int x, int y) const { return m_px[static_cast<size_t>(y * m_w + x)]; }

    // Inclusive corners.
    void rect(int x0, int y0, int x1, int y1, QRgb c)
    {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                set(x, y, c);
    }
    // Every pixel whose centre lies inside the ellipse.
    void ellipse(double cx, double cy, double rx, double ry, QRgb c)
    {
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                double dx = (x - cx) / rx, dy = (y - cy) / ry;
                if (dx * dx + dy * dy <= 1.0)
                    set(x, y, c);
            }
    }
    // A thick segment: every pixel whose centre is within half the thickness of it.
    void segment(double x0, double y0, double x1, double y1, double thickness, QRgb c)
    {
        double vx = x1 - x0, vy = y1 - y0, len2 = vx * vx + vy * vy;
        double r = thickness / 2.0;
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                double t = len2 > 0 ? ((x - x0) * vx + (y - y0) * vy) / len2 : 0;
                t = t < 0 ? 0 : (t > 1 ? 1 : t);
                double dx = x - (x0 + t * vx), dy = y - (y0 + t * vy);
                if (dx * dx + dy * dy <= r * r + 1e-9)
                    set(x, y, c);
            }
    }
    // Recolours the pixels of colour `from` whose centre lies between the radii, leaving out the
    // sector of half-width `gap` radians around the direction `open` (where the body must stay
    // joined).
    void ring(double cx, double cy, double r0, double r1, double gap, QRgb from, QRgb to, double open = 0)
    {
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x) {
                double dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
                double a = std::remainder(std::atan2(dy, dx) - open, 2 * 3.14159265358979);
                if (d > r0 && d <= r1 && std::abs(a) > gap && get(x, y) == from)
                    set(x, y, to);
            }
    }
    // Pixel art stamped at (x0, y0); a space leaves the pixel as it is.
    void art(int x0, int y0, std::initializer_list<const char*> rows,
             const std::function<QRgb(char)>& colour)
    {
        int y = y0;
        for (const char* row : rows) {
            for (int x = 0; row[x]; ++x)
                if (row[x] != ' ')
                    set(x0 + x, y, colour(row[x]));
            ++y;
        }
    }
    // Mirror the upper half onto the lower half (vehicles seen from above are symmetric).
    void mirrorDown()
    {
        for (int y = 0; y < m_h / 2; ++y)
            for (int x = 0; x < m_w; ++x)
                set(x, m_h - 1 - y, get(x, y));
    }

    QImage image() const
    {
        QImage img(m_w, m_h, QImage::Format_RGB888);
        for (int y = 0; y < m_h; ++y)
            for (int x = 0; x < m_w; ++x)
                img.setPixel(x, y, get(x, y));
        return img;
    }

private:
    int m_w, m_h;
    std::vector<QRgb> m_px;
};

QRgb basic(char ch)
{
    switch (ch) {
    case '#': return Black;
    case 'd': return Dark;
    case 'm': return Mid;
    case 'l': return Light;
    case 'p': return Pale;
    case 'r': return CrossRed;
    default: return White;
    }
}

// --- Soldiers (21 x 21, seen from above, facing right) -----------------------------------------

constexpr int SoldierSize = 21;

// Shoulders and helmet seen from above, the helmet's shadow (dark grey) setting it off from the
// arms that reach round it to the hands at (16..17, 10..11), where each kit holds its tool.
Grid soldierBody()
{
    Grid g(SoldierSize, SoldierSize);
    g.art(0, 3,
          {"      ####           ",
           "     ######          ",
           "     ########        ",
           "     ###ddd###       ",
           "    ###d###dd##      ",
           "    ###l####d ##     ",
           "    ###l#####d ##    ",
           "    ###########d##   ",
           "    ###########d##   ",
           "    ###d#####d ##    ",
           "    ###d####dd##     ",
           "     ###ddd####      ",
           "     ########        ",
           "     ######          ",
           "      ####           "},
          basic);
    return g;
}

Grid scout()
{
    Grid g = soldierBody();
    g.art(16, 8, {" lll ", "#####", "   # "}, basic); // rifle with a telescopic sight
    g.rect(18, 10, 20, 10, Black);
    g.rect(2, 8, 3, 12, Dark);                        // slim pack
    return g;
}

Grid assault()
{
    Grid g = soldierBody();
    g.rect(17, 10, 19, 11, Black);                    // short submachine gun
    g.rect(20, 10, 20, 10, Black);
    g.rect(17, 12, 18, 14, Black);                    // drum magazine under it
    g.set(17, 13, Mid);
    g.art(1, 7, {"ddd", "dmd", "ddd", "dmd", "ddd", "dmd", "ddd"}, basic); // ammunition pack
    return g;
}

Grid antitank()
{
    Grid g = soldierBody();
    g.rect(1, 5, 18, 7, Black);                       // launcher over the shoulder, out both ends
    g.rect(19, 4, 20, 8, Black);                      // flared muzzle
    g.set(20, 6, Mid);
    g.rect(1, 5, 1, 7, Mid);                          // open rear end
    g.rect(11, 4, 12, 4, Light);                      // sight
    g.rect(17, 10, 18, 11, Black);                    // grip
    g.art(1, 9, {"ddd", "dmd", "ddd", "dmd"}, basic); // rocket bag
    return g;
}

Grid medic()
{
    Grid g = soldierBody();
    g.rect(17, 10, 18, 10, Black);                    // pistol
    // First-aid bag on the back: a pale patch with a red cross.
    g.rect(0, 7, 4, 13, Pale);
    g.rect(2, 8, 2, 12, CrossRed);
    g.rect(1, 9, 3, 11, CrossRed);
    g.rect(2, 8, 2, 12, CrossRed);
    return g;
}

Grid engineer()
{
    Grid g = soldierBody();
    g.rect(17, 10, 17, 11, Black);                    // wrench handle
    g.art(17, 7, {" ## ", "####", "##  ", "##  ", "##  ", "##  ", "####", " ## "}, basic);
    g.art(0, 7, {"mmmm", "mddm", "mmmm", "mmmm", "mddm", "mmmm", "mmmm"}, basic); // tool box
    return g;
}

// --- Vehicles (seen from above, nose to the right) ---------------------------------------------

Grid jeep()
{
    Grid g(23, 23);
    g.rect(3, 6, 19, 16, Black);                   // body
    g.rect(20, 8, 20, 14, Black);                  // bumper
    g.set(3, 6, White); g.set(3, 16, White);       // rounded corners
    g.set(19, 6, White); g.set(19, 16, White);
    g.rect(16, 4, 18, 5, Dark); g.rect(16, 17, 18, 18, Dark); // wheels
    g.rect(4, 4, 6, 5, Dark); g.rect(4, 17, 6, 18, Dark);
    g.rect(1, 9, 2, 13, Dark);                     // spare wheel
    g.rect(13, 8, 13, 14, Light);                  // windscreen
    g.rect(9, 8, 11, 10, Mid); g.rect(9, 12, 11, 14, Mid); // seats
    g.rect(5, 8, 7, 14, Mid);                      // rear bench
    g.rect(15, 11, 18, 11, Dark);                  // bonnet crease
    return g;
}

Grid halftrack()
{
    Grid g(29, 29);
    g.rect(3, 8, 21, 20, Black);                   // hull
    g.rect(22, 10, 25, 18, Black);                 // bonnet
    g.rect(26, 11, 26, 17, Black);                 // bumper / roller
    g.rect(2, 6, 16, 7, Dark); g.rect(2, 21, 16, 22, Dark); // tracks
    for (int x = 3; x <= 15; x += 3) { g.set(x, 6, Mid); g.set(x, 22, Mid); }
    g.rect(21, 7, 23, 8, Dark); g.rect(21, 20, 23, 21, Dark); // front wheels
    g.rect(5, 10, 15, 18, Mid);                    // open troop compartment
    g.rect(6, 11, 14, 11, Light); g.rect(6, 17, 14, 17, Light); // benches
    g.rect(16, 13, 19, 15, Black);                 // driver's position, joins the hull
    g.rect(18, 10, 18, 18, Light);                 // armoured windscreen
    g.rect(16, 14, 24, 14, Black);
    g.rect(13, 14, 16, 14, Black);                 // machine gun over the cab
    return g;
}

Grid lightTank()
{
    Grid g(27, 27);
    g.rect(3, 6, 21, 20, Black);                   // hull
    g.rect(2, 4, 22, 6, Dark); g.rect(2, 20, 22, 22, Dark); // tracks
    for (int x = 3; x <= 21; x += 3) { g.set(x, 4, Mid); g.set(x, 22, Mid); }
    g.rect(4, 8, 7, 18, Dark);                     // engine deck
    g.rect(5, 9, 6, 9, Mid); g.rect(5, 11, 6, 11, Mid); g.rect(5, 15, 6, 15, Mid); g.rect(5, 17, 6, 17, Mid);
    g.ellipse(13.0, 13.0, 5.2, 5.2, Black);        // turret, outlined except where the gun leaves it
    g.ring(13.0, 13.0, 4.2, 5.2, 0.45, Black, Mid);
    g.rect(17, 12, 25, 14, Black);                 // gun
    g.rect(11, 10, 12, 11, Light);                 // hatch
    return g;
}

Grid heavyTank()
{
    Grid g(31, 31);
    g.rect(3, 6, 23, 24, Black);                   // hull
    g.rect(24, 8, 25, 22, Black);                  // sloped glacis
    g.rect(2, 3, 25, 6, Dark); g.rect(2, 24, 25, 27, Dark); // wide tracks
    for (int x = 3; x <= 25; x += 3) { g.rect(x, 3, x, 3, Mid); g.rect(x, 27, x, 27, Mid); }
    g.rect(4, 9, 8, 21, Dark);                     // engine deck
    for (int y = 10; y <= 20; y += 2) g.rect(5, y, 7, y, Mid);
    g.ellipse(15.0, 15.0, 6.6, 6.6, Black);        // turret
    g.ring(15.0, 15.0, 5.6, 6.6, 0.35, Black, Mid);
    g.rect(21, 14, 27, 16, Black);                 // long gun
    g.rect(28, 13, 29, 17, Black);                 // muzzle brake
    g.rect(12, 11, 13, 12, Light);                 // commander's hatch
    g.rect(12, 18, 13, 18, Mid);                   // loader's hatch
    return g;
}

Grid truck()
{
    Grid g(29, 29);
    g.rect(2, 7, 18, 21, Black);                   // cargo bed under a canvas cover
    for (int x = 4; x <= 16; x += 3) g.rect(x, 9, x, 19, Mid); // canvas hoops
    g.rect(19, 11, 19, 17, Black);                 // coupling to the cab
    g.rect(20, 9, 25, 19, Black);                  // cab
    g.rect(26, 10, 26, 18, Black);                 // bumper
    g.rect(23, 10, 23, 18, Light);                 // windscreen
    g.rect(21, 11, 22, 17, Mid);                   // cab roof
    g.rect(21, 14, 22, 14, Black);
    g.rect(22, 7, 24, 8, Dark); g.rect(22, 20, 24, 21, Dark); // front wheels
    g.rect(4, 5, 8, 6, Dark); g.rect(4, 22, 8, 23, Dark);     // twin rear axles
    g.rect(11, 5, 14, 6, Dark); g.rect(11, 22, 14, 23, Dark);
    return g;
}

Grid fieldGun()
{
    Grid g(25, 25);
    g.segment(11.0, 10.5, 2.0, 6.0, 2.0, Black);   // split trail, legs spread
    g.segment(11.0, 13.5, 2.0, 18.0, 2.0, Black);
    g.rect(0, 5, 1, 7, Dark); g.rect(0, 17, 1, 19, Dark); // spades
    g.rect(10, 9, 13, 15, Black);                  // breech and cradle
    g.rect(11, 5, 12, 19, Black);                  // axle
    g.rect(13, 5, 14, 19, Black);                  // gun shield
    g.rect(14, 6, 14, 10, Mid); g.rect(14, 14, 14, 18, Mid); // lit face of the shield
    g.rect(14, 11, 22, 13, Black);                 // barrel
    g.rect(23, 10, 24, 14, Black);                 // muzzle brake
    // Wheels seen from above: tyres running along the direction of travel.
    g.rect(7, 2, 15, 4, Dark); g.rect(7, 20, 15, 22, Dark);
    for (int x = 8; x <= 14; x += 2) { g.set(x, 2, Mid); g.set(x, 22, Mid); }
    return g;
}

Grid death()
{
    Grid g(SoldierSize, SoldierSize);
    // A skull: dark eye sockets and teeth in a black head the fill colours.
    g.art(0, 2,
          {"                     ",
           "       #######       ",
           "     ###########     ",
           "    #############    ",
           "   ###############   ",
           "   ###############   ",
           "   ##lll#####lll##   ",
           "   #lllll###lllll#   ",
           "   #lllll###lllll#   ",
           "   ##lll#####lll##   ",
           "    #####m#m#####    ",
           "     ####mmm####     ",
           "      #########      ",
           "      #l#l#l#l#      ",
           "      #########      ",
           "       #######       "},
          basic);
    return g;
}

// --- Stand-ins (built into the program, for kits and vehicles no picture is found for) ----------

// A soldier of no kit the program knows: a plain rifle held forward.
Grid soldier()
{
    Grid g = soldierBody();
    g.rect(17, 10, 20, 10, Black);                    // rifle
    g.rect(17, 11, 18, 11, Black);                    // stock under the hands
    return g;
}

// A vehicle of no kind the program knows: a plain box on four wheels.
Grid vehicle()
{
    Grid g(27, 27);
    g.rect(3, 7, 23, 19, Black);                   // body
    g.rect(4, 5, 8, 6, Dark); g.rect(4, 20, 8, 21, Dark);     // wheels
    g.rect(17, 5, 21, 6, Dark); g.rect(17, 20, 21, 21, Dark);
    g.rect(18, 9, 18, 17, Light);                  // windscreen
    g.rect(6, 10, 9, 16, Mid);                     // roof hatch
    return g;
}

Grid plane()
{
    Grid g(31, 31);
    g.rect(12, 2, 17, 28, Black);                  // wings
    g.rect(2, 9, 5, 21, Black);                    // tail plane
    g.rect(2, 14, 27, 16, Black);                  // fuselage
    g.rect(28, 15, 29, 15, Black);                 // spinner
    g.rect(29, 11, 29, 19, Dark);                  // propeller
    g.rect(21, 15, 24, 15, Light);                 // canopy
    g.rect(13, 4, 16, 4, Mid); g.rect(13, 26, 16, 26, Mid); // wing markings
    return g;
}

Grid helicopter()
{
    Grid g(31, 31);
    g.segment(6.0, 4.0, 28.0, 26.0, 1.0, Dark);    // rotor blades, under the body
    g.segment(6.0, 26.0, 28.0, 4.0, 1.0, Dark);
    g.rect(12, 8, 24, 8, Mid); g.rect(12, 22, 24, 22, Mid); // skids
    g.ellipse(18.0, 15.0, 7.5, 5.0, Black);        // cabin
    g.rect(2, 14, 11, 16, Black);                  // tail boom
    g.rect(1, 11, 2, 19, Dark);                    // tail rotor
    g.rect(21, 14, 23, 16, Light);                 // canopy
    g.rect(17, 14, 18, 16, Mid);                   // rotor hub
    return g;
}

Grid boat()
{
    Grid g(31, 31);
    // A hull pointed at the bow: full beam aft, narrowing over the last third.
    for (int x = 2; x <= 29; ++x) {
        const int half = x < 20 ? 7 : 7 * (29 - x) / 9;
        g.rect(x, 15 - half, x, 15 + half, Black);
    }
    g.rect(6, 12, 10, 18, Mid);                    // wheelhouse
    g.rect(7, 13, 9, 13, Light);
    g.rect(20, 15, 24, 15, Light);                 // bow gun
    g.rect(2, 9, 2, 21, Dark);                     // transom
    return g;
}

// A machine gun or a flak gun on its mount, seen from above.
Grid machineGun()
{
    Grid g(23, 23);
    g.segment(11.0, 11.0, 3.0, 3.0, 2.0, Black);   // tripod legs
    g.segment(11.0, 11.0, 3.0, 19.0, 2.0, Black);
    g.segment(11.0, 11.0, 2.0, 11.0, 2.0, Black);
    g.rect(8, 9, 13, 13, Black);                   // receiver
    g.rect(14, 10, 21, 12, Black);                 // barrel
    g.rect(16, 10, 17, 10, Mid);                   // cooling jacket
    g.rect(12, 14, 15, 16, Mid);                   // ammunition box beside it
    g.rect(9, 7, 12, 7, Light);                    // sight
    return g;
}

// --- Flags (25 x 25: the program stretches a control point's flag into 25 x 25) ----------------

QImage flag(QColor cloth)
{
    Grid g(25, 25);
    const QRgb pole = qRgb(92, 80, 64), poleLight = qRgb(150, 134, 110);
    g.rect(6, 2, 7, 22, pole);
    g.rect(6, 2, 6, 22, poleLight);
    g.rect(5, 1, 8, 1, qRgb(120, 120, 120)); // finial
    g.rect(3, 23, 10, 23, qRgb(110, 100, 90)); // foot
    g.rect(4, 22, 9, 22, qRgb(140, 128, 112));
    // Cloth waving to the right: each column sags with a sine, lit on the rising folds.
    for (int x = 8; x <= 22; ++x) {
        double t = (x - 8) / 14.0;
        double sag = 1.6 * std::sin(t * 3.3 + 0.2) + t * 1.2;
        int top = static_cast<int>(std::lround(3 + sag));
        int bottom = static_cast<int>(std::lround(13 + sag - t * 0.8));
        double slope = std::cos(t * 3.3 + 0.2);
        int shade = static_cast<int>(110 + 45 * slope);
        QColor c = slope > 0 ? cloth.lighter(shade) : cloth.darker(220 - shade);
        for (int y = top; y <= bottom; ++y)
            g.set(x, y, (y == bottom || y == top) ? cloth.darker(140).rgb() : c.rgb());
    }
    return g.image();
}

} // namespace

std::vector<Picture> makeMarkers()
{
    return {
        {"scout", scout().image()},         {"assault", assault().image()},
        {"antitank", antitank().image()},   {"medic", medic().image()},
        {"engineer", engineer().image()},   {"Jeep", jeep().image()},
        {"Halftrack", halftrack().image()}, {"LightTank", lightTank().image()},
        {"HeavyTank", heavyTank().image()}, {"Truck", truck().image()},
        {"FieldGun", fieldGun().image()},   {"death", death().image()},
    };
}

std::vector<Picture> makeStandIns()
{
    return {
        {"soldier", soldier().image()},    {"vehicle", vehicle().image()},
        {"plane", plane().image()},        {"helicopter", helicopter().image()},
        {"boat", boat().image()},          {"machinegun", machineGun().image()},
    };
}

std::vector<Picture> makeFlags()
{
    return {
        {"AXISVLAG", flag(QColor(200, 30, 30))},
        {"ALIESVLAG", flag(QColor(30, 70, 200))},
        {"GRAYVLAG", flag(QColor(150, 150, 150))},
    };
}

bool saveBmp24(const QImage& image, const QString& path)
{
    // RGB888 has no alpha, so Qt writes 24 bits per pixel.
    return image.convertToFormat(QImage::Format_RGB888).save(path, "BMP");
}

QString markerFault(const QImage& marker)
{
    const int w = marker.width(), h = marker.height();
    if ((marker.pixel(0, 0) & 0xFFFFFF) != 0xFFFFFF)
        return "top-left pixel is not white";
    if (w / 2 >= h || (marker.pixel(w / 2, w / 2) & 0xFFFFFF) != 0)
        return "fill point is not black";
    QImage filled = teamFilled(marker, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            QRgb p = filled.pixel(x, y);
            if ((p & 0xFFFFFF) == 0)
                return QString("black pixel (%1, %2) is not joined to the body").arg(x).arg(y);
            if (p != qRgb(255, 0, 0) && qMax(qRed(p), qMax(qGreen(p), qBlue(p))) < 48)
                return QString("near-black pixel (%1, %2) would stay dark").arg(x).arg(y);
        }
    return {};
}

// The program recolours a marker with a flood fill of the black region at (w div 2, w div 2).
QImage teamFilled(const QImage& marker, bool axis)
{
    QImage img = marker.convertToFormat(QImage::Format_RGB32);
    const QRgb fill = axis ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
    int w = img.width(), h = img.height();
    int sx = w / 2, sy = w / 2;
    if (sy >= h || (img.pixel(sx, sy) & 0xFFFFFF) != 0)
        return img;
    std::vector<QPoint> stack{{sx, sy}};
    while (!stack.empty()) {
        QPoint p = stack.back();
        stack.pop_back();
        if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h)
            continue;
        if ((img.pixel(p) & 0xFFFFFF) != 0)
            continue;
        img.setPixel(p, fill);
        stack.push_back({p.x() + 1, p.y()});
        stack.push_back({p.x() - 1, p.y()});
        stack.push_back({p.x(), p.y() + 1});
        stack.push_back({p.x(), p.y() - 1});
    }
    return img;
}

// The program turns a marker about (w div 2, h div 2) by nearest-pixel lookup; pixels that fall
// outside the source become white.
QImage turned(const QImage& marker, double angle)
{
    QImage src = marker.convertToFormat(QImage::Format_RGB32);
    int w = src.width(), h = src.height(), cx = w / 2, cy = h / 2;
    QImage out(w, h, QImage::Format_RGB32);
    double s = std::sin(angle), c = std::cos(angle);
    for (int y = h - 1; y >= 0; --y)
        for (int x = w - 1; x >= 0; --x) {
            int dx = x - cx, dy = y - cy;
            int sx = static_cast<int>(std::nearbyint(dx * c - dy * s)) + cx;
            int sy = static_cast<int>(std::nearbyint(dx * s + dy * c)) + cy;
            out.setPixel(x, y, (sx >= 0 && sx < w && sy >= 0 && sy < h) ? src.pixel(sx, sy)
                                                                         : qRgb(255, 255, 255));
        }
    return out;
}

} // namespace mkimages
