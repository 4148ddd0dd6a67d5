// The Library menu and the Library window on the real window: a folder of generated logs added
// and scanned in the background, the tables, the filters, a player's page, and double-clicks
// that replay in the main window exactly as the round list does.
#include "LibraryTestLogs.h"
#include "app/Controls.h"
#include "app/RecentLogs.h"
#include "app/library/LibraryForm.h"
#include "app/library/LibraryMenu.h"
#include "app/library/LibraryScan.h"
#include "library/HeatMap.h"
#include "library/LibraryDatabase.h"
#include "library/LibraryQuery.h"
#include "library/LibraryWatcher.h"

#include <QAction>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QUrl>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

// A window as the tests drive it: no waits, no drawing by itself.
struct TWindow {
    explicit TWindow(const THome& home) : window(home.Exe())
    {
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
    }
    TTarvelMain window;
    TLibraryMenu& menu() { return window.LibraryMenu(); }
    TLibraryForm& form() { return *window.LibraryMenu().Form(); }
};

// The folder added and its scan waited for.
void AddAndScan(TWindow& w, const std::string& folder)
{
    w.menu().AddFolder(folder);
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    ASSERT_TRUE(w.menu().Form());
}

int RowOf(const QTableWidget& table, const std::function<bool(size_t)>& wanted)
{
    for (int row = 0; row < table.rowCount(); ++row)
        if (wanted(static_cast<size_t>(table.item(row, 0)->data(Qt::UserRole).toULongLong())))
            return row;
    return -1;
}

bool Drop(QWidget& target, const std::string& path)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

} // namespace

TEST(LibraryMenu, ComesLastInTheMenuBarWithItsItems)
{
    THome home;
    TWindow w(home);
    const QList<QAction*> menus = w.window.MainMenu1->actions();
    ASSERT_FALSE(menus.isEmpty());
    EXPECT_EQ(menus.back()->menu(), w.menu().Library1);
    EXPECT_EQ(menus.back()->text(), "Library");
    QStringList items;
    for (QAction* item : w.menu().Library1->actions())
        items << item->objectName() + ' ' + item->text();
    EXPECT_EQ(items, QStringList({QString::fromUtf8("AddFolder1 Add folder\u2026"),
                                  QString::fromUtf8("OpenLibrary1 Library\u2026"), "ScanAgain1 Scan again", " ",
                                  QString::fromUtf8("LibrarySettings1 Library settings\u2026")}));
    // Untouched, it keeps nothing and opens no library.
    EXPECT_FALSE(w.menu().Form());
    EXPECT_TRUE(w.menu().Folders().empty());
    EXPECT_FALSE(w.menu().Scan().Running());
}

