#pragma once

// ScoreBord's rows: one for each of the replay session's rows, carrying its player state, kept
// in the session's order as the replay runs. The window draws their cells
// (ScoreBordCustomDrawSubItem) and follows the selected one (ScoreBordChange).

#include <cstdint>
#include <string>
#include <unordered_map>

class QTreeWidgetItem;
class TInfoClass;
class TTarvelMain;

class TScoreBordRows {
public:
    // Hands the drawing of ScoreBord's columns 1 to 7 and the change of its current row to the window.
    explicit TScoreBordRows(TTarvelMain& window);
    TScoreBordRows(const TScoreBordRows&) = delete;
    TScoreBordRows& operator=(const TScoreBordRows&) = delete;

    // The row whose data is the state, searched from the first row; nothing without one.
    QTreeWidgetItem* RowOf(const TInfoClass* state) const;
    static TInfoClass* StateOfRow(const QTreeWidgetItem* row);
    // A cell's text as the scoreboard shows it (the picture cell is empty).
    static std::string CellText(const QTreeWidgetItem* row, int column);
    // The session's rows shown in ScoreBord: rows of states gone deleted, new ones added, all
    // in the session's order.
    void Mirror();

private:
    TTarvelMain& FWindow;
    // ScoreBord's rows by their state; the rows keep it up to date themselves.
    std::unordered_map<const TInfoClass*, QTreeWidgetItem*> FRows;
    uint64_t FShownVersion = 0; // the version of the session's rows ScoreBord shows
};
