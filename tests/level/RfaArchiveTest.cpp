#include "LevelTestFiles.h"
#include "level/Level.h"
#include "level/LevelObjects.h"

#include <gtest/gtest.h>

namespace {

std::vector<TRfaFile> Files()
{
    std::string big;
    for (int i = 0; i < 5000; ++i)
        big += "line " + std::to_string(i) + "\n";
    return {{"a/One.con", "first"}, {"a/empty.txt", ""}, {"b/big.con", big}};
}

void PutLe32(std::string& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

} // namespace

TEST(RfaArchive, StoredAndCompressedEntriesReadBackWhole)
{
    for (const bool compressed : {false, true}) {
        const TRfaArchive archive = TRfaArchive::FromBytes(WriteRfaArchive(Files(), compressed, 1000), "test.rfa");
        EXPECT_EQ(archive.Compressed(), compressed);
        ASSERT_EQ(archive.Entries().size(), 3u);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(archive.Entries()[i].Path, Files()[i].Path);
            EXPECT_EQ(archive.Read(archive.Entries()[i]), Files()[i].Content) << compressed << " " << i;
        }
        if (compressed) { // many segments, and smaller than the text
            EXPECT_LT(archive.Entries()[2].StoredSize, archive.Entries()[2].FullSize);
        }
    }
}

TEST(RfaArchive, DamageIsReportedNotTrusted)
{
    const std::string plain = WriteRfaArchive(Files(), false);
    const std::string packed = WriteRfaArchive(Files(), true, 1000);
    const auto error = [](std::string bytes) {
        return MessageOf([&] {
            const TRfaArchive archive = TRfaArchive::FromBytes(std::move(bytes), "bad.rfa");
            for (const TRfaEntry& entry : archive.Entries())
                archive.Read(entry);
        });
    };
    EXPECT_EQ(error("DDS"), "bad.rfa is no readable level archive: the file is too short");
    std::string offset = plain;
    PutLe32(offset, 0, 0x7FFFFFF0);
    EXPECT_EQ(error(offset), "bad.rfa is no readable level archive: the table offset lies outside the file");
    std::string kind = plain;
    PutLe32(kind, 4, 7);
    EXPECT_EQ(error(kind), "bad.rfa is no readable level archive: unknown compression 7");
    std::string count = plain;
    const uint32_t table = static_cast<uint32_t>(plain[0] & 0xFF) | static_cast<uint32_t>(plain[1] & 0xFF) << 8;
    PutLe32(count, table, 0xFFFFFFFF);
    EXPECT_EQ(error(count), "bad.rfa is no readable level archive: the table lists more entries than it holds");
    EXPECT_NE(error(plain.substr(0, plain.size() - 10)).find("bad path length"), std::string::npos);
    // An entry claiming a gigabyte is refused before any memory is taken for it.
    std::string huge = packed;
    const uint32_t packedTable = static_cast<uint32_t>(packed[0] & 0xFF) | static_cast<uint32_t>(packed[1] & 0xFF) << 8;
    const size_t firstSizes = packedTable + 4 + 4 + Files()[0].Path.size();
    PutLe32(huge, firstSizes + 4, 0x40000000);
    EXPECT_EQ(error(huge), "bad.rfa is no readable level archive: a/One.con is larger than 256 MB");
    // Compressed bytes overwritten: the segment is damaged, or unpacks to another size.
    std::string scrambled = packed;
    for (size_t i = 200; i < 260; ++i)
        scrambled[i] = static_cast<char>(0xFF);
    EXPECT_NE(error(scrambled).find("bad.rfa is no readable level archive: b/big.con"), std::string::npos);
}

TEST(RfaArchive, RealArchives)
{
    SKIP_WITHOUT_FIXTURES();
    const TRfaArchive plain = TRfaArchive::FromFile(FixturesFolder() + "/archives/kursk.rfa");
    EXPECT_FALSE(plain.Compressed());
    EXPECT_EQ(plain.Entries().size(), 21u);
    const TLevel kursk = TLevel::FromArchive(FixturesFolder() + "/archives/kursk.rfa");
    EXPECT_EQ(ReadWorldSize(kursk), 1024);
    EXPECT_TRUE(kursk.Has("CONQUEST/controlpoints.con"));

    const TRfaArchive packed = TRfaArchive::FromFile(FixturesFolder() + "/archives/game.rfa");
    EXPECT_TRUE(packed.Compressed());
    size_t read = 0;
    for (const TRfaEntry& entry : packed.Entries()) {
        const std::string text = packed.Read(entry);
        EXPECT_EQ(text.size(), entry.FullSize) << entry.Path;
        // Script text through and through: a wrong unpacking would leave control bytes.
        EXPECT_EQ(text.find('\0'), std::string::npos) << entry.Path;
        ++read;
    }
    EXPECT_EQ(read, 70u);
    EXPECT_EQ(MessageOf([] { TLevel::FromArchive(FixturesFolder() + "/archives/game.rfa"); }),
              FixturesFolder() + "/archives/game.rfa is no level archive: it has no Init/Terrain.con");
}
