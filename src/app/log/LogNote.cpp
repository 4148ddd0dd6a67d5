// The note under the round list on how reading the open log went.
#include "app/log/LogNote.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"

#include <QListWidget>

TLogNote::TLogNote(TTarvelMain& window)
{
    const QListWidget* list = window.ListBox1;
    // In the free room under the round list, so that no control moves for it.
    LLogNote = new TLabel(window.TabSheet5);
    LLogNote->setObjectName(QStringLiteral("LLogNote"));
    LLogNote->move(list->x(), list->y() + list->height() + 4);
    // As wide as the list, a long note on two lines: the sliders beside the list stay clear.
    LLogNote->SetAutoSize(false);
    LLogNote->setWordWrap(true);
    LLogNote->resize(list->width(), 2 * LLogNote->fontMetrics().lineSpacing() + 2);
    QPalette palette = LLogNote->palette();
    palette.setColor(QPalette::WindowText, QColor(160, 0, 0));
    LLogNote->setPalette(palette);
    LLogNote->hide();
}

void TLogNote::Show(const std::string& note)
{
    // A size stays on one line with its unit when the note wraps (Latin-1 no-break space).
    std::string caption = note;
    for (const char* unit : {" bytes read", " byte read", " KB read", " MB read"})
        caption = ReplaceAll(caption, unit, "\xA0" + std::string(unit + 1));
    LLogNote->SetCaption(caption);
    LLogNote->setVisible(!note.empty());
}
