// The map of a round as selection leaves it, without the window: picture lookup, the saved
// calibration, the sliders' ranges and margins, the objects placed, the places of the fit and
// the program files the window reads at its start.
#include "TestUtil.h"
#include "base/TextList.h"
#include "log/EventInfo.h"
#include "settings/ProgramFolder.h"
#include "base/Files.h"
#include "mapview/RoundMap.h"
#include "xmltree/wexXMLTree.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

// A program folder: Tarvel's place, its images/ and its settings.
struct TRoundMapHome {
    TTempDir dir;
    TRoundMapHome() { QDir().mkpath(QString::fromStdString(dir.Path("images"))); }
    std::string Exe() const { return dir.Path("Tarvel"); }
    void Picture(const std::string& name, int width, int height, const char* format = "BMP") const
    {
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(Qt::gray);
        ASSERT_TRUE(image.save(QString::fromStdString(dir.Path("images/" + name)), format));
    }
};

std::string Event(const std::string& name, const std::string& time, const std::string& location,
                  const std::string& more = "")
{
    return "<bf:event name=\"" + name + "\" timestamp=\"" + time + "\"><bf:param name=\"player_id\">3</bf:param>" +
           (location.empty() ? "" : "<bf:param name=\"player_location\">" + location + "</bf:param>") + more +
           "</bf:event>";
}

// A round of the map with these events after its start.
std::string RoundText(const std::string& map, const std::string& events)
{
    return "<?xml version=\"1.0\"?><bf:log><bf:round><bf:server><bf:setting name=\"map\">" + map +
           "</bf:setting></bf:server><bf:event name=\"roundInit\" timestamp=\"0\"/>" + events +
           "</bf:round></bf:log>";
}

struct TSelected {
    TwexXMLTree tree{"ROOT", "", nullptr};
    TEventInfoList events;
    const TwexXMLNode& Round(const std::string& text)
    {
        tree.LoadFromText(text);
        return *tree.FirstChild()->FirstChild()->FirstChild();
    }
};

const char Objects[] = "Object.create controlpoint\r\nObject.absolutePosition 100/5/100\r\nObject.setTeam 1\r\n"
                       "Object.create Jeep\r\nObject.absolutePosition 30/5/40\r\nObject.setTeam 2\r\n";

} // namespace

TEST(PictureFiles, BitmapThenJpegInEachFolderThenThePictureMapsBitmap)
{
    const std::set<std::string> files = {"a/both.bmp", "a/both.jpg", "b/photo.jpg", "a/photo.jpg", "b/shared.bmp",
                                         "a/onlyjpeg.jpg"};
    const auto exists = [&](const std::string& name) { return files.count(name) > 0 ? name : std::string(); };
    TTextList map;
    map.SetText("Kit1=shared\r\nKit2=onlyjpeg\r\n");
    const std::vector<std::string> folders = {"a/", "b/"};
    const auto find = [&](const std::string& name) {
        const TPictureFile f = FindPictureFile(folders, map, name, exists);
        return f.FileName + "|" + f.Name;
    };
    EXPECT_EQ(find("both"), "a/both.bmp|both");
    EXPECT_EQ(find("photo"), "a/photo.jpg|photo"); // the first folder wins over the kind
    EXPECT_EQ(find("KIT1"), "b/shared.bmp|shared");
    EXPECT_EQ(find("Kit2"), "|onlyjpeg"); // a mapped name is a bitmap or nothing
    EXPECT_EQ(find("ghost"), "|ghost");
}

TEST(PictureFiles, FlagsByTeamAndTheMapsObjectFile)
{
    EXPECT_STREQ(FlagPictureName(0), "GRAYVLAG");
    EXPECT_STREQ(FlagPictureName(1), "AXISVLAG");
    EXPECT_STREQ(FlagPictureName(2), "ALIESVLAG");
    EXPECT_EQ(FlagPictureName(3), nullptr);
    EXPECT_EQ(FlagPictureName(-1), nullptr);

    TTempDir dir;
    dir.Write("bayOBS.con", "");
    const std::vector<std::string> folders = {dir.Path("none/"), dir.Path("")};
    EXPECT_EQ(FindMapObjectFile(folders, "bay"), dir.Path("bayOBS.con"));
    EXPECT_EQ(FindMapObjectFile(folders, "cove"), "");
}

