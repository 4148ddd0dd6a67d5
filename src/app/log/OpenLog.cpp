// The main window's commands that open a log, list its rounds and convert a compressed log.
#include "app/OpenDialog.h"
#include "app/RecentLogs.h"
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Errors.h"
#include "log/LogFile.h"
#include "log/LogLoader.h"
#include "log/RoundIndex.h"

#include <QListWidget>
#include <QTabWidget>
#include <QTreeWidget>

void TTarvelMain::ParceXML1Click()
{
    if (!OpenDialog1->Execute())
        return;
    const std::string chosen = OpenDialog1->FileName;
    OpenLog(chosen);
    // Only a log that loaded becomes the recent file; a failure above skips this.
    RecentLogMenu().RememberRecentLog(chosen);
}

void TTarvelMain::OpenLog(const std::string& fileName)
{
    OpenDialog1->FileName = fileName;
    StopReplay();
    // A big log loads in the background first: cancelled, it leaves everything as it is here.
    const std::unique_ptr<TLogLoader> loaded = FBackgroundLoad.Load(fileName, *FDocument);
    FLogFileName = fileName;
    ScoreBord->clear();
    ListBox1->clear();
    ListBox1->setToolTip(QString()); // its hint only helps until the first log
    PCMainInfo->setCurrentWidget(TabSheet5);
    FRoundNode = nullptr;
    FMapImports->MapNotice1->hide(); // it spoke of the round that was selected
    if (loaded) {
        // A load in place empties the document before it reads a plain log, and after it has
        // inflated a compressed one: a failure before that keeps the previous log.
        if (loaded->LoadError) {
            if (loaded->Replaced())
                FDocument.Replace(std::move(loaded->Tree));
            std::rethrow_exception(loaded->LoadError);
        }
        FDocument.Replace(std::move(loaded->Tree));
        FLogReading = loaded->Reading;
    } else {
        LoadLogFile();
    }
    FLogNote->Show(LogNote());
    ClearReplayState();
    FRoster.ClearPlayers();
    FReplay.ForgetRound();
    if (loaded) {
        // The worker walked the tree already, as below; a failure keeps what it found first.
        FRoster = std::move(loaded->Roster);
        for (const auto& [text, round] : loaded->Rounds)
            AddRoundItem(text, round);
        if (loaded->WalkError)
            std::rethrow_exception(loaded->WalkError);
        return;
    }
    // Items are added as the walk finds them: a failure later in the log keeps them.
    WalkLog(FDocument, FRoster, [this](const std::string& text, TwexXMLNode* round) { AddRoundItem(text, round); });
}

void TTarvelMain::AddRoundItem(const std::string& text, TwexXMLNode* round)
{
    auto* item = new QListWidgetItem(Latin1(text));
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(round)));
    ListBox1->addItem(item);
}

void TTarvelMain::LoadLogFile() { FLogReading = ::LoadLogFile(FLogFileName, FDocument); }

TwexXMLNode* TTarvelMain::RoundOfItem(int index) const
{
    const QListWidgetItem* item = index >= 0 ? ListBox1->item(index) : nullptr;
    if (!item)
        throw EListError(index);
    return static_cast<TwexXMLNode*>(item->data(Qt::UserRole).value<void*>());
}

void TTarvelMain::BuildEventList()
{
    // The look-ahead always describes the list as it stands, also after a failed build.
    try {
        ::BuildEventList(*FRoundNode, FReplay.Session().Events());
    } catch (...) {
        FReplay.Session().EventsChanged();
        throw;
    }
    FReplay.Session().EventsChanged();
}

void TTarvelMain::ConvertzxmlLogtoxml1Click()
{
    if (!OpenDialog1->Execute())
        return;
    // A name that is not ".zxml" in any letter case is passed over without a word; a log
    // that broke off is reported as an error, converted as far as it goes where no .xml is.
    ConvertZxmlLog(OpenDialog1->FileName);
}
