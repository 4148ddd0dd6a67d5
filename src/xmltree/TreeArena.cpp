#include "xmltree/TreeArena.h"

#include "base/HugePages.h"
#include "base/MemoryMeter.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <sys/mman.h>

void TTreeArena::Reserve(size_t bytes)
{
    bytes = std::min((std::max(bytes, CommitStep) + CommitStep - 1) / CommitStep * CommitStep, MaxBytes);
    if (FBlock && FUsed == 0 && bytes <= FReserved)
        return;
    Release();
    // A system that limits address space may refuse a large block: a smaller one still serves
    // every text that needs less.
    for (;;) {
        // One step more, so that the arena can begin on a huge page's boundary.
        void* block = ::mmap(nullptr, bytes + CommitStep, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (block != MAP_FAILED) {
            FBlock = block;
            FBlockBytes = bytes + CommitStep;
            const auto at = reinterpret_cast<uintptr_t>(block);
            FBase = reinterpret_cast<char*>((at + CommitStep - 1) & ~uintptr_t(CommitStep - 1));
            FReserved = bytes;
            return;
        }
        if (bytes <= CommitStep)
            throw std::bad_alloc();
        bytes = std::max(bytes / 2 / CommitStep * CommitStep, CommitStep);
    }
}

void* TTreeArena::Allocate(size_t bytes)
{
    bytes = (bytes + 7) & ~size_t(7);
    if (bytes > FReserved - FUsed)
        throw std::bad_alloc();
    if (FUsed + bytes > FCommitted) {
        const size_t commit = std::min((FUsed + bytes + CommitStep - 1) / CommitStep * CommitStep, FReserved);
        if (::mprotect(FBase + FCommitted, commit - FCommitted, PROT_READ | PROT_WRITE) != 0)
            throw std::bad_alloc();
        AdviseHugePages(FBase + FCommitted, commit - FCommitted);
        MeterTake(commit - FCommitted);
        FCommitted = commit;
    }
    void* p = FBase + FUsed;
    FUsed += bytes;
    return p;
}

void TTreeArena::Release()
{
    if (FBlock) {
        ::munmap(FBlock, FBlockBytes);
        MeterGive(FCommitted);
    }
    FBlock = nullptr;
    FBlockBytes = 0;
    FBase = nullptr;
    FReserved = FCommitted = FUsed = 0;
}
