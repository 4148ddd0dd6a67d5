#pragma once

// The main window: every control of the program, the handlers that drive the model's objects
// (the replay session, the program's files) and the values the controls show (the open log,
// the zoom). One class, but its member functions live in the window's folder of their subsystem:
//   src/app/          control tree, start-up and the shell's handlers (UTarvelMain*.cpp)
//   src/app/log/      opening logs and selecting a round
//   src/app/replay/   player state, events, replay clock, scoreboard
//   src/app/mapview/  pictures, map objects, drawing, minimap and zoom
// Controls are public and carry the names the handlers and the rest of the program use; each
// is also the Qt object name. Every handler that a signal reaches runs through RunHandler, so
// an error ends only the action it happened in.

#include "app/Controls.h"
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
class TOpenDialog;
struct TVideoOptions;
struct TVideoSource;

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
    QAction* ExportFrame1; // "Export frame…", Ctrl+E; the export items stay last in File1
    QAction* ExportVideo1;
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
    // The event records of list item `index`, built as round selection builds them, without
    // anything else of a selection.
    void LoadRoundEvents(int index);
    const TPlayerList& Roster() const { return FRoster; }
    const TEventInfoList& Events() const { return FSession.Events(); }
    // Under the round list: the note on how reading the log went (LogNote.h).
    TLogNote& LogNoteView() const { return *FLogNote; }
    // The note of the log opened last, "" for a whole log.
    std::string LogNote() const { return FLogReading.Note(); }
    // src/app/log/BackgroundLoad.cpp: whether a log whose text is expected to pass a few megabytes
    // loads on a worker thread behind a progress dialog that can cancel (the program's window),
    // or at once as every other (the headless tool, the tests that do not ask for it). Both
    // end alike.
    void SetBackgroundLoadEnabled(bool on) { FBackgroundLoadEnabled = on; }
    // How long a background load runs before its dialog shows, in milliseconds (500).
    void SetLoadDialogDelay(int milliseconds) { FLoadDialogDelay = milliseconds; }
    bool Loading() const { return FLoader != nullptr; }

    // src/app/log/RoundSelection.cpp: a double click on a round replays it.
    void ListBox1DblClick();

    // ============================== Replay engine ===============================
    // src/app/replay/PlayerStateHandlers.cpp
    // Frees every player state and every map object.
    void ClearReplayState();
    const TPlayerStateList& PlayerStates() const { return FSession.PlayerStates(); }

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

    double ReplayTime() const { return FSession.ReplayTime(); }
    double RoundStartTime() const { return FSession.RoundStartTime(); }
    int EventIndex() const { return FSession.EventIndex(); }
    // The replay the window shows.
    const TReplaySession& ReplaySession() const { return FSession; }
    // How the user has it replayed, as the Player and Admin pages show it.
    const TReplayOptions& ReplayOptions() const { return FReplayOptions; }
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
    int ReplayTicks() const { return FSession.Ticks(); }

    // src/app/replay/ReplayMenu.cpp: the "Replay" menu, whose items carry the keyboard shortcuts.
    void StopContinueClick(); // Stop while the replay runs, else Continue
    void FasterClick();       // TrackBar1 to the next shorter of the speed steps
    void SlowerClick();
    void PreviousRoundClick(); // the item of ListBox1 before the selected one, replayed
    void NextRoundClick();
    void FollowPlayerClick();  // tracks the scoreboard's selected player
    void KeyboardShortcutsClick();
    // The intervals Faster and Slower step TrackBar1 through, slowest first.
    static const std::vector<int>& SpeedSteps();
    // The speed of an interval as a multiple of real time: "x0.1" to "x100".
    static std::string SpeedCaption(int interval);
    TLabel* LSpeed = nullptr; // the speed, beside TrackBar1

    // src/app/RecentLogs.cpp: the recent logs in the File menu, and logs dropped on the window.
    // "LastOpen1" to "LastOpen8", newest first, the empty ones left out.
    std::vector<std::string> RecentLogs() const;
    // A log that opened through the dialog or a drop becomes the newest.
    void RememberRecentLog(const std::string& fileName);
    // A ".xml" or ".zxml" file opens as the open dialog opens it; anything else is left alone.
    // Whether it was a log's name.
    bool DropLog(const std::string& fileName);

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
    const TMapObjectList& MapObjects() const { return FSession.MapObjects(); }
    const TPictureHolder& MapImage() const { return FMapImage; }
    const std::string& MapName() const { return FMapName; }
    int32_t CorrectionY() const { return FCorrectionY; }
    int32_t LeftMargin() const { return FCalibration.LeftMargin(); }
    int32_t TopMargin() const { return FCalibration.TopMargin(); }

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

    // src/app/mapview/ViewMenu.cpp: the "View" menu's overlays, each remembered in the settings.
    QAction* Trails1 = nullptr;
    QMenu* TrailLength1 = nullptr; // one item for each of TrailLengths
    QAction* DeathMap1 = nullptr;
    QAction* KillFeed1 = nullptr;
    QAction* RoundStatsAtEnd1 = nullptr; // the round statistics shown when a round ends
    int TrailSeconds() const { return FView.trailSeconds; }
    void SetTrailSeconds(int seconds); // one of TrailLengths; the length's item is checked
    // The overlays switched on in the menu, drawn from this window's history.
    TFrameOverlays FrameOverlays() const;
    // The switches of what the map view draws: its check boxes, the View menu's items and the
    // player tracked; the controls show them and write them when the user changes them.
    const TViewOptions& View() const { return FView; }
    const TOverlayHistory& OverlayHistory() const { return FSession.Overlays(); }

    // src/app/replay/RoundStatsForm.cpp: "Round statistics" in the Replay menu.
    QAction* RoundStatistics1 = nullptr;
    void RoundStatistics1Click(); // shows the window for the round being replayed
    // The server's table of the round being replayed and the replay's counts beside it.
    TRoundStats RoundStats() const;
    QWidget* RoundStatsWindow() const; // nothing until it was shown

    // src/app/mapview/ZoomAndPan.cpp: the map zoom in thousandths is the window's; TBMApZoom
    // shows it, and writes it when the user moves it.
    int Zoom() const { return FZoom; }
    // The zoom as program code sets it: limited to the slider's range; when it changes the
    // slider shows it and TBMApZoomChange runs.
    void SetZoom(int zoom);
    // The map view takes the zoom's size.
    void TBMApZoomChange();
    // "Fit map to window" in the View menu (Ctrl+0): the zoom at which the whole map fills the
    // map view without scroll bars.
    QAction* FitMapToWindow1 = nullptr;
    void FitMapToWindow1Click();
    void FormMouseWheel(int delta); // delta in 120ths of a notch
    // The first view a selection gives the map (FirstViewOf): the round's places framed, the
    // whole map fitted to a view larger than designed, or the view kept. `places` are the
    // places the selection fitted the map to.
    void ApplyFirstView(const std::vector<TWorldPoint>& places, bool calibrationSaved);
    // The zoom and scroll that frame the places where the sliders put them.
    void FrameMapView(const std::vector<TWorldPoint>& places);
    // Whether the user zoomed since the program started (the slider, the wheel, the keys).
    bool UserZoomed() const { return FUserZoomed; }
    // The map view the window has, or the one the tool gives it (SetToolView): its visible size.
    QSize MapViewSize() const;
    // Whether the map view is larger than designed, wider or taller (UTarvelMain.cpp).
    bool MapViewLargerThanDesigned() const;
    // The tool's map view of a size of its own, without scroll bars: selections frame for it and
    // ViewPicture shows what it shows.
    void SetToolView(QSize size) { FToolView = size; }
    // What the tool's map view shows of the last frame, the view's background where it reaches
    // past the zoomed map.
    QImage ViewPicture() const;
    TViewScroll ToolViewScroll() const { return FToolScroll; }
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

    // src/app/mapview/ExportFrame.cpp, src/app/mapview/ExportVideoHandlers.cpp: sharing a moment.
    // "Export frame…": what the map view shows now, or the whole zoomed map, as PNG or JPEG.
    void ExportFrame1Click();
    // Replaces a file of that name only with a complete picture; the extension gives the format.
    void ExportFrame(const std::string& fileName, bool wholeMap);
    // "Export video…": its dialog, then the export.
    void ExportVideo1Click();
    // Writes the video with a progress dialog that can cancel, from a replay of its own: the
    // replay here stays as it is. False when cancelled, and then no file is left.
    bool ExportVideo(const TVideoOptions& options, const std::string& fileName);
    // The selected round as a video's own replay takes it: this window's roster, calibration,
    // map picture, switches and overlays. "No round is being replayed…" without one.
    TVideoSource VideoSource() const;
    // The File menu's items added at run time (the recent logs) go before the export items.
    void KeepExportItemsLast();

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
    void AddRecentFileItem(const std::string& fileName);
    void PlaceAnchoredControls();

    TProgramFiles FFiles;
    TSettingsFile& FSettings;       // FFiles' lines of Tarvel.ini, written at the window's end
    const TTextList& FPictureMap;   // FFiles' lines of Tarvel.map
    bool FWritesSettings = false;
    bool FDestroyed = false;

    // ---- Log loading (src/log) ----
    void LoadLogFile();
    void AddRoundItem(const std::string& text, TwexXMLNode* round);
    // The log loaded on a worker while a progress dialog shows, or nothing when it is to
    // load at once; raises ELoadCancelled, having changed nothing, when it was cancelled.
    std::unique_ptr<TLogLoader> LoadInBackground(const std::string& fileName);
    // Puts the loaded tree in place of FDocument as a load in place would have left it.
    void TakeLoadedLog(TLogLoader& loader);
    // A close asked for during a background load cancels it; the window closes after it.
    bool CloseAfterLoad();

    std::string FLogFileName; // the open log
    std::unique_ptr<TLogNote> FLogNote; // under the round list
    TDocumentSlot FDocument; // the loaded log
    TLogReading FLogReading; // how reading it went
    bool FBackgroundLoadEnabled = false;
    int FLoadDialogDelay = 500;
    TLogLoader* FLoader = nullptr; // the background load under way
    bool FCloseAfterLoad = false;
    TPlayerList FRoster;                        // every stay of a player in the whole log
    TReplaySession FSession;                    // the selected round's replay
    TwexXMLNode* FRoundNode = nullptr;          // the round being replayed, in FDocument

    // ---- Replay engine (src/replay) ----
    // Runs a slider's change handler; the one place that knows which handler a bar has.
    void RunTrackBarHandler(QSlider* bar);

    std::unique_ptr<TScoreBordRows> FScoreBordRows;
    bool FStopRequested = false;
    bool FLayoutChanged = false;
    int FStopReplayWait = 500;

    // ---- Replay navigation (src/app/replay/Seek.cpp, ReplayMenu.cpp, src/app/RecentLogs.cpp) ----
    // A tick after the timer's own steps, also run by seeks; whether the clock runs on.
    bool ReplayTick(); // ReplayClock.cpp
    void ForgetRoundStart(); // round selection: no round to seek in until it is set up
    void MarkRoundStart();   // round selection: the state a restart goes back to
    void ReplaySettingChanged(); // the state no longer comes from ticks alone
    // The replay with the window's settings as they stand now.
    TReplaySettings ReplaySettings() const;
    TReplaySession& LiveSession();
    // Runs a step of the session and shows what it changed, also when it raises.
    template <class TStep> void RunSession(TStep step)
    {
        RunReported(FSession, step, [this](const TReplayReport& report) { ShowReplayReport(report); });
    }
    void ShowReplayReport(const TReplayReport& report);
    void PlaceTimeLabels(); // Label12 clear of LTime's longest time in the round
    // The map's object file in the image folders, or "".
    std::string MapObjectFile(const std::string& mapName) const;
    void CreateReplayMenu();
    void ShowSpeed(); // LSpeed follows TrackBar1
    void SeekTimeLine(int tenths); // to where TBTime shows this position
    void AddRecentFileItems();
    void AcceptLogDrops();

    // What a seek back to the round's start puts back: the score log's length (0: empty) and
    // the time display at the selection.
    int FRoundStartMemoBlocks = 0;
    std::string FRoundStartCaption;
    std::vector<QAction*> FRecentItems;

    // ---- Map view (src/mapview) ----
    QAction* FExportSeparator = nullptr; // before the export items of File1
    void ReportMissingPicture(const std::string& name);
    void PanTo(int x, int y);

    std::unordered_set<std::string> FMissingNames; // Memo2's lines, upper case
    bool FMissingNamesValid = false;
    bool FAddingMissingName = false;

    std::unique_ptr<TDrawTread> FDrawThread;
    bool FDrawThreadEnabled = true;
    TFrameCanvas FFrameCanvas; // the zoomed map with what the last frame drew on it
    QFont FFrameFont;          // the labels' font
    void CreateViewMenu();     // ViewMenu.cpp
    void CreateZoomItems();    // ZoomAndPan.cpp
    void ReadViewSettings();
    void ViewSettingChanged(QAction* item);
    void OverlaysMayHaveMoved(); // the view scrolled or the zoom changed
    void ConnectViewOptions();  // the controls write FView when they change
    void TrackedPlayerChanged(); // the scoreboard's selection changed
    QRect OverlayPart() const;   // DrawMap: the part of the map in view, where the overlays go
    void RoundEnded();                  // the clock's tick ended the round (RoundStatsForm.cpp)
    TViewOptions FView;
    bool FRoundEndShown = false; // the statistics came up at this round's end already
    QWidget* FRoundStatsWindow = nullptr; // owned by the window as its child
    bool FDragging = false;    // a button is held down on the minimap
    TMinimapSize FMinimap;     // the minimap's size as the last frame drew it
    void ShowMinimap();        // the zoomed map as it stands onto the minimap, sized to its room
    quint64 FLastWheel = 0;    // the time stamp of the wheel event handled last
    const QEvent* FWheelPassedUp = nullptr; // that event, while it may still pass up

    TPictureHolder FMapImage;  // the map picture
    int FZoom = 1000; // the map zoom in thousandths, as TBMApZoom is designed; then "ZOOM"
    std::string FMapName;      // the map of the selected round, as the log names it
    int32_t FCorrectionY = 0;  // the vertical scale, a copy of TBYas for saving
    TMapCalibration FCalibration; // what the four sliders show, and the margins
    TReplayOptions FReplayOptions; // what CBAnimate, ReplayFromstart20Events, TBTimeToSeeLine and TrackBar1 show

