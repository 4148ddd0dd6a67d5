// End to end: the built Tarvel under an X server of its own, used the way a player uses it. It
// starts on the demo log's first round with a settings file the user has added to, replays for a
// few seconds, and is closed by a close request to its window; then the exit status, the settings
// file and the program's folder are checked. Skipped only when no X server can be started.
#include "TestPaths.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every wait is bounded; these are generous for a loaded two-core machine.
constexpr int XServerStartMs = 15000;
constexpr int WindowShownMs = 30000;
constexpr int MapShownMs = 20000;
constexpr int ReplayMs = 2000;
constexpr int ShotIntervalMs = 1500;
constexpr int CloseMs = 15000;

// The map view's inside in window coordinates: the zoomed map box sits at (384, 69) with size
// 464 x 587 on the first page, which the vertical tab bar and the menu bar push right and down
// by a few tens of pixels. The margins keep the region inside the box whatever the style's sizes.
constexpr int MapLeft = 430, MapTop = 120, MapRight = 850, MapBottom = 650;

const QString Comment = QStringLiteral("; my notes");
const QString UnknownKey = QStringLiteral("MyKey=kept");

QByteArray ReadAll(const QString& fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines without their ends: the program may write either kind.
QStringList Lines(const QByteArray& bytes)
{
    QStringList lines = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return lines;
}

QString Tail(const QString& fileName)
{
    const QByteArray text = ReadAll(fileName);
    return QString::fromLocal8Bit(text.right(4000));
}

// Which file a name stands for and when it was last written: a finished file renamed over the
// old one is another inode.
struct TFileStamp {
    ino_t Inode = 0;
    long long Modified = 0; // nanoseconds
};

TFileStamp Stamp(const QString& fileName)
{
    struct stat status {};
    if (::stat(QFile::encodeName(fileName).constData(), &status) != 0)
        return {};
    return {status.st_ino, status.st_mtim.tv_sec * 1000000000LL + status.st_mtim.tv_nsec};
}

// The X server, on a display number it picks itself; stopped when the test ends however it ends.
class TXServer {
public:
    ~TXServer()
    {
        if (FProcess.state() != QProcess::NotRunning) {
            FProcess.terminate();
            if (!FProcess.waitForFinished(3000))
                FProcess.kill();
            FProcess.waitForFinished(3000);
        }
    }

    // Empty when the server is up; otherwise why it is not.
    QString Start(const QString& logFile)
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return QStringLiteral("Xvfb is not installed");
        FProcess.setProgram(program);
        FProcess.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                               QStringLiteral("0"), QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"),
                               QStringLiteral("tcp"), QStringLiteral("-noreset")});
        FProcess.setStandardErrorFile(logFile);
        FProcess.start();
        if (!FProcess.waitForStarted(XServerStartMs))
            return QStringLiteral("Xvfb did not start: ") + FProcess.errorString();
        // With -displayfd the server writes its display number once it accepts connections.
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (!out.contains('\n') && clock.elapsed() < XServerStartMs && FProcess.state() == QProcess::Running) {
            FProcess.waitForReadyRead(200);
            out += FProcess.readAllStandardOutput();
        }
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (!out.contains('\n') || !ok)
            return QStringLiteral("Xvfb gave no display number: ") + Tail(logFile);
        FDisplay = QStringLiteral(":%1").arg(number);
        return QString();
    }

    const QString& Display() const { return FDisplay; }

private:
    QProcess FProcess;
    QString FDisplay;
};

