// Pictures found by name in the images folder, and the list of those that are missing.
#include "app/mapview/MapPictures.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"

#include <QPlainTextEdit>
#include <QTextBlock>

std::string TTarvelMain::LoadPicture(TPictureHolder& image, const std::string& name)
{
    return FReplay.LoadPicture(image, name);
}

TMissingPictureList::TMissingPictureList(QPlainTextEdit& page) : QObject(&page), FPage(page)
{
    connect(page.document(), &QTextDocument::contentsChanged, this, [this] {
        if (!FAdding)
            FNamesValid = false;
    });
}

void TMissingPictureList::Add(const std::string& name)
{
    if (!FNamesValid) {
        FNames.clear();
        for (QTextBlock line = FPage.document()->begin(); line.isValid(); line = line.next())
            FNames.insert(UpperCaseLatin1(FromLatin1(line.text())));
        FNamesValid = true;
    }
    if (!FNames.insert(UpperCaseLatin1(name)).second)
        return;
    FAdding = true;
    FPage.appendPlainText(Latin1(name));
    FAdding = false;
}