public:
    // ---- Map tools (src/app/mapview/MapMenu.cpp; the menu's items and the calibration window
    // in MapTools.h) ----
    TMapTools& MapTools() const { return *FMapTools; }
    void FitToRound1Click();
    TCalibration Calibration() const { return FCalibration.Sliders(); } // the four sliders' positions
    // Sets the four sliders as a user's moves would, their handlers running, then asks for a frame.
    void ApplyCalibration(const TCalibration& calibration);
    // The values that put every place of the round's events and of the map's objects on the
    // picture as drawn (ECalibrationError when there are none, or they cannot fit).
    TCalibration FitToRound() const;
    // Whether the map of the selected round (or the map shown) was found no picture.
    bool MapPictureMissing() const { return FMapPictureMissing; }

    // ---- Maps from the player's game (src/app/mapview/ImportMapHandlers.cpp) ----
    QAction* ImportMap1 = nullptr;  // "Import map…" in the Map menu
    QAction* GameFolder1 = nullptr; // "Game folder…" in the Map menu
    void ImportMap1Click();         // its dialog, then the import
    void GameFolder1Click();        // a folder chosen, then remembered
    // Only a game folder (one holding Mods/) is taken: anything else raises, saying what one holds.
    void SetGameFolder(const std::string& folder);
    std::string GameFolder() const; // the saved one when it is a game folder, else ""
    // Imports the map from a level folder, a level archive or the game folder (with the mod),
    // behind a progress dialog that can cancel, and writes its picture, object file and
    // calibration where the user's own go; the map shown anew when it is the selected round's.
    // False when cancelled.
    bool ImportMapFrom(const std::string& source, const std::string& map, const std::string& mod,
                       const std::string& gameType, bool overview);

    // ---- The notice over the map view (src/app/mapview/MapNotice.cpp) ----
    // A bar over the top of the map view, hidden when there is nothing to say: why the selected
    // round's map has no picture (an import that could not be made, a saved game folder that is
    // not one, no game found) and, when the search found the game, "Use the game in …?". It
    // never stops the replay, and it moves no control.
    QFrame* MapNotice1 = nullptr;
    QLabel* LMapNotice = nullptr;
    QPushButton* BUseFoundGame = nullptr;     // "Use it": the game found set and the map imported
    QPushButton* BNoticeGameFolder = nullptr; // "Game folder…"
    QPushButton* BNoticeImportMap = nullptr;  // "Import map…"
    QPushButton* BNoticeClose = nullptr;
    // The notice's text, "" while it is hidden.
    std::string MapNoticeText() const;
    // Who else is told each notice as it comes (the headless tool writes them to standard error).
    void SetNoticeSink(std::function<void(const std::string&)> sink) { FNoticeSink = std::move(sink); }
    // Whether a selection on a map without a picture, with no game folder set, looks for the game
    // in the user's home folder on a thread of its own (the program's window does; tests ask).
    void SetGameSearchEnabled(bool on) { FGameSearchEnabled = on; }
    bool GameSearchRunning() const { return FGameSearch != nullptr; }
    // The game folder the search found, "" when it found none or has not ended.
    std::string FoundGame() const { return FFoundGame.value_or(""); }
    void UseFoundGameClick(); // the found game set as the game folder, the map imported

