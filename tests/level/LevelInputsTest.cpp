// A level's files as a hostile or careless source gives them: scripts with NUL bytes or in
// UTF-16, names that are no ASCII, pipes where archives or pictures should be, and the
// messages that say what is wrong.
#include "LevelTestFiles.h"
#include "base/Files.h"
#include "base/TextList.h"
#include "level/MapImport.h"
#include "mapview/PictureHolder.h"
#include "mapview/RoundMap.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Six control points, three groups to a line pair.
std::string SixControlPoints()
{
    std::string text;
    for (int i = 1; i <= 6; ++i)
        text += "Object.create Open\r\nObject.absolutePosition " + std::to_string(i * 100) + "/10/400\r\n";
    return text;
}

// The script as UTF-16 with its byte-order mark; a character above 0xFF where the text has "@".
std::string Utf16(const std::string& text, bool bigEndian)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : text) {
        const unsigned unit = c == '@' ? 0x0416 : static_cast<unsigned char>(c);
        const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return out;
}

std::vector<TRfaFile> WithControlPoints(const std::string& bytes)
{
    std::vector<TRfaFile> files = SmallLevel();
    for (TRfaFile& file : files)
        if (file.Path == "Conquest/ControlPoints.con")
            file.Content = bytes;
    return files;
}

// The message of a call made on a thread: one that waits is a failure, and `unblock` ends it.
std::string MessageInTime(const std::function<void()>& call, const std::function<void()>& unblock)
{
    auto running = std::async(std::launch::async, [&] { return MessageOf(call); });
    if (running.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        ADD_FAILURE() << "the call waits";
        unblock();
    }
    return running.get();
}

// Lets a read of the pipe that waits for a writer go on.
std::function<void()> Unblock(const std::string& pipe)
{
    return [pipe] { ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK)); };
}

// What a call writes on standard error (the file, not std::cerr: libraries write there).
std::string StandardErrorOf(const std::function<void()>& call)
{
    std::fflush(stderr);
    TTempDir dir;
    const std::string file = dir.Path("stderr");
    const int saved = ::dup(2);
    const int to = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(to, 2);
    ::close(to);
    call();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    return ReadFileBytes(file);
}

} // namespace

TEST(LevelInputs, ANulByteInAScriptEndsOnlyItsLine)
{
    TTempDir dir;
    std::string script = SixControlPoints();
    script.insert(script.find("Object.create", 1), 1, '\0'); // before the second group's create
    const TLevel level = TLevel::FromFolder(WriteLevelFolder(dir, "Small", WithControlPoints(script)));
    std::vector<std::string> skipped;
    const std::vector<TLevelObject> objects = ReadLevelObjects(level, "Conquest", &skipped);
    EXPECT_EQ(std::count_if(objects.begin(), objects.end(), [](const TLevelObject& o) { return o.ControlPoint; }), 6);
    EXPECT_EQ(skipped, std::vector<std::string>{"Conquest/ControlPoints.con: 1 NUL byte read as a line break"});
    // A run of them, as a damaged block leaves, inside a command's line: that command is lost,
    // and told.
    script = SixControlPoints();
    script.replace(script.find("300/10/400"), 3, std::string(3, '\0'));
    skipped.clear();
    EXPECT_EQ(ReadLevelObjects(TLevel::FromFolder(WriteLevelFolder(dir, "Run", WithControlPoints(script))), "Conquest", &skipped)
                  .size(),
              4u + 5u);
    EXPECT_EQ(skipped, std::vector<std::string>{
                           "Conquest/ControlPoints.con: 3 NUL bytes read as line breaks, 1 object without a place left out"});
}

