// The Library window: its pages, the tables filled from the library's queries, and the
// double-clicks that replay a round in the main window.
#include "app/library/LibraryForm.h"

#include "app/Controls.h"
#include "app/RecentLogs.h"
#include "app/UTarvelMain.h"
#include "app/library/LibraryMenu.h"
#include "app/library/LibraryScan.h"
#include "base/ErrorReporting.h"
#include "base/Errors.h"
#include "library/HeatMap.h"
#include "library/LibraryDatabase.h"
#include "mapview/ViewOptions.h"
#include "round/RoundView.h"
#include "settings/ProgramFolder.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <set>

namespace {

// A cell of a table: it sorts by its number when it has one (lengths, counts, ratios), else
// by its text. Each row's first cell carries the row's place in the list it shows.
class TLibraryItem : public QTableWidgetItem {
public:
    explicit TLibraryItem(const QString& text) : QTableWidgetItem(text) {}
    TLibraryItem(const QString& text, double number) : QTableWidgetItem(text), FNumber(number)
    {
        setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const auto* item = dynamic_cast<const TLibraryItem*>(&other);
        if (FNumber && item && item->FNumber)
            return *FNumber < *item->FNumber;
        return text().localeAwareCompare(other.text()) < 0;
    }

private:
    std::optional<double> FNumber;
};

const QDate AnyDate(2000, 1, 1); // shown as "any": the date filters nothing

// A date filter that says "any" opens its calendar on the month of the library's newest round
// (today's without rounds), where a user looks, rather than on the "any" date's.
class TCalendarPage : public QObject {
public:
    TCalendarPage(QDateEdit& field, std::function<QDate()> newest) : QObject(&field), FField(field), FNewest(std::move(newest))
    {
        field.calendarWidget()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && FField.date() == AnyDate) {
            // Once the popup has done showing: it turns to the "any" date's month as it shows.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    const QDate newest = FNewest();
                    const QDate page = newest.isValid() ? newest : QDate::currentDate();
                    FField.calendarWidget()->setCurrentPage(page.year(), page.month());
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QDateEdit& FField;
    std::function<QDate()> FNewest;
};

QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
QString Duration(int64_t seconds)
{
    seconds = std::max<int64_t>(0, seconds);
    const QChar zero(u'0');
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, zero).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
}

// The sides as the scoreboard names them: team 1 the Axis, every other the Allies.
QString TeamName(const std::string& team)
{
    if (team.empty())
        return QString();
    return team == "1" ? QStringLiteral("Axis") : QStringLiteral("Alies");
}

// "1:120, 2:0" as "Axis 120, Alies 0".
QString Tickets(const std::string& stored)
{
    QStringList shown;
    for (const QString& pair : Latin1(stored).split(QStringLiteral(", "), Qt::SkipEmptyParts)) {
        const qsizetype colon = pair.indexOf(u':');
        shown << (colon < 0 ? pair : TeamName(FromLatin1(pair.left(colon))) + u' ' + pair.mid(colon + 1));
    }
    return shown.join(QStringLiteral(", "));
}

QTableWidget* NewTable(QWidget* parent, const char* name, const QStringList& headers)
{
    auto* table = new QTableWidget(parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setColumnCount(static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSortIndicatorShown(true);
    table->horizontalHeader()->setStretchLastSection(true);
    // Columns fit the first rows: measuring ten thousand rounds' cells would take a second.
    table->horizontalHeader()->setResizeContentsPrecision(200);
    table->setWordWrap(false);
    return table;
}

// Fills a table with a row for each of `count` things; `cells(i)` gives the cells of the i-th,
// whose place the first cell keeps. The table keeps the column it was sorted by.
template <typename TCells>
void FillTable(QTableWidget& table, size_t count, TCells cells)
{
    const int sortColumn = table.horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = table.horizontalHeader()->sortIndicatorOrder();
    const bool sorted = table.isSortingEnabled();
    table.setSortingEnabled(false);
    table.clearContents();
    table.setRowCount(static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
        std::vector<QTableWidgetItem*> row = cells(i);
        row.front()->setData(Qt::UserRole, static_cast<qulonglong>(i));
        for (size_t column = 0; column < row.size(); ++column)
            table.setItem(static_cast<int>(i), static_cast<int>(column), row[column]);
    }
    table.setSortingEnabled(true);
    if (sorted)
        table.sortItems(sortColumn, order);
    table.resizeColumnsToContents();
    for (int column = 0; column < table.columnCount(); ++column)
        table.setColumnWidth(column, std::min(table.columnWidth(column), 320));
}

// The place in its list of the thing a row shows.
size_t PlaceOfRow(const QTableWidget& table, int row)
{
    const QTableWidgetItem* first = table.item(row, 0);
    if (!first)
        throw EListError(row);
    return static_cast<size_t>(first->data(Qt::UserRole).toULongLong());
}

const QStringList RoundColumns = {QStringLiteral("Date"),   QStringLiteral("Server"), QStringLiteral("Map"),
                                  QStringLiteral("Mod"),    QStringLiteral("Mode"),   QStringLiteral("Length"),
                                  QStringLiteral("Players"), QStringLiteral("Winner"), QStringLiteral("Tickets"),
                                  QStringLiteral("File")};

std::vector<QTableWidgetItem*> RoundCells(const TLibraryRound& round)
{
    // A log whose name gives no date is dated by the file's time, which a copy may have moved.
    std::vector<QTableWidgetItem*> cells = {new TLibraryItem(Latin1(round.started) +
                                                             (round.datedByName ? QString() : QStringLiteral(" (file time)"))),
                                            new TLibraryItem(Latin1(round.server)),
                                            new TLibraryItem(Latin1(round.map)),
                                            new TLibraryItem(Latin1(round.mod)),
                                            new TLibraryItem(Latin1(round.mode)),
                                            new TLibraryItem(Duration(round.length), static_cast<double>(round.length)),
                                            new TLibraryItem(QString::number(round.players), round.players),
                                            new TLibraryItem(TeamName(round.winner)),
                                            new TLibraryItem(Tickets(round.tickets)),
                                            new TLibraryItem(PathText(round.file) +
                                                             (round.missing ? QStringLiteral(" (missing)") : QString()))};
    cells.back()->setToolTip(PathText(round.file));
    if (!round.datedByName)
        cells.front()->setToolTip(QStringLiteral("Dated by the file's time: its name gives no date"));
    if (round.missing)
        for (QTableWidgetItem* cell : cells) {
            cell->setForeground(Qt::gray);
            cell->setToolTip(QStringLiteral("The log is gone: ") + PathText(round.file));
        }
    return cells;
}

const QStringList KillColumns(const char* other)
{
    return {QStringLiteral("Date"),   QStringLiteral("Map"), QStringLiteral("Time"),    QString::fromLatin1(other),
            QStringLiteral("Weapon"), QStringLiteral("Kit"), QStringLiteral("Vehicle"), QStringLiteral("Team kill")};
}

// The heat map shrunk to the room it has, its sides kept in proportion; the PNG keeps it whole.
class THeatView : public QWidget {
public:
    explicit THeatView(const QImage& image) : FImage(image) { setMinimumSize(200, 200); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (FImage.isNull())
            return;
        QPainter painter(this);
        const QSize size = FImage.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, FImage);
    }

private:
    const QImage& FImage;
};

QGroupBox* Group(const QString& title, QWidget* content)
{
    auto* box = new QGroupBox(title);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(content);
    return box;
}

} // namespace

TLibraryForm::TLibraryForm(TTarvelMain& window, TLibraryMenu& menu)
    : QWidget(&window, Qt::Window), FWindow(window), FMenu(menu), FFilterDelay(new QTimer(this))
{
    setObjectName(QStringLiteral("LibraryForm"));
    setWindowTitle(QStringLiteral("Library"));
    resize(1000, 640);
    setAcceptDrops(true); // a folder dropped here joins the library (LibraryMenu.cpp)
    auto* layout = new QVBoxLayout(this);
    LibraryTabs = new QTabWidget(this);
    LibraryTabs->setObjectName(QStringLiteral("LibraryTabs"));
    layout->addWidget(LibraryTabs);
    CreateRoundsPage();
    CreatePlayersPage();
    CreatePlayerPage();
    CreateHeatMapPage();

    auto* scanRow = new QHBoxLayout;
    ScanStatus = new QLabel(this);
    ScanStatus->setObjectName(QStringLiteral("ScanStatus"));
    ScanProgress = new QProgressBar(this);
    ScanProgress->setObjectName(QStringLiteral("ScanProgress"));
    ScanProgress->setMaximumWidth(260);
    ScanCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ScanCancel->setObjectName(QStringLiteral("ScanCancel"));
    scanRow->addWidget(ScanStatus, 1);
    scanRow->addWidget(ScanProgress);
    scanRow->addWidget(ScanCancel);
    layout->addLayout(scanRow);
    ScanProgress->hide();
    ScanCancel->hide();
    connect(ScanCancel, &QPushButton::clicked, this, [this] {
        FMenu.Scan().Cancel();
        ShowScanStatus(QStringLiteral("Cancelling the scan: the log being read is finished first."));
    });
    connect(&FMenu.Scan(), &TLibraryScan::Progress, this, &TLibraryForm::ScanProgressed);

    FFilterDelay->setSingleShot(true);
    FFilterDelay->setInterval(250);
    connect(FFilterDelay, &QTimer::timeout, this, [this] { RunHandler([this] { RefreshRounds(); }); });
    if (FMenu.Scan().Running())
        ScanStarted();
    else
        ShowScanSummary(); // of a scan that ended before the window first showed
}

void TLibraryForm::CreateRoundsPage()
{
    RoundsPage = new QWidget;
    RoundsPage->setObjectName(QStringLiteral("RoundsPage"));
    LibraryTabs->addTab(RoundsPage, QStringLiteral("Rounds"));
    auto* layout = new QVBoxLayout(RoundsPage);
    auto* filter = new QHBoxLayout;
    auto edit = [this, filter](const char* caption, const char* name, int width) {
        auto* field = new QLineEdit(RoundsPage);
        field->setObjectName(QString::fromLatin1(name));
        field->setClearButtonEnabled(true);
        field->setMaximumWidth(width);
        filter->addWidget(new QLabel(QString::fromLatin1(caption), RoundsPage));
        filter->addWidget(field);
        connect(field, &QLineEdit::textChanged, FFilterDelay, qOverload<>(&QTimer::start));
        return field;
    };
    RoundsMap = edit("Map", "RoundsMap", 160);
    RoundsPlayer = edit("Player", "RoundsPlayer", 160);
    RoundsPlayer->setToolTip(QStringLiteral("Any name the player used, whole; letter case does not matter"));
    RoundsMod = edit("Mod", "RoundsMod", 110);
    auto date = [this, filter](const char* caption, const char* name) {
        auto* field = new QDateEdit(RoundsPage);
        field->setObjectName(QString::fromLatin1(name));
        field->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        field->setCalendarPopup(true);
        field->setMinimumDate(AnyDate);
        field->setSpecialValueText(QStringLiteral("any"));
        field->setDate(AnyDate);
        filter->addWidget(new QLabel(QString::fromLatin1(caption), RoundsPage));
        filter->addWidget(field);
        connect(field, &QDateEdit::dateChanged, FFilterDelay, qOverload<>(&QTimer::start));
        new TCalendarPage(*field, [this] {
            std::string newest;
            for (const TLibraryRound& round : FRounds)
                newest = std::max(newest, round.started);
            return QDate::fromString(QString::fromLatin1(newest.substr(0, 10)), Qt::ISODate);
        });
        return field;
    };
    RoundsSince = date("Since", "RoundsSince");
    RoundsUntil = date("Until", "RoundsUntil");
    filter->addStretch(1);
    layout->addLayout(filter);
    RoundsTable = NewTable(RoundsPage, "RoundsTable", RoundColumns);
    RoundsTable->setToolTip(QStringLiteral("Double-click a round to replay it"));
    RoundsTable->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    RoundsTable->setSortingEnabled(true);
    layout->addWidget(RoundsTable);
    connect(RoundsTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row) { RunHandler([this, row] { RoundsTableDblClick(row); }); });
}

