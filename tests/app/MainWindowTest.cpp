// The main window as the program builds it: its control tree, what FormCreate takes from the
// files beside the program, the recent-file item, the anchored map view and error messages.
#include "WindowTestUtil.h"
#include "app/OpenDialog.h"
#include "app/Startup.h"
#include "app/mapview/ExportMenu.h"
#include "base/Errors.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

constexpr int Auto = -1; // a label's size follows its caption

struct TControl {
    const char* name;
    const char* kind; // a Qt class the control must be
    const char* parent;
    int x, y, w, h;
    const char* caption;
    const char* hint;
};

// Written from the window's design, not from the code that builds it.
const TControl Controls[] = {
    {"PageControl1", "QTabWidget", "TarvelMain", Auto, Auto, Auto, Auto, "", ""},
    {"TabSheet2", "QWidget", "PageControl1", Auto, Auto, Auto, Auto, "Plotline", ""},
    {"Label7", "QLabel", "TabSheet2", 384, 16, Auto, Auto, "Timeline", ""},
    {"LTime", "QLabel", "TabSheet2", 432, 16, Auto, Auto, "0", ""},
    {"Label12", "QLabel", "TabSheet2", 456, 16, Auto, Auto, "0", ""},
    {"TBTime", "QSlider", "TabSheet2", 376, 40, 617, 29, "", ""},
    {"ScoreBord", "QTreeWidget", "TabSheet2", 8, 0, 355, 305, "", "Click on player to track"},
    {"ScrollBox1", "QScrollArea", "TabSheet2", 384, 69, 464, 587, "", ""},
    // Without a "ZOOM" setting start-up zooms to 500: a map of 300 x 300.
    {"MapZoomImage", "TImage", "ScrollBox1", -8, 0, 300, 300, "", ""},
    {"PCMainInfo", "QTabWidget", "TabSheet2", 8, 328, 369, 353, "", ""},
    {"TabSheet5", "QWidget", "PCMainInfo", Auto, Auto, Auto, Auto, "Player", ""},
    {"Button2", "QPushButton", "TabSheet5", 8, 8, 57, 25, "Open log", ""},
    {"BitBtn1", "QPushButton", "TabSheet5", 74, 8, 63, 25, "Stop", ""},
    {"Button1", "QPushButton", "TabSheet5", 144, 8, 65, 25, "Continue", ""},
    {"CBAnimate", "QCheckBox", "TabSheet5", 232, 8, 57, 17, "Animate",
     "We calculate animation but its calculated so its not real"},
    {"ShowHitLines", "QCheckBox", "TabSheet5", 232, 24, 89, 17, "Show hit lines",
     "Show who is going to kill who the round dot means that guy is going down"},
    {"ShowFlags", "QCheckBox", "TabSheet5", 232, 40, 97, 17, "Show flags", "Show flags on map"},
    {"CBKillINfo", "QCheckBox", "TabSheet5", 232, 56, 97, 15, "Show kill info", "Show killinfo on map"},
    {"CBShowobjects", "QCheckBox", "TabSheet5", 232, 71, 97, 15, "Show objects", "Show killinfo on map"},
    {"Label6", "QLabel", "TabSheet5", 12, 56, Auto, Auto, "double click on the round u want to see", ""},
    {"ListBox1", "QListWidget", "TabSheet5", 11, 72, 206, 121, "", "Load a file first (use file open log)"},
    {"Label1", "QLabel", "TabSheet5", 218, 88, Auto, Auto, "Speed", ""},
    {"TrackBar1", "QSlider", "TabSheet5", 220, 112, 29, 168, "", "Speed that the war is played back"},
    {"Label10", "QLabel", "TabSheet5", 264, 88, Auto, Auto, "Time to see line", ""},
    {"TBTimeToSeeLine", "QSlider", "TabSheet5", 264, 112, 45, 169, "", "Shows the kill lines sooner or later in time"},
    {"TabSheet3", "QWidget", "PCMainInfo", Auto, Auto, Auto, Auto, "Admin",
     "Here u can adjust map propertys dont forget to save"},
    {"Label9", "QLabel", "TabSheet3", 8, 16, Auto, Auto, "&Left", ""},
    {"TBLeft", "QSlider", "TabSheet3", 32, 16, 254, 33, "", "Set events left margin on map"},
    {"Label8", "QLabel", "TabSheet3", 296, 8, Auto, Auto, "&Top", ""},
    {"TBTop", "QSlider", "TabSheet3", 304, 32, 33, 278, "", "Set events top margin on map"},
    {"TBXas", "QSlider", "TabSheet3", 32, 48, 249, 25, "", "Used to scale the events on map."},
    {"Label13", "QLabel", "TabSheet3", 120, 80, Auto, Auto, "&X", ""},
    {"Label4", "QLabel", "TabSheet3", 136, 80, Auto, Auto, "2000", ""},
    {"TBYas", "QSlider", "TabSheet3", 272, 48, 25, 265, "", "Used to scale the events on map."},
    {"Label5", "QLabel", "TabSheet3", 256, 160, Auto, Auto, "&Y", ""},
    {"Label11", "QLabel", "TabSheet3", 240, 184, Auto, Auto, "2000", ""},
    {"BSaveSettingsPerMap", "QPushButton", "TabSheet3", 8, 160, 67, 25, "Save", ""},
    {"ReplayFromstart20Events", "QCheckBox", "TabSheet3", 8, 192, 145, 17, "ReplayFromstart50Events", ""},
    {"TabSheet4", "QWidget", "PCMainInfo", Auto, Auto, Auto, Auto, "Missing picture",
     "The pictures missing can be added or be redirected by the .map file"},
    {"Memo2", "QPlainTextEdit", "TabSheet4", 8, 16, 329, 361, "", ""},
    {"TabSheet6", "QWidget", "PCMainInfo", Auto, Auto, Auto, Auto, "Score logg", ""},
    {"Memo1", "QPlainTextEdit", "TabSheet6", Auto, Auto, Auto, Auto, "", ""},
    {"TSMinimap", "QWidget", "PCMainInfo", Auto, Auto, Auto, Auto, "Minimap", ""},
    {"Label3", "QLabel", "TSMinimap", 0, 0, Auto, Auto, "Hold mouse down and move over image to go to zoom array", ""},
    {"BigPicture", "TImage", "TSMinimap", 0, 16, 300, 300, "", ""},
    {"CBTrackPlayer", "QCheckBox", "TSMinimap", 304, 8, 54, 17, "Track", ""},
    {"Label2", "QLabel", "TSMinimap", 320, 48, Auto, Auto, "Zoom", ""},
    {"TBMApZoom", "QSlider", "TSMinimap", 316, 64, 37, 257, "", "Use mouseweel to zoom"},
};