TEST(LevelInputs, AUtf16ScriptReadsAsItsText)
{
    TTempDir dir;
    const std::string script = SixControlPoints();
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian);
        EXPECT_EQ(ReadConCommands(Utf16(script, bigEndian)).size(), 12u);
        const std::vector<TConCommand> odd = ReadConCommands(Utf16("Object.create N@rth\r\nx", bigEndian) + "y");
        ASSERT_EQ(odd.size(), 2u);
        EXPECT_EQ(odd[0].Args, std::vector<std::string>{"N?rth"});
        EXPECT_EQ(odd[1].Keyword, "x?"); // the lone last byte
    }
    const std::string name = "Utf16";
    const TLevel level = TLevel::FromFolder(WriteLevelFolder(dir, name, WithControlPoints(Utf16(script + "Object.create @\r\n"
                                                                                                          "Object.absolutePosition 1/2/3\r\n",
                                                                                                 false))));
    std::vector<std::string> skipped;
    const std::vector<TLevelObject> objects = ReadLevelObjects(level, "Conquest", &skipped);
    EXPECT_EQ(std::count_if(objects.begin(), objects.end(), [](const TLevelObject& o) { return o.ControlPoint; }), 7);
    EXPECT_EQ(skipped, std::vector<std::string>{
                           "Conquest/ControlPoints.con: 1 character of its UTF-16 beyond Latin-1, read as \"?\""});
    // A UTF-8 mark does not hide the first command.
    EXPECT_EQ(ReadConCommands("\xEF\xBB\xBFObject.create A\r\n").front().Keyword, "object.create");

    // The import tells what it skipped; with nothing skipped its JSON is as it was.
    TTempDir images;
    const TMapImport import = ImportMap(level, "", "GPM_CQ", false, images.Path(""));
    EXPECT_EQ(import.Skipped, skipped);
    const std::string json = MapImportJson(import);
    EXPECT_NE(json.find(",\"skipped\":[\"Conquest/ControlPoints.con: 1 character of its UTF-16 beyond Latin-1, read as \\\"?\\\"\"]}"),
              std::string::npos)
        << json;
    EXPECT_EQ(MapImportJson(ImportMap(TLevel::FromFolder(WriteLevelFolder(dir, "Clean", SmallLevel())), "", "GPM_CQ", false,
                                      images.Path("")))
                  .find("skipped"),
              std::string::npos);
}

TEST(LevelInputs, MessagesSayWhatIsWrong)
{
    TTempDir dir;
    std::vector<TRfaFile> files = SmallLevel();
    files[0].Content = "GeometryTemplate.worldSize 1000000000\r\n";
    EXPECT_EQ(MessageOf([&] { ReadWorldSize(TLevel::FromFolder(WriteLevelFolder(dir, "Huge", files))); }),
              dir.Path("Huge") + ": the world size 1000000000 in Init/Terrain.con is out of range (256 to 16384)");
    files[0].Content = "GeometryTemplate.worldSize 1o24\r\n";
    EXPECT_EQ(MessageOf([&] { ReadWorldSize(TLevel::FromFolder(WriteLevelFolder(dir, "Typo", files))); }),
              dir.Path("Typo") + ": Init/Terrain.con gives no GeometryTemplate.worldSize ('1o24' is no number)");

    // An archive whose header points at no table.
    for (const char offset : {0, 4}) {
        std::string bytes = WriteRfaArchive({{"a/b.con", "x"}}, false);
        bytes.replace(0, 4, std::string{offset, 0, 0, 0});
        EXPECT_EQ(MessageOf([&] { TRfaArchive::FromBytes(bytes, "x.rfa"); }),
                  "x.rfa is no readable level archive: its table is missing (the header gives the offset " +
                      std::to_string(offset) + ")");
    }

    // A broken tile is named as the level spells it, in the archive it comes from; FFmpeg's
    // complaint about it stays off standard error.
    files = SmallLevel();
    files[1].Content = files[1].Content.substr(0, 300);
    const std::string archive = dir.Write("Broken.rfa", LevelArchive("Broken", files, true));
    std::string message;
    const std::string said = StandardErrorOf([&] { message = MessageOf([&] { TerrainPicture(TLevel::FromArchive(archive), 1024); }); });
    EXPECT_EQ(message, archive + ": Textures/Tx01x01.dds is no readable texture: the decoder rejected it");
    EXPECT_EQ(said, "");

    // A name that cannot be a map's is said to be one, not looked for.
    std::filesystem::create_directories(dir.Path("Game/Mods/bf1942/Archives/bf1942/levels"));
    for (const std::string name : {"../x", "a\\b", "..", ""})
        EXPECT_EQ(MessageOf([&] { TLevel::FromGameFolder(dir.Path("Game"), name, "bf1942"); }),
                  "'" + name + "' cannot be a map's name");
}

