// The scoreboard's rows: a row per player state, sorted by side.
#include "app/replay/ScoreBordRows.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"

#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>

namespace {

constexpr int StateRowType = QTreeWidgetItem::UserType + 1;

// A row that carries its player state; the row does not own it. The index of rows by state
// follows the rows themselves, however they are deleted (one by one or by clear()).
class TStateRow : public QTreeWidgetItem {
public:
    TStateRow(TInfoClass* state, uint64_t serial, std::unordered_map<const TInfoClass*, QTreeWidgetItem*>& index)
        : QTreeWidgetItem(StateRowType), State(state), Serial(serial), FIndex(index)
    {
        FIndex.emplace(state, this);
    }
    ~TStateRow() override
    {
        if (const auto it = FIndex.find(State); it != FIndex.end() && it->second == this)
            FIndex.erase(it);
    }
    // Sorted as the session orders its rows, which it keeps sorted by side.
    bool operator<(const QTreeWidgetItem& other) const override
    {
        if (other.type() != StateRowType)
            return QTreeWidgetItem::operator<(other);
        return Place < static_cast<const TStateRow&>(other).Place;
    }
    TInfoClass* State;
    uint64_t Serial; // the session's row
    size_t Place = 0; // its place among the session's rows

private:
    std::unordered_map<const TInfoClass*, QTreeWidgetItem*>& FIndex;
};

// Hands the drawing of columns 1 to 7 to the window; what it leaves is drawn as usual.
class TScoreBordDelegate : public QStyledItemDelegate {
public:
    explicit TScoreBordDelegate(TTarvelMain& window) : QStyledItemDelegate(window.ScoreBord), FWindow(window) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        bool defaultDraw = true;
        // The rows form a flat list: a row's index is its place among the top-level rows.
        if (index.column() > 0 && !index.parent().isValid()) {
            painter->save();
            FWindow.ScoreBordCustomDrawSubItem(*painter, FWindow.ScoreBord->topLevelItem(index.row()), index.column(),
                                               defaultDraw);
            painter->restore();
        }
        if (defaultDraw)
            QStyledItemDelegate::paint(painter, option, index);
    }

private:
    TTarvelMain& FWindow;
};

} // namespace

TScoreBordRows::TScoreBordRows(TTarvelMain& window) : FWindow(window)
{
    window.ScoreBord->setItemDelegate(new TScoreBordDelegate(window));
    QObject::connect(window.ScoreBord, &QTreeWidget::currentItemChanged, &window, [&window](QTreeWidgetItem* row) {
        RunHandler([&window, row] { window.ScoreBordChange(row); });
    });
}

TInfoClass* TScoreBordRows::StateOfRow(const QTreeWidgetItem* row)
{
    return row && row->type() == StateRowType ? static_cast<const TStateRow*>(row)->State : nullptr;
}

QTreeWidgetItem* TScoreBordRows::RowOf(const TInfoClass* state) const
{
    // A state has one row at most, so the index answers what a search from the first row
    // would; every tick asks for every state's row.
    const auto it = FRows.find(state);
    return it == FRows.end() ? nullptr : it->second;
}

void TScoreBordRows::Mirror()
{
    const TReplaySession& session = FWindow.ReplaySession();
    QTreeWidget* board = FWindow.ScoreBord;
    const std::vector<TScoreRow>& rows = session.ScoreRows();
    if (FShownVersion == session.ScoreRowsVersion() && static_cast<size_t>(board->topLevelItemCount()) == rows.size())
        return;
    std::unordered_map<uint64_t, size_t> placeOf;
    for (size_t i = 0; i < rows.size(); ++i)
        placeOf.emplace(rows[i].serial, i);
    // Rows whose states went (or that stand for an earlier state at the same address) first.
    std::unordered_map<uint64_t, TStateRow*> shown;
    for (int i = board->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = board->topLevelItem(i);
        if (item->type() != StateRowType)
            continue;
        auto* row = static_cast<TStateRow*>(item);
        if (placeOf.count(row->Serial) == 0)
            delete row;
        else
            shown.emplace(row->Serial, row);
    }
    bool resort = false;
    for (size_t i = 0; i < rows.size(); ++i) {
        TStateRow* row = nullptr;
        if (const auto found = shown.find(rows[i].serial); found != shown.end()) {
            row = found->second;
        } else {
            row = new TStateRow(rows[i].state, rows[i].serial, FRows);
            row->Place = i;
            board->addTopLevelItem(row);
            resort = true;
        }
        if (row->Place != i) {
            row->Place = i;
            resort = true;
        }
        const QString caption = rows[i].axis ? QStringLiteral("AXIS") : QStringLiteral("ALIES");
        if (row->text(0) != caption) {
            row->setText(0, caption);
            resort = true;
        }
    }
    // Sorted now, not when the event loop next runs: the order is part of what a tick leaves.
    if (resort)
        board->sortItems(0, Qt::AscendingOrder);
    FShownVersion = session.ScoreRowsVersion();
}

std::string TScoreBordRows::CellText(const QTreeWidgetItem* row, int column)
{
    const TInfoClass* state = StateOfRow(row);
    if (!state || column == 0)
        return FromLatin1(row->text(column));
    return ScoreCellText(*state, column);
}
