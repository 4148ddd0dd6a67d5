#pragma once

// A scan of the library's folders on a worker thread, so that the window (and its replay) goes
// on while hundreds of logs are read. The worker opens its own connection to the library: a
// database connection belongs to the thread that made it. A scan asked for while one runs is
// queued, once, and runs when the first ends.

#include "library/LibraryIndex.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TLibraryScan : public QObject {
    Q_OBJECT
public:
    explicit TLibraryScan(QObject* parent = nullptr);
    // A running scan is cancelled and waited for: it keeps every file it finished.
    ~TLibraryScan() override;

    // Scans `folders` into the library at `location`; while a scan runs, this one runs after it,
    // together with the others asked for meanwhile (one scan more, of all their folders).
    void Start(const std::string& location, const std::vector<std::string>& folders);
    // The running scan stops before its next file; the queued one is dropped.
    void Cancel();
    bool Running() const { return FThread.joinable(); }
    bool Queued() const { return FQueued.has_value(); }
    // What the last scan that ended did; nothing before one ended.
    const std::optional<TScanSummary>& LastSummary() const { return FLastSummary; }
    // Why the last scan could not run at all ("" when it ran).
    const std::string& LastError() const { return FLastError; }
    // Waits for the scan under way (and the queued one) to end, serving the window meanwhile.
    // Whether they ended within `milliseconds`.
    bool Wait(int milliseconds);

signals:
    // A file is about to be read; shown at most every 50 ms, and for the last file.
    void Progress(int done, int total, const QString& file);
    // A scan ended, cancelled or not (LastSummary), or failed to open the library (LastError).
    void Finished();

private:
    struct TRequest {
        std::string location;
        std::vector<std::string> folders;
    };
    void Run(TRequest request);
    void Ended(std::optional<TScanSummary> summary, std::string error);

    std::thread FThread;
    std::atomic<bool> FCancel{false};
    std::optional<TRequest> FQueued;
    std::optional<TScanSummary> FLastSummary;
    std::string FLastError;
};