QString CaptionOf(const QWidget& control)
{
    if (auto* label = qobject_cast<const QLabel*>(&control))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&control))
        return button->text();
    for (QWidget* parent = control.parentWidget(); parent; parent = parent->parentWidget())
        if (auto* pages = qobject_cast<QTabWidget*>(parent))
            return pages->indexOf(const_cast<QWidget*>(&control)) >= 0
                       ? pages->tabText(pages->indexOf(const_cast<QWidget*>(&control)))
                       : QString();
    return QString();
}

struct TBar {
    const char* name;
    Qt::Orientation orientation;
    int min, max, position, tick, page;
};

const TBar Bars[] = {
    {"TBTime", Qt::Horizontal, 0, 0, 0, 20, 2},
    {"TrackBar1", Qt::Vertical, 1, 1000, 1, 20, 2},
    {"TBTimeToSeeLine", Qt::Vertical, 1, 50, 10, 5, 2},
    {"TBLeft", Qt::Horizontal, -4000, 4000, 0, 1, 2},
    {"TBTop", Qt::Vertical, -4000, 4000, 0, 1, 2},
    {"TBXas", Qt::Horizontal, 10, 5000, 2000, 1, 1},
    {"TBYas", Qt::Vertical, 10, 5000, 2000, 1, 1},
    {"TBMApZoom", Qt::Vertical, 500, 10000, 500, 200, 2}, // "ZOOM" missing: 200, limited to 500
};

} // namespace