TEST(PictureFiles, NamesAreFoundWhateverTheirLetterCase)
{
    // The game's files come from a platform whose names ignore letter case.
    TTempDir dir;
    QDir().mkpath(QString::fromStdString(dir.Path("images")));
    dir.Write("images/Kwajalein_AtollOBS.CON", "");
    dir.Write("images/AliesVlag.BMP", "");
    dir.Write("images/aliesvlag.jpg", "");
    const std::vector<std::string> folders = {dir.Path("images/")};
    EXPECT_EQ(FindMapObjectFile(folders, "kwajalein_atoll"), dir.Path("images/Kwajalein_AtollOBS.CON"));
    TTextList map;
    const TPictureFile flag = FindPictureFile(folders, map, "ALIESVLAG", FindFileNoCase);
    EXPECT_EQ(flag.FileName, dir.Path("images/AliesVlag.BMP")); // a bitmap before a JPEG still
    EXPECT_EQ(FindFileNoCase(dir.Path("images/aliesvlag.jpg")), dir.Path("images/aliesvlag.jpg"));
    EXPECT_EQ(FindFileNoCase(dir.Path("images/aliesvlag.png")), "");
    EXPECT_EQ(FindFileNoCase(dir.Path("IMAGES/aliesvlag.jpg")), ""); // the folder as it is named
    EXPECT_EQ(FindFileNoCase(dir.Path("images/")), "");
}

TEST(SavedCalibration, PresentByItsCorrectionYAndReadWhenAsked)
{
    TTextList settings;
    settings.SetText("bay_SCALE=300\r\nbay_CORRECTIONY=310\r\nbay_TOPMARGIN=-4\r\nbay_LEFTMARGIN=x\r\ncove_SCALE=5\r\n");
    const TSavedCalibration bay(settings, "bay");
    EXPECT_TRUE(bay.Present());
    EXPECT_EQ(bay.Scale(), 300);
    EXPECT_EQ(bay.CorrectionY(), 310);
    EXPECT_EQ(bay.TopMargin(), -4);
    EXPECT_EQ(MessageOf([&] { bay.LeftMargin(); }), "'x' is not a valid integer value");
    EXPECT_FALSE(TSavedCalibration(settings, "cove").Present());
}

TEST(RoundMap, SelectionLoadsThePictureTheSavedCalibrationAndPlacesTheObjects)
{
    TSeparatorScope point('.');
    TRoundMapHome home;
    home.Picture("bay.jpg", 40, 400, "JPEG");
    home.Picture("AXISVLAG.bmp", 25, 25);
    home.Picture("Jeep.bmp", 23, 21);
    home.dir.Write("images/bayOBS.con", Objects);
    home.dir.Write("Tarvel.ini", "bay_SCALE=1000\r\nbay_CORRECTIONY=2000\r\nbay_TOPMARGIN=-5\r\nbay_LEFTMARGIN=10\r\n");
    TProgramFiles files(home.Exe());
    files.Read();
    TRoundMap map(files);
    TSelected s;
    map.Select(s.Round(RoundText("bay", Event("spawnEvent", "10", "200/0/100") + Event("pickupKit", "30.5", "700/0/900"))),
               s.events);
    ASSERT_EQ(s.events.Count(), 2);
    EXPECT_EQ(map.MapName(), "bay");
    EXPECT_FALSE(map.PictureMissing());
    EXPECT_EQ(map.Picture().Height, 400);
    EXPECT_EQ(map.Sliders(), (TCalibration{1000, 2000, 10, -5}));
    ASSERT_EQ(map.Objects().Count(), 2);
    const TMapObject& flag = *map.Objects().Object(0);
    EXPECT_EQ(flag.FPictureName, "AXISVLAG");
    EXPECT_EQ(flag.FImage.Left, 100 + 10 - 12);
    EXPECT_EQ(flag.FImage.Top, 400 - 200 - 5 - 12);
    const TMapObject& jeep = *map.Objects().Object(1);
    EXPECT_EQ(jeep.FTeam, 2);
    EXPECT_EQ(jeep.FImage.Left, 30 + 10 - 11);
    EXPECT_EQ(jeep.FImage.Top, 400 - 80 - 5 - 10);
    EXPECT_EQ(map.MissingPictures(), std::vector<std::string>{"controlpoint"}); // looked up by class first

    const std::vector<TWorldPoint> places = RoundPlaces(s.events, map.Objects());
    ASSERT_EQ(places.size(), 4u);
    EXPECT_EQ(places[1].X, 700);
    EXPECT_EQ(places[3].Z, 40);
    EXPECT_EQ(map.FitToRound(s.events), FitCalibration(places, 400));
}