TEST(LevelInputs, NamesThatAreNoAsciiStandForTheirUtf8Files)
{
    TTempDir dir;
    // An archive named in UTF-8: the map's name is its Latin-1 text, its files UTF-8 again.
    const std::string archive = dir.Write("\xC3\x9Cmlaut.rfa", LevelArchive("\xDCmlaut", SmallLevel(), true));
    const TLevel level = TLevel::FromArchive(archive);
    EXPECT_EQ(level.Name(), "\xDCmlaut");
    std::filesystem::create_directories(dir.Path("images"));
    const TMapImport import = ImportMap(level, "", "GPM_CQ", false, dir.Path("images/"));
    EXPECT_EQ(import.Map, "\xDCmlaut"); // LowerAscii leaves it
    const std::string once = "{\"map\":\"\xC3\x9Cmlaut\",\"picture\":\"\xC3\x9Cmlaut.jpg\",";
    EXPECT_EQ(MapImportJson(import).substr(0, once.size()), once);
    WriteMapImport(import, dir.Path("images/"), dir.Path("Tarvel.ini"));
    EXPECT_TRUE(PathExists(dir.Path("images/\xC3\x9Cmlaut.jpg")));
    EXPECT_TRUE(PathExists(dir.Path("images/\xC3\x9CmlautOBS.con")));
    TTextList settings;
    settings.LoadFromFile(dir.Path("Tarvel.ini"));
    EXPECT_FALSE(settings.Values("\xDCmlaut_CORRECTIONY").empty());

    // The picture and object file of the log's Latin-1 name are found under that name; so is a
    // picture named by the Latin-1 bytes themselves, which loads.
    TTextList none;
    const auto find = [](const std::string& file) { return FindFileNoCase(file); };
    EXPECT_EQ(FindPictureFile({dir.Path("images/")}, none, "\xDCmlaut", find).FileName, dir.Path("images/\xC3\x9Cmlaut.jpg"));
    EXPECT_EQ(FindMapObjectFile({dir.Path("images/")}, "\xDCmlaut"), dir.Path("images/\xC3\x9CmlautOBS.con"));
    std::filesystem::copy_file(dir.Path("images/\xC3\x9Cmlaut.jpg"), dir.Path("images/b\xE9rlin.jpg"));
    const std::string latin1 = FindPictureFile({dir.Path("images/")}, none, "b\xE9rlin", find).FileName;
    EXPECT_EQ(latin1, dir.Path("images/b\xE9rlin.jpg"));
    TPictureHolder picture;
    picture.LoadFromFile(latin1);
    EXPECT_EQ(picture.Picture().width(), 2048);
    std::filesystem::remove(latin1); // the temporary folder's own removal cannot name it

    // The game folder's archive of a Latin-1 name, named in UTF-8.
    const std::string levels = "Game/Mods/bf1942/Archives/bf1942/levels/";
    std::filesystem::create_directories(dir.Path(levels));
    dir.Write(levels + "B\xC3\xA9rlin.rfa", LevelArchive("b\xE9rlin", SmallLevel(), false));
    EXPECT_EQ(TLevel::FromGameFolder(dir.Path("Game"), "b\xE9rlin", "bf1942").Name(), "b\xE9rlin");
}

TEST(LevelInputs, APipeInPlaceOfAFileIsNeverWaitedFor)
{
    TTempDir dir;
    const std::string levels = "Game/Mods/bf1942/Archives/bf1942/levels/";
    std::filesystem::create_directories(dir.Path(levels));
    const std::string archive = dir.Path(levels + "small.rfa");
    ASSERT_EQ(::mkfifo(archive.c_str(), 0600), 0);
    const std::string refused = "Cannot open file " + archive + ": it is not a regular file";
    EXPECT_EQ(MessageInTime([&] { TRfaArchive::FromFile(archive); }, Unblock(archive)), refused);
    EXPECT_EQ(MessageInTime([&] { OpenLevel(archive, "", ""); }, Unblock(archive)), refused);
    EXPECT_EQ(MessageInTime([&] { TLevel::FromGameFolder(dir.Path("Game"), "Small", "bf1942"); }, Unblock(archive)), refused);
    // A level folder's script that is a pipe is no file of the level.
    const std::string folder = WriteLevelFolder(dir, "Small", SmallLevel());
    std::filesystem::remove(folder + "/Conquest/ControlPoints.con");
    ASSERT_EQ(::mkfifo((folder + "/Conquest/ControlPoints.con").c_str(), 0600), 0);
    EXPECT_FALSE(TLevel::FromFolder(folder).Has("Conquest/ControlPoints.con"));
    // Nor is a picture.
    const std::string picture = dir.Path("map.jpg");
    ASSERT_EQ(::mkfifo(picture.c_str(), 0600), 0);
    TPictureHolder holder;
    EXPECT_EQ(MessageInTime([&] { holder.LoadFromFile(picture); }, Unblock(picture)),
              "Cannot open file " + picture + ": it is not a regular file");
}