void TLibraryForm::CreatePlayersPage()
{
    PlayersPage = new QWidget;
    PlayersPage->setObjectName(QStringLiteral("PlayersPage"));
    LibraryTabs->addTab(PlayersPage, QStringLiteral("Players"));
    auto* layout = new QVBoxLayout(PlayersPage);
    auto* filter = new QHBoxLayout;
    PlayersName = new QLineEdit(PlayersPage);
    PlayersName->setObjectName(QStringLiteral("PlayersName"));
    PlayersName->setClearButtonEnabled(true);
    PlayersName->setMaximumWidth(200);
    filter->addWidget(new QLabel(QStringLiteral("Name"), PlayersPage));
    filter->addWidget(PlayersName);
    filter->addStretch(1);
    layout->addLayout(filter);
    PlayersTable = NewTable(PlayersPage, "PlayersTable",
                            {QStringLiteral("Names"), QStringLiteral("Rounds"), QStringLiteral("Time played"),
                             QStringLiteral("Score"), QStringLiteral("Kills"), QStringLiteral("Deaths"),
                             QStringLiteral("K/D"), QStringLiteral("Team kills"), QStringLiteral("Favourite kit"),
                             QStringLiteral("Vehicle"), QStringLiteral("Weapon"), QStringLiteral("Last seen")});
    PlayersTable->setToolTip(QStringLiteral("Double-click a player for their page"));
    PlayersTable->horizontalHeader()->setSortIndicator(4, Qt::DescendingOrder);
    PlayersTable->setSortingEnabled(true);
    layout->addWidget(PlayersTable);
    auto* delay = new QTimer(this);
    delay->setSingleShot(true);
    delay->setInterval(250);
    connect(delay, &QTimer::timeout, this, [this] { RunHandler([this] { RefreshPlayers(); }); });
    connect(PlayersName, &QLineEdit::textChanged, delay, qOverload<>(&QTimer::start));
    connect(PlayersTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row) { RunHandler([this, row] { PlayersTableDblClick(row); }); });
}