TEST(RoundMap, SlidersKeepTheirRangesAndAMarginMovesOnlyWithItsSlider)
{
    TSeparatorScope point('.');
    TRoundMapHome home;
    home.dir.Write("Tarvel.ini", "bay_SCALE=9000\r\nbay_CORRECTIONY=1\r\nbay_TOPMARGIN=5000\r\nbay_LEFTMARGIN=-3\r\n");
    TProgramFiles files(home.Exe());
    files.Read();
    TRoundMap map(files);
    map.MoveSlider(&TCalibration::Top, 4100); // a user's move: the margin follows within the range
    EXPECT_EQ(map.TopMargin(), 4000);
    TSelected s;
    map.Select(s.Round(RoundText("bay", Event("spawnEvent", "10", "200/0/100"))), s.events);
    EXPECT_EQ(map.Sliders(), (TCalibration{5000, 10, -3, 4000}));
    // The slider stood at its end already: it does not move, and the margin keeps the value read.
    EXPECT_EQ(map.TopMargin(), 5000);
    EXPECT_EQ(map.LeftMargin(), -3);
    // No picture: the map keeps the holder's own height, and the fit takes it.
    EXPECT_TRUE(map.PictureMissing());
    EXPECT_EQ(map.Picture().Height, TPictureHolder::DefaultSize);
    EXPECT_EQ(map.MissingPictures(), std::vector<std::string>{"bay"});
}

TEST(RoundMap, AMapWithNeitherPictureNorSavedCalibrationTakesTheFitToItsRoundUnsaved)
{
    TSeparatorScope point('.');
    TRoundMapHome home;
    home.Picture("cove.bmp", 300, 200);
    home.dir.Write("images/bayOBS.con", Objects); // the flag at 100/5/100, the jeep at 30/5/40
    home.dir.Write("images/coveOBS.con", Objects);
    home.dir.Write("Tarvel.ini", "keep_SCALE=700\r\nkeep_CORRECTIONY=800\r\nkeep_TOPMARGIN=9\r\nkeep_LEFTMARGIN=-9\r\n");
    TProgramFiles files(home.Exe());
    files.Read();
    const std::string before = files.Settings().Text();
    // A fight far from the world's corner; "0/0/0" is no place and borrows the last one.
    const std::string events = Event("spawnEvent", "10", "1200/0/900") + Event("pickupKit", "14", "1380/0/1120") +
                               Event("exitVehicle", "20", "0/0/0") + Event("pickupKit", "30", "1250/0/1000");
    const std::vector<TWorldPoint> places = {{1200, 900}, {1380, 1120}, {1380, 1120}, {1250, 1000}, {100, 100}, {30, 40}};
    const TCalibration previous{300, 400, 20, -30}; // another map's values
    const auto selected = [&](const std::string& map, TSelected& s) {
        auto round = std::make_unique<TRoundMap>(files);
        round->MoveSlider(&TCalibration::XScale, previous.XScale);
        round->MoveSlider(&TCalibration::YScale, previous.YScale);
        round->MoveSlider(&TCalibration::Left, previous.Left);
        round->MoveSlider(&TCalibration::Top, previous.Top);
        round->Select(s.Round(RoundText(map, events)), s.events);
        return round;
    };
    {
        TSelected s;
        const auto map = selected("bay", s);
        ASSERT_TRUE(map->PictureMissing());
        const TCalibration fit = FitCalibration(places, TPictureHolder::DefaultSize);
        EXPECT_EQ(map->Sliders(), fit);
        EXPECT_EQ(map->LeftMargin(), fit.Left);
        EXPECT_EQ(map->TopMargin(), fit.Top);
        EXPECT_EQ(map->FitToRound(s.events), fit); // "Fit to round" finds it again
        // The objects are placed with it.
        ASSERT_EQ(map->Objects().Count(), 2);
        const TPictureHolder& flag = map->Objects().Object(0)->FImage;
        EXPECT_EQ(flag.Left + flag.Width / 2, CalibratedMapX(fit, 100));
        EXPECT_EQ(flag.Top + flag.Height / 2, CalibratedMapY(fit, TPictureHolder::DefaultSize, 100));
    }
    EXPECT_EQ(files.Settings().Text(), before); // nothing saved
    {
        // A map with a picture keeps the sliders where they were. One without, selected after it,
        // is drawn from the height the holder keeps, and the fit measures from that height too.
        TSelected s;
        const auto map = selected("cove", s);
        EXPECT_EQ(map->Sliders(), previous);
        TSelected next;
        map->Select(next.Round(RoundText("bay", events)), next.events);
        EXPECT_EQ(map->Picture().Height, 200);
        EXPECT_EQ(map->Sliders(), FitCalibration(places, 200));
    }
    {
        // So does a map without a picture whose calibration was saved: that is taken.
        TSelected s;
        EXPECT_EQ(selected("keep", s)->Sliders(), (TCalibration{700, 800, -9, 9}));
    }
    {
        // A round without a place on a map without objects: nothing to fit, the sliders stay.
        TSelected s;
        auto map = std::make_unique<TRoundMap>(files);
        map->MoveSlider(&TCalibration::XScale, 300);
        map->Select(s.Round(RoundText("open", Event("chat", "10", "") + Event("chat", "20", "0/5/0"))), s.events);
        EXPECT_TRUE(map->PictureMissing());
        EXPECT_EQ(map->Sliders(), (TCalibration{300, 2000, 0, 0}));
    }
}

