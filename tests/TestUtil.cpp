#include "TestUtil.h"

#include <filesystem>
#include <sstream>

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

bool PathExists(const std::string& path) { return std::filesystem::exists(path); }
