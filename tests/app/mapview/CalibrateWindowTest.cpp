// The calibration window on the real main window: number fields bound to the sliders, pairs
// picked with clicks on the map view, the fit to the round on the demo maps, the grid under a map
// without a picture, and `ornwick calibrate` and `ornwick fit`.
#include "../../mapview/TestPictures.h"
#include "../ToolRun.h"
#include "../replay/ReplayLog.h"
#include "base/Json.h"
#include "app/mapview/CalibrateForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>

using namespace replaylog;

namespace {

void Press(QWidget& target, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), target.mapToGlobal(QPointF(at)), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &event);
}

QImage Filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

void SaveBmp(const QImage& image, const std::string& path) { ASSERT_TRUE(image.save(QString::fromStdString(path), "BMP")); }

void Frame(TTarvelMain& w)
{
    w.SetLayoutChanged();
    w.DrawMap();
}

// The frame as the map view draws it without a picture and without a grid.
void DrawPlainFrame(TTarvelMain& w, TFrameCanvas& canvas, QImage& bitmap)
{
    TFrameScene scene;
    scene.zoom = w.TBMApZoom->value();
    scene.mapSize = w.MapZoomImage->size();
    scene.objects = const_cast<TMapObjectList*>(&w.MapObjects());
    scene.states = const_cast<TPlayerStateList*>(&w.PlayerStates());
    scene.replayTime = w.ReplayTime();
    scene.font = ProgramFont();
    scene.font.setStyleStrategy(QFont::NoAntialias);
    scene.placeObject = [&w](TMapObject& o) { w.PlaceMapObject(o); };
    DrawFrame(canvas, bitmap, scene);
}

} // namespace