// A client of the X server: finds the program's window, photographs the screen and asks the
// window to close, all with plain protocol requests.
class TXClient {
public:
    explicit TXClient(const QString& display)
    {
        int screenNumber = 0;
        FConnection = xcb_connect(display.toLatin1().constData(), &screenNumber);
        if (xcb_connection_has_error(FConnection))
            return;
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(FConnection));
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        if (screens.rem)
            FRoot = screens.data->root;
    }
    ~TXClient() { xcb_disconnect(FConnection); }

    bool Connected() const { return !xcb_connection_has_error(FConnection) && FRoot != 0; }

    xcb_atom_t Atom(const char* name)
    {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(FConnection, xcb_intern_atom(FConnection, 0, std::strlen(name), name), nullptr),
            &std::free);
        return reply ? reply->atom : XCB_ATOM_NONE;
    }

    QByteArray Property(xcb_window_t window, xcb_atom_t property)
    {
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(FConnection,
                                   xcb_get_property(FConnection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
                                   nullptr),
            &std::free);
        if (!reply)
            return QByteArray();
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    // The shown top-level windows with this title.
    std::vector<xcb_window_t> ShownWindows(const QByteArray& title)
    {
        std::vector<xcb_window_t> found;
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(FConnection, xcb_query_tree(FConnection, FRoot), nullptr), &std::free);
        if (!tree)
            return found;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
                xcb_get_window_attributes_reply(FConnection, xcb_get_window_attributes(FConnection, children[i]),
                                                nullptr),
                &std::free);
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                Property(children[i], XCB_ATOM_WM_NAME) == title)
                found.push_back(children[i]);
        }
        return found;
    }

    // The window's place on the screen; there is no window manager, so no frame either.
    bool Geometry(xcb_window_t window, int& x, int& y, int& width, int& height)
    {
        std::unique_ptr<xcb_get_geometry_reply_t, decltype(&std::free)> geometry(
            xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, window), nullptr), &std::free);
        std::unique_ptr<xcb_translate_coordinates_reply_t, decltype(&std::free)> origin(
            xcb_translate_coordinates_reply(FConnection, xcb_translate_coordinates(FConnection, window, FRoot, 0, 0),
                                            nullptr),
            &std::free);
        if (!geometry || !origin)
            return false;
        x = origin->dst_x;
        y = origin->dst_y;
        width = geometry->width;
        height = geometry->height;
        return true;
    }

    // What the screen shows in the rectangle, as the server holds it: 24-bit colour in 32-bit
    // pixels, the layout of QImage::Format_RGB32.
    QImage Shot(int x, int y, int width, int height)
    {
        std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> reply(
            xcb_get_image_reply(FConnection,
                                xcb_get_image(FConnection, XCB_IMAGE_FORMAT_Z_PIXMAP, FRoot, static_cast<int16_t>(x),
                                              static_cast<int16_t>(y), static_cast<uint16_t>(width),
                                              static_cast<uint16_t>(height), ~0u),
                                nullptr),
            &std::free);
        if (!reply || reply->depth != 24 || xcb_get_image_data_length(reply.get()) != width * height * 4)
            return QImage();
        QImage image(width, height, QImage::Format_RGB32);
        const uint8_t* data = xcb_get_image_data(reply.get());
        for (int row = 0; row < height; ++row)
            std::memcpy(image.scanLine(row), data + static_cast<size_t>(row) * width * 4, static_cast<size_t>(width) * 4);
        return image;
    }

    // What a window manager sends when the user clicks the close button.
    bool RequestClose(xcb_window_t window)
    {
        const xcb_atom_t protocols = Atom("WM_PROTOCOLS");
        const xcb_atom_t deleteWindow = Atom("WM_DELETE_WINDOW");
        const QByteArray offered = Property(window, protocols);
        bool offers = false;
        for (qsizetype at = 0; at + 4 <= offered.size(); at += 4)
            offers = offers || *reinterpret_cast<const uint32_t*>(offered.constData() + at) == deleteWindow;
        if (!offers)
            return false;
        xcb_client_message_event_t message {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = protocols;
        message.data.data32[0] = deleteWindow;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(FConnection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        return xcb_flush(FConnection) > 0;
    }

private:
    xcb_connection_t* FConnection = nullptr;
    xcb_window_t FRoot = 0;
};

// Pixels of the map view that differ between the two shots.
int ChangedMapPixels(const QImage& before, const QImage& after)
{
    int changed = 0;
    for (int y = MapTop; y < MapBottom; ++y)
        for (int x = MapLeft; x < MapRight; ++x)
            changed += before.pixel(x, y) != after.pixel(x, y);
    return changed;
}

// A map picture has many colours; an empty or placeholder view has a few.
int MapColours(const QImage& shot)
{
    QSet<QRgb> colours;
    for (int y = MapTop; y < MapBottom; y += 2)
        for (int x = MapLeft; x < MapRight; x += 2)
            colours.insert(shot.pixel(x, y));
    return static_cast<int>(colours.size());
}

void Copy(const QString& from, const QString& to)
{
    QFile::remove(to);
    ASSERT_TRUE(QFile::copy(from, to)) << from.toStdString() << " -> " << to.toStdString();
}

} // namespace

