// The H.264 MP4 writer: what FFmpeg's own reader finds in its files, and that an abandoned or
// failed video leaves nothing behind.
#include "SmallFileSystem.h"
#include "TestUtil.h"
#include "VideoProbe.h"
#include "video/VideoEncoder.h"

#include <QDir>

#include <fstream>

#include <gtest/gtest.h>

namespace {

const QRgb Red = qRgb(220, 30, 30), Blue = qRgb(30, 40, 220), Green = qRgb(40, 200, 60), Grey = qRgb(128, 128, 128);

// Four quarters of their own colour, with a bar whose place tells the frame's number.
QImage Frame(QSize size, int number)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, y < size.height() / 2 ? (x < size.width() / 2 ? Red : Blue)
                                                       : (x < size.width() / 2 ? Green : Grey));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel((number * 8 + x) % size.width(), y, qRgb(255, 255, 255));
    return image;
}

// Temporary files begin with a dot: they are counted too.
QStringList Files(const TTempDir& dir)
{
    return QDir(QString::fromStdString(dir.Path(""))).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(VideoEncoder, TheReaderFindsTheFramesSizeRateAndDurationAndTheColoursAsDrawn)
{
    TTempDir dir;
    const std::string name = dir.Path("clip.mp4");
    const QSize size(160, 96);
    {
        TVideoEncoder video(name, size, 25);
        EXPECT_EQ(video.EncoderName(), "libx264");
        for (int i = 0; i < 60; ++i)
            video.AddFrame(Frame(size, i));
        // Until the end nothing stands under the video's name.
        EXPECT_FALSE(PathExists(name));
        video.Finish();
    }
    EXPECT_EQ(Files(dir), QStringList{"clip.mp4"}); // no temporary file left beside it
    const TVideoProbe probe = ProbeVideo(name, true);
    ASSERT_TRUE(probe.opened);
    EXPECT_EQ(probe.codec, "h264");
    EXPECT_EQ(probe.width, 160);
    EXPECT_EQ(probe.height, 96);
    EXPECT_DOUBLE_EQ(probe.fps, 25);
    EXPECT_NEAR(probe.seconds, 60 / 25.0, 1e-6);
    EXPECT_EQ(probe.packets, 60);
    ASSERT_EQ(probe.frames.size(), 60u);
    // Red stays red, blue blue: no channel swapped, no colour matrix mixed up.
    const QImage& last = probe.frames.back();
    EXPECT_TRUE(Near(last.pixel(20, 30), Red)) << std::hex << last.pixel(20, 30);
    EXPECT_TRUE(Near(last.pixel(140, 30), Blue)) << std::hex << last.pixel(140, 30);
    EXPECT_TRUE(Near(last.pixel(20, 80), Green)) << std::hex << last.pixel(20, 80);
    EXPECT_TRUE(Near(last.pixel(140, 80), Grey)) << std::hex << last.pixel(140, 80);
    // The frames come in their order: frame 59's bar stands at 59 * 8 % 160 = 152.
    EXPECT_TRUE(Near(last.pixel(155, 3), qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(probe.frames[3].pixel(27, 3), qRgb(255, 255, 255)));
}

TEST(VideoEncoder, AnAbandonedVideoLeavesNothingAndKeepsAFileOfItsName)
{
    TTempDir dir;
    const std::string name = dir.Write("clip.mp4", "the user's own file");
    {
        TVideoEncoder video(name, QSize(64, 64), 30);
        for (int i = 0; i < 10; ++i)
            video.AddFrame(Frame(QSize(64, 64), i));
    } // no Finish: cancelled
    EXPECT_EQ(Files(dir), QStringList{"clip.mp4"});
    EXPECT_EQ(ReadFileBytes(name), "the user's own file");

    // A finished one replaces it.
    {
        TVideoEncoder video(name, QSize(64, 64), 30);
        video.AddFrame(Frame(QSize(64, 64), 0));
        video.Finish();
    }
    EXPECT_EQ(Files(dir), QStringList{"clip.mp4"});
    EXPECT_EQ(ProbeVideo(name).packets, 1);
}

TEST(VideoEncoder, FailuresSayWhyAndLeaveNoFile)
{
    TTempDir dir;
    const std::string name = dir.Path("clip.mp4");
    EXPECT_EQ(MessageOf([&] { TVideoEncoder(dir.Path("no/such/folder/clip.mp4"), QSize(64, 64), 30); }),
              "Cannot create file " + dir.Path("no/such/folder/clip.mp4") + ": No such file or directory");
    for (const QSize size : {QSize(65, 64), QSize(8, 8), QSize(64, 4098)})
        EXPECT_NE(MessageOf([&] { TVideoEncoder(name, size, 30); }).find("even sides of 16 to 4096"), std::string::npos);
    // An encoder of another codec is no H.264 encoder.
    EXPECT_EQ(MessageOf([&] { TVideoEncoder(name, QSize(64, 64), 30, "mpeg4"); }),
              "Cannot encode video: libavcodec has no H.264 encoder named mpeg4");
    EXPECT_TRUE(Files(dir).isEmpty());

    TVideoEncoder video(name, QSize(64, 64), 30);
    EXPECT_NE(MessageOf([&] { video.AddFrame(Frame(QSize(64, 48), 0)); }).find("a frame of 64 x 48"), std::string::npos);
    EXPECT_NE(MessageOf([&] { video.Finish(); }).find("at least one frame"), std::string::npos);
    EXPECT_FALSE(PathExists(name));
}

// The muxer's small writes sit in its buffer until the end: a full disk must still fail the
// video, with the system's reason, and leave the old file as it was.
TEST(VideoEncoder, AFullDiskFailsTheVideoAndKeepsTheOldFile)
{
    ORNWICK_ON_SMALL_FILE_SYSTEM(folder);
    const std::string name = folder + "/old.mp4";
    {
        std::ofstream(name, std::ios::binary) << "an old video";
    }
    smallfs::Fill(folder);
    const std::string message = MessageOf([&] {
        TVideoEncoder video(name, QSize(64, 64), 30);
        for (int i = 0; i < 3; ++i)
            video.AddFrame(Frame(QSize(64, 64), i));
        video.Finish();
    });
    EXPECT_EQ(message, "Cannot create file " + name + ": No space left on device");
    EXPECT_EQ(ReadFileBytes(name), "an old video");
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList(QDir::Files | QDir::Hidden), QStringList({"filler", "old.mp4"}));
}