TEST(MainWindow, EveryControlHasItsNameKindParentPlaceCaptionAndHint)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    EXPECT_EQ(window.objectName(), "TarvelMain");
    for (const TControl& c : Controls) {
        SCOPED_TRACE(c.name);
        const auto all = window.findChildren<QWidget*>(QString::fromLatin1(c.name));
        ASSERT_EQ(all.size(), 1);
        const QWidget& control = *all.first();
        EXPECT_TRUE(control.inherits(c.kind)) << control.metaObject()->className();
        EXPECT_EQ(NamedParent(control), c.parent);
        if (c.x != Auto)
            EXPECT_EQ(control.pos(), QPoint(c.x, c.y));
        if (c.w != Auto)
            EXPECT_EQ(control.size(), QSize(c.w, c.h));
        EXPECT_EQ(CaptionOf(control), QString::fromLatin1(c.caption));
        EXPECT_EQ(control.toolTip(), QString::fromLatin1(c.hint));
    }

    // Pages in their order, "Player" shown first; the Plotline page is the only one.
    ASSERT_EQ(window.PageControl1->count(), 1);
    EXPECT_EQ(window.PageControl1->tabPosition(), QTabWidget::West);
    const QWidget* pages[] = {window.TabSheet5, window.TabSheet3, window.TabSheet4, window.TabSheet6,
                              window.TSMinimap};
    ASSERT_EQ(window.PCMainInfo->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(window.PCMainInfo->widget(i), pages[i]);
    EXPECT_EQ(window.PCMainInfo->currentWidget(), window.TabSheet5);

    // Labels size themselves to their caption; the mnemonic labels focus their bars.
    EXPECT_EQ(window.Label9->buddy(), window.TBLeft);
    EXPECT_EQ(window.Label8->buddy(), window.TBTop);
    EXPECT_GT(window.Label6->width(), window.Label1->width());

    // The window itself and its main menu: menu, item, caption, in order.
    EXPECT_EQ(window.windowTitle(), "Ornwick");
    EXPECT_EQ(window.size(), QSize(884, 716));
    EXPECT_EQ(window.font().pixelSize(), 11);
    QStringList menu;
    for (QAction* top : window.MainMenu1->actions())
        for (QAction* item : top->menu()->actions())
            // The Replay items with their keys: ReplayMenuTest; the View items: ViewMenuTest;
            // the Library items: LibraryWindowTest.
            if (top->menu() != window.Replay1 && top->menu() != window.View1 &&
                top->menu()->objectName() != "Library1")
                menu << top->menu()->objectName() + ' ' + top->text() + ": " + item->objectName() + ' ' + item->text();
    EXPECT_EQ(menu, QStringList({"File1 File: ParceXML1 Open log",
                                 "File1 File: ConvertzxmlLogtoxml1 Convert zxml Log to xml", "File1 File:  ",
                                 QString::fromUtf8("File1 File: ExportFrame1 Export frame\u2026"),
                                 QString::fromUtf8("File1 File: ExportVideo1 Export video\u2026"),
                                 QString::fromUtf8("Map1 Map: Calibrate1 Calibrate\u2026"),
                                 "Map1 Map: FitToRound1 Fit to round", "Map1 Map:  ",
                                 QString::fromUtf8("Map1 Map: ImportMap1 Import map\u2026"),
                                 QString::fromUtf8("Map1 Map: GameFolder1 Game folder\u2026"), "About1 Help: About2 About"}));
}