TEST(RoundMap, TheSelectionsFitReadsTheObjectFileAsTheObjectsReadIt)
{
    TSeparatorScope point('.');
    TTempDir dir;
    // The minus sign dropped, a position that does not read left out.
    const std::string objects = dir.Write("mapOBS.con", std::string(Objects) +
                                                            "Object.create Jeep\r\nObject.absolutePosition 1.2.3/0/9\r\n"
                                                            "Object.setTeam 1\r\nObject.create Jeep\r\n"
                                                            "Object.absolutePosition 500/1/-700\r\nObject.setTeam 1\r\n");
    const std::vector<TWorldPoint> read = ObjectFilePlaces(objects);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[1].Z, 40);
    EXPECT_EQ(read[2].Z, 700);
    EXPECT_TRUE(ObjectFilePlaces(dir.Path("noneOBS.con")).empty());
    TEventInfoList none;
    EXPECT_EQ(SelectionFit(true, false, none, objects, 400), FitCalibration(read, 400));
}

TEST(RoundMap, SelectionStopsWhereTheWindowsSelectionStops)
{
    TSeparatorScope point('.');
    TRoundMapHome home;
    home.Picture("Jeep.bmp", 23, 21);
    home.dir.Write("images/bayOBS.con", Objects);
    home.dir.Write("Tarvel.ini", "bay_SCALE=z\r\nbay_CORRECTIONY=1\r\n");
    TProgramFiles files(home.Exe());
    files.Read();
    TRoundMap map(files);
    TSelected s;
    // No event after the start: nothing of the map is loaded, and nothing can be fitted.
    map.Select(s.Round(RoundText("cove", "<bf:x/>")), s.events);
    EXPECT_EQ(s.events.Count(), 0);
    EXPECT_EQ(map.MapName(), "");
    EXPECT_NE(MessageOf([&] { map.FitToRound(s.events); }).find("No position"), std::string::npos);
    // A bad saved value ends the selection before the objects.
    EXPECT_EQ(MessageOf([&] { map.Select(s.Round(RoundText("bay", Event("spawnEvent", "10", "1/0/1"))), s.events); }),
              "'z' is not a valid integer value");
    EXPECT_EQ(map.MapName(), "bay");
    EXPECT_EQ(map.Objects().Count(), 0);
    // So does a time line that cannot hold the round's times.
    TRoundMapHome plain;
    TProgramFiles none(plain.Exe());
    TRoundMap far(none);
    EXPECT_FALSE(MessageOf([&] { far.Select(s.Round(RoundText("bay", Event("spawnEvent", "300000000", "1/0/1"))), s.events); })
                     .empty());
    EXPECT_EQ(far.MapName(), "bay");
}

