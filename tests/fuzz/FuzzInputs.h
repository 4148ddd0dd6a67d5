#pragma once

// Runs the inputs kept for a fuzz target through its entry point, as libFuzzer would: every
// input that once found a fault (fuzz/regressions/TARGET/) and the seeds (fuzz/corpus/TARGET/).

#include "FuzzTargets.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

inline std::vector<std::string> FuzzInputs(const std::string& target)
{
    std::vector<std::string> files;
    for (const char* kind : {"regressions", "corpus"}) {
        const std::filesystem::path folder = std::filesystem::path(ORNWICK_FUZZ_DIR) / kind / target;
        if (!std::filesystem::is_directory(folder))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.is_regular_file())
                files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

using TFuzzEntry = void (*)(const uint8_t* data, size_t size);

// Each input on its own: one that fails names itself, and the others still run.
inline void RunFuzzInputs(const std::string& target, TFuzzEntry entry)
{
    const std::vector<std::string> files = FuzzInputs(target);
    ASSERT_FALSE(files.empty()) << "no inputs for " << target;
    for (const std::string& file : files) {
        const std::string bytes = ReadFileBytes(file);
        EXPECT_NO_THROW(entry(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << file;
    }
}