private:
    void LoadMapPicture();            // the map's picture, noting whether it has one
    std::unique_ptr<TMapTools> FMapTools;
    bool FMapPictureMissing = false;
    bool FUserZoomed = false;
    std::optional<QSize> FToolView; // the tool's map view, SetToolView
    TViewScroll FToolScroll;        // where the tool's map view is scrolled
    void ScrollMapView(TViewScroll scroll);
    int FPictureMisses = 0; // names reported missing so far
    TGridCache FGrid;
    // Selecting a round on a map without a picture imports it from the game folder once: a map
    // that failed or was cancelled is not tried again until the program starts anew.
    bool ImportMissingMap(const TwexXMLNode& round);
    std::unordered_set<std::string> FImportsTried; // map names, upper case
    std::vector<std::thread> FCancelledImports; // still running; joined before the window goes
    // After a game folder was set: the selected round once more, on the picture imported now.
    void ImportSelectedMapAgain();

    void CreateMapNotice();
    void PlaceMapNotice();
    // What the notice says after a selection (or the search's end) for the map shown.
    void TellMapNotice(bool newSelection);
    void Notify(const std::string& notice);
    void StartGameSearch();
    void GameSearchEnded(std::optional<std::string> found);
    std::unordered_map<std::string, std::string> FImportFailures; // upper-case map name → why
    std::function<void(const std::string&)> FNoticeSink;
    std::string FNoticeProblem;          // the bad saved game folder, told on this selection
    bool FGameFolderProblemTold = false; // told once a run
    bool FGameSearchEnabled = false;
    class TGameSearchRun* FGameSearch = nullptr; // a child: it cancels and joins when it goes
    bool FGameSearchDone = false;
    std::optional<std::string> FFoundGame;
};