TEST(MainWindow, TrackBarsHaveTheirRangesPositionsTicksAndOrientation)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    for (const TBar& b : Bars) {
        SCOPED_TRACE(b.name);
        auto* bar = window.findChild<QSlider*>(QString::fromLatin1(b.name));
        ASSERT_TRUE(bar);
        EXPECT_EQ(bar->orientation(), b.orientation);
        EXPECT_EQ(bar->minimum(), b.min);
        EXPECT_EQ(bar->maximum(), b.max);
        EXPECT_EQ(bar->value(), b.position);
        EXPECT_EQ(bar->tickInterval(), b.tick);
        EXPECT_EQ(bar->pageStep(), b.page);
        // Vertical bars have their minimum at the top.
        EXPECT_EQ(bar->invertedAppearance(), b.orientation == Qt::Vertical);
        EXPECT_EQ(bar->tickPosition(), std::string(b.name) == "TBTime" ? QSlider::TicksAbove : QSlider::TicksBelow);
    }
    EXPECT_FALSE(window.TBTime->isEnabled());

    // Positions set by the program are clamped to the range; negative margins are allowed.
    window.TBLeft->setValue(-4000);
    EXPECT_EQ(window.TBLeft->value(), -4000);
    window.TBTop->setValue(-4001);
    EXPECT_EQ(window.TBTop->value(), -4000);
}

TEST(MainWindow, StartsWithItsDefaults)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    const std::pair<QCheckBox*, bool> boxes[] = {
        {window.CBAnimate, true},     {window.ShowHitLines, true},   {window.ShowFlags, true},
        {window.CBKillINfo, false},   {window.CBShowobjects, true},  {window.CBTrackPlayer, false},
        {window.ReplayFromstart20Events, false}};
    for (const auto& [box, checked] : boxes)
        EXPECT_EQ(box->isChecked(), checked) << box->objectName().toStdString();

    EXPECT_EQ(window.ListBox1->count(), 0);
    EXPECT_EQ(window.Timer1->objectName(), "Timer1");
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_EQ(window.Timer1->interval(), 1);
    EXPECT_EQ(window.OpenDialog1->Filter, "XML|*.xml|Compressed XML|*.zxml|All|*.zxml;*.xml");
    EXPECT_EQ(window.OpenDialog1->FilterIndex, 3);
    EXPECT_EQ(HintPause(), 0);

    // The scoreboard: eight columns, rows sorted by their first cell, whole rows selected.
    const char* columns[] = {"Team", "Player", "D", "C", "K", "D", "F", "TK"};
    const int widths[] = {50, 150, 25, 25, 25, 25, 25, 30};
    ASSERT_EQ(window.ScoreBord->columnCount(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(window.ScoreBord->headerItem()->text(i), columns[i]);
        EXPECT_EQ(window.ScoreBord->columnWidth(i), widths[i]);
    }
    EXPECT_EQ(window.ScoreBord->selectionBehavior(), QAbstractItemView::SelectRows);
    for (const char* name : {"b", "c", "a"})
        new QTreeWidgetItem(window.ScoreBord, QStringList{name});
    EXPECT_EQ(window.ScoreBord->topLevelItem(0)->text(0), "a");

    // The minimap holds a 20 x 20 placeholder, stretched; the map view has taken the zoom's size.
    EXPECT_EQ(window.BigPicture->Picture().size(), QSize(20, 20));
    EXPECT_EQ(window.MapZoomImage->Picture().size(), QSize(300, 300));
    EXPECT_TRUE(window.BigPicture->Stretch());
}

