#pragma once

// The main window: the controls of the designed program, the handlers that drive the model's
// objects (the round replay, which holds the session, the map and the roster; the program's
// files) and the values the controls show (the open log, the zoom). What later additions brought
// (menus, the notice, imports, exports, the map tools) are classes of their own that the window
// holds, one accessor each. Its member functions live in the window's folder of their subsystem:
//   src/app/          control tree, start-up and the shell's handlers (UTarvelMain*.cpp)
//   src/app/log/      opening logs and selecting a round
//   src/app/replay/   player state, events, replay clock, scoreboard
//   src/app/mapview/  pictures, map objects, drawing, minimap and zoom
// Controls are public and carry the names the handlers and the rest of the program use; each
// is also the Qt object name. Every handler that a signal reaches runs through RunHandler, so
// an error ends only the action it happened in.

#include "app/Controls.h"
#include "app/log/BackgroundLoad.h"
#include "app/mapview/MapImports.h"
#include "app/log/LogNote.h"
#include "app/mapview/MapTools.h"
#include "app/replay/ScoreBordRows.h"
#include "base/TextList.h"
#include "log/EventInfo.h"
#include "log/LogLoader.h"
#include "log/PlayerList.h"
#include "mapview/Calibration.h"
#include "frame/FrameDrawing.h"
#include "mapview/GridBackground.h"
#include "mapview/MapZoom.h"
#include "mapview/MapObject.h"
#include "mapview/Minimap.h"
#include "mapview/PictureHolder.h"
#include "mapview/RoundMap.h"
#include "settings/ProgramFolder.h"
#include "mapview/UDrawTread.h"
#include "mapview/ViewOptions.h"
#include "replay/LookAhead.h"
#include "replay/MarkerPath.h"
#include "replay/PlayerStates.h"
#include "replay/RoundStats.h"
#include "replay/ReplaySession.h"
#include "round/RoundReplay.h"
#include "xmltree/wexXMLTree.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <thread>
#include <vector>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QMenu;
class QMenuBar;
class QPainter;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QSlider;
class QTabWidget;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TExportMenu;
class TLibraryMenu;
class TMissingPictureList;
class TOpenDialog;
class TRecentLogs;
class TReplayMenu;
class TRoundStatsForm;
class TViewMenu;

class TTarvelMain : public QMainWindow {
    Q_OBJECT
public:
    // exeName: the program's own path; "Tarvel.ini", "Tarvel.map" and the folder "images"
    // are looked for beside it, named after it. Tests and the headless tool pass a stand-in.
    explicit TTarvelMain(const std::string& exeName, QWidget* parent = nullptr);
    ~TTarvelMain() override;

    // ================================ Controls ==================================
    // PageControl1 fills the window; its one page holds everything else.
    QTabWidget* PageControl1;
    QWidget* TabSheet2; // "Plotline"
    TLabel* Label7;
    TLabel* LTime;
    TLabel* Label12;
    QSlider* TBTime;
    QTreeWidget* ScoreBord;
    TScrollBox* ScrollBox1;
    TImage* MapZoomImage;
    QTabWidget* PCMainInfo;

    // PCMainInfo, page "Player"
    QWidget* TabSheet5;
    QPushButton* Button2;
    QPushButton* BitBtn1;
    QPushButton* Button1;
    QCheckBox* CBAnimate;
    QCheckBox* ShowHitLines;
    QCheckBox* ShowFlags;
    QCheckBox* CBKillINfo;
    QCheckBox* CBShowobjects;
    TLabel* Label6;
    QListWidget* ListBox1;
    TLabel* Label1;
    QSlider* TrackBar1;
    TLabel* Label10;
    QSlider* TBTimeToSeeLine;

    // PCMainInfo, page "Admin"
    QWidget* TabSheet3;
    TLabel* Label9;
    QSlider* TBLeft;
    TLabel* Label8;
    QSlider* TBTop;
    QSlider* TBXas;
    TLabel* Label13;
    TLabel* Label4;
    QSlider* TBYas;
    TLabel* Label5;
    TLabel* Label11;
    QPushButton* BSaveSettingsPerMap;
    QCheckBox* ReplayFromstart20Events;

    // PCMainInfo, page "Missing picture"
    QWidget* TabSheet4;
    QPlainTextEdit* Memo2;

