#include "base/Files.h"

#include "base/Errors.h"
#include "base/HugePages.h"
#include "base/LoadProgress.h"
#include "base/MemoryStream.h"

#include <QFile>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdint>
#include <cerrno>
#include <cstdio> // renameat2
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
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

namespace {

constexpr char NotRegular[] = "it is not a regular file";

[[noreturn]] void FailToOpen(const std::string& fileName, int error)
{
    // A missing file and a folder keep the message the program always gave for them.
    if (error == ENOENT || error == EISDIR)
        throw EFOpenError(fileName);
    throw EFOpenError(fileName, std::strerror(error));
}

} // namespace

TInputFile::TInputFile(std::string fileName) : FFileName(std::move(fileName))
{
    if (FFileName.empty())
        throw EFOpenError(FFileName, "no file was named");
    // Looked at before it is opened: opening a pipe waits for a writer, a device may never end.
    struct stat st;
    if (::stat(FFileName.c_str(), &st) != 0)
        FailToOpen(FFileName, errno);
    if (S_ISDIR(st.st_mode))
        FailToOpen(FFileName, EISDIR);
    if (!S_ISREG(st.st_mode))
        throw EFOpenError(FFileName, NotRegular);
    // Without waiting all the same, and checked again: the name may lead elsewhere by now.
    FFd = ::open(FFileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (FFd < 0)
        FailToOpen(FFileName, errno);
    if (::fstat(FFd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(FFd);
        throw EFOpenError(FFileName, S_ISDIR(st.st_mode) ? "" : NotRegular);
    }
    FSize = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

TInputFile::~TInputFile()
{
    if (FFd >= 0)
        ::close(FFd);
}

size_t TInputFile::ReadAt(uint64_t offset, size_t n, char* to) const
{
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(FFd, to + done, n - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw EFOpenError(FFileName, std::strerror(errno));
        }
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

int TInputFile::Release()
{
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void ReadWholeFile(const std::string& fileName, TMemoryStream& stream, size_t ceiling)
{
    const TInputFile file(fileName);
    if (file.Size() > ceiling)
        throw ETextTooLarge(fileName, ceiling);
    stream.Clear();
    // Size from fstat first; a file that grows while it is read is read to its end all the same.
    // One byte past the ceiling tells that it was passed.
    const size_t limit = ceiling + 1;
    size_t capacity = std::min(file.Size() > 0 ? static_cast<size_t>(file.Size()) + 1 : size_t(65536), limit);
    char* data = stream.GrowForWrite(capacity);
    AdviseHugePages(data, capacity);
    size_t used = 0;
    size_t nextReport = std::min<size_t>(LoadProgressStep, capacity - 1);
    for (;;) {
        if (used == capacity) {
            if (capacity == limit)
                throw ETextTooLarge(fileName, ceiling);
            capacity = capacity > limit / 2 ? limit : capacity * 2;
            data = stream.GrowForWrite(capacity);
        }
        // Read in steps so that a long read can tell how far it has come.
        const size_t want = std::min<size_t>(capacity - used, LoadProgressStep);
        const size_t got = file.ReadAt(used, want, data + used);
        if (got == 0)
            break;
        used += got;
        stream.CommitWrite(used);
        if (used >= nextReport) {
            ReportLoadProgress(TLoadPhase::Reading, used, std::max<uint64_t>(file.Size(), used));
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

std::string FileNameOfText(std::string_view text)
{
    std::string name;
    name.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            name += ch;
        } else {
            name += static_cast<char>(0xC0 | (c >> 6));
            name += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return name;
}

std::string TextOfFileName(std::string_view fileName)
{
    std::string text;
    text.reserve(fileName.size());
    for (size_t i = 0; i < fileName.size(); ++i) {
        const auto c = static_cast<unsigned char>(fileName[i]);
        if (c < 0x80) {
            text += fileName[i];
            continue;
        }
        // Only the two-byte forms of U+0080 to U+00FF are Latin-1 characters.
        const auto next = i + 1 < fileName.size() ? static_cast<unsigned char>(fileName[i + 1]) : 0;
        if ((c != 0xC2 && c != 0xC3) || (next & 0xC0) != 0x80)
            return std::string(fileName);
        text += static_cast<char>(((c & 0x03) << 6) | (next & 0x3F));
        ++i;
    }
    return text;
}

std::vector<std::string> FileNamesOfText(std::string_view text)
{
    std::vector<std::string> names{FileNameOfText(text)};
    if (names.front() != text)
        names.emplace_back(text);
    return names;
}

TFileReplacement::TFileReplacement(std::string fileName) : FFileName(std::move(fileName)), FTarget(FFileName)
{
    if (FFileName.empty())
        throw EFCreateError(FFileName, std::strerror(ENOENT));
    // A link stays a link: the file it leads to gets the new content.
    QFileInfo link(QFile::decodeName(QByteArray::fromStdString(FFileName)));
    for (int depth = 0; link.isSymLink() && depth < 40; ++depth) {
        FTarget = QFile::encodeName(link.symLinkTarget()).toStdString();
        link.setFile(link.symLinkTarget());
    }
    struct stat target;
    const bool exists = ::stat(FTarget.c_str(), &target) == 0;
    if (exists && !S_ISREG(target.st_mode))
        throw EFCreateError(FFileName, "it is not a regular file");
    if (exists && ::access(FTarget.c_str(), W_OK) != 0)
        throw EFCreateError::System(FFileName, errno);
    // Beside the file: a rename within one file system replaces it in one step.
    const std::string folder = ExtractFilePath(FTarget);
    const std::string base = "." + ExtractFileName(FTarget) + ".";
    static std::atomic<unsigned> serial{0};
    for (int attempt = 0; FFd < 0; ++attempt) {
        FTemporary = folder + base + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".tmp";
        // 0666 less the user's umask, as any new file of the user's.
        FFd = ::open(FTemporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (FFd < 0 && (errno != EEXIST || attempt == 100)) {
            const int error = errno;
            FTemporary.clear();
            throw EFCreateError::System(FFileName, error);
        }
    }
    if (exists)
        (void)::fchmod(FFd, target.st_mode & 07777); // the file keeps who may read it
}

TFileReplacement::~TFileReplacement() { Discard(); }

void TFileReplacement::Discard()
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = -1;
    if (!FTemporary.empty())
        ::unlink(FTemporary.c_str());
    FTemporary.clear();
}

void TFileReplacement::Fail(int error)
{
    Discard();
    throw EFCreateError::System(FFileName, error);
}

void TFileReplacement::Write(std::string_view bytes)
{
    if (FFd < 0)
        throw EFCreateError(FFileName, "the file is closed");
    while (!bytes.empty()) {
        const ssize_t written = ::pwrite(FFd, bytes.data(), bytes.size(), static_cast<off_t>(FPosition));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        if (written == 0)
            Fail(ENOSPC);
        bytes.remove_prefix(static_cast<size_t>(written));
        FPosition += static_cast<uint64_t>(written);
        FSize = std::max(FSize, FPosition);
    }
}

void TFileReplacement::Seek(uint64_t position) { FPosition = position; }

void TFileReplacement::Close()
{
    if (FFd < 0) {
        if (FTemporary.empty())
            throw EFCreateError(FFileName, "the file is closed");
        return;
    }
    // The bytes on the disk before the name is given to them; a file system that cannot
    // sync (EINVAL) has nothing to report.
    if (::fsync(FFd) != 0 && errno != EINVAL)
        Fail(errno);
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        Fail(errno);
}

namespace {

// The rename itself on the disk; a folder that cannot be synced keeps the new file anyway.
void SyncFolderOf(const std::string& fileName)
{
    const std::string folder = ExtractFilePath(fileName);
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

} // namespace

void TFileReplacement::Commit()
{
    Close();
    if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0)
        Fail(errno);
    FTemporary.clear();
    SyncFolderOf(FTarget);
}

bool TFileReplacement::CommitNew()
{
    Close();
    // In one step, so that a file another program makes meanwhile is not replaced either; a
    // file system that cannot rename so takes a hard link, which never replaces a file.
    int result = ::renameat2(AT_FDCWD, FTemporary.c_str(), AT_FDCWD, FTarget.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        result = ::link(FTemporary.c_str(), FTarget.c_str());
        if (result == 0)
            ::unlink(FTemporary.c_str());
    }
    if (result != 0) {
        if (errno != EEXIST)
            Fail(errno);
        Discard();
        return false;
    }
    FTemporary.clear();
    SyncFolderOf(FTarget);
    return true;
}

void WriteWholeFile(const std::string& fileName, std::string_view bytes)
{
    TFileReplacement file(fileName);
    file.Write(bytes);
    file.Commit();
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool ExistsAsNonRegularFile(const std::string& fileName)
{
    struct stat st;
    return ::stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
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

std::string ExecutablePath()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && !self.empty())
        return self.string();
    return QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
}