TEST(LibraryWindow, AddFolderScansInTheBackgroundAndFillsTheTables)
{
    TLibraryHome h;
    TWindow w(h.home);
    w.menu().AddFolder(h.logs + "/");
    // The window is shown at once, the scan runs behind it.
    ASSERT_TRUE(w.menu().Form());
    EXPECT_TRUE(w.form().isVisible());
    EXPECT_TRUE(w.menu().Scan().Running());
    EXPECT_TRUE(w.form().ScanCancel->isVisible());
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_FALSE(w.form().ScanCancel->isVisible());
    EXPECT_EQ(w.menu().Folders(), std::vector<std::string>{h.logs}); // kept without the closing "/"
    EXPECT_EQ(TTarvelMainTest::Settings(w.window).Values("LibraryFolder1"), h.logs);
    ASSERT_TRUE(w.menu().Scan().LastSummary());
    EXPECT_EQ(w.menu().Scan().LastSummary()->indexed, static_cast<int>(GeneratedLogs().size()));

    // The table holds what the query answers, as the tool prints it.
    TLibraryDatabase library(h.database);
    const std::vector<TLibraryRound> rounds = LibraryRounds(library, {});
    ASSERT_GE(rounds.size(), GeneratedLogs().size());
    QTableWidget& table = *w.form().RoundsTable;
    ASSERT_EQ(table.rowCount(), static_cast<int>(rounds.size()));
    EXPECT_EQ(table.horizontalHeaderItem(5)->text(), "Length");
    // Lengths sort as numbers, not as text ("10:00" after "9:59").
    table.sortItems(5, Qt::AscendingOrder);
    for (int row = 1; row < table.rowCount(); ++row) {
        const TLibraryRound& before = w.form().Rounds()[static_cast<size_t>(table.item(row - 1, 0)->data(Qt::UserRole).toULongLong())];
        const TLibraryRound& after = w.form().Rounds()[static_cast<size_t>(table.item(row, 0)->data(Qt::UserRole).toULongLong())];
        EXPECT_LE(before.length, after.length);
    }
    const int first = RowOf(table, [](size_t i) { return i == 0; });
    EXPECT_EQ(table.item(first, 2)->text(), QString::fromStdString(rounds[0].map));
    EXPECT_EQ(table.item(first, 9)->text(), QString::fromStdString(rounds[0].file));

    // The players, most kills first; a name filter keeps those it names.
    QTableWidget& players = *w.form().PlayersTable;
    const std::vector<TLibraryPlayer> all = LibraryPlayers(library);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(players.rowCount(), static_cast<int>(all.size()));
    // Counts sort as numbers too ("10" after "9").
    players.sortItems(4, Qt::AscendingOrder);
    for (int row = 1; row < players.rowCount(); ++row)
        EXPECT_LE(players.item(row - 1, 4)->text().toInt(), players.item(row, 4)->text().toInt());
    const std::string name = all.front().names.front();
    w.form().PlayersName->setText(Latin1(name));
    w.form().RefreshPlayers();
    EXPECT_EQ(players.rowCount(), static_cast<int>(LibraryPlayers(library, name).size()));
    EXPECT_LT(players.rowCount(), static_cast<int>(all.size()));

    // Scanning again finds nothing new.
    w.menu().ScanAgain1Click();
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_EQ(w.menu().Scan().LastSummary()->indexed, 0);
    EXPECT_EQ(w.menu().Scan().LastSummary()->skipped, static_cast<int>(GeneratedLogs().size()));
    EXPECT_EQ(table.rowCount(), static_cast<int>(rounds.size()));
}

TEST(LibraryWindow, TheRoundsOfALongScanShowAsTheyAreStored)
{
    TLibraryHome h;
    // Enough logs for a scan long enough to tell of several of them (at most every 50 ms).
    for (int copy = 1; copy <= 12; ++copy)
        for (const std::string& log : GeneratedLogs())
            std::filesystem::copy_file(log, std::filesystem::path(h.logs) / ("copy" + std::to_string(copy) + "-" + std::filesystem::path(log).filename().string()));
    TWindow w(h.home);
    TLibraryForm& form = w.menu().ShowForm();
    form.LiveRefreshMs = 0;
    std::vector<int> shown; // the table's rows as each log is about to be read
    QObject::connect(&w.menu().Scan(), &TLibraryScan::Progress, &form,
                     [&form, &shown] { shown.push_back(form.RoundsTable->rowCount()); });
    w.menu().AddFolder(h.logs);
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    const int total = form.RoundsTable->rowCount();
    ASSERT_GT(total, 0);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [total](int rows) { return rows > 0 && rows < total; }))
        << "the table only filled at the end";
}