TEST(CalibrateWindow, OpensBesideTheWindowWithFieldsBoundBothWaysToTheSliders)
{
    THome home;
    TTarvelMain w(home.Exe());
    w.SetStopReplayWait(0);
    EXPECT_EQ(w.MapTools().Calibrate1->text(), QString::fromUtf8("Calibrate\u2026"));
    EXPECT_TRUE(w.Map1->actions().contains(w.MapTools().Calibrate1));
    EXPECT_TRUE(w.Map1->actions().contains(w.MapTools().FitToRound1));
    EXPECT_TRUE(w.View1->actions().contains(w.MapTools().GridBackground1));
    EXPECT_EQ(w.MapTools().BCalibrate->parentWidget(), w.TabSheet3);
    EXPECT_EQ(w.MapTools().BCalibrate->geometry(), QRect(80, 160, 75, 25));
    EXPECT_EQ(w.MapTools().CalibrateWindow(), nullptr);
    w.show();
    w.MapTools().BCalibrate->click();
    TCalibrateForm* form = w.MapTools().CalibrateWindow();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    EXPECT_EQ(form->SEXas->value(), 2000);
    EXPECT_EQ(form->SELeft->minimum(), -4000);
    EXPECT_EQ(form->SEYas->maximum(), 5000);

    // Typed: the slider moves once the number is complete, and its handler runs.
    QLineEdit* edit = form->SEXas->findChild<QLineEdit*>();
    ASSERT_TRUE(edit);
    edit->selectAll();
    edit->insert(QStringLiteral("13"));
    EXPECT_EQ(w.TBXas->value(), 2000);
    edit->insert(QStringLiteral("75"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(form->SEXas, &enter);
    EXPECT_EQ(w.TBXas->value(), 1375);
    EXPECT_EQ(w.Label4->Caption(), "1375");
    form->SETop->setValue(-250);
    EXPECT_EQ(w.TBTop->value(), -250);
    EXPECT_EQ(w.TopMargin(), -250);
    EXPECT_TRUE(w.LayoutChanged());

    // The sliders moved by a user and by the program: the fields follow.
    w.TBLeft->setValue(321);
    EXPECT_EQ(form->SELeft->value(), 321);
    w.SetTrackBarPosition(w.TBYas, 4321);
    EXPECT_EQ(form->SEYas->value(), 4321);
    EXPECT_EQ(w.CorrectionY(), 4321);
    w.SetTrackBarPosition(w.TBXas, 9999); // held to the range, field and slider alike
    EXPECT_EQ(form->SEXas->value(), 5000);
}

TEST(CalibrateWindow, TwoClicksAPairOnTheRealWindowThenApplyPutsTheMapRight)
{
    // The map is set wrongly: the Jeep at 1000/1000 is drawn at map pixel (70, 530), the flag at
    // 3000/3000 at (270, 290), Anna at 2000/2000 at (170, 410). Where they really lie follows the
    // calibration 150, 150, 20, 10.
    TReplay r(Log(Round(Ev("spawnEvent", "10", 3, "2000/0/2000", {{"team", "1"}}) +
                        Ev("pickupKit", "30", 3, "2000/0/2000"))),
              "bay_SCALE=100\r\nbay_CORRECTIONY=120\r\nbay_TOPMARGIN=50\r\nbay_LEFTMARGIN=-30\r\nZOOM=2000\r\n", BayObjects);
    TTarvelMain& w = r.window;
    SaveBmp(Filled(600, 600, qRgb(30, 90, 30)), r.home.Dir.Path("images/bay.bmp"));
    SaveBmp(Filled(25, 25, qRgb(200, 0, 0)), r.home.Dir.Path("images/AXISVLAG.bmp"));
    SaveBmp(Filled(20, 10, qRgb(0, 0, 200)), r.home.Dir.Path("images/Jeep.bmp"));
    w.SetDrawThreadEnabled(false);
    w.CBAnimate->setChecked(false);
    r.Select(0);
    w.Timer1->stop();
    ASSERT_EQ(w.TBMApZoom->value(), 2000);
    ASSERT_EQ(w.LeftMargin(), -30);
    w.show();
    QCoreApplication::processEvents();
    Frame(w);

    w.MapTools().Calibrate1->trigger();
    TCalibrateForm& form = *w.MapTools().CalibrateWindow();
    const TCalibration truth{150, 150, 20, 10};
    QWidget& map = *w.MapZoomImage;
    // Nothing drawn there: nothing picked.
    Press(map, {600, 100});
    EXPECT_FALSE(form.Picking());
    EXPECT_NE(form.LHint->text().indexOf("Nothing to pick"), -1);
    // A right click forgets a pick.
    Press(map, {540, 580});
    EXPECT_TRUE(form.Picking());
    Press(map, {10, 10}, Qt::RightButton);
    EXPECT_FALSE(form.Picking());
    EXPECT_TRUE(form.Pairs().empty());

    std::set<std::string> picked;
    for (const QPoint drawn : {QPoint(140, 1060), QPoint(540, 580), QPoint(340, 820)}) {
        const std::optional<TMapPick> pick = w.MapTools().PickAt(drawn);
        ASSERT_TRUE(pick) << drawn.x();
        picked.insert(pick->Name);
        Press(map, drawn);
        ASSERT_TRUE(form.Picking());
        const QPoint belongs(2 * CalibratedMapX(truth, pick->X), 2 * CalibratedMapY(truth, 600, pick->Z));
        Press(map, belongs);
        EXPECT_FALSE(form.Picking());
    }
    EXPECT_EQ(picked.count("the flag"), 1u);
    EXPECT_EQ(picked.count("Anna"), 1u);
    ASSERT_EQ(form.Pairs().size(), 3u);
    EXPECT_EQ(form.Pairs()[2].WorldX, 2000); // Anna at her last event
    EXPECT_EQ(form.Pairs()[2].MapX, 320);
    ASSERT_TRUE(form.Solution());
    EXPECT_EQ(*form.Solution(), truth);
    ASSERT_EQ(form.LVPairs->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(form.LVPairs->topLevelItem(i)->text(4), "0.0");

    // Nothing moves until Apply; then the sliders, their handlers and the map at once.
    EXPECT_EQ(w.TBXas->value(), 100);
    w.DrawMap();
    ASSERT_FALSE(w.LayoutChanged());
    form.BApply->click();
    EXPECT_EQ(w.Calibration(), truth);
    EXPECT_EQ(w.LeftMargin(), 20);
    EXPECT_EQ(w.TopMargin(), 10);
    EXPECT_EQ(w.CorrectionY(), 150);
    EXPECT_EQ(form.SEXas->value(), 150);
    EXPECT_TRUE(w.LayoutChanged());
    w.DrawMap();
    const TMapObject& jeep = *w.MapObjects().Object(0);
    EXPECT_EQ(jeep.FImage.Left + jeep.FImage.Width / 2, 170);
    EXPECT_EQ(jeep.FImage.Top + jeep.FImage.Height / 2, 460);
    // Markers take the new values when next placed: Anna at her next event.
    r.TickTo(1);
    const TInfoClass& anna = r.State(3);
    EXPECT_EQ(anna.Image.Left + anna.Image.Width / 2, 320);
    EXPECT_EQ(anna.Image.Top + anna.Image.Height / 2, 310);

    // A pair removed: the other two still give the values; one alone names both axes.
    form.RemovePair(0);
    form.RemovePair(0);
    EXPECT_FALSE(form.Solution());
    EXPECT_FALSE(form.BApply->isEnabled());
    EXPECT_NE(form.LSolution->text().indexOf("X and Y"), -1);

    // Closed, the window leaves clicks on the map alone.
    form.close();
    ASSERT_TRUE(w.MapTools().PickAt({940, 320})); // the flag, where it is drawn now
    Press(map, {940, 320});
    Press(map, {100, 100});
    EXPECT_FALSE(form.Picking());
    EXPECT_EQ(form.Pairs().size(), 1u);
}

TEST(CalibrateWindow, FitToRoundPutsEveryPlaceOfTheRoundOnBothDemoMaps)
{
    TSeparatorScope point('.');
    THome home;
    TTarvelMain w(home.Exe());
    w.SetStopReplayWait(0);
    w.SetDrawThreadEnabled(false);
    w.SetStopReplayWait(0);
    w.OpenLog(std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml");
    std::set<std::string> maps;
    for (int item = 0; item < w.ListBox1->count(); ++item) {
        w.ListBox1->setCurrentRow(item);
        w.ListBox1DblClick();
        w.Timer1->stop();
        // A 600-pixel picture, as the demo maps have.
        SaveBmp(Filled(600, 600, qRgb(0, 0, 0)), home.Dir.Path("pic.bmp"));
        TTarvelMainTest::MapImage(w).LoadFromFile(home.Dir.Path("pic.bmp"));
        TTarvelMainTest::MapImage(w).SetSizeToPicture();
        maps.insert(w.MapName());
        SCOPED_TRACE(w.MapName());
        w.MapTools().FitToRound1->trigger();
        EXPECT_EQ(w.TBXas->value(), w.TBYas->value());
        EXPECT_EQ(w.LeftMargin(), w.TBLeft->value());
        int low = 600, high = 0, places = 0;
        const auto check = [&](double x, double z) {
            const int px = w.WorldToMapX(x) + w.LeftMargin(), py = w.WorldToMapY(z) + w.TopMargin();
            low = std::min({low, px, py});
            high = std::max({high, px, py});
            ++places;
        };
        for (int i = 0; i < w.Events().Count(); ++i)
            if (const TEventInfo& e = *w.Events().GetEvent(i); e.HasPlace())
                check(e.PosX, e.PosZ);
        for (int i = 0; i < w.MapObjects().Count(); ++i)
            check(w.MapObjects().Object(i)->FX, w.MapObjects().Object(i)->FZ);
        EXPECT_GT(places, 1000);
        EXPECT_GE(low, 30);
        EXPECT_LE(high, 570);
        EXPECT_LT(low, 60); // and not lost in the middle
    }
    EXPECT_EQ(maps.size(), 2u);
}

TEST(CalibrateWindow, AMapWithNeitherPictureNorSavedCalibrationIsFittedToTheRoundWhenSelectedUntilSaved)
{
    // A fight far from the world's corner, on "bay" (no picture) with its objects.
    const std::string log =
        Log(Round(Ev("spawnEvent", "10", 3, "1200/0/900", {{"team", "1"}}) + Ev("exitVehicle", "12", 3, "0/0/0") +
                  Ev("spawnEvent", "13", 5, "1500/0/1300", {{"team", "2"}}) + Ev("pickupKit", "14", 3, "1300/0/1000") +
                  Ev("pickupKit", "30", 5, "1450/0/1250")));
    TReplay r(log, "ZOOM=1000\r\n", BayObjects);
    TTarvelMain& w = r.window;
    w.SetDrawThreadEnabled(false);
    w.MapTools().ApplyCalibration({300, 400, 20, -30}); // another map's values
    w.CBAnimate->setChecked(false);          // markers stand where their events put them
    const std::string settings = w.ProgramFiles().Settings().Text();
    r.Select(0);
    ASSERT_TRUE(w.MapPictureMissing());
    const TCalibration fit = w.MapTools().FitToRound();
    EXPECT_EQ(w.Calibration(), fit);
    EXPECT_EQ(w.LeftMargin(), fit.Left);
    EXPECT_EQ(w.TopMargin(), fit.Top);
    EXPECT_NE(fit, (TCalibration{300, 400, 20, -30}));
    // The first event is placed with it, as every later one.
    EXPECT_EQ(r.State(3).Image.Left, w.WorldToMapX(1200) + fit.Left - HalfStandIn);
    EXPECT_EQ(r.State(3).Image.Top, w.WorldToMapY(900) + fit.Top - HalfStandIn);
    EXPECT_EQ(w.ProgramFiles().Settings().Text(), settings); // not saved

    // "Save" stores it; from then on the map's saved values are taken, not a new fit.
    w.SetTrackBarPosition(w.TBLeft, fit.Left + 25);
    w.BSaveSettingsPerMapClick();
    EXPECT_EQ(w.ProgramFiles().Settings().Values("bay_LEFTMARGIN"), std::to_string(fit.Left + 25));
    EXPECT_EQ(w.ProgramFiles().Settings().Values("bay_SCALE"), std::to_string(fit.XScale));
    w.MapTools().ApplyCalibration({300, 400, 20, -30});
    r.Select(0);
    EXPECT_EQ(w.Calibration(), (TCalibration{fit.XScale, fit.YScale, fit.Left + 25, fit.Top}));

    // The tool shows the same: the fit, and a replay whose markers all stand on the drawn map.
    const std::string file = r.home.Dir.Write("log2.xml", log);
    r.home.Dir.Write("Tarvel.ini", "ZOOM=1000\r\n");
    const TToolRun fitted = RunOrnwickTool({"fit", file, "0", "--home", r.home.Dir.Path("")});
    EXPECT_EQ(fitted.out, CalibrationJson(fit, {}) + "\n") << fitted.err;
    const TToolRun replay = RunOrnwickTool({"replay", file, "0", "--home", r.home.Dir.Path("")});
    ASSERT_EQ(replay.status, 0) << replay.err;
    int markers = 0;
    for (size_t at = replay.out.find("\"marker\":["); at != std::string::npos;
         at = replay.out.find("\"marker\":[", at + 1)) {
        int left = 0, top = 0, width = 0, height = 0;
        ASSERT_EQ(std::sscanf(replay.out.c_str() + at, "\"marker\":[%d,%d,%d,%d]", &left, &top, &width, &height), 4);
        EXPECT_GE(left + width / 2, 30);
        EXPECT_LE(left + width / 2, 570);
        EXPECT_GE(top + height / 2, 30);
        EXPECT_LE(top + height / 2, 570);
        ++markers;
    }
    EXPECT_EQ(markers, 2);
}

TEST(CalibrateWindow, AMapWithoutPictureIsDrawnOnAGridAndTheViewItemRestoresTheOldFrame)
{
    const std::string log = Log(Round(Ev("spawnEvent", "10", 3, "200/0/100", {{"team", "1"}}) +
                                      Ev("pickupKit", "14", 3, "300/0/150") + Ev("pickupKit", "30", 3, "300/0/150")));
    const std::string ini = "ZOOM=1000\r\nbay_SCALE=1000\r\nbay_CORRECTIONY=1000\r\nbay_TOPMARGIN=0\r\nbay_LEFTMARGIN=0\r\n";
    {
        TReplay r(log, ini);
        TTarvelMain& w = r.window;
        w.SetDrawThreadEnabled(false);
        r.Select(0);
        EXPECT_TRUE(w.MapPictureMissing());
        EXPECT_TRUE(w.MapTools().LMissingMap->isVisibleTo(w.TabSheet4));
        EXPECT_EQ(w.MapTools().LMissingMap->Caption(), "Map picture: put bay.jpg or bay.bmp in images/");
        EXPECT_TRUE(w.MapTools().GridBackground1->isChecked());
        Frame(w);
        const QImage& bitmap = w.MapZoomImage->Picture();
        EXPECT_GT(Count(bitmap, GridGround), 300000);
        // One world unit a pixel: the line of X = 100 is column 100.
        EXPECT_EQ(bitmap.pixel(100, 250), GridLine);
        EXPECT_EQ(w.ProgramFiles().Settings().IndexOfName("GridBackground"), -1); // untouched, nothing written

        // Switched off: white where the grid was, the frame drawn over it as before.
        w.MapTools().GridBackground1->setChecked(false);
        EXPECT_EQ(w.ProgramFiles().Settings().Values("GridBackground"), "false");
        EXPECT_TRUE(w.LayoutChanged());
        w.DrawMap();
        QImage reference = Filled(600, 600, qRgb(255, 255, 255));
        TFrameCanvas canvas;
        DrawPlainFrame(w, canvas, reference);
        EXPECT_EQ(Count(w.MapZoomImage->Picture(), GridGround), 0);
        EXPECT_TRUE(w.MapZoomImage->Picture() == reference);
        w.MapTools().GridBackground1->setChecked(true);
        EXPECT_EQ(w.ProgramFiles().Settings().Values("GridBackground"), "true");
        w.DrawMap();
        EXPECT_GT(Count(w.MapZoomImage->Picture(), GridGround), 300000);
    }
    {
        // Off in the settings: every frame is the old one, the last frame left under the next.
        TReplay r(log, ini + "GridBackground=false\r\n");
        TTarvelMain& w = r.window;
        w.SetDrawThreadEnabled(false);
        EXPECT_FALSE(w.MapTools().GridBackground1->isChecked());
        r.Select(0);
        QImage reference = Filled(600, 600, qRgb(255, 255, 255));
        TFrameCanvas canvas;
        for (int frame = 0; frame < 3; ++frame) {
            Frame(w);
            DrawPlainFrame(w, canvas, reference);
            EXPECT_TRUE(w.MapZoomImage->Picture() == reference) << frame;
            r.Ticks(20); // Anna walks on
        }
    }
    {
        // A map with its picture never gets the grid.
        TReplay r(log, ini);
        SaveBmp(Filled(600, 600, qRgb(30, 90, 30)), r.home.Dir.Path("images/bay.bmp"));
        r.window.SetDrawThreadEnabled(false);
        r.Select(0);
        EXPECT_FALSE(r.window.MapPictureMissing());
        EXPECT_FALSE(r.window.MapTools().LMissingMap->isVisibleTo(r.window.TabSheet4));
        Frame(r.window);
        EXPECT_EQ(r.window.MapZoomImage->Picture().pixel(100, 250), qRgb(30, 90, 30));
    }
}

// ------------------------------------------------------------- ornwick calibrate, ornwick fit

namespace {

struct TCalibrateHome {
    TCalibrateHome()
    {
        std::filesystem::create_directory(home.Dir.Path("images"));
        EXPECT_TRUE(Filled(600, 400, qRgb(0, 0, 0)).save(QString::fromStdString(home.Dir.Path("images/bay.jpg")), "JPG"));
        home.Dir.Write("Tarvel.ini", Ini);
    }
    TToolRun Calibrate(std::vector<std::string> options) const
    {
        std::vector<std::string> args{"calibrate", "bay", "--home", home.Dir.Path("")};
        args.insert(args.end(), options.begin(), options.end());
        return RunOrnwickTool(args);
    }
    static std::string Ref(const TCalibration& c, int height, double x, double z)
    {
        return JsonNumber(x) + "," + JsonNumber(z) + "=" + std::to_string(CalibratedMapX(c, x)) + "," +
               std::to_string(CalibratedMapY(c, height, z));
    }
    static constexpr char Ini[] = "admin=true\r\nfoo=bar\r\nbay_SCALE=1\r\nZOOM=1000\r\n";
    TSeparatorScope point{'.'};
    THome home;
};

} // namespace

TEST(CalibrateCommand, PrintsTheValuesAndErrorsAndSavesThemAsSaveDoes)
{
    TCalibrateHome h;
    const TCalibration truth{150, 130, 20, -10};
    const std::vector<std::string> refs{"--ref", TCalibrateHome::Ref(truth, 400, 100, 200),
                                        "--ref", TCalibrateHome::Ref(truth, 400, 4000, 3900),
                                        "--ref", TCalibrateHome::Ref(truth, 400, 2500.5, 600)};
    TToolRun run = h.Calibrate(refs);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, CalibrationJson(truth, {0, 0, 0}) + "\n");
    EXPECT_EQ(ReadFileBytes(h.home.Ini()), TCalibrateHome::Ini);

    // Another height moves the top offset by the difference; a pair a pixel off shows its error.
    std::vector<std::string> taller = refs;
    taller.insert(taller.end(), {"--picture-height", "1000"});
    run = h.Calibrate(taller);
    EXPECT_EQ(run.out, CalibrationJson({150, 130, 20, -610}, {0, 0, 0}) + "\n");
    std::vector<std::string> off = refs;
    off.insert(off.end(), {"--ref", "1000,1000=171,260"}); // it lies at (170, 260)
    run = h.Calibrate(off);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("\"residuals\":[0,0,0,1]"), std::string::npos) << run.out;

    std::vector<std::string> saving = refs;
    saving.push_back("--save");
    run = h.Calibrate(saving);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(h.home.Ini()), "admin=true\r\nfoo=bar\r\nbay_SCALE=150\r\nZOOM=1000\r\n"
                                           "bay_CORRECTIONY=130\r\nbay_TOPMARGIN=-10\r\nbay_LEFTMARGIN=20\r\n");
    // The window reads them back for the map.
    TTarvelMain window(h.home.Exe());
    window.SetStopReplayWait(0);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("bay_TOPMARGIN"), "-10");
}

