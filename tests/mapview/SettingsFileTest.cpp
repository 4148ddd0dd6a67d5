// Tarvel.ini written by several programs at once: each writes only what it changed, into the
// file as it is then, under the file's lock; and one folder for the window and the tool.
#include "ReadOnlyFolder.h"
#include "TestUtil.h"
#include "base/Files.h"
#include "base/TextList.h"
#include "settings/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
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

const char WriterVariable[] = "ORNWICK_TEST_SETTINGS_WRITER";
const char HolderVariable[] = "ORNWICK_TEST_SETTINGS_HOLDER";

// Lines the program does not know, a NUL byte in one of them: every writer keeps them.
const std::string OddIni = std::string("admin=true\r\nno equals sign\r\nnul") + '\0' + "byte=1\r\n; a comment\r\n";

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

QProcess* StartChild(const char* variable, const std::string& value, const char* test)
{
    auto* child = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(variable), QString::fromStdString(value));
    child->setProcessEnvironment(environment);
    child->setProcessChannelMode(QProcess::MergedChannels);
    child->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=SettingsFile.") + QString::fromLatin1(test)});
    return child;
}

} // namespace

TEST(SettingsFile, EachWriterWritesOnlyWhatItChanged)
{
    TTempDir dir;
    const std::string ini = dir.Write("Tarvel.ini", OddIni + "ZOOM=900\r\n");
    TSettingsFile first(ini), second(ini);
    first.Read();
    second.Read();
    first.SetValue("alpha_SCALE", "1100");
    first.SetValue("zoom", "1200"); // the user's spelling of the name stays
    second.SetValue("beta_SCALE", "900");
    EXPECT_TRUE(second.Changed());
    first.Save();
    second.Save();
    EXPECT_FALSE(second.Changed());
    EXPECT_EQ(ReadFileBytes(ini), OddIni + "ZOOM=1200\r\nalpha_SCALE=1100\r\nbeta_SCALE=900\r\n");
    // What is held is what was written: the other writer's keys too.
    EXPECT_EQ(second.Values("alpha_SCALE"), "1100");
    EXPECT_EQ(second.List().Text(), ReadFileBytes(ini));

    // A key set twice is written once, with its last value; unchanged keys are not written back
    // over another writer's.
    first.SetValue("beta_SCALE", "1");
    first.SetValue("BETA_SCALE", "2");
    second.SetValue("alpha_SCALE", "3");
    second.Save();
    first.Save();
    TTextList written;
    written.LoadFromFile(ini);
    EXPECT_EQ(written.Values("alpha_SCALE"), "3");
    EXPECT_EQ(written.Values("beta_SCALE"), "2");
    EXPECT_EQ(written.Count(), 7);

    // A failed write keeps the file, what is held and what is still to be written.
    TSettingsFile blocked(dir.Path("folder.ini"));
    std::filesystem::create_directory(dir.Path("folder.ini"));
    blocked.SetValue("gamma", "1");
    EXPECT_EQ(MessageOf([&] { blocked.Save(); }).rfind("Cannot create file " + dir.Path("folder.ini"), 0), 0u);
    EXPECT_TRUE(blocked.Changed());
    EXPECT_EQ(blocked.Values("gamma"), "1");
}

// A writer process: its own keys, one at a time, each saved as a program would save it.
TEST(SettingsFile, WriterChild)
{
    const std::string role = Env(WriterVariable);
    if (role.empty())
        GTEST_SKIP() << "run by ProcessesWritingAtOnceKeepEveryKey";
    const size_t bar = role.find('|');
    const std::string ini = role.substr(0, bar), prefix = role.substr(bar + 1);
    TSettingsFile settings(ini);
    settings.Read();
    for (int i = 0; i < 25; ++i) {
        settings.SetValue(prefix + std::to_string(i), std::to_string(i));
        settings.Save();
    }
}

