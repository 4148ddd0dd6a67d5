#include "TestUtil.h"

#include <zlib.h>

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

std::string ZlibCompressed(const std::string& text, int level)
{
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
              static_cast<uLong>(text.size()), level);
    out.resize(size);
    return out;
}
