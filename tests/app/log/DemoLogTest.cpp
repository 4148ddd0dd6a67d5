// The demo log the build makes opens in the main window like a server's log.
#include "../WindowTestUtil.h"
#include "app/OpenDialog.h"
#include "demoworld/DemoWorld.h"

#include <QListWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

TEST(DemoLog, OpensThroughTheMainWindowWithItsRoundsAndRoster)
{
    const std::string log = std::string(ORNWICK_BIN_DIR) + "/demo/demo.zxml";
    ASSERT_TRUE(PathExists(log)) << log;
    TSeparatorScope point('.');
    THome home;
    TTarvelMain window(home.Exe());
    window.SetStopReplayWait(0);
    TErrorCapture errors;
    EXPECT_EQ(MessageOf([&] { window.OpenLog(log); }), "");
    EXPECT_TRUE(errors.Messages.empty());

    // The demo changes with the generator: only the form of what is listed is fixed.
    const std::regex item("(\\S+)  Axis \\d+ Alies\\d+");
    ASSERT_GE(window.ListBox1->count(), 1);
    for (int i = 0; i < window.ListBox1->count(); ++i) {
        const std::string text = window.ListBox1->item(i)->text().toStdString();
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(text, parts, item)) << text;
        EXPECT_TRUE(std::ranges::any_of(demoworld::Maps, [&](const demoworld::Map& m) { return parts[1] == m.name; }))
            << text;
        EXPECT_EQ(window.RoundOfItem(i)->Name(), "bf:round");
    }
    EXPECT_GT(window.Roster().Count(), 0);
}