void TLibraryForm::CreatePlayerPage()
{
    PlayerPage = new QWidget;
    PlayerPage->setObjectName(QStringLiteral("PlayerPage"));
    LibraryTabs->addTab(PlayerPage, QStringLiteral("Player"));
    auto* layout = new QVBoxLayout(PlayerPage);
    PlayerHeading = new QLabel(QStringLiteral("Double-click a player on the Players page."), PlayerPage);
    PlayerHeading->setObjectName(QStringLiteral("PlayerHeading"));
    PlayerHeading->setWordWrap(true);
    PlayerHeading->setTextFormat(Qt::PlainText);
    layout->addWidget(PlayerHeading);
    PlayerRoundsTable = NewTable(PlayerPage, "PlayerRoundsTable", RoundColumns);
    PlayerKillsTable = NewTable(PlayerPage, "PlayerKillsTable", KillColumns("Victim"));
    PlayerDeathsTable = NewTable(PlayerPage, "PlayerDeathsTable", KillColumns("Killer"));
    PlayerKitsTable = NewTable(PlayerPage, "PlayerKitsTable", {QStringLiteral("Kit"), QStringLiteral("Kills")});
    PlayerVehiclesTable = NewTable(PlayerPage, "PlayerVehiclesTable", {QStringLiteral("Vehicle"), QStringLiteral("Kills")});
    PlayerWeaponsTable = NewTable(PlayerPage, "PlayerWeaponsTable", {QStringLiteral("Weapon"), QStringLiteral("Kills")});
    PlayerRoundsTable->setToolTip(QStringLiteral("Double-click a round to replay it"));
    for (QTableWidget* table : {PlayerKillsTable, PlayerDeathsTable})
        table->setToolTip(QStringLiteral("Double-click to replay it from 3 s before"));
    auto* splitter = new QSplitter(Qt::Vertical, PlayerPage);
    splitter->addWidget(Group(QStringLiteral("Rounds"), PlayerRoundsTable));
    auto* kills = new QSplitter(Qt::Horizontal);
    kills->addWidget(Group(QStringLiteral("Kills"), PlayerKillsTable));
    kills->addWidget(Group(QStringLiteral("Deaths"), PlayerDeathsTable));
    splitter->addWidget(kills);
    auto* counts = new QSplitter(Qt::Horizontal);
    counts->addWidget(Group(QStringLiteral("Kills by kit"), PlayerKitsTable));
    counts->addWidget(Group(QStringLiteral("by vehicle"), PlayerVehiclesTable));
    counts->addWidget(Group(QStringLiteral("by weapon"), PlayerWeaponsTable));
    splitter->addWidget(counts);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 2);
    layout->addWidget(splitter, 1);
    connect(PlayerRoundsTable, &QTableWidget::cellDoubleClicked, this,
            [this](int row) { RunHandler([this, row] { PlayerRoundsTableDblClick(row); }); });
    for (QTableWidget* table : {PlayerKillsTable, PlayerDeathsTable})
        connect(table, &QTableWidget::cellDoubleClicked, this,
                [this, table](int row) { RunHandler([this, table, row] { PlayerKillsTableDblClick(table, row); }); });
}