TEST(LibraryWindow, FiltersRoundsByPlayerMapAndDate)
{
    TLibraryHome h;
    TWindow w(h.home);
    AddAndScan(w, h.logs);
    TLibraryForm& form = w.form();
    const size_t total = form.Rounds().size();
    ASSERT_FALSE(form.Players().empty());

    // A date filter that says "any" opens its calendar on the newest round's month.
    std::string newest;
    for (const TLibraryRound& round : form.Rounds())
        newest = std::max(newest, round.started);
    const QDate newestDay = QDate::fromString(QString::fromStdString(newest.substr(0, 10)), Qt::ISODate);
    ASSERT_TRUE(newestDay.isValid()) << newest;
    form.show();
    QTest::mouseClick(form.RoundsSince, Qt::LeftButton, {},
                      QPoint(form.RoundsSince->width() - 6, form.RoundsSince->height() / 2));
    QCoreApplication::processEvents();
    QCalendarWidget* calendar = form.RoundsSince->calendarWidget();
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_EQ(calendar->yearShown(), newestDay.year());
    EXPECT_EQ(calendar->monthShown(), newestDay.month());
    calendar->window()->hide();
    EXPECT_EQ(form.RoundsSince->date(), QDate(2000, 1, 1)); // still "any"
    // The player who played least: a filter by them keeps some rounds, not all.
    const TLibraryPlayer& player = *std::min_element(form.Players().begin(), form.Players().end(),
                                                     [](const auto& a, const auto& b) { return a.rounds < b.rounds; });
    ASSERT_LT(static_cast<size_t>(player.rounds), total);
    // Any letter case.
    form.RoundsPlayer->setText(Latin1(player.names.front()).toUpper());
    form.RefreshRounds();
    EXPECT_EQ(form.RoundFilter().player, FromLatin1(Latin1(player.names.front()).toUpper()));
    EXPECT_GT(form.RoundsTable->rowCount(), 0);
    EXPECT_LT(static_cast<size_t>(form.RoundsTable->rowCount()), total);

    // The map and a day range, both days included; an unset date filters nothing.
    form.RoundsPlayer->clear();
    EXPECT_TRUE(form.RoundFilter().since.empty());
    const std::string map = form.Rounds().front().map;
    form.RoundsMap->setText(Latin1(map));
    form.RefreshRounds();
    EXPECT_GT(form.RoundsTable->rowCount(), 0);
    for (const TLibraryRound& round : form.Rounds())
        EXPECT_EQ(round.map, map);
    const QDate day = QDate::fromString(QString::fromStdString(form.Rounds().front().started.substr(0, 10)), Qt::ISODate);
    ASSERT_TRUE(day.isValid());
    form.RoundsSince->setDate(day);
    form.RoundsUntil->setDate(day);
    form.RefreshRounds();
    EXPECT_EQ(form.RoundFilter().since, day.toString(Qt::ISODate).toStdString());
    EXPECT_GT(form.RoundsTable->rowCount(), 0);
    for (const TLibraryRound& round : form.Rounds())
        EXPECT_EQ(round.started.substr(0, 10), form.RoundFilter().since);
    form.RoundsSince->setDate(day.addDays(1));
    form.RefreshRounds();
    EXPECT_EQ(form.RoundsTable->rowCount(), 0);
}

TEST(LibraryWindow, DoubleClickOnARoundReplaysItAsTheRoundListDoes)
{
    TLibraryHome h;
    TWindow w(h.home);
    AddAndScan(w, h.logs);
    TLibraryForm& form = w.form();
    // The second round of a log, so that the place counts.
    const int row = RowOf(*form.RoundsTable, [&form](size_t i) { return form.Rounds()[i].round == 1; });
    ASSERT_GE(row, 0);
    const TLibraryRound round = form.Rounds()[static_cast<size_t>(form.RoundsTable->item(row, 0)->data(Qt::UserRole).toULongLong())];
    emit form.RoundsTable->cellDoubleClicked(row, 0);
    EXPECT_EQ(w.window.LogFileName(), round.file);
    EXPECT_EQ(w.window.ListBox1->currentRow(), 1);
    ASSERT_TRUE(w.window.RoundNode());
    EXPECT_EQ(w.window.MapName(), round.map);
    EXPECT_TRUE(w.window.Timer1->isActive());
    EXPECT_EQ(w.window.RecentLogMenu().RecentLogs().front(), round.file);

    // The same as opening the log and double-clicking the round.
    THome other;
    TWindow by(other);
    by.window.OpenLog(round.file);
    by.window.ListBox1->setCurrentRow(1);
    by.window.ListBox1DblClick();
    EXPECT_EQ(ReplayStateText(w.window), ReplayStateText(by.window));
}

