// "Open log" and "Convert zxml Log to xml" through the file dialog, on the real window.
#include "LogGen.h"
#include "ToolRun.h"
#include "WindowTestUtil.h"
#include "app/OpenDialog.h"
#include "base/Convert.h"

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

namespace {

const char Log[] = "<?xml version=\"1.0\"?>\n<bf:log>\n<bf:round/>\n</bf:log>\n";
const char OtherLog[] = "<?xml version=\"1.0\"?>\n<other:log>\n</other:log>\n";

std::string Compressed(const std::string& text) { return ZlibCompressed(text); }

// The dialog answers with this file, or cancels when it is empty; it counts its uses.
struct TDialogAnswer {
    std::string file;
    int uses = 0;
    void Install(TTarvelMain& window)
    {
        window.OpenDialog1->ExecuteHook = [this](TOpenDialog& dialog) {
            ++uses;
            if (file.empty())
                return false;
            dialog.FileName = file;
            return true;
        };
    }
};

std::string LogName(TTarvelMain& window)
{
    const TwexXMLNode* declaration = TTarvelMainTest::Document(window).FirstChild();
    return declaration && declaration->FirstChild() ? std::string(declaration->FirstChild()->Name()) : std::string();
}

// Leaves traces in the window that opening a log must clear and a cancel must keep.
void Dirty(TTarvelMain& window)
{
    window.ListBox1->addItem(QStringLiteral("round"));
    new QTreeWidgetItem(window.ScoreBord, QStringList{QStringLiteral("player")});
    window.PCMainInfo->setCurrentWidget(window.TSMinimap);
}

} // namespace

TEST(OpenLog, MenuAndButtonOpenTheChosenLogAndRememberIt)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "admin=true\r\nLastOpen1=/old/log.xml\r\n");
    const std::string plain = home.Dir.Write("plain.xml", Log);
    const std::string packed = home.Dir.Write("packed.ZXML", Compressed(OtherLog));
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TDialogAnswer answer{plain};
    answer.Install(window);
    Dirty(window);

    window.ParceXML1->trigger();
    EXPECT_EQ(answer.uses, 1);
    EXPECT_EQ(LogName(window), "bf:log");
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), plain);
    EXPECT_EQ(window.ListBox1->count(), 0);
    EXPECT_EQ(window.ScoreBord->topLevelItemCount(), 0);
    EXPECT_TRUE(window.ListBox1->toolTip().isEmpty());
    EXPECT_EQ(window.PCMainInfo->currentWidget(), window.TabSheet5);
    EXPECT_EQ(TTarvelMainTest::RoundNode(window), nullptr);

    // The button does the same; a compressed log is inflated; the key is replaced in place and
    // the earlier logs move down the recent list.
    answer.file = packed;
    window.Button2->click();
    EXPECT_EQ(answer.uses, 2);
    EXPECT_EQ(LogName(window), "other:log");
    EXPECT_EQ(window.ProgramFiles().Settings().Lines, (std::vector<std::string>{"admin=true", "LastOpen1=" + packed,
                                                                  "LastOpen2=" + plain, "LastOpen3=/old/log.xml"}));
    EXPECT_TRUE(errors.Messages.empty());
}

TEST(OpenLog, CancelLeavesEverythingAsItWas)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "LastOpen1=/old/log.xml\r\n");
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.OpenLog(home.Dir.Write("plain.xml", Log));
    Dirty(window);
    TDialogAnswer answer; // cancels
    answer.Install(window);

    window.ParceXML1->trigger();
    window.ConvertzxmlLogtoxml1->trigger();
    EXPECT_EQ(answer.uses, 2);
    EXPECT_EQ(window.ListBox1->count(), 1);
    EXPECT_EQ(window.ScoreBord->topLevelItemCount(), 1);
    EXPECT_EQ(window.PCMainInfo->currentWidget(), window.TSMinimap);
    EXPECT_EQ(LogName(window), "bf:log");
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), "/old/log.xml");
}

