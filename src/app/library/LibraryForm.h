#pragma once

// The Library window: every round of the library's logs with a filter, every player, a
// player's page and a heat map of a map over the whole library. A double-click on a round
// replays it in the main window, as opening its log and double-clicking it in the round list
// does; one on a kill or a death replays its round from 3 s before it. The tables show what
// `ornwick library rounds` and `ornwick library player` print: the same queries answer both.

#include "library/LibraryQuery.h"

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;
class TLibraryMenu;
class TTarvelMain;

class TLibraryForm : public QWidget {
public:
    // A window of its own, a child of the main window; not modal.
    TLibraryForm(TTarvelMain& window, TLibraryMenu& menu);

    QTabWidget* LibraryTabs;
    // "Rounds"
    QWidget* RoundsPage;
    QLineEdit* RoundsMap;
    QLineEdit* RoundsPlayer;
    QLineEdit* RoundsMod;
    QDateEdit* RoundsSince; // the earliest date stands for "any"
    QDateEdit* RoundsUntil;
    QTableWidget* RoundsTable;
    // "Players"
    QWidget* PlayersPage;
    QLineEdit* PlayersName;
    QTableWidget* PlayersTable;
    // "Player": the page of the player double-clicked last
    QWidget* PlayerPage;
    QLabel* PlayerHeading;
    QTableWidget* PlayerRoundsTable;
    QTableWidget* PlayerKillsTable;
    QTableWidget* PlayerDeathsTable;
    QTableWidget* PlayerKitsTable;
    QTableWidget* PlayerVehiclesTable;
    QTableWidget* PlayerWeaponsTable;
    // "Heat map"
    QWidget* HeatMapPage;
    QComboBox* HeatMapName;
    QComboBox* HeatKind;   // "Deaths", "Kills"
    QComboBox* HeatTeam;   // "All teams", "Axis", "Alies"
    QLineEdit* HeatWeapon;
    QLineEdit* HeatPlayer;
    QWidget* HeatPicture; // the heat map, fitted to its room
    QLabel* HeatStatus;
    QPushButton* ExportPng;
    // Under the pages: how the scan goes
    QLabel* ScanStatus;
    QProgressBar* ScanProgress;
    QPushButton* ScanCancel;

    // Every page asked again of the library.
    void Refresh();
    void RefreshRounds();
    void RefreshPlayers();
    // The heat map's list of maps; its picture is drawn then, or when its page next shows.
    void RefreshMaps();
    void RefreshHeatMap();

    // What the Heat map page's row asks for.
    THeatFilter HeatFilter() const;
    // The filter the Rounds page's row gives.
    TRoundFilter RoundFilter() const;
    const std::vector<TLibraryRound>& Rounds() const { return FRounds; }
    const std::vector<TLibraryPlayer>& Players() const { return FPlayers; }
    // The page shown on "Player"; nothing before one was.
    const std::optional<TPlayerPage>& Page() const { return FPage; }
    const QImage& HeatImage() const { return FHeatImage; }

    // The page of the player of this name, shown (an unknown name is said so on it).
    void ShowPlayer(const std::string& name);
    // The double-clicks: a row of a table, as it stands sorted.
    void RoundsTableDblClick(int row);
    void PlayersTableDblClick(int row);
    void PlayerRoundsTableDblClick(int row);
    void PlayerKillsTableDblClick(QTableWidget* table, int row);
    // The round's log opened in the main window and the round replayed from its start.
    void ReplayRound(const std::string& file, int place);
    // Its round replayed, 3 s before the kill.
    void ReplayKill(const TLibraryKill& kill);
    // The heat map written as a PNG file; "Export PNG…" asks for the name.
    void ExportPngTo(const std::string& fileName);
    void ExportPngClick();

    // While a scan runs, the rounds it has stored are shown this often (ms), unless the user
    // has rows of the table selected.
    int LiveRefreshMs = 3000;

    // The scan's progress row.
    void ScanStarted();
    void ScanEnded(); // the summary shown, the pages asked again
    void ShowScanSummary(); // what the last scan did, when one ended
    void ShowScanStatus(const QString& text);

private:
    void CreateRoundsPage();
    void CreatePlayersPage();
    void CreatePlayerPage();
    void CreateHeatMapPage();
    void ShowPage();
    void ScanProgressed(int done, int total, const QString& file);

    TTarvelMain& FWindow;
    TLibraryMenu& FMenu;
    QTimer* FFilterDelay; // typing in a filter asks again once the typing pauses
    std::vector<TLibraryRound> FRounds;
    std::vector<TLibraryPlayer> FPlayers;
    std::optional<TPlayerPage> FPage;
    QImage FHeatImage;
    bool FHeatStale = true; // the picture is older than the library
    QElapsedTimer FSinceRefresh; // since the rounds were last asked for during a scan
};