TEST(EndToEnd, ReplaysTheDemoThenClosesOnRequestKeepingTheUsersSettings)
{
    const QString bin = QString::fromUtf8(ORNWICK_BIN_DIR);
    const QString assets = QString::fromUtf8(ORNWICK_SOURCE_DIR) + QStringLiteral("/assets");
    const QString demoLog = bin + QStringLiteral("/demo/demo.zxml");
    ASSERT_TRUE(QFileInfo::exists(demoLog)) << "the build makes the demo log";

    // Logs, screenshots and the user's home lie outside the program's folder, which must end up
    // holding only what was put there and the settings file.
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString logs = work.filePath(QStringLiteral("logs"));
    const QString home = work.filePath(QStringLiteral("home"));
    const QString folder = work.filePath(QStringLiteral("program"));
    for (const QString& dir : {logs, home, folder})
        ASSERT_TRUE(QDir().mkpath(dir));
    QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    TXServer server;
    if (const QString why = server.Start(logs + QStringLiteral("/Xvfb.log")); !why.isEmpty())
        GTEST_SKIP() << "no X server: " << why.toStdString();
    TXClient x(server.Display());
    ASSERT_TRUE(x.Connected()) << "cannot connect to the X server on " << server.Display().toStdString();

    // The program's folder: its own copy of the executable, the shipped pictures, the picture map
    // and a settings file the user has written notes and a key of their own into.
    const QString tarvel = folder + QStringLiteral("/Tarvel");
    const QString ini = folder + QStringLiteral("/Tarvel.ini");
    Copy(bin + QStringLiteral("/Tarvel"), tarvel);
    QFile::setPermissions(tarvel, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Copy(assets + QStringLiteral("/Tarvel.map"), folder + QStringLiteral("/Tarvel.map"));
    ASSERT_TRUE(QFile::link(bin + QStringLiteral("/images"), folder + QStringLiteral("/images")));
    const QByteArray shipped = ReadAll(assets + QStringLiteral("/Tarvel.ini"));
    ASSERT_FALSE(shipped.isEmpty());
    QByteArray written = Comment.toLatin1() + "\r\n" + shipped;
    if (!written.endsWith('\n'))
        written += "\r\n";
    written += UnknownKey.toLatin1() + "\r\n";
    {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(written), written.size());
    }
    const QStringList before = Lines(written);
    const TFileStamp oldStamp = Stamp(ini);
    const QSet<QString> placed = {QStringLiteral("Tarvel"), QStringLiteral("Tarvel.ini"), QStringLiteral("Tarvel.map"),
                                  QStringLiteral("images")};

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("DISPLAY"), server.Display());
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    const QString output = logs + QStringLiteral("/Tarvel.log");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setStandardOutputFile(output); // a pipe nobody reads could fill and stall the program
    program.start(tarvel, {demoLog, QStringLiteral("0")});
    ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    auto said = [&] { return "\nTarvel said:\n" + Tail(output).toStdString(); };
    struct TStopper {
        QProcess& process;
        ~TStopper()
        {
            if (process.state() != QProcess::NotRunning) {
                process.kill();
                process.waitForFinished(3000);
            }
        }
    } stopper{program};

    // The window comes up, alone: a second window of that title is an error box.
    QElapsedTimer clock;
    clock.start();
    std::vector<xcb_window_t> windows;
    while (windows.empty() && clock.elapsed() < WindowShownMs && program.state() == QProcess::Running) {
        program.waitForFinished(200);
        windows = x.ShownWindows("Ornwick");
    }
    ASSERT_EQ(windows.size(), 1u) << "the main window and nothing else, within " << WindowShownMs << " ms" << said();
    const xcb_window_t window = windows[0];
    int left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(x.Geometry(window, left, top, width, height));
    ASSERT_GE(width, MapRight);
    ASSERT_GE(height, MapBottom);

    // The round starts and the map picture shows; a little later, two moments apart.
    QImage first;
    clock.restart();
    do {
        program.waitForFinished(500);
        first = x.Shot(left, top, width, height);
        ASSERT_FALSE(first.isNull()) << "cannot read the screen";
    } while (MapColours(first) < 50 && clock.elapsed() < MapShownMs && program.state() == QProcess::Running);
    ASSERT_EQ(program.state(), QProcess::Running) << said();
    EXPECT_GE(MapColours(first), 50) << "no map picture in the map view; see EndToEnd-1.png";
    program.waitForFinished(ReplayMs);
    first = x.Shot(left, top, width, height);
    ASSERT_FALSE(first.isNull());
    first.save(QStringLiteral("EndToEnd-1.png"));
    EXPECT_EQ(x.ShownWindows("Ornwick").size(), 1u) << "an error box came up" << said();
    program.waitForFinished(ShotIntervalMs);
    const QImage second = x.Shot(left, top, width, height);
    ASSERT_FALSE(second.isNull());
    second.save(QStringLiteral("EndToEnd-2.png"));
    ASSERT_EQ(program.state(), QProcess::Running) << said();
    const int changed = ChangedMapPixels(first, second);
    std::printf("map view: %d colours, %d pixels changed in %d ms\n", MapColours(first), changed, ShotIntervalMs);
    EXPECT_GE(changed, 100)
        << "the map stood still between EndToEnd-1.png and EndToEnd-2.png, " << ShotIntervalMs << " ms apart";

    // Closed the way a user closes it: the window is asked to, the program is not signalled.
    ASSERT_TRUE(x.RequestClose(window)) << "the window takes no close request";
    ASSERT_TRUE(program.waitForFinished(CloseMs)) << "still running " << CloseMs << " ms after the close request"
                                                  << said();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << said();
    EXPECT_EQ(program.exitCode(), 0) << said();

    // The settings file was written anew, by a rename over the old one, with the user's comment
    // and key as they were. Nothing the program does here changes a value: it writes its list
    // back as it read it.
    const QStringList after = Lines(ReadAll(ini));
    const TFileStamp stamp = Stamp(ini);
    EXPECT_FALSE(stamp.Inode == oldStamp.Inode && stamp.Modified == oldStamp.Modified)
        << "Tarvel.ini was not written at close";
    EXPECT_FALSE(stamp.Inode == oldStamp.Inode && stamp.Modified != oldStamp.Modified)
        << "Tarvel.ini was rewritten in place, not replaced by a finished file";
    ASSERT_FALSE(after.isEmpty());
    EXPECT_EQ(after.first().toStdString(), Comment.toStdString());
    EXPECT_EQ(after.count(UnknownKey), 1);
    // Every line the user had is still there, in its order; the program only adds.
    qsizetype at = 0;
    for (const QString& line : before) {
        while (at < after.size() && after[at] != line)
            ++at;
        EXPECT_LT(at, after.size()) << "lost or moved: " << line.toStdString();
        if (at == after.size())
            break;
        ++at;
    }

    // Nothing left over beside the program, and no second settings file in the user's folder:
    // this folder is writable, so the settings stay in it.
    QStringList extra;
    for (const QString& name : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (!placed.contains(name))
            extra << name;
    EXPECT_TRUE(extra.isEmpty()) << "left in the program's folder: " << extra.join(QStringLiteral(", ")).toStdString();
    QDirIterator config(home + QStringLiteral("/.config"), {QStringLiteral("Tarvel.ini")}, QDir::Files,
                        QDirIterator::Subdirectories);
    EXPECT_FALSE(config.hasNext()) << "settings written to " << (config.hasNext() ? config.next().toStdString() : "");
}
