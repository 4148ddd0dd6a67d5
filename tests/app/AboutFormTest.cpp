// The About window: its logo rules, its layout and the fixed help text.
#include "WindowTestUtil.h"
#include "app/UAboutForm.h"

#include <QAction>
#include <QDir>
#include <QFrame>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

// Writes images/logo.<ext> of the given size in the home folder.
void WriteLogo(const THome& home, const char* ext, QSize size)
{
    QDir().mkpath(QString::fromStdString(home.Dir.Path("images")));
    QImage logo(size, QImage::Format_RGB32);
    logo.fill(Qt::darkGreen);
    ASSERT_TRUE(logo.save(QString::fromStdString(home.Dir.Path(std::string("images/logo.") + ext)),
                          ext == std::string("bmp") ? "BMP" : "JPG"));
}

std::vector<std::string> MemoLines(const QPlainTextEdit& memo)
{
    std::vector<std::string> lines;
    for (QTextBlock block = memo.document()->begin(); block.isValid(); block = block.next())
        lines.push_back(block.text().toStdString());
    return lines;
}

} // namespace

TEST(AboutForm, LogoIsTheBitmapElseTheJpegElseNone)
{
    struct TCase {
        bool bmp, jpg;
        QSize shown; // empty: no picture
    };
    const TCase cases[] = {
        {false, false, QSize()},
        {true, false, QSize(200, 60)},
        {false, true, QSize(120, 90)},
        {true, true, QSize(200, 60)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.bmp ? "bmp " : "") + (c.jpg ? "jpg" : ""));
        THome home;
        if (c.bmp)
            WriteLogo(home, "bmp", QSize(200, 60));
        if (c.jpg)
            WriteLogo(home, "jpg", QSize(120, 90));
        TErrorCapture errors;
        TAboutForm form(nullptr, home.Exe());
        form.show();
        EXPECT_TRUE(errors.Messages.empty());
        EXPECT_EQ(form.LogoImage->Picture().size(), c.shown.isValid() ? c.shown : QSize(0, 0));
        // The image takes its picture's size; without one it keeps its own. The caption line stays.
        EXPECT_EQ(form.LogoImage->geometry(), QRect(QPoint(112, 0), c.shown.isValid() ? c.shown : QSize(240, 80)));
        EXPECT_EQ(form.Label1->pos(), QPoint(163, 88));
        form.close();
    }
}