    // PCMainInfo, page "Score logg"
    QWidget* TabSheet6;
    QPlainTextEdit* Memo1;

    // PCMainInfo, page "Minimap"
    QWidget* TSMinimap;
    TLabel* Label3;
    TImage* BigPicture;
    QCheckBox* CBTrackPlayer;
    TLabel* Label2;
    QSlider* TBMApZoom;

    // Main menu
    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* ParceXML1;
    QAction* ConvertzxmlLogtoxml1;
    QMenu* Replay1; // playback: seek, kills, speed, rounds
    QMenu* View1;   // what the frames show besides the markers
    QMenu* Map1;    // calibration tools
    QMenu* About1;
    QAction* About2;

    // Not shown
    TOpenDialog* OpenDialog1;
    QTimer* Timer1;

    // ============================ Application shell =============================
    // src/app/UTarvelMain.cpp
    void GoToFileClick(QObject* sender); // the recent-file menu item
    void About2Click();

    // The command line: a log file, then the index of a round to replay ("0" to "5").
    void FormShow(const std::vector<std::string>& arguments);
    // The user asks to close the window: the replay stops. Closing is always allowed.
    void FormCloseQuery();
    // The end of the window: the draw thread stopped, the settings written, the state freed.
    // Runs once, from the destructor at the latest.
    void FormDestroy();
    // Whether FormDestroy writes the settings file: the program does, the headless tool and
    // the tests that do not ask for it do not.
    void SetWritesSettings(bool on) { FWritesSettings = on; }
    // The settings this window changed written into the file, as at its end: the keys that
    // other programs wrote meanwhile stay.
    void WriteSettings();

    // The settings, the picture map and the picture folders, as the tool finds them too.
    const TProgramFiles& ProgramFiles() const { return FFiles; }
    const TwexXMLTree& Document() const { return FDocument; }
    // The round being replayed, in Document(); nothing before a selection.
    const TwexXMLNode* RoundNode() const { return FRoundNode; }

    // ================================ Log loading ===============================
    // src/app/log/OpenLog.cpp
    void ParceXML1Click();
    void ConvertzxmlLogtoxml1Click();
    // Loads the log `fileName` and rebuilds what depends on it; from the load on it is the open
    // log, also when the load fails. A load that the user cancels (only one in the background
    // can be) leaves everything as it was once the replay stopped and raises ELoadCancelled,
    // which RunHandler passes over in silence. OpenDialog1 starts at it the next time.
    void OpenLog(const std::string& fileName);
    // The open log's path, as the disk names it ("" before the first).
    const std::string& LogFileName() const { return FLogFileName; }
    // Fills the session's events from those of FRoundNode, as round selection does.
    void BuildEventList();
    // The round element that ListBox1's item carries ("List index out of bounds (%d)").
    TwexXMLNode* RoundOfItem(int index) const;
    const TPlayerList& Roster() const { return FRoster; }
    const TEventInfoList& Events() const { return FReplay.Session().Events(); }
    // Under the round list: the note on how reading the log went (LogNote.h).
    TLogNote& LogNoteView() const { return *FLogNote; }
    // The note of the log opened last, "" for a whole log.
    std::string LogNote() const { return FLogReading.Note(); }
    // src/app/log/BackgroundLoad.cpp: whether a log whose text is expected to pass a few megabytes
    // loads on a worker thread behind a progress dialog that can cancel (the program's window),
    // or at once as every other (the headless tool, the tests that do not ask for it). Both
    // end alike.
    void SetBackgroundLoadEnabled(bool on) { FBackgroundLoad.SetEnabled(on); }
    // How long a background load runs before its dialog shows, in milliseconds (500).
    void SetLoadDialogDelay(int milliseconds) { FBackgroundLoad.SetDialogDelay(milliseconds); }
    bool Loading() const { return FBackgroundLoad.Loading(); }

    // src/app/log/RoundSelection.cpp: a double click on a round replays it.
    void ListBox1DblClick();

    // ============================== Replay engine ===============================
    // src/app/replay/PlayerStateHandlers.cpp
    // Frees every player state and every map object.
    void ClearReplayState();
    const TPlayerStateList& PlayerStates() const { return FReplay.Session().PlayerStates(); }

