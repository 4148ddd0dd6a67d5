#include "library/LibraryWatcher.h"

#include "library/LibraryIndex.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {

// A folder's logs and subfolders, sorted.
QStringList LogEntries(const QString& folder)
{
    QStringList entries;
    const QFileInfoList infos =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QFileInfo& info : infos)
        if (info.isDir() || IsLogFileName(info.filePath().toStdString()))
            entries << info.fileName();
    return entries;
}

} // namespace

TLibraryWatcher::TLibraryWatcher(QObject* parent)
    : QObject(parent), FWatcher(new QFileSystemWatcher(this)), FTimer(new QTimer(this))
{
    FTimer->setSingleShot(true);
    connect(FTimer, &QTimer::timeout, this, [this] {
        FPending.invalidate();
        emit Changed();
    });
    connect(FWatcher, &QFileSystemWatcher::fileChanged, this, [this] { Touched(); });
    connect(FWatcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString& folder) {
        // Only logs and subfolders count: a library kept in a watched folder writes its journal
        // beside the logs, and a scan that told of it would be followed by another, endlessly.
        if (LogEntries(folder) == FEntries.value(folder))
            return;
        // A new subfolder or log is watched from now on; one that went is dropped by the watcher.
        AddPaths();
        Touched();
    });
}

void TLibraryWatcher::SetPauses(int quietMilliseconds, int longestWaitMilliseconds)
{
    FQuiet = quietMilliseconds;
    FLongestWait = longestWaitMilliseconds;
}

void TLibraryWatcher::Watch(const std::vector<std::string>& folders)
{
    FTimer->stop();
    FPending.invalidate();
    if (const QStringList watched = FWatcher->files() + FWatcher->directories(); !watched.isEmpty())
        FWatcher->removePaths(watched);
    FFolders.clear();
    FEntries.clear();
    for (const std::string& folder : folders)
        FFolders << QDir(QString::fromStdString(folder)).absolutePath();
    AddPaths();
}

void TLibraryWatcher::AddPaths()
{
    // Every folder, but of each folder's logs only the newest: a server writes only the log it
    // started last, and a watch for each of a library's thousands of logs would spend the
    // system's inotify watches (or, once they run out, have Qt poll every file).
    QStringList paths;
    for (const QString& folder : FFolders) {
        if (!QDir(folder).exists())
            continue;
        QStringList folders = {folder};
        QDirIterator it(folder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            folders << it.next();
        for (const QString& at : folders) {
            paths << at;
            QFileInfoList logs;
            for (const QFileInfo& info : QDir(at).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
                if (IsLogFileName(info.filePath().toStdString()))
                    logs << info;
            std::stable_sort(logs.begin(), logs.end(), [](const QFileInfo& a, const QFileInfo& b) {
                return a.lastModified() > b.lastModified();
            });
            for (qsizetype i = 0; i < std::min<qsizetype>(logs.size(), WatchedLogsPerFolder); ++i)
                paths << logs[i].filePath();
            FEntries.insert(at, LogEntries(at));
        }
    }
    const QSet<QString> wanted(paths.begin(), paths.end());
    QStringList gone;
    for (const QString& file : FWatcher->files())
        if (!wanted.contains(file))
            gone << file;
    if (!gone.isEmpty())
        FWatcher->removePaths(gone);
    // A folder of thousands of logs is looked through on every change in it: a set, not a list.
    const QStringList files = FWatcher->files(), folders = FWatcher->directories();
    QSet<QString> watched(files.begin(), files.end());
    for (const QString& folder : folders)
        watched.insert(folder);
    QStringList added;
    for (const QString& path : paths)
        if (!watched.contains(path))
            added << path;
    if (!added.isEmpty())
        FWatcher->addPaths(added);
}

QStringList TLibraryWatcher::Watched() const
{
    QStringList paths = FWatcher->directories() + FWatcher->files();
    paths.sort();
    return paths;
}

void TLibraryWatcher::Touched()
{
    if (!FPending.isValid())
        FPending.start();
    // The wait starts again with each write, but never beyond the longest wait since the first.
    const qint64 left = FLongestWait - FPending.elapsed();
    FTimer->start(static_cast<int>(std::clamp<qint64>(left, 0, FQuiet)));
}