TEST(MainWindow, AdminPagesShowOnlyForTheExactValueTrue)
{
    const std::pair<const char*, bool> cases[] = {
        {nullptr, false},
        {"admin=true\r\n", true},
        {"Admin=true\r\n", true},
        {"ADMIN=true\r\n", true},
        {"admin=TRUE\r\n", false},
        {"admin=yes\r\n", false},
        {"admin=false\r\nadmin=true\r\n", false}, // the first line of that name counts
    };
    for (const auto& [ini, shown] : cases) {
        SCOPED_TRACE(ini ? ini : "no Tarvel.ini");
        THome home;
        if (ini)
            home.Dir.Write("Tarvel.ini", ini);
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        for (QWidget* page : {window.TabSheet3, window.TabSheet4, window.TabSheet6})
            EXPECT_EQ(window.PCMainInfo->isTabVisible(window.PCMainInfo->indexOf(page)), shown);
        EXPECT_TRUE(window.PCMainInfo->isTabVisible(window.PCMainInfo->indexOf(window.TabSheet5)));
        EXPECT_TRUE(window.PCMainInfo->isTabVisible(window.PCMainInfo->indexOf(window.TSMinimap)));
        EXPECT_EQ(window.PCMainInfo->currentWidget(), window.TabSheet5);
    }
}

TEST(MainWindow, ReadsTheFilesBesideTheProgramAndWritesNone)
{
    THome home;
    const std::string ini = "; kept as written\r\nadmin=true\r\nbramble_bay_SCALE=500\r\n";
    home.Dir.Write("Tarvel.ini", ini);
    home.Dir.Write("Tarvel.map", "AxisScout=scout\r\nJeep=jeep2\r\n");
    {
        TErrorCapture errors;
        TTarvelMain window(home.Exe());
        window.SetStopReplayWait(0);
        EXPECT_EQ(window.ProgramFiles().Settings().Lines,
                  (std::vector<std::string>{"; kept as written", "admin=true", "bramble_bay_SCALE=500"}));
        EXPECT_EQ(window.ProgramFiles().PictureMap().Values("jeep"), "jeep2");
        EXPECT_TRUE(TTarvelMainTest::SettingsRead(window));
        EXPECT_TRUE(errors.Messages.empty());
    }
    EXPECT_EQ(ReadFileBytes(home.Ini()), ini);

    THome bare;
    {
        TTarvelMain window(bare.Exe());
        window.SetStopReplayWait(0);
        EXPECT_EQ(window.ProgramFiles().Settings().Count(), 0);
        EXPECT_EQ(window.ProgramFiles().PictureMap().Count(), 0);
    }
    EXPECT_FALSE(PathExists(bare.Ini()));
}

TEST(MainWindow, LastOpenFileBecomesOneItemAtTheEndOfTheFileMenu)
{
    THome home;
    const std::string log = home.Dir.Write("Tom&Jerry.xml", "<?xml version=\"1.0\"?>\n<bf:log/>\n");
    home.Dir.Write("Tarvel.ini", "LastOpen1=" + log + "\r\n");
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    int dialogs = 0;
    window.OpenDialog1->ExecuteHook = [&](TOpenDialog&) { return ++dialogs, false; };

    const auto items = window.File1->actions();
    ASSERT_EQ(items.size(), 6); // the export items stay after it
    QAction* recent = items[2];
    EXPECT_TRUE(items[3]->isSeparator());
    EXPECT_EQ(items[4], window.ExportMenu().ExportFrame1);
    // The caption is the file name as it is, "&" included.
    EXPECT_EQ(QString(recent->text()).replace(QStringLiteral("&&"), QStringLiteral("&")), QFile::decodeName(log.c_str()));

    window.PCMainInfo->setCurrentWidget(window.TSMinimap);
    recent->trigger();
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(window.LogFileName(), log);
    EXPECT_EQ(TTarvelMainTest::Document(window).FirstChild()->Name(), "?xml");
    EXPECT_EQ(window.PCMainInfo->currentWidget(), window.TabSheet5);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), log);

    // A missing recent file is reported; an empty value makes no item.
    std::filesystem::remove(log);
    recent->trigger();
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"Cannot open file " + log});
    THome other;
    other.Dir.Write("Tarvel.ini", "LastOpen1=\r\n");
    EXPECT_EQ(TTarvelMain(other.Exe()).File1->actions().size(), 5);
}

