// The round statistics window: the server's own table of the round being replayed, sortable by
// any column, with the replay's counts of the same players beside it.
#include "app/replay/RoundStatsForm.h"

#include "app/UTarvelMain.h"
#include "app/mapview/ViewMenu.h"
#include "base/ErrorReporting.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A cell that sorts by number in a column of numbers, by text elsewhere.
class TStatItem : public QTableWidgetItem {
public:
    TStatItem(const QString& text, bool numeric) : QTableWidgetItem(text), FNumeric(numeric)
    {
        if (numeric)
            setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const auto* item = dynamic_cast<const TStatItem*>(&other);
        if (FNumeric && item && item->FNumeric) {
            // An empty cell sorts before every number.
            if (text().isEmpty() || item->text().isEmpty())
                return text().isEmpty() && !item->text().isEmpty();
            return text().toDouble() < item->text().toDouble();
        }
        return text().localeAwareCompare(other.text()) < 0;
    }

private:
    bool FNumeric;
};

QString TeamName(const std::string& team) { return team == "1" ? QStringLiteral("Axis") : QStringLiteral("Alies"); }

QString Summary(const TRoundStats& stats)
{
    if (!stats.present)
        return QStringLiteral("The server wrote no statistics for this round.");
    QString text;
    if (!stats.winningTeam.empty())
        text += QStringLiteral("Winner: %1 (team %2)").arg(TeamName(stats.winningTeam), Latin1(stats.winningTeam));
    if (!stats.victoryType.empty())
        text += (text.isEmpty() ? QString() : QStringLiteral("    ")) +
                QStringLiteral("Victory type: %1").arg(Latin1(stats.victoryType));
    for (const auto& [team, tickets] : stats.tickets)
        text += (text.isEmpty() ? QString() : QStringLiteral("    ")) +
                QStringLiteral("%1 tickets: %2").arg(TeamName(team), Latin1(tickets));
    return text;
}

// The replay's counts follow the server's columns; a count that differs from the server's own
// is marked.
struct TReplayColumn {
    const char* caption;
    const char* serverField;
    int TReplayCounts::*count;
};
const TReplayColumn ReplayColumns[] = {
    {"replay kills", "kills", &TReplayCounts::kills},
    {"replay deaths", "deaths", &TReplayCounts::deaths},
    {"replay tks", "tks", &TReplayCounts::tks},
};

void FillTable(QTableWidget& table, const TRoundStats& stats, const std::unordered_map<int32_t, TReplayCounts>& counts)
{
    table.setSortingEnabled(false);
    table.clear();
    std::vector<std::string> columns{"playerid"};
    columns.insert(columns.end(), stats.columns.begin(), stats.columns.end());
    const int serverColumns = static_cast<int>(columns.size());
    table.setColumnCount(serverColumns + static_cast<int>(std::size(ReplayColumns)));
    table.setRowCount(static_cast<int>(stats.players.size()));
    QStringList headers;
    for (const std::string& column : columns)
        headers << Latin1(column);
    for (const TReplayColumn& column : ReplayColumns)
        headers << QString::fromLatin1(column.caption);
    table.setHorizontalHeaderLabels(headers);
    std::vector<bool> numeric;
    const std::unordered_map<std::string, bool> numericColumns = stats.NumericColumns();
    for (const std::string& column : columns)
        numeric.push_back(numericColumns.count(column) && numericColumns.at(column));
    const QColor differs(255, 225, 150);
    for (int row = 0; row < static_cast<int>(stats.players.size()); ++row) {
        const TPlayerStat& player = stats.players[static_cast<size_t>(row)];
        for (int c = 0; c < serverColumns; ++c) {
            const std::string& column = columns[static_cast<size_t>(c)];
            const std::string value = c == 0 ? player.playerID : player.Field(column);
            table.setItem(row, c, new TStatItem(Latin1(value), numeric[static_cast<size_t>(c)]));
        }
        const std::optional<int32_t> id = player.ID();
        const auto found = id ? counts.find(*id) : counts.end();
        for (size_t k = 0; k < std::size(ReplayColumns); ++k) {
            const int c = serverColumns + static_cast<int>(k);
            if (found == counts.end()) {
                table.setItem(row, c, new TStatItem(QString(), true));
                continue;
            }
            const int count = found->second.*ReplayColumns[k].count;
            auto* item = new TStatItem(QString::number(count), true);
            const std::string server = player.Field(ReplayColumns[k].serverField);
            if (!server.empty() && server != std::to_string(count)) {
                item->setBackground(differs);
                item->setToolTip(QStringLiteral("The server counted %1").arg(Latin1(server)));
            }
            table.setItem(row, c, item);
        }
    }
    table.setSortingEnabled(true);
    table.resizeColumnsToContents();
}

} // namespace

TRoundStatsForm::TRoundStatsForm(TTarvelMain& window) : QObject(&window), FWindow(window)
{
    // The server's table of the round, in the Replay menu after its playback items.
    FWindow.Replay1->addSeparator();
    RoundStatistics1 = FWindow.Replay1->addAction(QStringLiteral("Round statistics"));
    RoundStatistics1->setObjectName(QStringLiteral("RoundStatistics1"));
    connect(RoundStatistics1, &QAction::triggered, this, [this] { RunHandler([this] { RoundStatistics1Click(); }); });
}

TRoundStats TRoundStatsForm::RoundStats() const
{
    const TwexXMLNode* round = FWindow.RoundNode();
    return round ? ReadRoundStats(FWindow.Document(), *round) : TRoundStats();
}

void TRoundStatsForm::RoundStatistics1Click()
{
    if (!FForm) {
        auto* form = new QDialog(&FWindow);
        form->setObjectName(QStringLiteral("RoundStatsForm"));
        form->resize(760, 520);
        auto* layout = new QVBoxLayout(form);
        auto* summary = new QLabel(form);
        summary->setObjectName(QStringLiteral("StatsSummary"));
        summary->setWordWrap(true);
        layout->addWidget(summary);
        auto* table = new QTableWidget(form);
        table->setObjectName(QStringLiteral("StatsTable"));
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->verticalHeader()->setVisible(false);
        table->horizontalHeader()->setSortIndicatorShown(true);
        layout->addWidget(table);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, form);
        connect(buttons, &QDialogButtonBox::rejected, form, &QDialog::close);
        layout->addWidget(buttons);
        FForm = form;
    }
    const bool replaying = FWindow.RoundNode() != nullptr;
    const TRoundStats stats = RoundStats();
    auto* summary = FForm->findChild<QLabel*>(QStringLiteral("StatsSummary"));
    auto* table = FForm->findChild<QTableWidget*>(QStringLiteral("StatsTable"));
    summary->setText(replaying ? Summary(stats) : QStringLiteral("No round is being replayed."));
    FillTable(*table, stats, ReplayCounts(FWindow.Events(), FWindow.Roster()));
    table->setVisible(stats.present);
    FForm->setWindowTitle(replaying ? QStringLiteral("Round statistics - ") + Latin1(FWindow.MapName())
                                          : QStringLiteral("Round statistics"));
    FForm->show();
    FForm->raise();
    FForm->activateWindow();
}

void TRoundStatsForm::RoundEnded()
{
    if (!FWindow.ViewMenu().RoundStatsAtEnd1->isChecked() || FRoundEndShown)
        return;
    FRoundEndShown = true;
    RoundStatistics1Click();
}
