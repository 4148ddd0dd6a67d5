#pragma once

// Bytes held by the large buffers a log load makes: the file's text, the inflated text, the
// token list, the tree's nodes and the builder's stacks. Each such buffer reports what it takes
// and gives back, so the memory a load costs per byte of text can be checked exactly, without
// timing or sampling. Small allocations are not counted; they stay small whatever the input.

#include <cstddef>

void MeterTake(size_t bytes);
void MeterGive(size_t bytes);

// What the buffers hold now, and the most they held since the last reset.
size_t MeteredBytes();
size_t PeakMeteredBytes();
// Starts a new peak from what is held now.
void ResetMeteredPeak();

// malloc, realloc and free of a metered buffer of a known size. A failed allocation throws
// std::bad_alloc and leaves the old buffer as it was.
void* MeteredRealloc(void* buffer, size_t oldSize, size_t newSize);
void MeteredFree(void* buffer, size_t size);
