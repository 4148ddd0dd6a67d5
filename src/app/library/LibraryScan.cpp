// The library's scan on a worker thread, its progress and its end handed to the window's thread.
#include "app/library/LibraryScan.h"

#include "base/ErrorReporting.h"
#include "library/LibraryDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <chrono>

TLibraryScan::TLibraryScan(QObject* parent) : QObject(parent) {}

TLibraryScan::~TLibraryScan()
{
    FQueued.reset();
    FCancel = true;
    if (FThread.joinable())
        FThread.join(); // its last message to this object is dropped with the object
}

void TLibraryScan::Start(const std::string& location, const std::vector<std::string>& folders)
{
    if (Running()) {
        // One scan more sees every folder asked for meanwhile.
        if (FQueued && FQueued->location == location) {
            for (const std::string& folder : folders)
                if (std::find(FQueued->folders.begin(), FQueued->folders.end(), folder) == FQueued->folders.end())
                    FQueued->folders.push_back(folder);
        } else {
            FQueued = TRequest{location, folders};
        }
        return;
    }
    Run(TRequest{location, folders});
}

void TLibraryScan::Cancel()
{
    FQueued.reset();
    FCancel = true;
}

void TLibraryScan::Run(TRequest request)
{
    FCancel = false;
    FThread = std::thread([this, request = std::move(request)] {
        std::optional<TScanSummary> summary;
        std::string error;
        try {
            TLibraryDatabase library(request.location);
            using Clock = std::chrono::steady_clock;
            Clock::time_point shown = Clock::now() - std::chrono::seconds(1);
            summary = ScanFolders(library, request.folders, [this, &shown](const TScanProgress& progress) {
                if (FCancel)
                    return false;
                // Thousands of unchanged files pass in a second: the window hears of a few.
                const Clock::time_point now = Clock::now();
                if (now - shown >= std::chrono::milliseconds(50) || progress.done + 1 >= progress.total) {
                    shown = now;
                    const QString file = QFile::decodeName(QByteArray::fromStdString(progress.file));
                    QMetaObject::invokeMethod(
                        this, [this, done = progress.done, total = progress.total, file] { emit Progress(done, total, file); },
                        Qt::QueuedConnection);
                }
                return true;
            }, DefaultScanReaders(1)); // a core is kept for the window's replay
        } catch (...) {
            error = CurrentExceptionMessage();
        }
        QMetaObject::invokeMethod(
            this, [this, summary = std::move(summary), error = std::move(error)] { Ended(summary, error); },
            Qt::QueuedConnection);
    });
}

void TLibraryScan::Ended(std::optional<TScanSummary> summary, std::string error)
{
    FThread.join();
    FLastSummary = std::move(summary);
    FLastError = std::move(error);
    emit Finished();
    if (FQueued && !Running()) {
        TRequest next = std::move(*FQueued);
        FQueued.reset();
        Run(std::move(next));
    }
}

bool TLibraryScan::Wait(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while ((Running() || Queued()) && clock.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return !Running() && !Queued();
}
