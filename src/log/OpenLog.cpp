// The main window's commands that open a log and convert a compressed one.
#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "log/LogFile.h"

#include <QListWidget>
#include <QTabWidget>
#include <QTreeWidget>

void TTarvelMain::ParceXML1Click()
{
    if (!OpenDialog1->Execute())
        return;
    OpenLog();
    // Only a log that loaded becomes the recent file; a failure above skips this.
    FSettings.SetValue("LastOpen1", OpenDialog1->FileName);
}

void TTarvelMain::OpenLog()
{
    ScoreBord->clear();
    ListBox1->clear();
    ListBox1->setToolTip(QString()); // its hint only helps until the first log
    PCMainInfo->setCurrentWidget(TabSheet5);
    FRoundNode = nullptr;
    LoadLogFile();
}

void TTarvelMain::LoadLogFile() { ::LoadLogFile(OpenDialog1->FileName, FDocument); }

void TTarvelMain::ConvertzxmlLogtoxml1Click()
{
    if (!OpenDialog1->Execute())
        return;
    // A name that is not ".zxml" in any letter case is passed over without a word.
    ConvertZxmlLog(OpenDialog1->FileName);
}
