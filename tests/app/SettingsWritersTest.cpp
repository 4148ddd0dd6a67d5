// Programs that write Tarvel.ini at once, as processes: tools importing and calibrating maps,
// windows importing a map each and writing their settings as they end. Every map's keys stay.
// And the window and the tool installed where the user cannot write share one folder.
#include "ReadOnlyFolder.h"
#include "WindowTestUtil.h"
#include "base/TextList.h"
#include "level/LevelTestFiles.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

namespace {

const char WindowVariable[] = "ORNWICK_TEST_WINDOW_WRITER";

// Lines the program does not know, a NUL byte in one of them: every writer keeps them.
const std::string OddIni = std::string("admin=true\r\nno equals sign\r\nnul") + '\0' + "byte=1\r\n";

const char* const CalibrationKeys[] = {"_SCALE", "_CORRECTIONY", "_TOPMARGIN", "_LEFTMARGIN"};

using TProcesses = std::vector<std::unique_ptr<QProcess>>;

QProcess* StartOrnwick(const std::vector<std::string>& args)
{
    auto* tool = new QProcess;
    tool->setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments;
    for (const std::string& arg : args)
        arguments << QString::fromStdString(arg);
    tool->start(QString::fromUtf8(ORNWICK_BIN_DIR) + QStringLiteral("/ornwick"), arguments);
    return tool;
}

QProcess* StartImport(const std::string& level, const std::string& map, const std::string& home)
{
    return StartOrnwick({"import-map", level, "--map", map, "--home", home, "--mode", "GPM_CQ"});
}

QProcess* StartCalibrate(const std::string& map, const std::string& home)
{
    return StartOrnwick({"calibrate", map, "--home", home, "--ref", "0,0=0,500", "--ref", "500,500=100,400",
                         "--picture-height", "500", "--save"});
}

// A window in a process of its own (this test program again), which says "ready" once it has
// read the settings, imports `map` when the file `go` appears, and changes one key of its own
// that it writes as it ends.
QProcess* StartWindow(const std::string& home, const std::string& level, const std::string& map, const std::string& go)
{
    auto* child = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(WindowVariable), QString::fromStdString(home + "|" + level + "|" + map + "|" + go));
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=SettingsWriters.WindowChild")});
    return child;
}

void WaitForReady(QProcess& child)
{
    std::string said;
    while (said.find("ready") == std::string::npos && child.waitForReadyRead(60000))
        said += child.readAll().toStdString();
    ASSERT_NE(said.find("ready"), std::string::npos) << said;
}

void WaitForAll(const TProcesses& processes)
{
    for (const auto& process : processes) {
        ASSERT_TRUE(process->waitForFinished(120000));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0) << process->arguments().join(QLatin1Char(' ')).toStdString() << ": "
                                          << process->readAll().toStdString();
    }
}

// The maps whose four calibration keys are not all in the settings file.
std::vector<std::string> MapsLost(const std::string& ini, const std::vector<std::string>& maps)
{
    TTextList settings;
    settings.LoadFromFile(ini);
    std::vector<std::string> lost;
    for (const std::string& map : maps)
        for (const char* key : CalibrationKeys)
            if (settings.Values(map + key).empty()) {
                lost.push_back(map);
                break;
            }
    return lost;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += name + " ";
    return text;
}

} // namespace

TEST(SettingsWriters, WindowChild)
{
    const char* role = std::getenv(WindowVariable);
    if (!role)
        GTEST_SKIP() << "run by WindowsAndToolsAtOnceKeepEachOthersKeys";
    const QStringList parts = QString::fromStdString(role).split(QLatin1Char('|'));
    ASSERT_EQ(parts.size(), 4);
    const std::string home = parts[0].toStdString(), level = parts[1].toStdString(), map = parts[2].toStdString();
    const std::string go = parts[3].toStdString();
    TTarvelMain window(home + "/Tarvel");
    window.SetStopReplayWait(0);
    window.SetWritesSettings(true);
    std::cout << "ready" << std::endl;
    const auto start = std::chrono::steady_clock::now();
    while (!PathExists(go) && std::chrono::steady_clock::now() - start < std::chrono::seconds(60))
        QThread::msleep(5);
    ASSERT_TRUE(window.MapImports().ImportMapFrom(level, map, "", "GPM_CQ", false));
    TTarvelMainTest::Settings(window).SetValue(map + "_window", "kept");
}

