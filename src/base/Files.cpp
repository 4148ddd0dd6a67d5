#include "base/Files.h"

#include "base/Errors.h"
#include "base/HugePages.h"
#include "base/LoadProgress.h"
#include "base/MemoryStream.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileExists(const std::string& fileName)
{
    struct stat st;
    return !fileName.empty() && ::stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string FindFileNoCase(const std::string& fileName)
{
    if (FileExists(fileName))
        return fileName;
    const size_t slash = fileName.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
    const std::string name = fileName.substr(folder.size());
    if (name.empty())
        return "";
    auto lower = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    const std::string wanted = lower(name);
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir)
        return "";
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string candidate = entry->d_name;
        if (candidate.size() == wanted.size() && lower(candidate) == wanted && FileExists(folder + candidate)) {
            found = folder + candidate;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

void ReadWholeFile(const std::string& fileName, TMemoryStream& stream, size_t ceiling)
{
    // Opened without waiting: opening a pipe for reading would otherwise wait for a writer,
    // forever when none comes.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        throw EFOpenError(fileName);
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
        throw EFOpenError(fileName);
    if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > ceiling)
        throw ETextTooLarge(fileName, ceiling);
    stream.Clear();
    // Size from fstat first; a file that grows while it is read is read to its end all the same.
    // One byte past the ceiling tells that it was passed.
    const size_t limit = ceiling + 1;
    size_t capacity = std::min(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : size_t(65536), limit);
    char* data = stream.GrowForWrite(capacity);
    AdviseHugePages(data, capacity);
    const uint64_t expected = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
    size_t used = 0;
    size_t nextReport = std::min<size_t>(LoadProgressStep, capacity - 1);
    // A pipe that has no writer reads as ended at once; one whose writer has not written yet
    // would block. Only the first read tells them apart, then reading waits as usual.
    bool probing = S_ISFIFO(st.st_mode);
    if (!probing)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    for (;;) {
        if (used == capacity) {
            if (capacity == limit)
                throw ETextTooLarge(fileName, ceiling);
            capacity = capacity > limit / 2 ? limit : capacity * 2;
            data = stream.GrowForWrite(capacity);
        }
        // Read in steps so that a long read can tell how far it has come.
        const size_t want = std::min<size_t>(capacity - used, LoadProgressStep);
        const ssize_t got = ::read(fd, data + used, want);
        if (probing) {
            probing = false;
            if (got == 0)
                throw EFOpenError(fileName); // nobody writes to the pipe
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            if (got < 0 && errno == EAGAIN)
                continue;
        }
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EFOpenError(fileName);
        }
        if (got == 0)
            break;
        used += static_cast<size_t>(got);
        stream.CommitWrite(used);
        if (used >= nextReport) { // a pipe gives small pieces: not a report for each
            ReportLoadProgress(TLoadPhase::Reading, used, std::max<uint64_t>(expected, used));
            nextReport = used + LoadProgressStep;
        }
    }
    if (used > ceiling)
        throw ETextTooLarge(fileName, ceiling);
    stream.SetPosition(0);
}

std::string ReadWholeFile(const std::string& fileName)
{
    TMemoryStream stream;
    ReadWholeFile(fileName, stream);
    return std::string(stream.View());
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

std::string ExtractFileName(std::string_view fileName)
{
    const size_t slash = fileName.find_last_of('/');
    return std::string(slash == std::string_view::npos ? fileName : fileName.substr(slash + 1));
}