TEST(CalibrateCommand, TooFewDegenerateOrBadPairsExitTwoNamingTheProblem)
{
    TCalibrateHome h;
    struct TCase {
        std::vector<std::string> options;
        std::string says;
    };
    const TCase cases[] = {
        {{"--ref", "100,100=10,10", "--save"}, "X and Y"},
        {{"--ref", "100,100=10,10", "--ref", "100,900=60,200", "--save"}, "Cannot determine the X axis"},
        {{"--ref", "100,100=10,300", "--ref", "900,900=60,305"}, "Cannot determine the Y axis"},
        {{"--ref", "100,100=10"}, "--ref needs X,Z=PX,PY"},
        {{"--ref", "a,100=10,10"}, "'a,100=10,10'"},
        {{"--ref", "1,2=3,4", "--picture-height", "0"}, "--picture-height"},
    };
    for (const TCase& c : cases) {
        const TToolRun run = h.Calibrate(c.options);
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(ReadFileBytes(h.home.Ini()), TCalibrateHome::Ini) << c.says;
    }
    // A map without a picture needs its height.
    const TToolRun none =
        RunOrnwickTool({"calibrate", "nomap", "--home", h.home.Dir.Path(""), "--ref", "0,0=0,0", "--ref", "500,500=100,100"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("nomap.jpg"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find("--picture-height"), std::string::npos) << none.err;
    const TToolRun given = RunOrnwickTool({"calibrate", "nomap", "--home", h.home.Dir.Path(""), "--ref", "0,0=0,500",
                                           "--ref", "500,500=100,400", "--picture-height", "500"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(RunOrnwickTool({"calibrate"}).status, 2);
}

TEST(FitCommand, PrintsTheFitOfTheRoundsPlacesOrSaysThereAreNone)
{
    TCalibrateHome h;
    const std::string log = h.home.Dir.Write(
        "log.xml", Log(Round(Ev("spawnEvent", "10", 3, "200/0/100", {{"team", "1"}}) +
                             Ev("pickupKit", "14", 3, "1300/0/650") + Ev("pickupKit", "30", 3, "700/0/900")) +
                       Round(Ev("spawnEvent", "10", 3, "0/0/0", {{"team", "1"}}) + Ev("pickupKit", "30", 3, "0/0/0"))));
    const TToolRun run = RunOrnwickTool({"fit", log, "0", "--home", h.home.Dir.Path("")});
    EXPECT_EQ(run.status, 0) << run.err;
    // The picture is 400 high.
    EXPECT_EQ(run.out, CalibrationJson(FitCalibration({{200, 100}, {1300, 650}, {700, 900}}, 400), {}) + "\n");
    const TToolRun none = RunOrnwickTool({"fit", log, "1", "--home", h.home.Dir.Path("")});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("No position"), std::string::npos) << none.err;
    EXPECT_EQ(RunOrnwickTool({"fit", log}).status, 2);
}
