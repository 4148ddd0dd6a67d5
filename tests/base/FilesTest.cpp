// Reading a whole file: its ceiling, and files that are no regular files.
#include "TestUtil.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/MemoryStream.h"

#include <gtest/gtest.h>

#include <chrono>
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
    // A device that never ends stops at the ceiling, with the same error.
    EXPECT_EQ(MessageOf([] { Read("/dev/zero", size_t(1) << 20); }), "Cannot open file /dev/zero: it is larger than 1 MB");
    EXPECT_EQ(Read("/dev/null"), "");
    EXPECT_EQ(MessageOf([&] { Read(dir.Path("")); }), "Cannot open file " + dir.Path(""));
}

TEST(ReadWholeFile, APipeIsReadToItsEndAndOneWithoutAWriterFailsAtOnce)
{
    TTempDir dir;
    const std::string pipe = dir.Path("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto unblock = [&] { ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK)); };
    EXPECT_EQ(ReadInTime(pipe, unblock), "error: Cannot open file " + pipe);

    // A writer that is there but writes later, in pieces.
    const int writer = ::open(pipe.c_str(), O_RDWR); // holds the pipe open for writing
    ASSERT_GE(writer, 0);
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string text(200000, 'p');
        for (size_t at = 0; at < text.size(); at += 50000)
            (void)!::write(writer, text.data() + at, 50000);
        ::close(writer);
    });
    EXPECT_EQ(ReadInTime(pipe, [] {}), std::string(200000, 'p'));
    later.join();
}
