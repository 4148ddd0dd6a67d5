// Reading a whole file: its ceiling, and files that are no regular files.
#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/MemoryStream.h"
#include "base/TextList.h"
#include "SmallFileSystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Read(const std::string& name, size_t ceiling = MaxTextSize)
{
    TMemoryStream stream;
    ReadWholeFile(name, stream, ceiling);
    return std::string(stream.View());
}

// The file's bytes, or its error's message, read on a thread: a read that does not end in
// time is a failure, not a hang.
std::string ReadInTime(const std::string& name, const std::function<void()>& unblock)
{
    auto reading = std::async(std::launch::async, [&] {
        std::string bytes;
        const std::string message = MessageOf([&] { bytes = Read(name); });
        return message.empty() ? bytes : "error: " + message;
    });
    if (reading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        unblock();
        ADD_FAILURE() << "the read of " << name << " waits";
    }
    return reading.get();
}

} // namespace

TEST(ReadWholeFile, StopsPastItsCeilingWhateverTheFileIs)
{
    TTempDir dir;
    const std::string name = dir.Write("log.xml", std::string(1000, 'x'));
    EXPECT_EQ(Read(name, 1000).size(), 1000u);
    EXPECT_EQ(MessageOf([&] { Read(name, 999); }), "Cannot open file " + name + ": it is larger than 999 bytes");
    // A device, which might never end, is no file to read.
    EXPECT_EQ(MessageOf([] { Read("/dev/zero", size_t(1) << 20); }), "Cannot open file /dev/zero: it is not a regular file");
    EXPECT_EQ(MessageOf([] { Read("/dev/null"); }), "Cannot open file /dev/null: it is not a regular file");
    EXPECT_EQ(MessageOf([&] { Read(dir.Path("")); }), "Cannot open file " + dir.Path(""));
}

TEST(ReadWholeFile, APipeIsRefusedAtOnceWithOrWithoutAWriter)
{
    TTempDir dir;
    const std::string pipe = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto unblock = [&] { ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK)); };
    EXPECT_EQ(ReadInTime(pipe, unblock), "error: Cannot open file " + pipe + ": it is not a regular file");

    // A writer that is there but never writes is not waited for either.
    const int writer = ::open(pipe.c_str(), O_RDWR); // holds the pipe open for writing
    ASSERT_GE(writer, 0);
    EXPECT_EQ(ReadInTime(pipe, [&] { (void)!::write(writer, "x", 1); }), "error: Cannot open file " + pipe + ": it is not a regular file");
    ::close(writer);
}

// A full disk: every write of a file's new content fails with the system's reason and leaves
// the old file whole, whatever the size of the content and however it is written.
TEST(FileReplacement, AFullDiskKeepsTheOldFileAndSaysWhy)
{
    ORNWICK_ON_SMALL_FILE_SYSTEM(folder);
    const std::string ini = folder + "/Tarvel.ini";
    const std::string old = "ZOOM=1000\r\nLastOpen1=/logs/a.zxml\r\nkessel_SCALE=2000\r\n";
    TTempDir scratch;
    {
        std::ofstream(ini, std::ios::binary) << old;
    }
    smallfs::Fill(folder);
    const std::string full = "Cannot create file " + ini + ": No space left on device";
    // Small enough to sit in any buffer, and large.
    EXPECT_EQ(MessageOf([&] { WriteWholeFile(ini, "ZOOM=1200\r\n"); }), full);
    EXPECT_EQ(MessageOf([&] { WriteWholeFile(ini, std::string(1 << 20, 'x')); }), full);
    TTextList settings;
    settings.SetText(old + "ZOOM2=1\r\n");
    EXPECT_EQ(MessageOf([&] { settings.SaveToFile(ini); }), full);
    EXPECT_EQ(ReadFileBytes(ini), old);
    // A new file is not left behind half written, nor are the temporary files.
    const std::string fresh = folder + "/new.ini";
    EXPECT_EQ(MessageOf([&] { WriteWholeFile(fresh, "x=1\r\n"); }), "Cannot create file " + fresh + ": No space left on device");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);

    // Space again: the same write goes through.
    std::filesystem::remove(folder + "/filler");
    WriteWholeFile(ini, "ZOOM=1200\r\n");
    EXPECT_EQ(ReadFileBytes(ini), "ZOOM=1200\r\n");
}

TEST(FileReplacement, ALinkWritesItsFileAndADeviceOrTheLogItselfIsNoOutput)
{
    TTempDir dir;
    const std::string file = dir.Write("real.ini", "old");
    const std::string link = dir.Path("link.ini");
    std::filesystem::create_symlink(file, link);
    WriteWholeFile(link, "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(file), "new");
    EXPECT_TRUE(SameFile(link, file));
    EXPECT_TRUE(SameFile(dir.Path("./real.ini"), file));
    EXPECT_FALSE(SameFile(dir.Path("missing"), dir.Path("missing")));
    // Something that is no regular file is never replaced by one.
    const std::string pipe = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(MessageOf([&] { WriteWholeFile(pipe, "x"); }), "Cannot create file " + pipe + ": it is not a regular file");
    EXPECT_TRUE(ExistsAsNonRegularFile(pipe));
    EXPECT_TRUE(ExistsAsNonRegularFile("/dev/null"));
    EXPECT_FALSE(ExistsAsNonRegularFile(file));
    EXPECT_EQ(MessageOf([&] { WriteWholeFile(dir.Path("no/such/folder/x"), "x"); }),
              "Cannot create file " + dir.Path("no/such/folder/x") + ": No such file or directory");
}

// A new file takes a name only while no file has it, also one made after the writing began.
TEST(FileReplacement, ANewFileNeverReplacesOneThatAppeared)
{
    TTempDir dir;
    const std::string name = dir.Path("a.xml");
    TFileReplacement late(name);
    late.Write("part");
    dir.Write("a.xml", "whole"); // another program, meanwhile
    EXPECT_FALSE(late.CommitNew());
    EXPECT_EQ(ReadFileBytes(name), "whole");

    std::filesystem::remove(name);
    TFileReplacement first(name);
    first.Write("part");
    EXPECT_TRUE(first.CommitNew());
    EXPECT_EQ(ReadFileBytes(name), "part");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path("")), {}), 1); // no temporary left
}