void TLibraryForm::CreateHeatMapPage()
{
    HeatMapPage = new QWidget;
    HeatMapPage->setObjectName(QStringLiteral("HeatMapPage"));
    LibraryTabs->addTab(HeatMapPage, QStringLiteral("Heat map"));
    auto* layout = new QVBoxLayout(HeatMapPage);
    auto* row = new QHBoxLayout;
    auto combo = [this, row](const char* caption, const char* name, const QStringList& items) {
        auto* box = new QComboBox(HeatMapPage);
        box->setObjectName(QString::fromLatin1(name));
        box->addItems(items);
        row->addWidget(new QLabel(QString::fromLatin1(caption), HeatMapPage));
        row->addWidget(box);
        return box;
    };
    HeatMapName = combo("Map", "HeatMapName", {});
    HeatMapName->setMinimumWidth(160);
    HeatKind = combo("Show", "HeatKind", {QStringLiteral("Deaths"), QStringLiteral("Kills")});
    HeatTeam = combo("Team", "HeatTeam", {QStringLiteral("All teams"), QStringLiteral("Axis"), QStringLiteral("Alies")});
    auto edit = [this, row](const char* caption, const char* name) {
        auto* field = new QLineEdit(HeatMapPage);
        field->setObjectName(QString::fromLatin1(name));
        field->setClearButtonEnabled(true);
        field->setMaximumWidth(140);
        row->addWidget(new QLabel(QString::fromLatin1(caption), HeatMapPage));
        row->addWidget(field);
        return field;
    };
    HeatWeapon = edit("Weapon", "HeatWeapon");
    HeatPlayer = edit("Player", "HeatPlayer");
    row->addStretch(1);
    ExportPng = new QPushButton(QString::fromUtf8("Export PNG\u2026"), HeatMapPage);
    ExportPng->setObjectName(QStringLiteral("ExportPng"));
    row->addWidget(ExportPng);
    layout->addLayout(row);
    HeatStatus = new QLabel(HeatMapPage);
    HeatStatus->setObjectName(QStringLiteral("HeatStatus"));
    layout->addWidget(HeatStatus);
    HeatPicture = new THeatView(FHeatImage);
    HeatPicture->setObjectName(QStringLiteral("HeatPicture"));
    layout->addWidget(HeatPicture, 1);

    auto* delay = new QTimer(this);
    delay->setSingleShot(true);
    delay->setInterval(250);
    connect(delay, &QTimer::timeout, this, [this] { RunHandler([this] { RefreshHeatMap(); }); });
    for (QComboBox* box : {HeatMapName, HeatKind, HeatTeam})
        connect(box, &QComboBox::currentIndexChanged, delay, qOverload<>(&QTimer::start));
    for (QLineEdit* field : {HeatWeapon, HeatPlayer})
        connect(field, &QLineEdit::textChanged, delay, qOverload<>(&QTimer::start));
    connect(ExportPng, &QPushButton::clicked, this, [this] { RunHandler([this] { ExportPngClick(); }); });
    connect(LibraryTabs, &QTabWidget::currentChanged, this, [this] {
        if (FHeatStale && LibraryTabs->currentWidget() == HeatMapPage)
            RunHandler([this] { RefreshHeatMap(); });
    });
}

