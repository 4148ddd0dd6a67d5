// Pictures found by name in the images folder, and the list of those that are missing.
#include "app/UTarvelMain.h"
#include "base/Convert.h"

#include <QPlainTextEdit>
#include <QTextBlock>

std::string TTarvelMain::LoadPicture(TPictureHolder& image, const std::string& name)
{
    return FReplay.LoadPicture(image, name);
}

void TTarvelMain::ReportMissingPicture(const std::string& name)
{
    // The names listed, in the letter case the list ignores: a map of thousands of unknown
    // classes must not scan the list for each one. An edit of the page by the user makes it
    // read the list anew.
    if (!FMissingNamesValid) {
        FMissingNames.clear();
        for (QTextBlock line = Memo2->document()->begin(); line.isValid(); line = line.next())
            FMissingNames.insert(UpperCaseLatin1(FromLatin1(line.text())));
        FMissingNamesValid = true;
    }
    if (!FMissingNames.insert(UpperCaseLatin1(name)).second)
        return;
    FAddingMissingName = true;
    Memo2->appendPlainText(Latin1(name));
    FAddingMissingName = false;
}
