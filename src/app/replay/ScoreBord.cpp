// The scoreboard's cells, which the program draws, and its selected row.
#include "app/UTarvelMain.h"
#include "base/Convert.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QBitmap>
#include <QPainter>
#include <QTreeWidget>

namespace {

// The picture drawn as a marker is: without the pixels of its top-left pixel's colour.
QPixmap TransparentPixmap(const QImage& picture)
{
    QPixmap pixmap = QPixmap::fromImage(picture);
    pixmap.setMask(QBitmap::fromImage(picture.createMaskFromColor(picture.pixel(0, 0), Qt::MaskInColor)));
    return pixmap;
}

} // namespace

void TTarvelMain::ScoreBordCustomDrawSubItem(QPainter& painter, QTreeWidgetItem* row, int column, bool& defaultDraw)
{
    int left = 0;
    for (int c = 0; c < column; ++c)
        left += ScoreBord->columnWidth(c);
    const int right = left + ScoreBord->columnWidth(column);
    const TInfoClass* state = TScoreBordRows::StateOfRow(row);
    if (!state)
        return;
    const QRect bounds = ScoreBord->visualItemRect(row);
    QRect cell(QPoint(left, bounds.top()), QPoint(right - 1, bounds.bottom()));
    const bool selected = row->isSelected();
    const QPalette& palette = ScoreBord->palette();
    painter.fillRect(cell, selected ? palette.highlight() : palette.base());
    if (column == 3) {
        cell.setRight(cell.right() - 5);
        if (const QImage* picture = FReplay.Session().PlayerStates().Pictures().Painted(state->Image))
            painter.drawPixmap(cell, TransparentPixmap(*picture));
    } else {
        painter.setFont(ScoreBord->font());
        painter.setPen(selected ? palette.color(QPalette::HighlightedText) : palette.color(QPalette::Text));
        // Written from the top-left corner and not clipped to the cell.
        painter.drawText(QRect(cell.topLeft(), QSize(10000, cell.height())), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                         Latin1(TScoreBordRows::CellText(row, column)));
    }
    defaultDraw = false;
}

void TTarvelMain::ScoreBordChange(QTreeWidgetItem* row)
{
    if (row)
        CBTrackPlayer->setChecked(true);
}
