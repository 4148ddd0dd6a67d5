// Watching a library's folders on a real folder: new logs, growing logs and new subfolders are
// told once a burst of writing pauses, not once per write.
#include "TestUtil.h"
#include "library/LibraryWatcher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// Runs the event loop until `until` holds or the time is up.
template <typename Until> void RunEvents(int milliseconds, Until until)
{
    QElapsedTimer timer;
    timer.start();
    while (!until() && timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void Append(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

std::vector<std::string> Strings(const QStringList& list)
{
    std::vector<std::string> strings;
    for (const QString& text : list)
        strings.push_back(text.toStdString());
    return strings;
}

} // namespace

TEST(LibraryWatcher, WritesAreToldOnceTheyPause)
{
    TTempDir dir;
    std::filesystem::create_directories(dir.Path("logs/old"));
    const std::string log = dir.Write("logs/old/ev_1.xml", "<bf:log>");
    TLibraryWatcher watcher;
    int told = 0;
    QObject::connect(&watcher, &TLibraryWatcher::Changed, [&told] { ++told; });
    // Shorter pauses than the program's (1 s, 5 s at most) keep the test quick.
    watcher.SetPauses(400, 4000);
    watcher.Watch({dir.Path("logs")});
    RunEvents(300, [] { return false; });
    EXPECT_EQ(told, 0);

    // A burst of writes to a log in a subfolder: one report, after the burst.
    for (int i = 0; i < 5; ++i) {
        Append(log, "<bf:round/>");
        RunEvents(40, [] { return false; });
    }
    EXPECT_EQ(told, 0) << "told before the writing paused";
    RunEvents(4000, [&told] { return told > 0; });
    EXPECT_EQ(told, 1);
    RunEvents(600, [] { return false; });
    EXPECT_EQ(told, 1);

    // A new subfolder, and a log written into it afterwards.
    std::filesystem::create_directory(dir.Path("logs/new"));
    RunEvents(4000, [&told] { return told > 1; });
    EXPECT_EQ(told, 2);
    RunEvents(200, [] { return false; });
    dir.Write("logs/new/ev_2.zxml", "x");
    RunEvents(4000, [&told] { return told > 2; });
    EXPECT_EQ(told, 3);

    // Files that are no logs, such as a library's journal kept among the logs, tell nothing.
    dir.Write("logs/library.sqlite-wal", "x");
    dir.Write("logs/new/notes.txt", "x");
    std::filesystem::remove(dir.Path("logs/library.sqlite-wal"));
    RunEvents(600, [] { return false; });
    EXPECT_EQ(told, 3);

    // Watching nothing tells nothing.
    watcher.Watch({});
    Append(log, "<bf:round/>");
    RunEvents(600, [] { return false; });
    EXPECT_EQ(told, 3);
}

TEST(LibraryWatcher, OfAFolderOfManyLogsOnlyTheNewestAreWatched)
{
    namespace fs = std::filesystem;
    TTempDir dir;
    fs::create_directories(dir.Path("logs/server"));
    // Forty logs written an hour apart, the newest last, and a file that is no log.
    const auto now = fs::file_time_type::clock::now();
    std::vector<std::string> logs;
    for (int i = 0; i < 40; ++i) {
        logs.push_back(dir.Write("logs/server/ev_16567-20250301_" + std::to_string(1000 + i) + ".xml", "<bf:log>"));
        fs::last_write_time(logs.back(), now - std::chrono::hours(40 - i));
    }
    dir.Write("logs/server/notes.txt", "x");
    TLibraryWatcher watcher;
    int told = 0;
    QObject::connect(&watcher, &TLibraryWatcher::Changed, [&told] { ++told; });
    watcher.SetPauses(300, 3000);
    watcher.Watch({dir.Path("logs")});
    auto expected = [&](int from) {
        QStringList paths = {QString::fromStdString(dir.Path("logs")), QString::fromStdString(dir.Path("logs/server"))};
        for (int i = from; i < from + TLibraryWatcher::WatchedLogsPerFolder; ++i)
            paths << QString::fromStdString(logs[static_cast<size_t>(i)]);
        paths.sort();
        return Strings(paths);
    };
    EXPECT_EQ(Strings(watcher.Watched()), expected(40 - TLibraryWatcher::WatchedLogsPerFolder));

    // The server writes its newest log: told.
    Append(logs.back(), "<bf:round/>");
    RunEvents(3000, [&told] { return told > 0; });
    EXPECT_EQ(told, 1);

    // It starts a new one: told, and that one is watched in place of the oldest watched.
    logs.push_back(dir.Write("logs/server/ev_16567-20250301_1040.xml", "<bf:log>"));
    RunEvents(3000, [&told] { return told > 1; });
    EXPECT_EQ(told, 2);
    EXPECT_EQ(Strings(watcher.Watched()), expected(41 - TLibraryWatcher::WatchedLogsPerFolder));
    RunEvents(400, [] { return false; });
    Append(logs.back(), "<bf:round/>");
    RunEvents(3000, [&told] { return told > 2; });
    EXPECT_EQ(told, 3);
}