void TLibraryForm::Refresh()
{
    // A server's URL is shown without its password.
    setWindowTitle(QStringLiteral("Library - ") + PathText(LibraryLocationShown(FMenu.Location())));
    RefreshRounds();
    RefreshPlayers();
    // The page shown stays on its tab, brought up to date.
    if (FPage && !FPage->player.names.empty()) {
        FPage = ::PlayerPage(FMenu.Library(), FPage->player.names.front());
        ShowPage();
    }
    RefreshMaps();
}

TRoundFilter TLibraryForm::RoundFilter() const
{
    TRoundFilter filter;
    filter.map = FromLatin1(RoundsMap->text().trimmed());
    filter.player = FromLatin1(RoundsPlayer->text().trimmed());
    filter.mod = FromLatin1(RoundsMod->text().trimmed());
    if (RoundsSince->date() != AnyDate)
        filter.since = RoundsSince->date().toString(Qt::ISODate).toStdString();
    if (RoundsUntil->date() != AnyDate)
        filter.until = RoundsUntil->date().toString(Qt::ISODate).toStdString();
    return filter;
}

void TLibraryForm::RefreshRounds()
{
    FFilterDelay->stop();
    FRounds = LibraryRounds(FMenu.Library(), RoundFilter());
    FillTable(*RoundsTable, FRounds.size(), [this](size_t i) { return RoundCells(FRounds[i]); });
}

