#include "log/LogLoader.h"

#include "log/LogFile.h"
#include "log/RoundIndex.h"

#include <QThread>

#include <sys/stat.h>

namespace {
// No parsed name holds a line break, so no loaded node can pass for the marker.
constexpr std::string_view MarkerName = "\n";
} // namespace

uint64_t ExpectedLogTextSize(const std::string& fileName)
{
    struct stat st;
    if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0)
        return 0;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    return IsCompressedLogName(fileName) ? size * CompressedLogRatio : size;
}

TLogLoader::TLogLoader(std::string fileName, const TwexXMLTree& like)
    : Tree(std::make_unique<TwexXMLTree>(like.Name(), like.Value(), nullptr)), FFileName(std::move(fileName))
{
    Tree->SetIsCData(like.IsCData());
    auto* marker = new TwexXMLNode(MarkerName, "", Tree.get());
    Tree->AppendChild(marker);
    FMarker = marker;
}

TLogLoader::~TLogLoader()
{
    Cancel();
    Wait();
}

void TLogLoader::Start()
{
    FThread.reset(QThread::create([this] { Run(); }));
    FThread->start();
}

bool TLogLoader::Finished() const { return FThread && FThread->isFinished(); }

void TLogLoader::Wait()
{
    if (FThread)
        FThread->wait();
}

TLogLoader::TStatus TLogLoader::Status() const
{
    std::lock_guard lock(FStatusMutex);
    return FStatus;
}

bool TLogLoader::Replaced() const
{
    return !(Tree->ChildCount() == 1 && Tree->FirstChild() == FMarker && Tree->FirstChild()->Name() == MarkerName);
}

void TLogLoader::TProgress::Report(TLoadPhase phase, uint64_t done, uint64_t total)
{
    {
        std::lock_guard lock(FOwner.FStatusMutex);
        FOwner.FStatus.Reported = true;
        FOwner.FStatus.Phase = phase;
        FOwner.FStatus.Done = done;
        FOwner.FStatus.Total = total;
    }
    if (FOwner.FCancelRequested)
        throw ELoadCancelled();
}

void TLogLoader::SetWalking()
{
    std::lock_guard lock(FStatusMutex);
    FStatus.Walking = true;
}

void TLogLoader::Run()
{
    TProgress progress(*this);
    TLoadProgressScope scope(&progress);
    try {
        if (FCancelRequested)
            throw ELoadCancelled();
        Reading = ::LoadLogFile(FFileName, *Tree);
    } catch (const ELoadCancelled&) {
        return;
    } catch (...) {
        LoadError = std::current_exception();
        return;
    }
    SetWalking();
    try {
        WalkLog(*Tree, Roster, [this](const std::string& text, TwexXMLNode* round) {
            if (FCancelRequested)
                throw ELoadCancelled();
            Rounds.emplace_back(text, round);
        });
    } catch (const ELoadCancelled&) {
    } catch (...) {
        WalkError = std::current_exception();
    }
}
