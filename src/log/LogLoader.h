#pragma once

// Loading a log off the GUI thread. A worker thread reads the file into a tree of its own and
// walks it for the round list and the roster, exactly as a load on the GUI thread would, while
// the thread that started it stays free to paint, show how far the load has come and cancel
// it. That thread then takes the results, or drops them and keeps what it had.

#include "base/LoadProgress.h"
#include "log/LogFile.h"
#include "log/PlayerList.h"
#include "xmltree/wexXMLTree.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class QThread;

// Logs whose text is expected to be at least this large load on a worker thread when the
// window is shown to a user; smaller ones load at once, too fast to be noticed.
inline constexpr uint64_t BackgroundLoadSize = uint64_t(4) << 20;
// How many bytes of text a byte of a compressed log is taken to hold.
inline constexpr uint64_t CompressedLogRatio = 10;

// The size of the text a log file is expected to give: its size, times the ratio when it is
// compressed. 0 for a file that cannot be looked at or is no regular file.
uint64_t ExpectedLogTextSize(const std::string& fileName);

// The window's loaded log: a tree that a background load replaces whole. It passes for the
// tree itself wherever one is expected.
class TDocumentSlot {
public:
    TDocumentSlot() : FTree(std::make_unique<TwexXMLTree>("ROOT", "", nullptr)) {}
    operator TwexXMLTree&() const { return *FTree; }
    TwexXMLTree& operator*() const { return *FTree; }
    TwexXMLTree* operator->() const { return FTree.get(); }
    // The new tree takes the place of the old one, which goes.
    void Replace(std::unique_ptr<TwexXMLTree> tree) { FTree = std::move(tree); }

private:
    std::unique_ptr<TwexXMLTree> FTree;
};

class TLogLoader {
public:
    // The loaded tree begins as `like` would stand at the start of a load: empty, with its
    // name, value and CDATA flag, which a load keeps unless the text replaces them.
    TLogLoader(std::string fileName, const TwexXMLTree& like);
    // Cancels a load that still runs and waits for its end.
    ~TLogLoader();
    TLogLoader(const TLogLoader&) = delete;
    TLogLoader& operator=(const TLogLoader&) = delete;

    void Start();
    // The worker; its finished signal tells that the results are there. Null before Start.
    bool Finished() const;
    void Wait();
    // Asks the worker to stop at its next report. From then on the load counts as cancelled,
    // also when it has just ended.
    void Cancel() { FCancelRequested = true; }
    bool Cancelled() const { return FCancelRequested; }

    struct TStatus {
        bool Reported = false; // no phase has reported yet
        TLoadPhase Phase = TLoadPhase::Reading;
        uint64_t Done = 0;
        uint64_t Total = 0;
        bool Walking = false; // the tree is built; the rounds are being listed
    };
    TStatus Status() const;

    // ---- Results, once the worker has finished ----
    // The load's failure, when it failed; the walk then did not run.
    std::exception_ptr LoadError;
    // Whether the load went as far as discarding the tree's content: a failure before that
    // point (reading or inflating a compressed log) leaves a document as it was.
    bool Replaced() const;
    std::unique_ptr<TwexXMLTree> Tree;
    TLogReading Reading; // whether the log ended early
    // The listed rounds with their elements in Tree, the roster, and the walk's failure,
    // which ends the walk and keeps what was found until then.
    std::vector<std::pair<std::string, TwexXMLNode*>> Rounds;
    TPlayerList Roster;
    std::exception_ptr WalkError;

private:
    class TProgress : public TLoadProgress {
    public:
        explicit TProgress(TLogLoader& owner) : FOwner(owner) {}
        void Report(TLoadPhase phase, uint64_t done, uint64_t total) override;

    private:
        TLogLoader& FOwner;
    };

    void Run();
    void SetWalking();

    std::string FFileName;
    std::unique_ptr<QThread> FThread;
    std::atomic<bool> FCancelRequested{false};
    mutable std::mutex FStatusMutex;
    TStatus FStatus;
    const TwexXMLNode* FMarker = nullptr; // a child that any load removes first
};
