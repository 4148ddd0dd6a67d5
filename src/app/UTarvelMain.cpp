// The main window's shell: construction, FormCreate, the recent-file item's click and the About
// window. Opening logs is in src/app/log/OpenLog.cpp.
#include "app/UTarvelMain.h"

#include "app/OpenDialog.h"
#include "app/mapview/MapPictures.h"
#include "app/RecentLogs.h"
#include "app/library/LibraryMenu.h"
#include "app/mapview/ExportMenu.h"
#include "app/mapview/ViewMenu.h"
#include "app/UAboutForm.h"
#include "app/replay/ReplayMenu.h"
#include "app/replay/RoundStatsForm.h"
#include "base/ErrorReporting.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "settings/ProgramFolder.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QListWidget>
#include <QSlider>
#include <QTreeWidget>
#include <QTimer>
#include <QMenu>
#include <QPushButton>
#include <QApplication>
#include <QMouseEvent>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QTextDocument>
#include <QScrollBar>
#include <QStandardPaths>
#include <QThread>
#include <QWheelEvent>
#include <QScreen>
#include <QTabWidget>

#include <algorithm>

namespace {

// The designed size of the window, at which every control stands where it was designed.
// Anchored controls keep their distance to the right edge; what the window has beyond the
// designed height goes to the map view.
constexpr int DesignWidth = 884;
constexpr int DesignHeight = 716;
constexpr int ScrollBox1DesignWidth = 464;
constexpr int ScrollBox1DesignHeight = 587;
constexpr int PCMainInfoDesignHeight = 353;
constexpr int TBTimeDesignWidth = 617;

} // namespace

TTarvelMain::TTarvelMain(const std::string& exeName, QWidget* parent)
    : QMainWindow(parent), FFiles(exeName), FSettings(FFiles.SettingsFile()), FPictureMap(FFiles.PictureMap()),
      FReplay(FFiles, TPlayerList()), FRoster(FReplay.Roster()), FMapImage(FReplay.Map().Picture()),
      FMapName(FReplay.Map().MapName())
{
    CreateControls();
    if (QScreen* screen = this->screen())
        move(screen->geometry().center() - QPoint(width() / 2, height() / 2));
    ConnectHandlers();
    ConnectReplay();
    // An error here is reported and the window opens all the same, with the steps done so far.
    RunHandler([this] { FormCreate(); });
}

TTarvelMain::~TTarvelMain() { FormDestroy(); }

void TTarvelMain::FormShow(const std::vector<std::string>& arguments)
{
    if (arguments.empty() || arguments[0].empty())
        return;
    OpenLog(arguments[0]);
    if (arguments.size() < 2 || arguments[1].empty())
        return;
    // Only the six plain digits name a round; "00" or "6" replay nothing.
    const std::string& text = arguments[1];
    const int index = text.size() == 1 && text[0] >= '0' && text[0] <= '5' ? text[0] - '0' : -1;
    if (index < ListBox1->count()) {
        ListBox1->setCurrentRow(index);
        ListBox1DblClick();
    }
}

void TTarvelMain::FormCloseQuery()
{
    StopReplay();
    QCoreApplication::processEvents();
}

void TTarvelMain::closeEvent(QCloseEvent* event)
{
    // During a background load the load is cancelled first; the window closes once it ended.
    if (FBackgroundLoad.CloseAfterLoad()) {
        event->ignore();
        return;
    }
    RunHandler([this] { FormCloseQuery(); });
    event->accept();
}

void TTarvelMain::FormDestroy()
{
    if (FDestroyed)
        return;
    FDestroyed = true;
    // The draw thread may be waiting for a frame; it ends before anything it draws goes.
    if (FDrawThread) {
        FDrawThread->SetRunning(false);
        QThread::msleep(50);
        StopDrawThread();
    }
    FMapImports->JoinCancelledImports();
    FMapImage.SetPicture(QImage());
    // A settings list that was never read would wipe the user's file.
    if (FWritesSettings && FSettings.WasRead())
        RunHandler([this] { WriteSettings(); });
    // The scoreboard's rows point at the states; they go first.
    ScoreBord->clear();
    ClearReplayState();
}