TEST(ProgramFiles, ReadAsTheWindowStartsAndStopAtTheFirstFailure)
{
    TRoundMapHome home;
    home.dir.Write("Tarvel.map", "Kit=Jeep\r\n");
    home.dir.Write("Tarvel.ini", "ZOOM=1500\r\nbay_SCALE=3\r\n");
    TProgramFiles files(home.Exe());
    EXPECT_EQ(files.SettingsFileName(), home.dir.Path("Tarvel.ini")); // before they were read too
    EXPECT_FALSE(files.SettingsFile().WasRead());
    files.Read();
    EXPECT_TRUE(files.SettingsFile().WasRead());
    EXPECT_EQ(files.PictureMap().Values("kit"), "Jeep");
    EXPECT_EQ(files.Settings().Values("bay_SCALE"), "3");
    EXPECT_EQ(files.ImageFolders(), std::vector<std::string>{home.dir.Path("images/")});
    EXPECT_EQ(StartZoom(files.Settings()), 1500);
    EXPECT_EQ(StartZoom(TTextList()), 200);

    home.dir.Write("Tarvel.ini", "ZOOM=big\r\n");
    TProgramFiles bad(home.Exe());
    EXPECT_EQ(MessageOf([&] { bad.Read(); }), "'big' is not a valid integer value");
    EXPECT_EQ(bad.Settings().Values("ZOOM"), "big");
    // The window reads the files alone: it meets the zoom later in its start.
    TProgramFiles window(home.Exe());
    window.ReadFiles();
    EXPECT_TRUE(window.SettingsFile().WasRead());
    EXPECT_EQ(window.PictureMap().Values("kit"), "Jeep");

}

TEST(MapCalibration, SlidersKeepTheirRangesAndTheMarginsFollowOnlyWhenTheyMove)
{
    TMapCalibration c;
    EXPECT_TRUE(c.MoveSlider(&TCalibration::Left, 5000));
    EXPECT_EQ(c.Sliders().Left, MaxCalibrationOffset);
    EXPECT_EQ(c.LeftMargin(), MaxCalibrationOffset);
    c.SetLeftMargin(4500); // a saved margin beyond the slider's reach
    EXPECT_FALSE(c.MoveSlider(&TCalibration::Left, 4200)); // the slider stays: so does the margin
    EXPECT_EQ(c.LeftMargin(), 4500);
    EXPECT_TRUE(c.MoveSlider(&TCalibration::XScale, 1));
    EXPECT_EQ(c.Sliders().XScale, MinCalibrationScale);
    EXPECT_EQ(c.Placing(), (TCalibration{MinCalibrationScale, 2000, 4500, 0}));
}

TEST(MapCalibration, SelectionTakesTheSavedValuesThenTheFitAndStopsAtAValueThatDoesNotRead)
{
    TTextList settings;
    settings.SetText("bay_SCALE=300\r\nbay_CORRECTIONY=9000\r\nbay_TOPMARGIN=-4500\r\nbay_LEFTMARGIN=12\r\n"
                     "cove_SCALE=400\r\ncove_CORRECTIONY=500\r\ncove_TOPMARGIN=7\r\ncove_LEFTMARGIN=x\r\n");
    std::vector<std::string> moves;
    const auto move = [&](TMapCalibration& c) {
        return [&](int TCalibration::*bar, int position, bool saved) {
            moves.push_back(std::to_string(position) + (saved ? "s" : "f"));
            c.MoveSlider(bar, position);
        };
    };
    TMapCalibration bay;
    TakeSelectionCalibration(TSavedCalibration(settings, "bay"), std::nullopt, bay, move(bay));
    EXPECT_EQ(moves, (std::vector<std::string>{"300s", "9000s", "-4500s", "12s"}));
    EXPECT_EQ(bay.Sliders(), (TCalibration{300, MaxCalibrationScale, 12, MinCalibrationOffset}));
    EXPECT_EQ(bay.TopMargin(), MinCalibrationOffset); // the slider moved: its margin followed
    EXPECT_EQ(bay.LeftMargin(), 12);

    moves.clear();
    TMapCalibration none;
    TakeSelectionCalibration(TSavedCalibration(settings, "reef"), TCalibration{100, 100, 4100, -3},
                             none, move(none));
    EXPECT_EQ(moves, (std::vector<std::string>{"100f", "100f", "-3f", "4100f"}));
    EXPECT_EQ(none.LeftMargin(), MaxCalibrationOffset);
    EXPECT_EQ(none.TopMargin(), -3);

    moves.clear();
    TMapCalibration cove;
    EXPECT_EQ(MessageOf([&] { TakeSelectionCalibration(TSavedCalibration(settings, "cove"), std::nullopt, cove,
                                                        move(cove)); }),
              "'x' is not a valid integer value");
    EXPECT_EQ(moves, (std::vector<std::string>{"400s", "500s"}));
    EXPECT_EQ(cove.TopMargin(), 7); // set before the left margin failed to read
    EXPECT_EQ(cove.LeftMargin(), 0);
}