TEST(LibraryWindow, PlayersPageAndADoubleClickOnAKillSeeksToThreeSecondsBefore)
{
    TLibraryHome h;
    TWindow w(h.home);
    AddAndScan(w, h.logs);
    TLibraryForm& form = w.form();
    // The player with most kills, from the Players table.
    const int row = RowOf(*form.PlayersTable, [](size_t i) { return i == 0; });
    emit form.PlayersTable->cellDoubleClicked(row, 0);
    ASSERT_TRUE(form.Page());
    const TPlayerPage& page = *form.Page();
    EXPECT_EQ(form.LibraryTabs->currentWidget(), form.PlayerPage);
    EXPECT_EQ(page.player.names, form.Players().front().names);
    EXPECT_TRUE(form.PlayerHeading->text().startsWith(Latin1(page.player.names.front())));
    EXPECT_EQ(form.PlayerRoundsTable->rowCount(), static_cast<int>(page.rounds.size()));
    EXPECT_EQ(form.PlayerKillsTable->rowCount(), static_cast<int>(page.kills.size()));
    EXPECT_EQ(form.PlayerDeathsTable->rowCount(), static_cast<int>(page.deaths.size()));
    EXPECT_EQ(form.PlayerWeaponsTable->rowCount(), static_cast<int>(page.byWeapon.size()));
    ASSERT_FALSE(page.kills.empty());

    // A kill well into its round: the replay stands 3 s before it, as a seek there leaves it.
    const auto kill = std::find_if(page.kills.begin(), page.kills.end(),
                                   [](const TLibraryKill& k) { return k.time - k.roundStart > 20; });
    ASSERT_NE(kill, page.kills.end());
    const size_t place = static_cast<size_t>(kill - page.kills.begin());
    const int killRow = RowOf(*form.PlayerKillsTable, [place](size_t i) { return i == place; });
    emit form.PlayerKillsTable->cellDoubleClicked(killRow, 0);
    EXPECT_EQ(w.window.LogFileName(), kill->file);
    EXPECT_EQ(w.window.ListBox1->currentRow(), kill->place);
    EXPECT_GE(w.window.ReplayTime(), kill->time - 3 - 1e-9);
    EXPECT_LT(w.window.ReplayTime(), kill->time - 3 + 0.15);
    THome other;
    TWindow by(other);
    by.window.OpenLog(kill->file);
    by.window.ListBox1->setCurrentRow(kill->place);
    by.window.ListBox1DblClick();
    by.window.SeekTo(kill->time - 3);
    EXPECT_EQ(ReplayStateText(w.window), ReplayStateText(by.window));

    // A scan's end brings the page up to date where it is.
    form.LibraryTabs->setCurrentWidget(form.RoundsPage);
    w.menu().ScanAgain1Click();
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_EQ(form.LibraryTabs->currentWidget(), form.RoundsPage);
    ASSERT_TRUE(form.Page());
    EXPECT_EQ(form.PlayerKillsTable->rowCount(), static_cast<int>(form.Page()->kills.size()));

    // A name the library does not know says so.
    form.ShowPlayer("'); DROP TABLE rounds; --");
    EXPECT_FALSE(form.Page());
    EXPECT_EQ(form.PlayerRoundsTable->rowCount(), 0);
    form.RefreshRounds();
    EXPECT_GT(form.RoundsTable->rowCount(), 0);
}

TEST(LibraryWindow, ALogThatVanishedIsShownMissing)
{
    TLibraryHome h;
    TWindow w(h.home);
    AddAndScan(w, h.logs);
    const std::string gone = GeneratedLogs().front();
    const std::string file = (std::filesystem::path(h.logs) / std::filesystem::path(gone).filename()).string();
    std::filesystem::remove(file);
    w.menu().ScanAgain1Click();
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_EQ(w.menu().Scan().LastSummary()->missing, 1);
    QTableWidget& table = *w.form().RoundsTable;
    int missing = 0;
    for (int row = 0; row < table.rowCount(); ++row) {
        const TLibraryRound& round = w.form().Rounds()[static_cast<size_t>(table.item(row, 0)->data(Qt::UserRole).toULongLong())];
        EXPECT_EQ(round.missing, round.file == file);
        EXPECT_EQ(table.item(row, 9)->text().endsWith(" (missing)"), round.file == file);
        missing += round.missing;
    }
    EXPECT_GT(missing, 0);

    // The whole folder gone: every log of it.
    std::filesystem::remove_all(h.logs);
    w.menu().ScanAgain1Click();
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    for (const TLibraryRound& round : w.form().Rounds())
        EXPECT_TRUE(round.missing) << round.file;
}

