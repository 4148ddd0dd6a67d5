#pragma once

// The main window. It holds every control of the program and, privately, the whole state of
// the application; its handlers are the program's logic. One class, but its member functions
// live in the folder of their subsystem:
//   src/app/      control tree, start-up and the shell's handlers (UTarvelMain*.cpp)
//   src/log/      opening logs (OpenLog.cpp)
//   src/replay/   player state, events, replay clock, scoreboard
//   src/mapview/  pictures, map objects, drawing, minimap and zoom
// Controls are public and carry the names the handlers and the rest of the program use; each
// is also the Qt object name. Every handler that a signal reaches runs through RunHandler, so
// an error ends only the action it happened in.

#include "app/Controls.h"
#include "base/TextList.h"
#include "log/EventInfo.h"
#include "log/PlayerList.h"
#include "mapview/FrameDrawing.h"
#include "mapview/MapObject.h"
#include "mapview/PictureHolder.h"
#include "mapview/UDrawTread.h"
#include "replay/LookAhead.h"
#include "replay/PlayerStates.h"
#include "xmltree/wexXMLTree.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QAction;
class QCheckBox;
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

    const std::string& ExeName() const { return FExeName; }
    // The settings file: beside the program when its folder can be written, else in the
    // user's configuration folder, begun as a copy of the one beside the program.
    std::string SettingsFileName() const;
    std::string PictureMapFileName() const;
    // The picture folder beside the program (with its closing "/").
    std::string ImagesFolder() const;
    // Where pictures and object files are looked for, in order: the user's own images/ in the
    // configuration folder when the settings live there, then the program's.
    std::vector<std::string> ImageFolders() const;

    const TTextList& Settings() const { return FSettings; }
    const TTextList& PictureMap() const { return FPictureMap; }
    const TwexXMLTree& Document() const { return FDocument; }

    // ================================ Log loading ===============================
    // src/log/OpenLog.cpp
    void ParceXML1Click();
    void ConvertzxmlLogtoxml1Click();
    // Loads the log that OpenDialog1 names and rebuilds what depends on it.
    void OpenLog();
    // Fills FEvents from the events of FRoundNode, as round selection does.
    void BuildEventList();
    // The round element that ListBox1's item carries ("List index out of bounds (%d)").
    TwexXMLNode* RoundOfItem(int index) const;
    // The event records of list item `index`, built as round selection builds them, without
    // anything else of a selection.
    void LoadRoundEvents(int index);
    const TPlayerList& Roster() const { return FRoster; }
    const TEventInfoList& Events() const { return FEvents; }

    // src/log/RoundSelection.cpp: a double click on a round replays it.
    void ListBox1DblClick();

    // ============================== Replay engine ===============================
    // src/replay/PlayerStateMain.cpp
    // The first state whose PlayerID is the id; "Error finding kiled player" without one.
    TInfoClass* FindPlayerState(int32_t playerID) const;
    // Moves the marker's centre to the map pixel (x, y) plus the margins; an x or y of 0 is
    // taken from the state's last event, and a place of (0, 0) leaves the marker alone.
    void PlaceMarker(TInfoClass& state, int32_t x, int32_t y);
    // Frees every player state and every map object.
    void ClearReplayState();
    const TPlayerStateList& PlayerStates() const { return FPlayerStates; }

    // src/replay/ApplyEvent.cpp: applies the event at this index of FEvents.
    void ApplyEvent(int index);

    // src/replay/ScoreBord.cpp
    void UpdateScoreBord();
    // Draws one cell of columns 1 to 7; clears defaultDraw when it drew the cell itself.
    void ScoreBordCustomDrawSubItem(QPainter& painter, QTreeWidgetItem* row, int column, bool& defaultDraw);
    void ScoreBordChange(QTreeWidgetItem* row);
    // The row whose data is the state, searched from the first row; nothing without one.
    QTreeWidgetItem* ScoreBordRowOf(const TInfoClass* state) const;
    static TInfoClass* StateOfRow(const QTreeWidgetItem* row);
    // A cell's text as the scoreboard shows it (the picture cell is empty).
    std::string ScoreBordCellText(const QTreeWidgetItem* row, int column) const;

    // src/replay/ReplayClock.cpp
    void Timer1Timer();
    void ApplyDueEvents();
    void AnimateMarkers();
    void BitBtn1Click();   // Stop
    void Button1Click();   // Continue
    void TrackBar1Change();
    void StopReplay();
    // How long StopReplay blocks, in milliseconds (500); tests shorten it.
    void SetStopReplayWait(int milliseconds) { FStopReplayWait = milliseconds; }

    double ReplayTime() const { return FReplayTime; }
    double RoundStartTime() const { return FRoundStartTime; }
    int EventIndex() const { return FEventIndex; }
    bool StopRequested() const { return FStopRequested; }
    bool LayoutChanged() const { return FLayoutChanged; }

    // ================================= Map view =================================
    // src/mapview/WorldToMapMain.cpp: world coordinates to pixels of the unzoomed map picture,
    // with the scale sliders and the map picture's height as they stand at the call.
    int32_t WorldToMapX(double x) const;
    int32_t WorldToMapY(double z) const;

    // src/mapview/MapPictures.cpp: loads the picture for a name from the images folder
    // (".bmp", then ".jpg", then the picture map's ".bmp"); a name without a picture goes to
    // the "Missing picture" page. Returns the name the picture was looked for under last.
    std::string LoadPicture(TPictureHolder& image, const std::string& name);

    // src/mapview/MapObjects.cpp
    void LoadMapObjects(const std::string& mapName);
    void AddMapObject(const std::string& objectClass, const std::string& position, const std::string& team);
    void PlaceMapObject(TMapObject& object); // flag picture by team, then its place on the map
    void PlaceAllMapObjects();
    void BSaveSettingsPerMapClick();
    // The map of a round, as round selection loads it: its name, picture and objects.
    void ShowMap(const std::string& mapName);
    const TMapObjectList& MapObjects() const { return FMapObjects; }
    const TPictureHolder& MapImage() const { return FMapImage; }
    const std::string& MapName() const { return FMapName; }
    int32_t CorrectionY() const { return FCorrectionY; }
    int32_t LeftMargin() const { return FLeftMargin; }
    int32_t TopMargin() const { return FTopMargin; }

    // src/mapview/DrawMap.cpp: a frame when something changed (FLayoutChanged), the minimap.
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

    // src/mapview/ZoomAndPan.cpp
    void TBMApZoomChange();
    void FormMouseWheel(int delta); // delta in 120ths of a notch
    void ScrollBox2MouseDown(int x, int y);
    void BigPictureMouseMove(int x, int y);
    void ScrollBox2MouseUp();
    bool Dragging() const { return FDragging; }

    // src/mapview/CalibrationControls.cpp: the calibration sliders' change handlers.
    void TBXasChange(); // both scale sliders
    void TBLeftChange();
    void TBTopChange();
    // Sets a track bar as program code does: limited to its range, and when the position
    // changes the bar's change handler runs here, so that its errors reach the caller.
    void SetTrackBarPosition(QSlider* bar, int position);

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

    // Chooses where the settings file lives (FormCreate).
    void ChooseSettingsFile();

    std::string FExeName;
    std::string FSettingsFileName;
    std::string FUserFolder; // the configuration folder when the settings live there, with "/"
    bool FWritesSettings = false;
    bool FDestroyed = false;
    TTextList FSettings;   // the lines of Tarvel.ini
    TTextList FPictureMap; // the lines of Tarvel.map
    // Whether FSettings holds what Tarvel.ini held at start (or there was no such file). When
    // start-up failed before reading it, writing FSettings back would wipe the user's file.
    bool FSettingsRead = false;

    // ---- Log loading (src/log) ----
    void LoadLogFile();

    TwexXMLTree FDocument{"ROOT", "", nullptr}; // the loaded log
    TPlayerList FRoster;                        // every stay of a player in the whole log
    TEventInfoList FEvents;                     // the events of the selected round
    TwexXMLNode* FRoundNode = nullptr;          // the round being replayed, in FDocument

    // ---- Replay engine (src/replay) ----
    void InstallScoreBordDrawing(); // ScoreBord.cpp
    // Runs a slider's change handler; the one place that knows which handler a bar has.
    void RunTrackBarHandler(QSlider* bar);

    TPlayerStateList FPlayerStates; // keyed by player id in decimal
    // ScoreBord's rows by their state; the rows keep it up to date themselves.
    std::unordered_map<const TInfoClass*, QTreeWidgetItem*> FScoreRows;
    TEventLookAhead FLookAhead;     // built with FEvents
    bool FStopRequested = false;
    bool FLayoutChanged = false;
    int32_t FEventIndex = 0;       // the latest event applied in order
    double FReplayTime = 0;        // the replay clock, seconds of the log
    double FRoundStartTime = 0;
    int FStopReplayWait = 500;

    // ---- Map view (src/mapview) ----
    void ReportMissingPicture(const std::string& name);
    void PanTo(int x, int y);

    std::unordered_set<std::string> FMissingNames; // Memo2's lines, upper case
    bool FMissingNamesValid = false;
    bool FAddingMissingName = false;

    std::unique_ptr<TDrawTread> FDrawThread;
    bool FDrawThreadEnabled = true;
    TFrameCanvas FFrameCanvas; // the zoomed map with what the last frame drew on it
    QFont FFrameFont;          // the labels' font
    bool FDragging = false;    // a button is held down on the minimap
    quint64 FLastWheel = 0;    // the time stamp of the wheel event handled last
    const QEvent* FWheelPassedUp = nullptr; // that event, while it may still pass up

    TPictureHolder FMapImage;  // the map picture
    TMapObjectList FMapObjects; // the current map's objects
    int FZoom = 0; // the map zoom in thousandths, from "ZOOM"; set with the zoom slider
    std::string FMapName;      // the map of the selected round, as the log names it
    int32_t FCorrectionY = 0;  // the vertical scale, a copy of TBYas for saving
    int32_t FTopMargin = 0;    // offsets added to every map position, in map pixels
    int32_t FLeftMargin = 0;
};
