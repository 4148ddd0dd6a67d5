#pragma once

// Maps from the player's game: "Import map…" and "Game folder…" in the Map menu, the import that
// selecting a round on a map without a picture starts when the game folder is known, and the
// notice over the map view that says why the selected round's map has no picture, with the
// search for the game in the home folder behind its offer. The window keeps one; it owns these
// controls and what this run remembers of the imports tried.

#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QPushButton;
class TSettingsFile;
class TTarvelMain;
class TwexXMLNode;

class TMapImports : public QObject {
public:
    // Adds its items to the window's Map menu and its notice over the map view; the game folder
    // is kept in `settings`, the window's.
    TMapImports(TTarvelMain& window, TSettingsFile& settings);
    ~TMapImports() override;

    // ---- Maps from the player's game (ImportMapHandlers.cpp) ----
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
    // Selecting a round on a map without a picture imports it from the game folder once: a map
    // that failed or was cancelled is not tried again until the program starts anew. Whether
    // the picture is there now.
    bool ImportMissingMap(const TwexXMLNode& round);
    // Imports cancelled but still running end before the program can end under them.
    void JoinCancelledImports();

    // ---- The notice over the map view (MapNotice.cpp) ----
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
    // What the notice says after a selection (or the search's end) for the map shown.
    void TellMapNotice(bool newSelection);
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
    TTarvelMain& FWindow;
    TSettingsFile& FSettings;

    // After a game folder was set: the selected round once more, on the picture imported now.
    void ImportSelectedMapAgain();
    bool RoundSelected() const; // a round is selected and set up
    std::unordered_set<std::string> FImportsTried; // map names, upper case
    std::vector<std::thread> FCancelledImports;    // still running; joined before the window goes

    void CreateMapNotice();
    void PlaceMapNotice();
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