TEST(LibraryWindow, ADatabaseThatIsNoLibraryIsRefusedAndLeftAlone)
{
    TLibraryHome h;
    const std::string text = "just some notes, not a database\n";
    h.home.Dir.Write("library.sqlite", text);
    TErrorCapture errors;
    TWindow w(h.home);
    EXPECT_FALSE(RunHandler([&] { w.menu().AddFolder(h.logs); }));
    ASSERT_EQ(errors.Messages.size(), 1u);
    EXPECT_EQ(ReadFileBytes(h.database), text);
    EXPECT_TRUE(w.menu().Folders().empty()); // nothing remembered
    EXPECT_FALSE(w.menu().Form());
    EXPECT_FALSE(w.menu().Scan().Running());
    EXPECT_FALSE(RunHandler([&] { w.menu().OpenLibrary1Click(); }));
    EXPECT_EQ(errors.Messages.size(), 2u);

    // The settings: another database that is no library is refused, and the setting stays.
    const std::string other = h.home.Dir.Write("other.sqlite", text);
    EXPECT_FALSE(RunHandler([&] { w.menu().SetLocation(other); }));
    EXPECT_EQ(TTarvelMainTest::Settings(w.window).Values("LibraryDatabase"), h.database);
    EXPECT_EQ(ReadFileBytes(other), text);
    // A good one is taken.
    const std::string good = h.home.Dir.Path("good.sqlite");
    w.menu().SetLocation(good);
    EXPECT_EQ(w.menu().Location(), good);
    EXPECT_EQ(ReadFileBytes(h.database), text);
}

TEST(LibraryWindow, AFolderDroppedOnTheWindowIsAddedALogStillOpens)
{
    TLibraryHome h;
    TWindow w(h.home);
    w.window.show();
    EXPECT_TRUE(Drop(*w.window.ListBox1, h.logs));
    EXPECT_EQ(w.menu().Folders(), std::vector<std::string>{h.logs});
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_GT(w.form().RoundsTable->rowCount(), 0);
    EXPECT_TRUE(w.window.LogFileName().empty());
    // On the Library window too.
    const std::string more = h.home.Dir.Path("more");
    std::filesystem::create_directories(more);
    EXPECT_TRUE(Drop(*w.form().RoundsTable->viewport(), more));
    EXPECT_EQ(w.menu().Folders(), (std::vector<std::string>{h.logs, more}));
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    const std::string log = (std::filesystem::path(h.logs) / std::filesystem::path(GeneratedLogs().front()).filename()).string();
    EXPECT_TRUE(Drop(*w.window.ListBox1, log));
    EXPECT_EQ(w.window.LogFileName(), log);
    EXPECT_EQ(w.menu().Folders().size(), 2u);
}

TEST(LibraryWindow, HeatMapOfAMapOfTheLibraryIsDrawnAndExported)
{
    TLibraryHome h;
    TWindow w(h.home);
    AddAndScan(w, h.logs);
    TLibraryForm& form = w.form();
    // The maps are the library's rounds' maps.
    std::set<QString> maps;
    for (const TLibraryRound& round : form.Rounds())
        maps.insert(Latin1(round.map));
    ASSERT_EQ(form.HeatMapName->count(), static_cast<int>(maps.size()));
    EXPECT_EQ(form.HeatFilter().map, FromLatin1(*maps.begin()));
    // Drawn once its page shows.
    EXPECT_TRUE(form.HeatImage().isNull());
    form.LibraryTabs->setCurrentWidget(form.HeatMapPage);
    EXPECT_FALSE(form.HeatImage().isNull());
    EXPECT_TRUE(form.ExportPng->isEnabled());

    // The filter row is the query's: kills of the Axis with one weapon.
    form.HeatKind->setCurrentIndex(1);
    form.HeatTeam->setCurrentIndex(1);
    form.HeatWeapon->setText("BoltRifle");
    const THeatFilter filter = form.HeatFilter();
    EXPECT_EQ(filter.kind, THeatKind::Kills);
    EXPECT_EQ(filter.team, std::optional<int>(1));
    EXPECT_EQ(filter.weapon, "BoltRifle");
    form.RefreshHeatMap();
    TLibraryDatabase library(h.database);
    EXPECT_TRUE(form.HeatStatus->text().startsWith(QString::number(HeatPlaces(library, filter).size()) + " kills"));

    const std::string png = h.home.Dir.Path("heat.png");
    form.ExportPngTo(png);
    const QImage written(QString::fromStdString(png));
    EXPECT_EQ(written.size(), form.HeatImage().size());
}

