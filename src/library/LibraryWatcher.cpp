#include "library/LibraryWatcher.h"

#include "library/LibraryIndex.h"

#include <QDir>
#include <QDirIterator>
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
    QStringList paths;
    for (const QString& folder : FFolders) {
        if (!QDir(folder).exists())
            continue;
        paths << folder;
        QDirIterator it(folder, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            const QFileInfo info = it.fileInfo();
            if (info.isDir() || IsLogFileName(path.toStdString()))
                paths << path;
        }
    }
    // A folder of thousands of logs is looked through on every change in it: a set, not a list.
    const QStringList files = FWatcher->files(), folders = FWatcher->directories();
    QSet<QString> watched(files.begin(), files.end());
    for (const QString& folder : folders)
        watched.insert(folder);
    QStringList added;
    for (const QString& path : paths) {
        if (!watched.contains(path))
            added << path;
        if (QFileInfo(path).isDir())
            FEntries.insert(path, LogEntries(path));
    }
    if (!added.isEmpty())
        FWatcher->addPaths(added);
}

void TLibraryWatcher::Touched()
{
    if (!FPending.isValid())
        FPending.start();
    // The wait starts again with each write, but never beyond the longest wait since the first.
    const qint64 left = FLongestWait - FPending.elapsed();
    FTimer->start(static_cast<int>(std::clamp<qint64>(left, 0, FQuiet)));
}