void TLibraryForm::RefreshPlayers()
{
    FPlayers = LibraryPlayers(FMenu.Library(), FromLatin1(PlayersName->text().trimmed()));
    FillTable(*PlayersTable, FPlayers.size(), [this](size_t i) -> std::vector<QTableWidgetItem*> {
        const TLibraryPlayer& p = FPlayers[i];
        QStringList names;
        for (const std::string& name : p.names)
            names << Latin1(name);
        auto* first = new TLibraryItem(names.join(QStringLiteral(", ")));
        if (!p.keyhash.empty())
            first->setToolTip(QStringLiteral("Key hash ") + Latin1(p.keyhash));
        return {first,
                new TLibraryItem(QString::number(p.rounds), p.rounds),
                new TLibraryItem(Duration(p.seconds), static_cast<double>(p.seconds)),
                new TLibraryItem(QString::number(p.score), p.score),
                new TLibraryItem(QString::number(p.kills), p.kills),
                new TLibraryItem(QString::number(p.deaths), p.deaths),
                new TLibraryItem(QString::number(p.ratio, 'f', 2), p.ratio),
                new TLibraryItem(QString::number(p.tks), p.tks),
                new TLibraryItem(Latin1(p.kit)),
                new TLibraryItem(Latin1(p.vehicle)),
                new TLibraryItem(Latin1(p.weapon)),
                new TLibraryItem(Latin1(p.lastSeen))};
    });
}

void TLibraryForm::ShowPlayer(const std::string& name)
{
    FPage = ::PlayerPage(FMenu.Library(), name);
    ShowPage();
    LibraryTabs->setCurrentWidget(PlayerPage);
}

void TLibraryForm::ShowPage()
{
    if (!FPage) {
        PlayerHeading->setText(QStringLiteral("The library holds no player of that name."));
        for (QTableWidget* table : {PlayerRoundsTable, PlayerKillsTable, PlayerDeathsTable, PlayerKitsTable,
                                    PlayerVehiclesTable, PlayerWeaponsTable})
            table->setRowCount(0);
        return;
    }
    const TPlayerPage& page = *FPage;
    const TLibraryPlayer& p = page.player;
    QStringList names;
    for (const std::string& name : p.names)
        names << Latin1(name);
    QString heading = names.join(QStringLiteral(", "));
    if (!p.keyhash.empty())
        heading += QStringLiteral("    key hash ") + Latin1(p.keyhash);
    heading += QStringLiteral("\n%1 rounds, %2 played, score %3, %4 kills, %5 deaths (K/D %6), %7 team kills, last seen %8")
                   .arg(p.rounds)
                   .arg(Duration(p.seconds))
                   .arg(p.score)
                   .arg(p.kills)
                   .arg(p.deaths)
                   .arg(QString::number(p.ratio, 'f', 2))
                   .arg(p.tks)
                   .arg(Latin1(p.lastSeen));
    PlayerHeading->setText(heading);
    FillTable(*PlayerRoundsTable, page.rounds.size(), [&page](size_t i) { return RoundCells(page.rounds[i]); });
    auto fillKills = [&page](QTableWidget& table, const std::vector<TLibraryKill>& kills, bool victims) {
        FillTable(table, kills.size(), [&](size_t i) -> std::vector<QTableWidgetItem*> {
            const TLibraryKill& kill = kills[i];
            const auto round = std::find_if(page.rounds.begin(), page.rounds.end(),
                                            [&kill](const TLibraryRound& r) { return r.id == kill.round; });
            const double elapsed = std::max(0.0, kill.time - kill.roundStart);
            return {new TLibraryItem(round == page.rounds.end() ? QString() : Latin1(round->started)),
                    new TLibraryItem(round == page.rounds.end() ? QString() : Latin1(round->map)),
                    new TLibraryItem(Duration(static_cast<int64_t>(elapsed)), elapsed),
                    new TLibraryItem(Latin1(victims ? kill.victim : kill.killer)),
                    new TLibraryItem(Latin1(kill.weapon)),
                    new TLibraryItem(Latin1(kill.kit)),
                    new TLibraryItem(Latin1(kill.vehicle)),
                    new TLibraryItem(kill.teamKill ? QStringLiteral("yes") : QString())};
        });
    };
    fillKills(*PlayerKillsTable, page.kills, true);
    fillKills(*PlayerDeathsTable, page.deaths, false);
    auto fillCounts = [](QTableWidget& table, const std::vector<std::pair<std::string, int>>& counts) {
        FillTable(table, counts.size(), [&counts](size_t i) -> std::vector<QTableWidgetItem*> {
            return {new TLibraryItem(Latin1(counts[i].first)),
                    new TLibraryItem(QString::number(counts[i].second), counts[i].second)};
        });
    };
    fillCounts(*PlayerKitsTable, page.byKit);
    fillCounts(*PlayerVehiclesTable, page.byVehicle);
    fillCounts(*PlayerWeaponsTable, page.byWeapon);
}