TEST(LibraryWindow, SettingsDialogTakesAnotherDatabaseAndRemovesAFolder)
{
    TLibraryHome h;
    TWindow w(h.home);
    const std::string other = h.home.Dir.Path("other");
    std::filesystem::create_directories(other);
    w.menu().SetFolders({h.logs, other});
    const std::string database = h.home.Dir.Path("shared.sqlite");
    EXPECT_TRUE(WithModal([&] { w.menu().LibrarySettings1Click(); },
                          [&](QWidget& dialog) {
                              auto* edit = dialog.findChild<QLineEdit*>("LibraryDatabaseEdit");
                              auto* folders = dialog.findChild<QListWidget*>("LibraryFoldersList");
                              ASSERT_TRUE(edit && folders);
                              EXPECT_EQ(edit->text().toStdString(), h.database);
                              ASSERT_EQ(folders->count(), 2);
                              edit->setText(QString::fromStdString(database));
                              folders->setCurrentRow(0);
                              dialog.findChild<QPushButton*>("RemoveFolderButton")->click();
                              static_cast<QDialog&>(dialog).accept();
                          }));
    EXPECT_EQ(w.menu().Folders(), std::vector<std::string>{other});
    EXPECT_EQ(TTarvelMainTest::Settings(w.window).Values("LibraryFolder1"), other);
    EXPECT_EQ(TTarvelMainTest::Settings(w.window).Values("LibraryFolder2"), "");
    EXPECT_EQ(w.menu().Location(), database);
    EXPECT_TRUE(std::filesystem::exists(database));
}

TEST(LibraryWindow, TheWatchedFoldersAreScannedAgainWhenALogChanges)
{
    TLibraryHome h;
    TWindow w(h.home);
    w.menu().SetFolders({h.logs});
    EXPECT_FALSE(w.menu().Watcher()); // only the program watches
    // The program starts: its folders are watched and scanned once.
    w.menu().StartWatching();
    ASSERT_TRUE(w.menu().Watcher());
    EXPECT_TRUE(w.menu().Scan().Running());
    // A change while the scan runs queues one more.
    emit w.menu().Watcher()->Changed();
    EXPECT_TRUE(w.menu().Scan().Queued());
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_EQ(w.menu().Scan().LastSummary()->skipped, static_cast<int>(GeneratedLogs().size()));

    // A new log written meanwhile: its rounds show in the open window once the change is told.
    TLibraryForm& form = w.menu().ShowForm();
    // The window shows what the scan before it did.
    EXPECT_TRUE(form.ScanStatus->text().contains(QString::number(GeneratedLogs().size()) + " unchanged"))
        << form.ScanStatus->text().toStdString();
    const int before = form.RoundsTable->rowCount();
    loggen::Options options;
    options.seed = 12;
    options.players = 6;
    options.rounds = 2;
    options.roundTime = 90;
    std::filesystem::create_directories(h.logs + "/new");
    h.home.Dir.Write("logs/new/ev_16569-20260401_2000.xml", loggen::generateToString(options));
    emit w.menu().Watcher()->Changed();
    ASSERT_TRUE(w.menu().Scan().Wait(60000));
    EXPECT_EQ(w.menu().Scan().LastSummary()->indexed, 1);
    EXPECT_GT(form.RoundsTable->rowCount(), before);
}
