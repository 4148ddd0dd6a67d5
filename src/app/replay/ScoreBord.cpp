// The scoreboard: a row per player state, sorted by side, with cells the program draws.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QBitmap>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>

#include <unordered_map>

namespace {

constexpr int StateRowType = QTreeWidgetItem::UserType + 1;

// A row that carries its player state; the row does not own it. The window's index of rows
// by state follows the rows themselves, however they are deleted (one by one or by clear()).
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

// The picture drawn as a marker is: without the pixels of its top-left pixel's colour.
QPixmap TransparentPixmap(const QImage& picture)
{
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setMask(QBitmap::fromImage(picture.createMaskFromColor(picture.pixel(0, 0), Qt::MaskInColor)));
    return pixmap;
}

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

void TTarvelMain::InstallScoreBordDrawing()
{
    ScoreBord->setItemDelegate(new TScoreBordDelegate(*this));
    connect(ScoreBord, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* row) { RunHandler([this, row] { ScoreBordChange(row); }); });
}

TInfoClass* TTarvelMain::StateOfRow(const QTreeWidgetItem* row)
{
    return row && row->type() == StateRowType ? static_cast<const TStateRow*>(row)->State : nullptr;
}

QTreeWidgetItem* TTarvelMain::ScoreBordRowOf(const TInfoClass* state) const
{
    // A state has one row at most, so the index answers what a search from the first row
    // would; every tick asks for every state's row.
    const auto it = FScoreRows.find(state);
    return it == FScoreRows.end() ? nullptr : it->second;
}

void TTarvelMain::MirrorScoreBord()
{
    const std::vector<TScoreRow>& rows = FSession.ScoreRows();
    if (FShownScoreRows == FSession.ScoreRowsVersion() && static_cast<size_t>(ScoreBord->topLevelItemCount()) == rows.size())
        return;
    std::unordered_map<uint64_t, size_t> placeOf;
    for (size_t i = 0; i < rows.size(); ++i)
        placeOf.emplace(rows[i].serial, i);
    // Rows whose states went (or that stand for an earlier state at the same address) first.
    std::unordered_map<uint64_t, TStateRow*> shown;
    for (int i = ScoreBord->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* item = ScoreBord->topLevelItem(i);
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
            row = new TStateRow(rows[i].state, rows[i].serial, FScoreRows);
            row->Place = i;
            ScoreBord->addTopLevelItem(row);
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
        ScoreBord->sortItems(0, Qt::AscendingOrder);
    FShownScoreRows = FSession.ScoreRowsVersion();
}

std::string TTarvelMain::ScoreBordCellText(const QTreeWidgetItem* row, int column) const
{
    const TInfoClass* state = StateOfRow(row);
    if (!state || column == 0)
        return FromLatin1(row->text(column));
    return ScoreCellText(*state, column);
}

void TTarvelMain::ScoreBordCustomDrawSubItem(QPainter& painter, QTreeWidgetItem* row, int column, bool& defaultDraw)
{
    int left = 0;
    for (int c = 0; c < column; ++c)
        left += ScoreBord->columnWidth(c);
    const int right = left + ScoreBord->columnWidth(column);
    const TInfoClass* state = StateOfRow(row);
    if (!state)
        return;
    const QRect bounds = ScoreBord->visualItemRect(row);
    QRect cell(QPoint(left, bounds.top()), QPoint(right - 1, bounds.bottom()));
    const bool selected = row->isSelected();
    const QPalette& palette = ScoreBord->palette();
    painter.fillRect(cell, selected ? palette.highlight() : palette.base());
    if (column == 3) {
        cell.setRight(cell.right() - 5);
        if (const QImage* picture = FSession.PlayerStates().Pictures().Painted(state->Image))
            painter.drawPixmap(cell, TransparentPixmap(*picture));
    } else {
        painter.setFont(ScoreBord->font());
        painter.setPen(selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text));
        // Written from the top-left corner and not clipped to the cell.
        painter.drawText(QRect(cell.topLeft(), QSize(10000, cell.height())), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         Latin1(ScoreBordCellText(row, column)));
    }
    defaultDraw = false;
}

void TTarvelMain::ScoreBordChange(QTreeWidgetItem* row)
{
    if (row)
        CBTrackPlayer->setChecked(true);
}