// Several import-map and calibrate --save processes into one home at once, round after round.
TEST(SettingsWriters, ToolsAtOnceKeepEveryMapsCalibration)
{
    THome home;
    home.Dir.Write("Tarvel.ini", OddIni);
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir source;
    const std::string level = WriteLevelFolder(source, "Small", SmallLevel(16));
    std::vector<std::string> maps;
    int roundsWithLosses = 0;
    for (int round = 0; round < 6; ++round) {
        const std::string r = std::to_string(round);
        TProcesses tools;
        tools.emplace_back(StartImport(level, "imp" + r + "a", home.Dir.Path("")));
        tools.emplace_back(StartImport(level, "imp" + r + "b", home.Dir.Path("")));
        tools.emplace_back(StartCalibrate("cal" + r + "a", home.Dir.Path("")));
        tools.emplace_back(StartCalibrate("cal" + r + "b", home.Dir.Path("")));
        WaitForAll(tools);
        for (const char* name : {"imp", "cal"})
            for (const char* which : {"a", "b"})
                maps.push_back(name + r + which);
        roundsWithLosses += !MapsLost(home.Ini(), maps).empty();
    }
    EXPECT_EQ(roundsWithLosses, 0);
    EXPECT_EQ(Joined(MapsLost(home.Ini(), maps)), "");
    EXPECT_EQ(ReadFileBytes(home.Ini()).substr(0, OddIni.size()), OddIni);
    EXPECT_FALSE(PathExists(home.Ini() + ".lock"));
}

// Two windows, each importing a map and writing its settings as it ends, while two tools write:
// every one of them keeps its keys.
TEST(SettingsWriters, WindowsAndToolsAtOnceKeepEachOthersKeys)
{
    THome home;
    home.Dir.Write("Tarvel.ini", OddIni);
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir source;
    const std::string level = WriteLevelFolder(source, "Small", SmallLevel(16));
    std::vector<std::string> maps, windowMaps;
    for (int round = 0; round < 3; ++round) {
        const std::string r = std::to_string(round), go = home.Dir.Path("go" + r);
        TProcesses windows, tools;
        for (const char* which : {"a", "b"}) {
            windowMaps.push_back("win" + r + which);
            windows.emplace_back(StartWindow(home.Dir.Path(""), level, windowMaps.back(), go));
        }
        for (const auto& window : windows)
            WaitForReady(*window);
        // Both windows have read the settings; now all four write.
        home.Dir.Write("go" + r, "");
        tools.emplace_back(StartImport(level, "tool" + r + "a", home.Dir.Path("")));
        tools.emplace_back(StartCalibrate("tool" + r + "b", home.Dir.Path("")));
        WaitForAll(tools);
        WaitForAll(windows);
        for (const char* which : {"a", "b"})
            maps.push_back("tool" + r + which);
    }
    maps.insert(maps.end(), windowMaps.begin(), windowMaps.end());
    EXPECT_EQ(Joined(MapsLost(home.Ini(), maps)), "");
    TTextList settings;
    settings.LoadFromFile(home.Ini());
    for (const std::string& map : windowMaps)
        EXPECT_EQ(settings.Values(map + "_window"), "kept") << map;
    EXPECT_EQ(ReadFileBytes(home.Ini()).substr(0, OddIni.size()), OddIni);
}

// Installed where the user cannot write: a map the window imported is found by the tool, and
// one the tool imported by the window.
TEST(SettingsFolder, TheToolAndTheWindowFindEachOthersMaps)
{
    ORNWICK_IN_READ_ONLY_FOLDER(folder);
    TTempDir config, source;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path(""))); // this process and the tool's
    QCoreApplication::setApplicationName(QStringLiteral("Tarvel")); // as the window program is named
    const std::string level = WriteLevelFolder(source, "Small", SmallLevel(16));
    {
        TTarvelMain window(folder + "/Tarvel");
        ASSERT_TRUE(window.MapImports().ImportMapFrom(level, "alpha", "", "GPM_CQ", false));
    }
    std::unique_ptr<QProcess> objects(StartOrnwick({"objects", "alpha", "--home", folder}));
    ASSERT_TRUE(objects->waitForFinished(60000));
    const std::string listed = objects->readAll().toStdString();
    EXPECT_EQ(objects->exitCode(), 0) << listed;
    const size_t missing = listed.find("{\"missing\":[");
    ASSERT_NE(missing, std::string::npos) << listed;
    EXPECT_EQ(listed.find("\"alpha\"", missing), std::string::npos) << listed; // its picture found
    EXPECT_NE(listed.find("\"controlpoint\""), std::string::npos) << listed;

    std::unique_ptr<QProcess> import(StartImport(level, "beta", folder));
    ASSERT_TRUE(import->waitForFinished(60000));
    EXPECT_EQ(import->exitCode(), 0) << import->readAll().toStdString();
    TTarvelMain window(folder + "/Tarvel");
    window.ShowMap("beta");
    EXPECT_FALSE(window.MapPictureMissing());
    EXPECT_FALSE(window.ProgramFiles().Settings().Values("beta_SCALE").empty());
    EXPECT_EQ(window.ProgramFiles().Settings().Values("shipped"), "yes");
    EXPECT_TRUE(PathExists(config.Path("Tarvel/images/alpha.jpg")));
    EXPECT_TRUE(PathExists(config.Path("Tarvel/images/beta.jpg")));
}
