// Large map pictures (imported from the game, thousands of pixels a side) are held at the cost
// of a small one until their pixels are asked for, and then give exactly what a load gives.
#include "TestPictures.h"
#include "TestUtil.h"
#include "base/Errors.h"
#include "mapview/PictureHolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Lossless, so that the pixels compare exactly; large enough to be decoded when asked for.
std::string LargeBitmap(const TTempDir& dir, const std::string& name, int seed)
{
    const std::string path = dir.Path(name);
    EXPECT_TRUE(Unique(1100, 1000, seed).save(QString::fromStdString(path), "BMP"));
    return path;
}

} // namespace

TEST(PictureHolder, ALargePictureIsDecodedWhenAskedForAndGivesWhatALoadGives)
{
    TTempDir dir;
    const std::string path = LargeBitmap(dir, "big.bmp", 1);
    const QImage expected(QString::fromStdString(path));

    TPictureHolder lazy;
    lazy.LoadFromFile(path);
    lazy.SetSizeToPicture();
    EXPECT_TRUE(lazy.HasPicture());
    EXPECT_EQ(lazy.Width, 1100);
    EXPECT_EQ(lazy.Height, 1000);
    EXPECT_EQ(lazy.ReadyPicture(), nullptr); // nobody asked: nothing decoded
    const TPictureHolder copy = lazy;        // shares the pixels to come
    EXPECT_EQ(lazy.Picture(), expected);
    EXPECT_EQ(copy.Picture(), expected);
    ASSERT_NE(lazy.ReadyPicture(), nullptr);

    // On a thread of its own: ready in time, the same pixels.
    TPictureHolder background;
    background.LoadFromFile(path);
    background.DecodeInBackground();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!background.ReadyPicture() && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_NE(background.ReadyPicture(), nullptr);
    EXPECT_EQ(*background.ReadyPicture(), expected);

    // A picture set in its place drops the one to come.
    TPictureHolder replaced;
    replaced.LoadFromFile(path);
    replaced.DecodeInBackground();
    replaced.SetPicture(Solid(3, 2, qRgb(1, 2, 3)));
    EXPECT_EQ(replaced.Picture().size(), QSize(3, 2));
}

TEST(PictureHolder, ALargeFileThatIsNoPictureStillRaisesAndChangesNothing)
{
    TTempDir dir;
    const std::string path = LargeBitmap(dir, "big.bmp", 2);
    TPictureHolder holder;
    holder.SetPicture(Solid(4, 4, qRgb(9, 9, 9)));
    holder.SetSizeToPicture();
    std::string bytes(2 * 1024 * 1024, 'x');
    EXPECT_THROW(holder.LoadFromFile(dir.Write("junk.bmp", bytes)), EBaseError);
    EXPECT_THROW(holder.LoadFromFile(dir.Path("gone.jpg")), EFOpenError);
    EXPECT_EQ(holder.Picture().size(), QSize(4, 4));
    EXPECT_EQ(holder.Width, 4);
}
