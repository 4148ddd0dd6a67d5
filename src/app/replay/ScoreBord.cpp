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
    TStateRow(TInfoClass* state, std::unordered_map<const TInfoClass*, QTreeWidgetItem*>& index)
        : QTreeWidgetItem(StateRowType), State(state), FIndex(index)
    {
        FIndex.emplace(state, this);
    }
    ~TStateRow() override
    {
        if (const auto it = FIndex.find(State); it != FIndex.end() && it->second == this)
            FIndex.erase(it);
    }
    TInfoClass* State;

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

void TTarvelMain::UpdateScoreBord()
{
    bool resort = false;
    for (int i = 0; i < FPlayerStates.Count(); ++i) {
        TInfoClass* state = FPlayerStates.State(i);
        QTreeWidgetItem* row = ScoreBordRowOf(state);
        if (!row) {
            row = new TStateRow(state, FScoreRows);
            ScoreBord->addTopLevelItem(row);
            resort = true;
        }
        const QString caption = state->Team() == 1 ? QStringLiteral("AXIS") : QStringLiteral("ALIES");
        if (row->text(0) != caption) {
            row->setText(0, caption);
            resort = true;
        }
    }
    // Sorted now, not when the event loop next runs: the order is part of what a tick leaves.
    if (resort)
        ScoreBord->sortItems(0, Qt::AscendingOrder);
}

std::string TTarvelMain::ScoreBordCellText(const QTreeWidgetItem* row, int column) const
{
    const TInfoClass* state = StateOfRow(row);
    if (!state || column == 0)
        return FromLatin1(row->text(column));
    switch (column) {
    case 1: return state->PlayerName;
    case 2: return state->Dead ? "X" : "";
    case 4: return IntToStr(state->Kills);
    case 5: return IntToStr(state->Deaths);
    case 6: return IntToStr(state->Flags);
    case 7: return IntToStr(state->TKs);
    default: return ""; // the marker picture
    }
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
        if (state->Image.HasPicture())
            painter.drawPixmap(cell, TransparentPixmap(state->Image.Picture()));
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