void TLibraryForm::RoundsTableDblClick(int row)
{
    // Copied: a big log loads behind a dialog, and a scan that ends meanwhile refreshes the lists.
    const TLibraryRound round = FRounds.at(PlaceOfRow(*RoundsTable, row));
    ReplayRound(round.file, round.round);
}

void TLibraryForm::PlayersTableDblClick(int row)
{
    const TLibraryPlayer& player = FPlayers.at(PlaceOfRow(*PlayersTable, row));
    if (!player.names.empty())
        ShowPlayer(std::string(player.names.front()));
}

void TLibraryForm::PlayerRoundsTableDblClick(int row)
{
    if (!FPage)
        return;
    const TLibraryRound round = FPage->rounds.at(PlaceOfRow(*PlayerRoundsTable, row));
    ReplayRound(round.file, round.round);
}

void TLibraryForm::PlayerKillsTableDblClick(QTableWidget* table, int row)
{
    if (!FPage)
        return;
    const std::vector<TLibraryKill>& kills = table == PlayerKillsTable ? FPage->kills : FPage->deaths;
    const TLibraryKill kill = kills.at(PlaceOfRow(*table, row));
    ReplayKill(kill);
}

void TLibraryForm::ReplayRound(const std::string& file, int place)
{
    // As the user would: the log opened (and remembered), its round double-clicked.
    FWindow.OpenLog(file);
    FWindow.RecentLogMenu().RememberRecentLog(file);
    if (place < 0 || place >= FWindow.ListBox1->count())
        throw EBaseError("The log " + file + " holds no round " + std::to_string(place + 1) +
                         " any more: scan the library again");
    FWindow.ListBox1->setCurrentRow(place);
    FWindow.ListBox1DblClick();
    FWindow.raise();
    FWindow.activateWindow();
}

void TLibraryForm::ReplayKill(const TLibraryKill& kill)
{
    ReplayRound(kill.file, kill.place);
    // The moment the Replay menu's kill steps go to: 3 s before, never before the round began.
    FWindow.SeekTo(std::max(FWindow.RoundStartTime(), kill.time - 3.0));
}

void TLibraryForm::RefreshMaps()
{
    const QString chosen = HeatMapName->currentText();
    // Every round's map: the Rounds page holds them all when it filters nothing.
    const TRoundFilter filter = RoundFilter();
    const bool all = filter.map.empty() && filter.player.empty() && filter.mod.empty() && filter.since.empty() &&
                     filter.until.empty();
    std::set<std::string> maps;
    for (const TLibraryRound& round : all ? FRounds : LibraryRounds(FMenu.Library(), TRoundFilter()))
        if (!round.map.empty())
            maps.insert(round.map);
    {
        const QSignalBlocker quiet(HeatMapName);
        HeatMapName->clear();
        for (const std::string& map : maps)
            HeatMapName->addItem(Latin1(map));
        const int found = HeatMapName->findText(chosen);
        HeatMapName->setCurrentIndex(found >= 0 ? found : 0);
    }
    // The picture is drawn when its page shows: a scan while a server writes ends every few
    // seconds, and a heat map over a large library is no small drawing.
    FHeatStale = true;
    if (LibraryTabs->currentWidget() == HeatMapPage)
        RefreshHeatMap();
}

THeatFilter TLibraryForm::HeatFilter() const
{
    THeatFilter filter;
    filter.map = FromLatin1(HeatMapName->currentText());
    filter.kind = HeatKind->currentIndex() == 1 ? THeatKind::Kills : THeatKind::Deaths;
    if (HeatTeam->currentIndex() > 0)
        filter.team = HeatTeam->currentIndex(); // 1 the Axis, 2 the Allies
    filter.weapon = FromLatin1(HeatWeapon->text().trimmed());
    filter.player = FromLatin1(HeatPlayer->text().trimmed());
    return filter;
}

