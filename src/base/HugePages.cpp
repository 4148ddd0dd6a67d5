#include "base/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

void AdviseHugePages(void* buffer, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t huge = uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t first = (begin + huge - 1) & ~(huge - 1);
    const uintptr_t last = (begin + bytes) & ~(huge - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)buffer;
    (void)bytes;
#endif
}
