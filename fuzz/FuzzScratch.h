#pragma once

// The scratch folder the pipeline targets write their input to as a log file.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <stdlib.h>

// Made in /tmp; removed with its files when destroyed.
class TFuzzScratch {
public:
    TFuzzScratch()
    {
        char name[] = "/tmp/ornwick-fuzz-XXXXXX";
        if (!mkdtemp(name))
            std::abort();
        FFolder = name;
    }
    ~TFuzzScratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(FFolder, ignored);
    }
    TFuzzScratch(const TFuzzScratch&) = delete;
    TFuzzScratch& operator=(const TFuzzScratch&) = delete;
    const std::string& Folder() const { return FFolder; }
    // Writes the bytes as a log; a ".zxml" log when they begin with a zlib header, as a
    // compressed log does, so the seeds of both kinds are plain log files.
    std::string Write(const uint8_t* data, size_t size) const
    {
        const bool zlib = size >= 2 && (data[0] & 0x0F) == 8 && ((data[0] << 8) | data[1]) % 31 == 0;
        const std::string name = FFolder + (zlib ? "/fuzz.zxml" : "/fuzz.xml");
        std::ofstream(name, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        return name;
    }

private:
    std::string FFolder;
};