void TLibraryForm::RefreshHeatMap()
{
    FHeatStale = false;
    const THeatFilter filter = HeatFilter();
    FHeatImage = QImage();
    if (filter.map.empty()) {
        HeatStatus->setText(QStringLiteral("The library holds no round with a map yet."));
    } else {
        // Drawn as `ornwick library heatmap` draws it: the map's picture and calibration as a
        // round of it would be replayed with.
        const std::vector<TWorldPlace> places = HeatPlaces(FMenu.Library(), filter);
        const THeatBase base = HeatBaseOf(FWindow.ProgramFiles(), filter.map, places);
        const THeatMap heat = DrawHeatMap(base, places, HeatZoom(base), FrameFont());
        FHeatImage = heat.picture;
        HeatStatus->setText(QStringLiteral("%1 %2 on %3%4")
                                .arg(places.size())
                                .arg(filter.kind == THeatKind::Kills ? QStringLiteral("kills") : QStringLiteral("deaths"))
                                .arg(Latin1(filter.map))
                                .arg(base.picture.isNull() ? QStringLiteral(" (no picture of the map: its grid)") : QString()));
    }
    ExportPng->setEnabled(!FHeatImage.isNull());
    HeatPicture->update();
}

void TLibraryForm::ExportPngClick()
{
    if (FHeatImage.isNull())
        throw EBaseError("There is no heat map to export: choose a map first");
    const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Export heat map"),
                                                      HeatMapName->currentText() + QStringLiteral("-heat.png"),
                                                      QStringLiteral("PNG picture (*.png)"));
    if (!name.isEmpty())
        ExportPngTo(QFile::encodeName(name).toStdString());
}

void TLibraryForm::ExportPngTo(const std::string& fileName)
{
    if (FHeatImage.isNull())
        throw EBaseError("There is no heat map to export: choose a map first");
    SavePictureAtomically(FHeatImage, fileName);
}

void TLibraryForm::ScanStarted()
{
    ScanProgress->setRange(0, 0); // busy until the files are counted
    ScanProgress->show();
    ScanCancel->show();
    ScanCancel->setEnabled(true);
    ShowScanStatus(QString::fromUtf8("Looking for logs\u2026"));
    FSinceRefresh.start();
}

void TLibraryForm::ScanProgressed(int done, int total, const QString& file)
{
    ScanProgress->setRange(0, std::max(1, total));
    ScanProgress->setValue(done);
    ShowScanStatus(QStringLiteral("Scanning %1 of %2: %3").arg(done + 1).arg(total).arg(file));
    // Each log is stored whole as it is read: a first scan of many logs shows them coming in.
    // A user working in the table keeps it as it is until the scan ends.
    if (FSinceRefresh.isValid() && FSinceRefresh.elapsed() >= LiveRefreshMs && RoundsTable->selectedItems().isEmpty()) {
        RunHandler([this] { RefreshRounds(); });
        FSinceRefresh.start();
    }
}

void TLibraryForm::ScanEnded()
{
    if (!FMenu.Scan().Running()) {
        ScanProgress->hide();
        ScanCancel->hide();
    }
    ShowScanSummary();
    RunHandler([this] { Refresh(); });
}

void TLibraryForm::ShowScanSummary()
{
    const TLibraryScan& scan = FMenu.Scan();
    if (const std::optional<TScanSummary>& s = scan.LastSummary()) {
        QString text = QStringLiteral("Logs: %1 found, %2 indexed, %3 unchanged, %4 failed, %5 missing; rounds stored: %6")
                           .arg(s->files)
                           .arg(s->indexed)
                           .arg(s->skipped)
                           .arg(s->failed)
                           .arg(s->missing)
                           .arg(s->rounds);
        if (s->cancelled)
            text = QStringLiteral("Scan cancelled: ") + text;
        if (!s->failures.empty())
            text += QStringLiteral(" (point here for why they failed)");
        ShowScanStatus(text);
        if (!s->failures.empty()) {
            QStringList why;
            for (const auto& [file, reason] : s->failures)
                why << PathText(file) + QStringLiteral(": ") + PathText(reason);
            ScanStatus->setToolTip(why.join(u'\n'));
        }
    } else if (!scan.LastError().empty()) {
        ShowScanStatus(QStringLiteral("The scan could not run: ") + PathText(scan.LastError()));
    }
}

void TLibraryForm::ShowScanStatus(const QString& text)
{
    ScanStatus->setText(text);
    ScanStatus->setToolTip(QString());
}
