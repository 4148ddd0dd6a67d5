#pragma once

// Folders of a match library watched while the program runs, so that the rounds a running
// server writes appear as it writes them.

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QStringList>

#include <string>
#include <vector>

class TLibraryWatcher : public QObject {
    Q_OBJECT
public:
    explicit TLibraryWatcher(QObject* parent = nullptr);
    // Watches these folders, their subfolders and the newest logs of each, in place of what
    // was watched. A new log shows as a change of its folder, and is then watched in turn.
    void Watch(const std::vector<std::string>& folders);
    // The folders and logs watched now, sorted.
    QStringList Watched() const;
    // The logs of one folder watched at most, the most recently written: the logs servers
    // are still writing, several servers to a folder.
    static constexpr int WatchedLogsPerFolder = 16;

    // Writing that pauses for `quiet` is told; writing that goes on is told at least every
    // `longestWait`, so that a server writing without pause still shows its rounds.
    void SetPauses(int quietMilliseconds, int longestWaitMilliseconds);

signals:
    // Something under a watched folder changed; told at most once a second, after the
    // writing has paused, so that a scan then sees a whole burst of writes.
    void Changed();

private:
    void AddPaths();
    void Touched();

    class QFileSystemWatcher* FWatcher;
    class QTimer* FTimer;
    QStringList FFolders;
    int FQuiet = 1000, FLongestWait = 5000;
    QElapsedTimer FPending; // since the first change not yet told
    // Each watched folder's logs and subfolders, as last seen: other files come and go unheeded.
    QHash<QString, QStringList> FEntries;
};