void TTarvelMain::WriteSettings() { FSettings.Save(); }

void TTarvelMain::ConnectHandlers()
{
    connect(ParceXML1, &QAction::triggered, this, [this] { RunHandler([this] { ParceXML1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { RunHandler([this] { ParceXML1Click(); }); });
    connect(ConvertzxmlLogtoxml1, &QAction::triggered, this,
            [this] { RunHandler([this] { ConvertzxmlLogtoxml1Click(); }); });
    connect(About2, &QAction::triggered, this, [this] { RunHandler([this] { About2Click(); }); });
    connect(BSaveSettingsPerMap, &QPushButton::clicked, this,
            [this] { RunHandler([this] { BSaveSettingsPerMapClick(); }); });
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { RunHandler([this] { ListBox1DblClick(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { RunHandler([this] { BitBtn1Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { RunHandler([this] { Button1Click(); }); });
    connect(Timer1, &QTimer::timeout, this, [this] { RunHandler([this] { Timer1Timer(); }); });
    // A user's move runs the bar's handler; program code goes through SetTrackBarPosition.
    for (QSlider* bar : {TrackBar1, TBXas, TBYas, TBLeft, TBTop})
        connect(bar, &QSlider::valueChanged, this, [this, bar] { RunHandler([this, bar] { RunTrackBarHandler(bar); }); });
    FScoreBordRows = std::make_unique<TScoreBordRows>(*this);
    FReplayMenu = new TReplayMenu(*this);
    FRoundStatsForm = new TRoundStatsForm(*this);
    // The replay's options are written as the user sets them.
    connect(CBAnimate, &QCheckBox::toggled, this, [this](bool on) {
        FReplay.Options().animate = on;
        FReplay.Session().SettingChanged();
    });
    connect(ReplayFromstart20Events, &QCheckBox::toggled, this, [this](bool on) {
        FReplay.Options().loop = on;
        FReplay.Session().SettingChanged();
    });
    FViewMenu = std::make_unique<TViewMenu>(*this, FView, FSettings);
    FMapTools = std::make_unique<TMapTools>(*this, TMapToolsAccess{FSettings, FView, [this] { FFrameCanvas.Invalidate(); }});
    FMapImports = std::make_unique<TMapImports>(*this, FSettings);
    FViewMenu->CreateZoomItems();
    FLogNote = std::make_unique<TLogNote>(*this);
    FRecentLogs = new TRecentLogs(*this, FSettings);
    FLibraryMenu = new TLibraryMenu(*this, FSettings); // after the recent logs: it sees a drop first
    connect(TBMApZoom, &QSlider::valueChanged, this, [this] {
        FUserZoomed = true; // the program's own moves send no signal
        RunHandler([this] { RunTrackBarHandler(TBMApZoom); });
    });
    FMissingPictures = new TMissingPictureList(*Memo2);
    BigPicture->installEventFilter(this);
    qApp->installEventFilter(this);
    // Labels are drawn without smoothing, so a frame knows every pixel it touched.
    FFrameFont = FrameFont();
}

bool TTarvelMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* wheel = static_cast<QWheelEvent*>(event);
        // A real wheel event that a child leaves is passed up to its parents as one event
        // object, and a scroll area hands the event it got on to its scroll bar: either way
        // one turn of the wheel zooms once. Each new event zooms, however close in time.
        const bool passedUp = wheel->spontaneous() && event == FWheelPassedUp && wheel->timestamp() == FLastWheel;
        const bool handedOn = !wheel->spontaneous() && qobject_cast<QScrollBar*>(watched);
        if (widget && widget->window() == this && !passedUp && !handedOn) {
            FLastWheel = wheel->timestamp();
            if (wheel->spontaneous()) {
                FWheelPassedUp = event;
                QTimer::singleShot(0, this, [this] { FWheelPassedUp = nullptr; });
            }
            RunHandler([this, wheel] { FormMouseWheel(wheel->angleDelta().y()); });
        }
    } else if (watched == BigPicture) {
        auto position = [event] { return static_cast<QMouseEvent*>(event)->position().toPoint(); };
        if (event->type() == QEvent::MouseButtonPress)
            RunHandler([&] { ScrollBox2MouseDown(position().x(), position().y()); });
        else if (event->type() == QEvent::MouseMove)
            RunHandler([&] { BigPictureMouseMove(position().x(), position().y()); });
        else if (event->type() == QEvent::MouseButtonRelease)
            RunHandler([this] { ScrollBox2MouseUp(); });
    } else if (watched == MapZoomImage && FMapTools->MapViewMouse(event)) {
        return true; // a click for the calibration window, which shows
    }
    return QMainWindow::eventFilter(watched, event);
}

void TTarvelMain::FormCreate()
{
    // The document and the lists exist with the window, empty; the map picture stretches.
    FMapImage.Stretch = true;
    FDrawThread = std::make_unique<TDrawTread>(this, [this] { RunHandler([this] { DrawMap(); }); });

    FFiles.ReadFiles();
    FViewMenu->ReadSettings();
    FMapTools->ReadSettings();

    // The value is compared exactly: "TRUE" keeps the pages hidden.
    const bool admin = FSettings.Values("admin") == "true";
    for (QWidget* page : {TabSheet3, TabSheet4, TabSheet6})
        PCMainInfo->setTabVisible(PCMainInfo->indexOf(page), admin);
    PCMainInfo->setCurrentWidget(TabSheet5);

    const int designed = FZoom;
    SetZoom(StartZoom(FSettings.List()));
    // The map view takes the zoom's size from the start, also when the zoom stays as designed.
    if (FZoom == designed)
        TBMApZoomChange();

    FRecentLogs->AddRecentFileItems();

    SetHintPause(0);
}

void TTarvelMain::GoToFileClick(QObject* sender)
{
    std::string fileName = FLogFileName;
    if (auto* item = qobject_cast<QAction*>(sender)) {
        const QByteArray bytes = item->data().toByteArray();
        fileName = (bytes.isEmpty() ? QFile::encodeName(item->text()) : bytes).toStdString();
    }
    OpenLog(fileName);
}

void TTarvelMain::About2Click()
{
    TAboutForm form(this, FFiles.ExeName());
    form.exec();
}

void TTarvelMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    PlaceAnchoredControls();
}

bool TTarvelMain::MapViewLargerThanDesigned() const
{
    const int frame = 2 * ScrollBox1->frameWidth();
    const QSize designed(ScrollBox1DesignWidth - frame, ScrollBox1DesignHeight - frame);
    const QSize view = ScrollBox1->size() - QSize(frame, frame);
    return view.width() > designed.width() || view.height() > designed.height();
}

void TTarvelMain::PlaceAnchoredControls()
{
    // ScrollBox1 is anchored left, top and right: it grows and shrinks with the window's width.
    const int taller = std::max(0, height() - DesignHeight);
    ScrollBox1->resize(std::max(0, ScrollBox1DesignWidth + width() - DesignWidth), ScrollBox1DesignHeight + taller);
    // The pages below the scoreboard reach down to the window's bottom as designed, and the
    // minimap on its page takes the room a taller window gives.
    PCMainInfo->resize(PCMainInfo->width(), PCMainInfoDesignHeight + taller);
    const QSize room = MinimapRoom();
    const TMinimapSize minimap = MinimapSize(FMapImage.Width, FMapImage.Height, room.width(), room.height());
    if (FMapDrawn && (minimap.Width != FMinimap.Width || minimap.Height != FMinimap.Height))
        ShowMinimap();
    // The time line as designed reaches past the page's edge; once the map view grows past its
    // end, it spans the map view, reaching as far beyond its right edge as it starts before it.
    const int spanned = ScrollBox1->width() + 2 * (ScrollBox1->x() - TBTime->x());
    TBTime->resize(std::max(TBTimeDesignWidth, spanned), TBTime->height());
}

QSize TTarvelMain::MinimapRoom() const
{
    return {MinimapDesignedRoom, MinimapDesignedRoom + std::max(0, PCMainInfo->height() - PCMainInfoDesignHeight)};
}