    // src/app/replay/ApplyEvent.cpp: applies the event at this index of Events().
    void ApplyEvent(int index);

    // src/app/replay/ScoreBord.cpp
    // Draws one cell of columns 1 to 7; clears defaultDraw when it drew the cell itself.
    void ScoreBordCustomDrawSubItem(QPainter& painter, QTreeWidgetItem* row, int column, bool& defaultDraw);
    void ScoreBordChange(QTreeWidgetItem* row);
    // ScoreBord's rows and the states they carry (ScoreBordRows.h).
    TScoreBordRows& ScoreBordRows() const { return *FScoreBordRows; }

    // src/app/replay/ReplayClock.cpp
    void Timer1Timer();
    void AnimateMarkers();
    void BitBtn1Click();   // Stop
    void Button1Click();   // Continue
    void TrackBar1Change();
    void StopReplay();
    // How long StopReplay blocks, in milliseconds (500); tests shorten it.
    void SetStopReplayWait(int milliseconds) { FStopReplayWait = milliseconds; }

    double ReplayTime() const { return FReplay.Session().ReplayTime(); }
    double RoundStartTime() const { return FReplay.Session().RoundStartTime(); }
    int EventIndex() const { return FReplay.Session().EventIndex(); }
    // The replay the window shows: the same object the tool replays a round with.
    const TRoundReplay& Replay() const { return FReplay; }
    const TReplaySession& ReplaySession() const { return FReplay.Session(); }
    // How the user has it replayed, as the Player and Admin pages show it.
    const TReplayOptions& ReplayOptions() const { return FReplay.Options(); }
    bool StopRequested() const { return FStopRequested; }
    bool LayoutChanged() const { return FLayoutChanged; }

    // src/app/replay/Seek.cpp: moving the replay to a moment of the selected round.
    // The state the clock leaves when it ticks from the round's selection until its time first
    // reaches `seconds` or the round ends: all of it, the score log and the time display
    // included. An error that would halt the clock halts the seek at that tick and is raised.
    // A running replay runs on from there; a stopped one stays stopped.
    void SeekTo(double seconds);
    // To 3 s before the next "Kill" stamped later than the clock plus 3 s, or the last one
    // stamped earlier than the clock plus 2.5 s; without one, nothing happens (false).
    bool NextKill();
    bool PreviousKill();
    // How many ticks since the round's selection the replay state stands for.
    int ReplayTicks() const { return FReplay.Session().Ticks(); }

    // src/app/replay/ReplayMenu.h: the "Replay" menu, whose items carry the keyboard shortcuts,
    // and the speed beside TrackBar1.
    TReplayMenu& ReplayMenu() { return *FReplayMenu; }
    // src/app/RecentLogs.h: the recent logs in the File menu, and logs dropped on the window.
    TRecentLogs& RecentLogMenu() { return *FRecentLogs; }
    // src/app/replay/RoundStatsForm.h: "Round statistics" in the Replay menu and its window.
    TRoundStatsForm& RoundStatsForm() { return *FRoundStatsForm; }
    // src/app/library/LibraryMenu.h: the "Library" menu, its scans and the Library window.
    TLibraryMenu& LibraryMenu() { return *FLibraryMenu; }

    // ================================= Map view =================================
    // src/app/mapview/WorldToMapHandlers.cpp: world coordinates to pixels of the unzoomed map picture,
    // with the scale sliders and the map picture's height as they stand at the call.
    int32_t WorldToMapX(double x) const;
    int32_t WorldToMapY(double z) const;

    // src/app/mapview/MapPictures.cpp: loads the picture for a name from the images folder
    // (".bmp", then ".jpg", then the picture map's ".bmp"); a name without a picture goes to
    // the "Missing picture" page. Returns the name the picture was looked for under last.
    std::string LoadPicture(TPictureHolder& image, const std::string& name);

