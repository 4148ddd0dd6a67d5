#include "base/Files.h"

#include "base/Errors.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const std::string& fileName)
{
    struct stat st;
    return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ReadWholeFile(const std::string& fileName)
{
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw EFOpenError(fileName);
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
        throw EFOpenError(fileName);
    std::string data;
    // Size from fstat first; a file that grows while read is read to its end all the same.
    size_t capacity = st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 65536;
    data.resize(capacity);
    size_t used = 0;
    for (;;) {
        if (used == data.size())
            data.resize(data.size() * 2);
        const ssize_t got = ::read(fd, data.data() + used, data.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EFOpenError(fileName);
        }
        if (got == 0)
            break;
        used += static_cast<size_t>(got);
    }
    data.resize(used);
    return data;
}

void WriteWholeFile(const std::string& fileName, std::string_view bytes)
{
    QSaveFile file(QFile::decodeName(QByteArray::fromStdString(fileName)));
    if (!file.open(QIODevice::WriteOnly))
        throw EFCreateError(fileName);
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.commit())
        throw EFCreateError(fileName);
}

namespace {
size_t ExtensionStart(std::string_view fileName)
{
    const size_t slash = fileName.find_last_of('/');
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string_view::npos;
    return dot;
}
} // namespace

std::string ExtractFileExt(std::string_view fileName)
{
    const size_t dot = ExtensionStart(fileName);
    return dot == std::string_view::npos ? std::string() : std::string(fileName.substr(dot));
}

std::string ChangeFileExt(std::string_view fileName, std::string_view extension)
{
    const size_t dot = ExtensionStart(fileName);
    return std::string(fileName.substr(0, dot)) + std::string(extension);
}

std::string ExtractFilePath(std::string_view fileName)
{
    const size_t slash = fileName.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(fileName.substr(0, slash + 1));
}
