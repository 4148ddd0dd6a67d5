#include "base/MemoryMeter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<size_t> Held{0};
std::atomic<size_t> Peak{0};
} // namespace

void MeterTake(size_t bytes)
{
    const size_t now = Held.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    size_t peak = Peak.load(std::memory_order_relaxed);
    while (now > peak && !Peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void MeterGive(size_t bytes) { Held.fetch_sub(bytes, std::memory_order_relaxed); }

size_t MeteredBytes() { return Held.load(std::memory_order_relaxed); }
size_t PeakMeteredBytes() { return Peak.load(std::memory_order_relaxed); }
void ResetMeteredPeak() { Peak.store(Held.load(std::memory_order_relaxed), std::memory_order_relaxed); }

void* MeteredRealloc(void* buffer, size_t oldSize, size_t newSize)
{
    void* grown = std::realloc(buffer, newSize ? newSize : 1);
    if (!grown)
        throw std::bad_alloc();
    // While realloc moves a block both copies exist for a moment; large blocks are remapped
    // in place by the allocator, so only the growth is counted.
    if (newSize > oldSize)
        MeterTake(newSize - oldSize);
    else
        MeterGive(oldSize - newSize);
    return grown;
}

void MeteredFree(void* buffer, size_t size)
{
    if (!buffer)
        return;
    std::free(buffer);
    MeterGive(size);
}
