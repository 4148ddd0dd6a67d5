#pragma once

// The memory of a tree's nodes: one block of addresses, reserved whole and committed as the
// nodes fill it, so that the nodes can link to each other by 32-bit offsets. Reserving costs
// address space only; the pages count once they are committed.

#include <cstddef>

class TTreeArena {
public:
    TTreeArena() = default;
    ~TTreeArena() { Release(); }
    TTreeArena(const TTreeArena&) = delete;
    TTreeArena& operator=(const TTreeArena&) = delete;

    // Offsets of 8-byte units in 32 bits reach this far.
    static constexpr size_t MaxBytes = (size_t(1) << 34) - (size_t(8) << 20);

    // Gives back what the arena held and reserves room for up to bytes (at most MaxBytes); an
    // emptied arena whose room is enough keeps it, and its pages committed already.
    void Reserve(size_t bytes);
    // Forgets what was allocated, keeping the block and its committed pages for the next Reserve.
    void Empty() { FUsed = 0; }
    // 8-byte aligned; throws std::bad_alloc when the reservation is full.
    void* Allocate(size_t bytes);
    void Release();

    char* Base() const { return FBase; }
    size_t CommittedBytes() const { return FCommitted; }

private:
    static constexpr size_t CommitStep = size_t(2) << 20; // a huge page
    void* FBlock = nullptr;
    size_t FBlockBytes = 0;
    char* FBase = nullptr;
    size_t FReserved = 0;
    size_t FCommitted = 0;
    size_t FUsed = 0;
};