TEST(OpenLog, AFailedLoadIsReportedAndKeepsLastOpen1)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "LastOpen1=/old/log.xml\r\n");
    const std::string missing = home.Dir.Path("missing.xml");
    const std::string broken = home.Dir.Write("broken.zxml", Log); // plain text, not a zlib stream
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.OpenLog(home.Dir.Write("plain.xml", Log));
    Dirty(window);
    TDialogAnswer answer{broken};
    answer.Install(window);

    window.ParceXML1->trigger();
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"error"});
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), "/old/log.xml");
    // The lists were cleared before the load; a failed inflation keeps the previous tree.
    EXPECT_EQ(window.ListBox1->count(), 0);
    EXPECT_EQ(window.ScoreBord->topLevelItemCount(), 0);
    EXPECT_EQ(LogName(window), "bf:log");
    EXPECT_EQ(window.LogFileName(), broken);

    answer.file = missing;
    window.Button2->click();
    EXPECT_EQ(errors.Messages.back(), "Cannot open file " + missing);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), "/old/log.xml");
}

TEST(ConvertLog, WritesTheInflatedLogBesideItAndOpensNothing)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "LastOpen1=/old/log.xml\r\n");
    const std::string packed = home.Dir.Write("a.b.Zxml", Compressed(OtherLog));
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.OpenLog(home.Dir.Write("plain.xml", Log));
    Dirty(window);
    TDialogAnswer answer{packed};
    answer.Install(window);

    window.ConvertzxmlLogtoxml1->trigger();
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_EQ(ReadFileBytes(home.Dir.Path("a.b.xml")), OtherLog);
    EXPECT_EQ(LogName(window), "bf:log");
    EXPECT_EQ(window.ListBox1->count(), 1);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), "/old/log.xml");
    // The converted log is not the open one: only the dialog starts there next time.
    EXPECT_EQ(window.LogFileName(), home.Dir.Path("plain.xml"));
    EXPECT_EQ(window.OpenDialog1->FileName, packed);

    // A name that is no compressed log's is passed over in silence.
    answer.file = home.Dir.Write("log.xml.gz", Compressed(Log));
    window.ConvertzxmlLogtoxml1->trigger();
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_FALSE(PathExists(home.Dir.Path("log.xml.xml")));
    EXPECT_FALSE(PathExists(home.Dir.Path("log.xml")));

    // A broken stream is reported and writes nothing.
    answer.file = home.Dir.Write("bad.zxml", Log);
    window.ConvertzxmlLogtoxml1->trigger();
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"error"});
    EXPECT_FALSE(PathExists(home.Dir.Path("bad.xml")));
}

TEST(OpenDialog, TheRealDialogOffersTheThreeFiltersWithTheThirdChosen)
{
    THome home;
    const std::string log = home.Dir.Write("round.zxml", Compressed(Log));
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    QStringList filters;
    QString chosenFilter;
    const bool shown = WithModal([&] { EXPECT_TRUE(window.OpenDialog1->Execute()); },
                                 [&](QWidget& modal) {
                                     auto* dialog = qobject_cast<QFileDialog*>(&modal);
                                     ASSERT_TRUE(dialog);
                                     filters = dialog->nameFilters();
                                     chosenFilter = dialog->selectedNameFilter();
                                     dialog->selectFile(QString::fromStdString(log));
                                     static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept
                                 });
    EXPECT_TRUE(shown);
    EXPECT_EQ(filters, QStringList({"XML (*.xml)", "Compressed XML (*.zxml)", "All (*.zxml *.xml)"}));
    EXPECT_EQ(chosenFilter, "All (*.zxml *.xml)");
    EXPECT_EQ(window.OpenDialog1->FileName, log);
    EXPECT_EQ(window.OpenDialog1->FilterIndex, 3);
}