TEST(AboutForm, HasItsCaptionsPagesAndHelpText)
{
    THome home;
    TAboutForm form(nullptr, home.Exe());
    EXPECT_EQ(form.objectName(), "AboutForm");
    EXPECT_EQ(form.windowTitle(), "About");
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(form.size(), QSize(483, 538));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(form.Panel1->geometry(), QRect(0, 0, 483, 105));
    EXPECT_EQ(form.Label1->text(), "N o w  y o u  k n o w  w h y ! ");
    EXPECT_EQ(form.PageControl1->geometry(), QRect(0, 112, 481, 425));

    // Page captions in order, memo places, scroll bars; all read-only on button face.
    const std::tuple<const char*, QPlainTextEdit*, QRect, bool> pages[] = {
        {"Credits", form.Memo1, QRect(16, 4, 441, 389), false},
        {"Help with logging", form.Memo2, QRect(24, 4, 441, 389), true},
        {"Maps supported", form.Memo3, QRect(16, 4, 441, 389), false},
        {"Change log", form.Memo4, QRect(8, 4, 457, 389), true},
        {"Clan leden gevraagd", form.Memo5, QRect(8, 4, 457, 389), true},
    };
    ASSERT_EQ(form.PageControl1->count(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto& [caption, memo, geometry, scrollBar] = pages[i];
        SCOPED_TRACE(caption);
        EXPECT_EQ(form.PageControl1->tabText(i), caption);
        EXPECT_EQ(memo->parentWidget(), form.PageControl1->widget(i));
        EXPECT_EQ(memo->geometry(), geometry);
        EXPECT_TRUE(memo->isReadOnly());
        EXPECT_EQ(memo->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, scrollBar);
        EXPECT_EQ(memo->palette().color(QPalette::Base), memo->palette().color(QPalette::Button));
    }
    EXPECT_EQ(form.PageControl1->currentWidget(), form.TabSheet5);

    const std::vector<std::string> help = MemoLines(*form.Memo2);
    const std::vector<std::string> groups[] = {
        {"Tips for recording", "If you want to see your war there's a view tips to follow.",
         "When you play a war with the analyser it will show the war from the last restart to the end ",
         "of the war.", "So please do not restart the map just let the game end normally."},
        {"Known bugs", "Some vehicles are there but there's non spawn for real.",
         "Not all maps are supported and some of the supported maps have to be tweaked."},
        {"Admin tab", "You get the admin tabs by adding this line to the Tarvel.ini", "admin=true",
         "Try hovering over the controls to see what I got to tell u about this."},
        {"Extras, for the real freak.",
         "The Tarvel.map file has a mapping to what class will load what picture but u can have ",
         "any picture just place the pictures in the images dir."},
        {"If u want to support your map there some things u have to do:", "1 get the log file for the map",
         "2 get a image of the map.", "3 Extract the map.rfa ",
         "4 open the game type (conquest) copy the ObjectSpawns.con and rename it ", "[mapname]OBS.con",
         "5 copy the content of the ControlPoints.con on to the bottom of the renamed ", "ObjectSpawns.con",
         "6 replace all names from the controlpoints to controlpoint and add Team info ", "Example (",
         "Object.create controlpoint", "Object.absolutePosition 1392.13/66.7804/853.743", "Object.setTeam  0 )",
         "7 Run map en try to get the correct offsets and scaling.(use save to save it before ", "running again)",
         "8 see what missing pictures u have (missing picture tab).",
         "9 Add mapping to the Tarvel.map or make .bmp file for it and place it in images directory",
         "10 zip your dir without the Tarvel.exe.", "11 mail me the zip  :-)"},
    };
    // Each group stands as one run of lines, in this order, after a blank line.
    size_t from = 0;
    for (const auto& group : groups) {
        const auto at = std::search(help.begin() + static_cast<long>(from), help.end(), group.begin(), group.end());
        ASSERT_NE(at, help.end()) << group.front();
        const size_t index = static_cast<size_t>(at - help.begin());
        if (index > 0)
            EXPECT_EQ(help[index - 1], "") << group.front();
        from = index + group.size();
    }
    EXPECT_EQ(from, help.size());
    // The questions and answers: "-Q&A-", two questions, each with its answer.
    const auto qa = std::find(help.begin(), help.end(), "-Q&A-");
    ASSERT_NE(qa, help.end());
    EXPECT_EQ(*(qa + 2), "I onley now where someone is if they produce a event so the rest i gess and i draw ");
    EXPECT_EQ(*(qa + 3), "someone going there the shortest route.");
    EXPECT_EQ(*(qa + 5), "NO way.");
    EXPECT_EQ(*(qa + 6), "");

    const std::vector<std::string> credits = MemoLines(*form.Memo1);
    const auto hint = std::find(credits.begin(), credits.end(),
                                "To enable the logging you need to set \"game.serverEventLogging 1\" in the ");
    ASSERT_NE(hint, credits.end());
    EXPECT_EQ(*(hint + 1), "serversettings.con.");

    // The maps whose pictures ship with the program, then one blank line.
    EXPECT_EQ(MemoLines(*form.Memo3), (std::vector<std::string>{"-Bramble Bay", "-Kessel Ridge", ""}));
    EXPECT_EQ(MemoLines(*form.Memo4).front(), "25-08-2003");
}

TEST(AboutForm, AboutOpensItModallyAndFreesItAfterwards)
{
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    QString title;
    const bool shown = WithModal([&] { window.About2->trigger(); },
                                 [&](QWidget& modal) {
                                     EXPECT_TRUE(qobject_cast<TAboutForm*>(&modal));
                                     EXPECT_EQ(modal.parentWidget(), &window);
                                     title = modal.windowTitle();
                                     modal.close();
                                 });
    EXPECT_TRUE(shown);
    EXPECT_EQ(title, "About");
    EXPECT_EQ(window.findChild<TAboutForm*>(), nullptr);
}
