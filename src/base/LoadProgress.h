#pragma once

// How far a long load has come, and the user's wish to stop it. A load that runs on a worker
// thread installs a TLoadProgress for that thread; the file reader, the inflater, the
// tokenizer and the tree builder report to it every few megabytes. Without one installed a
// report costs a test of a thread-local pointer.

#include <cstdint>
#include <exception>

enum class TLoadPhase : uint8_t {
    Reading,    // bytes of the file read
    Inflating,  // compressed bytes inflated
    Tokenizing, // bytes of text scanned
    Building    // bytes of tokens made into nodes
};

// Thrown out of a report when the user cancelled. It is no error the user is told about: the
// code that started the load catches it and leaves everything as it was before the load.
class ELoadCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "Load cancelled"; }
};

class TLoadProgress {
public:
    virtual ~TLoadProgress() = default;
    // done of total bytes of the phase; may throw ELoadCancelled.
    virtual void Report(TLoadPhase phase, uint64_t done, uint64_t total) = 0;
};

// Installs a progress for the current thread while it lives.
class TLoadProgressScope {
public:
    explicit TLoadProgressScope(TLoadProgress* progress);
    ~TLoadProgressScope();
    TLoadProgressScope(const TLoadProgressScope&) = delete;
    TLoadProgressScope& operator=(const TLoadProgressScope&) = delete;

private:
    TLoadProgress* FPrevious;
};

// How many bytes pass between two reports of one phase.
constexpr uint64_t LoadProgressStep = uint64_t(4) << 20;

void ReportLoadProgress(TLoadPhase phase, uint64_t done, uint64_t total);