// A compressed log cut off mid-stream opens as far as it goes: the window lists its rounds and
// says under the list that the log ends early; the tool lists them and says so on standard
// error; a whole log takes the note away again.
TEST(OpenLog, ACompressedLogCutOffOpensAsFarAsItGoesAndSaysSo)
{
    THome home;
    loggen::Options options;
    options.rounds = 4;
    options.roundTime = 120;
    const std::string text = loggen::generateToString(options);
    const std::string packed = Compressed(text);
    const std::string cut = home.Dir.Write("cut.zxml", packed.substr(0, packed.size() * 3 / 4));
    const std::string whole = home.Dir.Write("whole.zxml", packed);
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.show();
    TDialogAnswer answer{cut};
    answer.Install(window);
    window.ParceXML1->trigger();
    EXPECT_TRUE(errors.Messages.empty());
    EXPECT_GE(window.ListBox1->count(), 2);
    const TLabel* note = window.LogNoteView().LLogNote;
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->Caption().rfind("The log is cut off: ", 0), 0u) << note->Caption();
    // The same words, the size kept with its unit by a no-break space.
    EXPECT_EQ(ReplaceAll(note->Caption(), "\xA0", " "), window.LogNote());
    EXPECT_NE(note->Caption().find("\xA0KB read"), std::string::npos);
    // Under the round list, clear of it, and no wider: the sliders beside it stay clear.
    EXPECT_GE(note->y(), window.ListBox1->geometry().bottom());
    EXPECT_LE(note->geometry().right(), window.ListBox1->geometry().right());

    const TToolRun tool = RunOrnwickTool({"rounds", cut});
    EXPECT_EQ(tool.status, 0);
    EXPECT_EQ(tool.err, window.LogNote() + "\n");
    std::string listed;
    for (int i = 0; i < window.ListBox1->count(); ++i)
        listed += window.ListBox1->item(i)->text().toStdString() + "\n";
    EXPECT_EQ(tool.out, listed);

    answer.file = whole;
    window.ParceXML1->trigger();
    EXPECT_FALSE(note->isVisible());
    EXPECT_EQ(window.LogNote(), "");
    EXPECT_EQ(RunOrnwickTool({"rounds", whole}).err, "");

    // convert says the same, and fails, though it writes the text read where no .xml was.
    const TToolRun converted = RunOrnwickTool({"convert", cut});
    EXPECT_EQ(converted.status, 1);
    EXPECT_EQ(converted.err, tool.err.substr(0, tool.err.size() - 1) + "; " + home.Dir.Path("cut.xml") + " holds the text read\n");
}

// A log converted whole is never replaced by what a log that broke off holds, in the window or
// by the tool: both say what broke, in the words of the note under the round list, and name the
// file they kept.
TEST(ConvertLog, ALogThatBrokeOffKeepsTheConvertedOne)
{
    THome home;
    const std::string packed = Compressed(loggen::generateToString(loggen::Options{}));
    const std::string log = home.Dir.Write("a.zxml", packed);
    const std::string xml = home.Dir.Path("a.xml");
    ASSERT_EQ(RunOrnwickTool({"convert", log}).status, 0);
    const std::string whole = ReadFileBytes(xml);
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TDialogAnswer answer{log};
    answer.Install(window);
    std::string damaged = packed;
    damaged[packed.size() / 2] ^= 0x08;
    std::string checksum = packed;
    checksum.back() ^= 0x08;
    for (const std::string& broken : {packed.substr(0, 99), damaged, checksum}) {
        home.Dir.Write("a.zxml", broken);
        window.ParceXML1->trigger();
        const std::string note = window.LogNote();
        ASSERT_NE(note, "");
        const std::string refused = note + "; " + xml + " kept as it was, nothing converted";
        const TToolRun tool = RunOrnwickTool({"convert", log});
        EXPECT_EQ(tool.status, 1);
        EXPECT_EQ(tool.err, refused + "\n");
        errors.Messages.clear();
        window.ConvertzxmlLogtoxml1->trigger();
        EXPECT_EQ(errors.Messages, std::vector<std::string>{refused});
        EXPECT_EQ(ReadFileBytes(xml), whole);
    }
}

