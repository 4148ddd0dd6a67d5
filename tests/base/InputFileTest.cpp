// Files named by the user or found in a folder: only regular files are opened, never waited for,
// and a failure says why. Names of the game's in 8-bit text and the file names they stand for.
#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The message of opening the file as a user without privileges would: root reads anything.
std::string MessageAsAnotherUser(const std::string& fileName)
{
    if (::geteuid() != 0)
        return MessageOf([&] { TInputFile file(fileName); });
    int channel[2];
    if (::pipe(channel) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string message = "no other user";
        if (::setgid(65534) == 0 && ::setuid(65534) == 0)
            message = MessageOf([&] { TInputFile file(fileName); });
        (void)!::write(channel[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string message;
    char buffer[512];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<size_t>(got));
    ::close(channel[0]);
    ::waitpid(child, nullptr, 0);
    return message;
}

} // namespace

TEST(InputFile, OnlyARegularFileOpensAndEveryOtherNameSaysWhy)
{
    TTempDir dir;
    const std::string file = dir.Write("a.rfa", "0123456789");
    TInputFile input(file);
    EXPECT_EQ(input.Size(), 10u);
    char bytes[8] = {};
    EXPECT_EQ(input.ReadAt(6, 8, bytes), 4u);
    EXPECT_EQ(std::string(bytes, 4), "6789");

    // The platform's own message where it said enough: nothing of that name, a folder.
    EXPECT_EQ(MessageOf([&] { TInputFile f(dir.Path("missing.rfa")); }), "Cannot open file " + dir.Path("missing.rfa"));
    EXPECT_EQ(MessageOf([&] { TInputFile f(dir.Path("")); }), "Cannot open file " + dir.Path(""));
    // Else the reason.
    EXPECT_EQ(MessageOf([] { TInputFile f(""); }), "Cannot open file : no file was named");
    const std::string fifo = dir.Path("fifo.rfa");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(MessageOf([&] { TInputFile f(fifo); }), "Cannot open file " + fifo + ": it is not a regular file");
    const std::string socketName = dir.Path("s");
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    socketName.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(MessageOf([&] { TInputFile f(socketName); }), "Cannot open file " + socketName + ": it is not a regular file");
    ::close(s);
    std::filesystem::create_symlink("loop2", dir.Path("loop1"));
    std::filesystem::create_symlink("loop1", dir.Path("loop2"));
    EXPECT_EQ(MessageOf([&] { TInputFile f(dir.Path("loop1")); }),
              "Cannot open file " + dir.Path("loop1") + ": Too many levels of symbolic links");
    EXPECT_EQ(MessageOf([&] { TInputFile f(file + "/x"); }), "Cannot open file " + file + "/x: Not a directory");
    const std::string secret = dir.Write("secret.ini", "x=1");
    ASSERT_EQ(::chmod(secret.c_str(), 0), 0);
    EXPECT_EQ(MessageAsAnotherUser(secret), "Cannot open file " + secret + ": Permission denied");
}

TEST(InputFile, NamesOfTheGameStandForTheirUtf8FileNamesAndBack)
{
    EXPECT_EQ(FileNameOfText("berlin"), "berlin");
    EXPECT_EQ(FileNameOfText("b\xE9rlin"), "b\xC3\xA9rlin");
    EXPECT_EQ(TextOfFileName("\xC3\xBCmlaut"), "\xFCmlaut");
    EXPECT_EQ(FileNamesOfText("b\xE9rlin"), (std::vector<std::string>{"b\xC3\xA9rlin", "b\xE9rlin"}));
    EXPECT_EQ(FileNamesOfText("berlin"), std::vector<std::string>{"berlin"});
    // Every byte there and back.
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(TextOfFileName(FileNameOfText(all)), all);
    // A file name that is no Latin-1 text in UTF-8 keeps its bytes: a Latin-1 name on the disk,
    // a character beyond Latin-1 (Cyrillic), a cut sequence.
    for (const std::string name : {"b\xE9rlin", "\xD0\x9C\xD0\xBE", "ab\xC3"})
        EXPECT_EQ(TextOfFileName(name), name);
}
