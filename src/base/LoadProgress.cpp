#include "base/LoadProgress.h"

namespace {
thread_local TLoadProgress* CurrentProgress = nullptr;
}

TLoadProgressScope::TLoadProgressScope(TLoadProgress* progress) : FPrevious(CurrentProgress)
{
    CurrentProgress = progress;
}

TLoadProgressScope::~TLoadProgressScope() { CurrentProgress = FPrevious; }

void ReportLoadProgress(TLoadPhase phase, uint64_t done, uint64_t total)
{
    if (CurrentProgress)
        CurrentProgress->Report(phase, done, total);
}