    // src/app/mapview/MapObjectHandlers.cpp
    void LoadMapObjects(const std::string& mapName);
    void AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team);
    void PlaceMapObject(TMapObject& object); // flag picture by team, then its place on the map
    void PlaceAllMapObjects();
    void BSaveSettingsPerMapClick();
    // The map of a round, as round selection loads it: its name, picture and objects.
    void ShowMap(const std::string& mapName);
    const TMapObjectList& MapObjects() const { return FReplay.Session().MapObjects(); }
    const TPictureHolder& MapImage() const { return FMapImage; }
    const std::string& MapName() const { return FMapName; }
    int32_t CorrectionY() const { return FCorrectionY; }
    int32_t LeftMargin() const { return FReplay.Map().Calibration().LeftMargin(); }
    int32_t TopMargin() const { return FReplay.Map().Calibration().TopMargin(); }

    // src/app/mapview/DrawMap.cpp: a frame when something changed (FLayoutChanged), the minimap.
    void DrawMap();
    bool IsMapObjectInUse(const TMapObject& object) const;
    // Asks for a frame: the next DrawMap draws one.
    void SetLayoutChanged() { FLayoutChanged = true; }
    // The draw thread: started by round selection, stopped at shutdown. A window that is not
    // to draw by itself (the headless tool) switches it off before selecting a round.
    void StartDrawThread();
    void StopDrawThread();
    void SetDrawThreadEnabled(bool on) { FDrawThreadEnabled = on; }
    const TDrawTread& DrawThread() const { return *FDrawThread; }

    // src/app/mapview/ViewMenu.cpp: the "View" menu's own items, the overlays and the zoom's.
    TViewMenu& ViewMenu() const { return *FViewMenu; }
    // The overlays switched on in the menu, drawn from this window's history (DrawMap.cpp).
    TFrameOverlays FrameOverlays() const;
    // Asks for a frame when an overlay shows: the view scrolled or the zoom changed.
    void OverlaysMayHaveMoved();
    // The switches of what the map view draws: its check boxes, the View menu's items and the
    // player tracked; the controls show them and write them when the user changes them.
    const TViewOptions& View() const { return FView; }
    const TOverlayHistory& OverlayHistory() const { return FReplay.Session().Overlays(); }

    // src/app/mapview/ZoomAndPan.cpp: the map zoom in thousandths is the window's; TBMApZoom
    // shows it, and writes it when the user moves it.
    int Zoom() const { return FZoom; }
    // The zoom as program code sets it: limited to the slider's range; when it changes the
    // slider shows it and TBMApZoomChange runs.
    void SetZoom(int zoom);
    // The map view takes the zoom's size.
    void TBMApZoomChange();
    void FormMouseWheel(int delta); // delta in 120ths of a notch
    // The first view a selection gives the map (FirstViewPlace): the places the selection
    // fitted the map to framed, the whole map fitted to a view larger than designed, or the
    // view kept.
    void ApplyFirstView();
    // The zoom and scroll that frame the places where the sliders put them.
    void FrameMapView(const std::vector<TWorldPoint>& places);
    // Whether the user zoomed since the program started (the slider, the wheel, the keys).
    bool UserZoomed() const { return FUserZoomed; }
    // Whether the map view is larger than designed, wider or taller (UTarvelMain.cpp).
    bool MapViewLargerThanDesigned() const;
    void ScrollBox2MouseDown(int x, int y);
    void BigPictureMouseMove(int x, int y);
    void ScrollBox2MouseUp();
    bool Dragging() const { return FDragging; }
    // The room the minimap's page gives it: as designed, and taller with a taller window.
    QSize MinimapRoom() const;
    const TMinimapSize& Minimap() const { return FMinimap; }

    // src/app/mapview/CalibrationControls.cpp: the calibration sliders' change handlers.
    void TBXasChange(); // both scale sliders
    void TBLeftChange();
    void TBTopChange();
    // Sets a track bar as program code does: limited to its range, and when the position
    // changes the bar's change handler runs here, so that its errors reach the caller.
    void SetTrackBarPosition(QSlider* bar, int position);

    // Sharing a moment: the File menu's export items, and the frames and videos they write
    // (ExportMenu.h).
    TExportMenu& ExportMenu() const { return *FExportMenu; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The mouse wheel anywhere in the window, and the mouse on the minimap.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TTarvelMainTest;

    // ---- Application shell (src/app) ----
    void CreateControls(); // UTarvelMainControls.cpp
    void ConnectHandlers();
    void FormCreate();
    void PlaceAnchoredControls();

    TProgramFiles FFiles;
    TSettingsFile& FSettings;       // FFiles' lines of Tarvel.ini, written at the window's end
    const TTextList& FPictureMap;   // FFiles' lines of Tarvel.map
    bool FWritesSettings = false;
    bool FDestroyed = false;

    // ---- Log loading (src/log) ----
    void LoadLogFile();
    void AddRoundItem(const std::string& text, TwexXMLNode* round);

    std::string FLogFileName; // the open log
    std::unique_ptr<TLogNote> FLogNote; // under the round list
    TDocumentSlot FDocument; // the loaded log
    TLogReading FLogReading; // how reading it went
    TBackgroundLoad FBackgroundLoad{*this};
    TRoundReplay FReplay; // the selected round's replay and map, as the tool replays it
    TPlayerList& FRoster;      // FReplay's: every stay of a player in the whole log
    TwexXMLNode* FRoundNode = nullptr;          // the round being replayed, in FDocument

    // ---- Replay engine (src/replay) ----
    // Runs a slider's change handler; the one place that knows which handler a bar has.
    void RunTrackBarHandler(QSlider* bar);

    std::unique_ptr<TScoreBordRows> FScoreBordRows;
    bool FStopRequested = false;
    bool FLayoutChanged = false;
    int FStopReplayWait = 500;

    // ---- Replay navigation (src/app/replay/Seek.cpp) ----
    // What the replay's steps changed, shown as they happen (ReplayClock.cpp).
    void ConnectReplay();
    void ShowReplayReport(const TReplayReport& report);
    void PlaceTimeLabels(); // Label12 clear of LTime's longest time in the round
    // Runs a seek of the replay and shows where it left it; whether it moved.
    bool Seek(const std::function<bool()>& seek);
    TReplayMenu* FReplayMenu = nullptr;         // children of the window
    TRecentLogs* FRecentLogs = nullptr;
    TRoundStatsForm* FRoundStatsForm = nullptr;
    TLibraryMenu* FLibraryMenu = nullptr;

    // ---- Map view (src/mapview) ----
    std::unique_ptr<TExportMenu> FExportMenu;

    TMissingPictureList* FMissingPictures = nullptr; // Memo2's list, its child

    std::unique_ptr<TDrawTread> FDrawThread;
    bool FDrawThreadEnabled = true;
    TFrameCanvas FFrameCanvas; // the zoomed map with what the last frame drew on it
    QFont FFrameFont;          // the labels' font
    std::unique_ptr<TViewMenu> FViewMenu;
    QRect OverlayPart() const;   // DrawMap: the part of the map in view, where the overlays go
    TViewOptions FView;
    bool FDragging = false;    // a button is held down on the minimap
    TMinimapSize FMinimap;     // the minimap's size as the last frame drew it
    bool FMapDrawn = false;    // a frame was drawn: till then the minimap keeps its placeholder
    void ShowMinimap();        // the zoomed map as it stands onto the minimap, sized to its room
    quint64 FLastWheel = 0;    // the time stamp of the wheel event handled last
    const QEvent* FWheelPassedUp = nullptr; // that event, while it may still pass up

    TPictureHolder& FMapImage;    // FReplay's map picture
    int FZoom = 1000; // the map zoom in thousandths, as TBMApZoom is designed; then "ZOOM"
    const std::string& FMapName;  // FReplay's: the map of the selected round, as the log names it
    int32_t FCorrectionY = 0;  // the vertical scale, a copy of TBYas for saving

public:
    // ---- Map tools: the menu's items, fit and apply, and the calibration window (MapTools.h) ----
    TMapTools& MapTools() const { return *FMapTools; }
    TCalibration Calibration() const { return FReplay.Map().Calibration().Sliders(); } // the four sliders' positions
    // Whether the map of the selected round (or the map shown) was found no picture.
    bool MapPictureMissing() const { return FReplay.Map().PictureMissing(); }

    // ---- Maps from the player's game, the notice over the map view (app/mapview/MapImports.h) ----
    // "Import map…" and "Game folder…" in the Map menu, the import of a missing map, the notice.
    TMapImports& MapImports() const { return *FMapImports; }

private:
    std::unique_ptr<TMapTools> FMapTools;
    bool FUserZoomed = false;
    void ScrollMapView(TViewScroll scroll);
    TGridCache FGrid;
    std::unique_ptr<TMapImports> FMapImports;
};
