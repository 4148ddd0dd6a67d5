// The import-map command end to end: the files it writes are the ones the window loads, and the
// calibration it saves puts the objects where they lie on the picture.
#include "ToolRun.h"
#include "WindowTestUtil.h"
#include "base/TextList.h"
#include "level/LevelPicture.h"
#include "level/RfaArchive.h"
#include "level/LevelTestFiles.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

TEST(ImportMapCommand, TheWindowLoadsWhatItWrites)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "admin=true\r\n");
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir source;
    const std::string archive = source.Write("Small.rfa", LevelArchive("Small", SmallLevel(), true));
    const TToolRun run = RunOrnwickTool({"import-map", archive, "--home", home.Dir.Path(""), "--mode", "GPM_CQ"});
    ASSERT_EQ(run.status, 0) << run.err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
    EXPECT_EQ(json["picture"].toString(), "small.jpg");
    EXPECT_EQ(json["objects"].toInt(), 7);
    EXPECT_LE(json["maxError"].toDouble(), 1.0);

    // The objects placed with the saved calibration: the control point at 300/400 lies 44 and
    // 368 world units from the picture's left and top edges, of 512.
    TTextList settings;
    settings.LoadFromFile(home.Ini());
    EXPECT_EQ(settings.Values("admin"), "true");
    const TToolRun placed = RunOrnwickTool({"objects", "small", "--home", home.Dir.Path(""), "--scale",
                                            settings.Values("small_SCALE"), "--correctiony", settings.Values("small_CORRECTIONY"),
                                            "--left", settings.Values("small_LEFTMARGIN"), "--top", settings.Values("small_TOPMARGIN")});
    ASSERT_EQ(placed.status, 0) << placed.err;
    const size_t line = placed.out.find("{\"class\":\"controlpoint\"");
    ASSERT_NE(line, std::string::npos) << placed.out;
    const QJsonObject first =
        QJsonDocument::fromJson(QByteArray::fromStdString(placed.out.substr(line, placed.out.find('\n', line) - line))).object();
    EXPECT_EQ(first["position"].toString().toStdString(), "300.000/50.000/400.000");
    const double x = first["x"].toInt() + first["w"].toInt() / 2, y = first["y"].toInt() + first["h"].toInt() / 2;
    EXPECT_LE(std::fabs(x - 44.0 / 512 * DrawnMapSize), 1.5);
    EXPECT_LE(std::fabs(y - 368.0 / 512 * DrawnMapSize), 1.5);

    TTarvelMain window(home.Exe());
    window.ShowMap("small");
    EXPECT_FALSE(window.MapPictureMissing());
    EXPECT_EQ(window.MapImage().Height, 2048);
    EXPECT_EQ(window.MapObjects().Count(), 7);
}

TEST(ImportMapCommand, FailuresWriteNothing)
{
    THome home;
    std::filesystem::create_directory(home.Dir.Path("images"));
    TTempDir source;
    std::string broken = LevelArchive("Small", SmallLevel(), true);
    broken.resize(broken.size() / 2);
    const std::string path = source.Write("Small.rfa", broken);
    const TToolRun run = RunOrnwickTool({"import-map", path, "--home", home.Dir.Path("")});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("is no readable level archive"), std::string::npos) << run.err;
    const TToolRun mode = RunOrnwickTool({"import-map", source.Write("Whole.rfa", LevelArchive("Whole", SmallLevel(), false)),
                                          "--home", home.Dir.Path(""), "--mode", "GPM_CTF"});
    EXPECT_EQ(mode.status, 2);
    EXPECT_NE(mode.err.find("the level has no game type Ctf"), std::string::npos) << mode.err;
    EXPECT_TRUE(std::filesystem::is_empty(home.Dir.Path("images")));
    EXPECT_FALSE(std::filesystem::exists(home.Ini()));
    EXPECT_EQ(RunOrnwickTool({"import-map", path, "--picture", "satellite"}).status, 2);
}