TEST(MainWindow, MapViewAndTimeLineTakeWhatTheWindowGainsAndNothingMovesAtTheDesignedSize)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.show();
    QApplication::processEvents();
    // The program's own controls; Qt's helpers inside them are not the layout's.
    std::map<const QWidget*, QRect> designed;
    for (const QWidget* w : window.findChildren<QWidget*>())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QStringLiteral("qt_")))
            designed[w] = w->geometry();
    ASSERT_GT(designed.size(), 60u);
    // Wider: the map view follows the right edge; the time line, whose end lies past the page,
    // only once the map view has grown past that end.
    window.resize(1084, 716);
    QApplication::processEvents();
    EXPECT_EQ(window.ScrollBox1->geometry(), QRect(384, 69, 664, 587));
    EXPECT_EQ(window.TBTime->geometry(), QRect(376, 40, 680, 29));
    window.resize(900, 716);
    QApplication::processEvents();
    EXPECT_EQ(window.TBTime->geometry(), QRect(376, 40, 617, 29));
    // Taller: the map view takes the height, and so do the pages below the scoreboard (the
    // minimap's room); the rest stays.
    window.resize(884, 900);
    QApplication::processEvents();
    EXPECT_EQ(window.ScrollBox1->geometry(), QRect(384, 69, 464, 771));
    EXPECT_EQ(window.PCMainInfo->geometry(), QRect(8, 328, 369, 537));
    EXPECT_EQ(window.ScoreBord->geometry(), QRect(8, 0, 355, 305));
    // A large screen: the time line ends within the page, as far from the map view's edge as it
    // begins before it.
    window.resize(1920, 1050);
    QApplication::processEvents();
    EXPECT_EQ(window.ScrollBox1->geometry(), QRect(384, 69, 1500, 921));
    EXPECT_EQ(window.TBTime->geometry(), QRect(376, 40, 1516, 29));
    EXPECT_LE(window.TBTime->geometry().right(), window.TabSheet2->width());
    // Smaller than designed: only the map view's width follows, as before.
    window.resize(700, 600);
    QApplication::processEvents();
    EXPECT_EQ(window.ScrollBox1->geometry(), QRect(384, 69, 280, 587));
    EXPECT_EQ(window.TBTime->geometry(), QRect(376, 40, 617, 29));
    // Back at the designed size every control stands where it stood.
    window.resize(884, 716);
    QApplication::processEvents();
    for (const auto& [w, geometry] : designed)
        EXPECT_EQ(w->geometry(), geometry) << w->objectName().toStdString();

    // The scroll range reaches the far edges of the map picture.
    window.MapZoomImage->setGeometry(0, 0, 1000, 800);
    EXPECT_EQ(window.ScrollBox1->horizontalScrollBar()->maximum(), 1000 - window.ScrollBox1->viewport()->width());
    window.MapZoomImage->setGeometry(-8, 0, 105, 105);
    EXPECT_EQ(window.ScrollBox1->horizontalScrollBar()->maximum(), 0);
}

TEST(MainWindow, AnErrorIsShownInAMessageBoxAndTheProgramGoesOn)
{
    TErrorSink previous = SetErrorSink(nullptr);
    InstallMessageBoxErrorSink();
    QString shown;
    bool handled = true;
    const bool boxShown = WithModal([&] { handled = RunHandler([] { throw EFOpenError("/no/such.xml"); }); },
                                    [&](QWidget& modal) {
                                        auto* box = qobject_cast<QMessageBox*>(&modal);
                                        ASSERT_TRUE(box);
                                        shown = box->text();
                                        box->accept();
                                    });
    SetErrorSink(std::move(previous));
    EXPECT_TRUE(boxShown);
    EXPECT_FALSE(handled);
    EXPECT_EQ(shown, "Cannot open file /no/such.xml");

    // File names in messages are bytes: UTF-8 where valid, else each byte a character.
    EXPECT_EQ(ErrorMessageText("Cannot open file caf\xC3\xA9.xml"), QString::fromUtf8("Cannot open file café.xml"));
    EXPECT_EQ(ErrorMessageText("Cannot open file caf\xE9.xml"), QString::fromLatin1("Cannot open file caf\xE9.xml"));
}