TEST(SettingsFile, ProcessesWritingAtOnceKeepEveryKey)
{
    TTempDir dir;
    const std::string ini = dir.Write("Tarvel.ini", OddIni);
    std::vector<std::unique_ptr<QProcess>> children;
    const std::vector<std::string> prefixes = {"a", "b", "c", "d"};
    for (const std::string& prefix : prefixes)
        children.emplace_back(StartChild(WriterVariable, ini + "|" + prefix, "WriterChild"));
    for (const auto& child : children) {
        ASSERT_TRUE(child->waitForFinished(120000));
        EXPECT_EQ(child->exitCode(), 0) << child->readAll().toStdString();
    }
    TTextList written;
    written.LoadFromFile(ini);
    for (const std::string& prefix : prefixes)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(written.Values(prefix + std::to_string(i)), std::to_string(i)) << prefix << i;
    EXPECT_EQ(ReadFileBytes(ini).substr(0, OddIni.size()), OddIni);
    EXPECT_EQ(written.Count(), 4 + 100);
    EXPECT_FALSE(PathExists(ini + ".lock"));
    EXPECT_EQ(QDir(dir.Path("").c_str()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tarvel.ini"});
}

// A process that takes the lock and is killed holding it.
TEST(SettingsFile, HolderChild)
{
    const std::string ini = Env(HolderVariable);
    if (ini.empty())
        GTEST_SKIP() << "run by ALockLeftByADeadProgramIsTakenOver";
    const TSettingsLock lock(ini);
    std::cout << "locked" << std::endl;
    QThread::sleep(120);
}

TEST(SettingsFile, ALockLeftByADeadProgramIsTakenOver)
{
    TTempDir dir;
    const std::string ini = dir.Write("Tarvel.ini", "admin=true\r\n");
    std::unique_ptr<QProcess> holder(StartChild(HolderVariable, ini, "HolderChild"));
    std::string said;
    while (said.find("locked") == std::string::npos && holder->waitForReadyRead(60000))
        said += holder->readAll().toStdString();
    ASSERT_NE(said.find("locked"), std::string::npos) << said;
    holder->kill();
    holder->waitForFinished();
    ASSERT_TRUE(PathExists(ini + ".lock"));
    TSettingsFile settings(ini);
    settings.SetValue("ZOOM", "700");
    const auto start = std::chrono::steady_clock::now();
    settings.Save();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(TSettingsLock::LockWaitMilliseconds));
    EXPECT_EQ(ReadFileBytes(ini), "admin=true\r\nZOOM=700\r\n");
}

namespace {

// The settings' folder as the program named `application` chooses it, under `config`.
std::string PlaceFor(const std::string& exe, const std::string& config, const char* application)
{
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config));
    const QString saved = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QString::fromLatin1(application));
    const TSettingsPlace place = ChooseSettingsPlace(exe);
    QCoreApplication::setApplicationName(saved);
    qunsetenv("XDG_CONFIG_HOME");
    return place.FileName;
}

} // namespace

// Installed where the user cannot write, the window (Tarvel) and the tool (ornwick) keep their
// settings in one folder; the first one begins it from what the tool kept in its own before.
TEST(SettingsFile, AnInstalledProgramKeepsOneUserFolder)
{
    ORNWICK_IN_READ_ONLY_FOLDER(folder);
    const std::string exe = folder + "/Tarvel";
    {
        TTempDir config;
        const std::string ini = config.Path("Tarvel/Tarvel.ini");
        EXPECT_EQ(PlaceFor(exe, config.Path(""), "ornwick"), ini);
        EXPECT_EQ(PlaceFor(exe, config.Path(""), "Tarvel"), ini);
        EXPECT_EQ(ReadFileBytes(ini), readonlyfs::ShippedIni);
        EXPECT_FALSE(PathExists(config.Path("ornwick")));
    }
    {
        // The tool's folder of before, with a map it imported.
        TTempDir config;
        std::filesystem::create_directories(config.Path("ornwick/images"));
        config.Write("ornwick/Tarvel.ini", "admin=true\r\nbay_SCALE=1200\r\n");
        config.Write("ornwick/images/bay.jpg", "picture");
        config.Write("ornwick/images/bayOBS.con", "objects");
        EXPECT_EQ(PlaceFor(exe, config.Path(""), "Tarvel"), config.Path("Tarvel/Tarvel.ini"));
        EXPECT_EQ(ReadFileBytes(config.Path("Tarvel/Tarvel.ini")), "admin=true\r\nbay_SCALE=1200\r\n");
        EXPECT_EQ(ReadFileBytes(config.Path("Tarvel/images/bay.jpg")), "picture");
        EXPECT_EQ(ReadFileBytes(config.Path("Tarvel/images/bayOBS.con")), "objects");
        // Taken over once: the user's own settings are never replaced by the tool's old ones.
        config.Write("ornwick/Tarvel.ini", "admin=true\r\nbay_SCALE=1\r\n");
        config.Write("Tarvel/Tarvel.ini", "mine=1\r\n");
        EXPECT_EQ(PlaceFor(exe, config.Path(""), "ornwick"), config.Path("Tarvel/Tarvel.ini"));
        EXPECT_EQ(ReadFileBytes(config.Path("Tarvel/Tarvel.ini")), "mine=1\r\n");
    }
}