// A log cut off where no .xml of its name is (a crashed server's) converts as far as it goes,
// in the window and by the tool alike, both saying so; the tool still fails.
TEST(ConvertLog, ALogCutOffConvertsAsFarAsItGoesWhereNoXmlIs)
{
    THome home;
    const std::string text = loggen::generateToString(loggen::Options{});
    const std::string packed = Compressed(text);
    const std::string log = home.Dir.Write("a.zxml", packed.substr(0, packed.size() / 2));
    const std::string xml = home.Dir.Path("a.xml");
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TDialogAnswer answer{log};
    answer.Install(window);
    window.ParceXML1->trigger();
    const std::string written = window.LogNote() + "; " + xml + " holds the text read";
    ASSERT_NE(window.LogNote(), "");
    errors.Messages.clear();

    const TToolRun tool = RunOrnwickTool({"convert", log});
    EXPECT_EQ(tool.status, 1);
    EXPECT_EQ(tool.err, written + "\n");
    const std::string part = ReadFileBytes(xml);
    EXPECT_GT(part.size(), 0u);
    EXPECT_EQ(part, text.substr(0, part.size()));

    std::filesystem::remove(xml);
    window.ConvertzxmlLogtoxml1->trigger();
    EXPECT_EQ(errors.Messages, std::vector<std::string>{written});
    EXPECT_EQ(ReadFileBytes(xml), part);
}

// A small log that inflates past the limit (set low here through the environment) is refused
// by the window and the tool alike, with the limit and the log named.
TEST(OpenLog, ALogThatInflatesPastTheLimitIsRefusedByWindowAndTool)
{
    THome home;
    const std::string bomb = home.Dir.Write("bomb.zxml", Compressed(std::string(3 << 20, ' ')));
    const std::string refused =
        "Cannot open file " + bomb + ": its text is larger than 2 MB, the limit of a log (ORNWICK_MAX_LOG_MB)";
    qputenv("ORNWICK_MAX_LOG_MB", "2");
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TDialogAnswer answer{bomb};
    answer.Install(window);
    window.ParceXML1->trigger();
    const TToolRun tool = RunOrnwickTool({"rounds", bomb});
    const TToolRun converted = RunOrnwickTool({"convert", bomb});
    qunsetenv("ORNWICK_MAX_LOG_MB");
    EXPECT_EQ(errors.Messages, std::vector<std::string>{refused});
    EXPECT_EQ(tool.status, 1);
    EXPECT_EQ(tool.err, refused + "\n");
    EXPECT_EQ(converted.err, refused + "\n");
    EXPECT_FALSE(PathExists(home.Dir.Path("bomb.xml")));
}

// Every size keeps its unit on its line when the note wraps; other words stay as they are, and
// no note hides the label.
TEST(OpenLog, TheLogNoteKeepsEachSizeWithItsUnit)
{
    THome home;
    TTarvelMain window(home.Exe());
    TLogNote& note = window.LogNoteView();
    const std::pair<std::string, std::string> cases[] = {
        {"The log is cut off: 1 byte read", "The log is cut off: 1\xA0" "byte read"},
        {"The log is cut off: 512 bytes read", "The log is cut off: 512\xA0" "bytes read"},
        {"The log is cut off: 9.1 MB read", "The log is cut off: 9.1\xA0" "MB read"},
        {"The log is damaged at byte 70: 2 KB read", "The log is damaged at byte 70: 2\xA0" "KB read"},
    };
    for (const auto& [said, shown] : cases) {
        note.Show(said);
        EXPECT_EQ(note.LLogNote->Caption(), shown);
        EXPECT_TRUE(note.LLogNote->isVisibleTo(window.TabSheet5));
    }
    note.Show("");
    EXPECT_FALSE(note.LLogNote->isVisibleTo(window.TabSheet5));
}
