#pragma once

#include "TestPaths.h"
#include "base/Convert.h"

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

// A folder that lives as long as the test.
class TTempDir {
public:
    std::string Path(std::string_view name) const
    {
        return FDir.path().toStdString() + "/" + std::string(name);
    }
    std::string Write(std::string_view name, std::string_view bytes) const
    {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

private:
    QTemporaryDir FDir;
};

// HOME set to a folder of the test's own for as long as it lives.
class THomeSet {
public:
    explicit THomeSet(const std::string& home)
    {
        if (const char* old = std::getenv("HOME"))
            FOld = old;
        setenv("HOME", home.c_str(), 1);
    }
    ~THomeSet()
    {
        if (FOld)
            setenv("HOME", FOld->c_str(), 1);
        else
            unsetenv("HOME");
    }

private:
    std::optional<std::string> FOld;
};

std::string ReadFileBytes(const std::string& path);
// The text as one zlib stream, as a .zxml file holds it (level 1 to 9).
std::string ZlibCompressed(const std::string& text, int level = 9);
bool PathExists(const std::string& path);

// Sets the decimal separator for one test and restores it afterwards.
class TSeparatorScope {
public:
    explicit TSeparatorScope(char separator) : FSaved(DecimalSeparator()) { SetDecimalSeparator(separator); }
    ~TSeparatorScope() { SetDecimalSeparator(FSaved); }

private:
    char FSaved;
};

// The message of the exception a call raises, or "" when it raises none.
template <typename F>
std::string MessageOf(F&& call)
{
    try {
        call();
    } catch (const std::exception& e) {
        return e.what();
    }
    return std::string();
}
