// The recent logs of the File menu and logs dropped on the window.
#include "WindowTestUtil.h"
#include "app/RecentLogs.h"
#include "app/OpenDialog.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const char Log[] = "<?xml version=\"1.0\"?>\n<bf:log>\n<bf:round/>\n</bf:log>\n";

// The File menu's items made for a log: they carry its name.
QList<QAction*> RecentActions(const TTarvelMain& window)
{
    QList<QAction*> items;
    for (QAction* action : window.File1->actions())
        if (!action->data().toByteArray().isEmpty())
            items << action;
    return items;
}

QStringList RecentItems(const TTarvelMain& window)
{
    QStringList items;
    for (const QAction* action : RecentActions(window))
        items << action->text();
    return items;
}

QString Name(const std::string& path) { return QString::fromStdString(path); }

// A drag of these files entering `target` and dropped there; whether the window took it.
bool Drop(QWidget& target, const std::vector<std::string>& files)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& file : files)
        urls << QUrl::fromLocalFile(Name(file));
    data.setUrls(urls);
    const QPoint at(5, 5);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

} // namespace

TEST(RecentLogs, OneKeyGivesOneItemAndEightGiveEightNewestFirst)
{
    THome one;
    one.Dir.Write("Tarvel.ini", "LastOpen1=/logs/a.xml\r\nLastOpen2=\r\n");
    EXPECT_EQ(RecentItems(TTarvelMain(one.Exe())), QStringList{"/logs/a.xml"});

    THome eight;
    std::string ini = "admin=true\r\n";
    QStringList names;
    for (int i = 1; i <= 9; ++i) {
        ini += "LastOpen" + std::to_string(i) + "=/logs/" + std::to_string(i) + ".xml\r\n";
        names << QStringLiteral("/logs/%1.xml").arg(i);
    }
    eight.Dir.Write("Tarvel.ini", ini);
    TTarvelMain window(eight.Exe());
    window.SetStopReplayWait(0);
    names.removeLast(); // a ninth key is no recent log
    EXPECT_EQ(RecentItems(window), names);

    // An item opens its log as the dialog does, and leaves the order as it is.
    TErrorCapture errors;
    window.SetStopReplayWait(0);
    RecentActions(window)[2]->trigger();
    EXPECT_EQ(window.LogFileName(), "/logs/3.xml");
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"Cannot open file /logs/3.xml"});
    EXPECT_EQ(RecentItems(window), names);
}

TEST(RecentLogs, AnOpenedLogComesFirstOnceAndTheOldestGoes)
{
    THome home;
    std::string ini;
    for (int i = 1; i <= 8; ++i)
        ini += "LastOpen" + std::to_string(i) + "=" + home.Dir.Path(std::to_string(i) + ".xml") + "\r\n";
    home.Dir.Write("Tarvel.ini", ini);
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    std::string chosen = home.Dir.Write("new.xml", Log);
    window.OpenDialog1->ExecuteHook = [&](TOpenDialog& dialog) {
        dialog.FileName = chosen;
        return true;
    };
    window.ParceXML1->trigger();
    QStringList expected{Name(chosen)};
    for (int i = 1; i <= 7; ++i)
        expected << Name(home.Dir.Path(std::to_string(i) + ".xml"));
    EXPECT_EQ(RecentItems(window), expected);
    EXPECT_EQ(window.RecentLogMenu().RecentLogs().size(), 8u);

    // One already listed moves up; it is not listed twice.
    chosen = home.Dir.Write("4.xml", Log);
    window.ParceXML1->trigger();
    expected.move(4, 0);
    EXPECT_EQ(RecentItems(window), expected);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen1"), chosen);
    EXPECT_EQ(window.ProgramFiles().Settings().Values("LastOpen5"), home.Dir.Path("3.xml"));
}

TEST(DropLog, ALogOpensAsTheDialogOpensItAnythingElseIsLeftAlone)
{
    THome home;
    home.Dir.Write("Tarvel.ini", "LastOpen1=/old/log.xml\r\n");
    const std::string log = home.Dir.Path("missing.ZXML");
    const std::string plain = home.Dir.Write("plain.xml", Log);
    const std::string text = home.Dir.Write("notes.txt", Log);
    TErrorCapture errors;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    window.show();

    // Not a log: refused, nothing opened, nothing said.
    EXPECT_FALSE(Drop(window, {text}));
    EXPECT_FALSE(Drop(*window.Memo1, {text}));
    EXPECT_EQ(TTarvelMainTest::Document(window).ChildCount(), 0);
    EXPECT_TRUE(errors.Messages.empty());

    // A log, on a memo of the window too: opened, and remembered once it loaded.
    EXPECT_TRUE(Drop(*window.Memo1, {plain}));
    EXPECT_EQ(TTarvelMainTest::Document(window).FirstChild()->Name(), "?xml");
    EXPECT_EQ(window.LogFileName(), plain);
    EXPECT_EQ(window.RecentLogMenu().RecentLogs(), (std::vector<std::string>{plain, "/old/log.xml"}));
    EXPECT_TRUE(window.Memo1->toPlainText().isEmpty()); // the memo did not take the drop
    EXPECT_TRUE(errors.Messages.empty());

    // A log that does not load: the open error, and the recent list as it was.
    EXPECT_TRUE(Drop(window, {log}));
    EXPECT_EQ(errors.Messages, std::vector<std::string>{"Cannot open file " + log});
    EXPECT_EQ(window.RecentLogMenu().RecentLogs(), (std::vector<std::string>{plain, "/old/log.xml"}));
}
