// The moments a video's frames show follow the replay's clock: its jumps over long pauses of
// the server and its stop where the round ends, so that no span plans more frames than the
// replay spends ticks on it, and a span that still needs too many is refused before any work.
#include "SessionReplay.h"
#include "base/Errors.h"
#include "round/RoundVideo.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace replaylog;

namespace {

// Players 3 and 5 spawn at `first`, walk at `second` and `third`, and the round closes at `last`.
std::string PausedLog(const std::string& first, const std::string& second, const std::string& third, const std::string& last)
{
    return Log(Round(Ev("spawnEvent", first, 3, "10/0/10", {{"team", "1"}}) +
                     Ev("spawnEvent", first, 5, "30/0/30", {{"team", "2"}}) + Ev("pickupKit", second, 3, "12/0/12") +
                     Ev("pickupKit", third, 5, "32/0/32") + Ev("pickupKit", last, 3, "14/0/14")));
}

} // namespace

TEST(VideoTimeline, FramesFollowTheReplaysClockTickForTickAcrossALongPause)
{
    TSessionReplay r(PausedLog("10", "20", "10000020", "10000030"));
    r.Select(0);
    // 3 replay seconds a video second at 30 frames a second: one frame a tick.
    const TVideoTimeline timeline(r.session.Events(), 10, 10000030, 3, 30);
    std::vector<double> clock{r.session.ReplayTime()};
    while (!r.session.Ended()) {
        r.Ticks(1);
        clock.push_back(r.session.ReplayTime());
    }
    // About 100 000 jumps of 100 s instead of 100 million ticks of 0.1 s.
    ASSERT_LT(clock.size(), 100200u);
    EXPECT_NEAR(static_cast<double>(timeline.FrameCount()), static_cast<double>(clock.size()), 3);
    for (size_t k = 0; k < clock.size() && k < static_cast<size_t>(timeline.FrameCount()); k += 997)
        EXPECT_NEAR(timeline.FrameTime(static_cast<long long>(k)), clock[k], 0.31) << k;
    EXPECT_GE(timeline.FrameTime(timeline.FrameCount() - 1), 10000020.0); // the end is shown
}

TEST(VideoTimeline, WithoutPausesTheFramesAreEvenlySpacedAndTheRoundsEndIsTheLastOne)
{
    TSessionReplay r(PausedLog("10", "20", "30", "90"));
    r.Select(0);
    // Within the round: as many frames as the span takes at this speed, evenly spaced.
    const TVideoTimeline inside(r.session.Events(), 10, 25, 10, 30);
    EXPECT_EQ(inside.FrameCount(), 45);
    EXPECT_EQ(inside.FrameTime(0), 10);
    EXPECT_EQ(inside.FrameTime(44), 10 + 44 * 10.0 / 30);
    // The replay's round ends with its second-to-last event at 30 s: a stray last event at
    // ten million seconds plans no frames beyond it, and the last frame shows the end.
    TSessionReplay stray(PausedLog("10", "20", "30", "10000000"));
    stray.Select(0);
    const TVideoTimeline whole(stray.session.Events(), 10, 10000000, 10, 30);
    EXPECT_EQ(whole.FrameCount(), 62);
    EXPECT_EQ(whole.FrameTime(60), 30);
    EXPECT_DOUBLE_EQ(whole.FrameTime(61), 30.2);
}

TEST(VideoTimeline, ASpanOfTooManyFramesIsRefusedBeforeAnyFileNamingTheCount)
{
    // A pause of two hundred million seconds still takes two million ticks to cross.
    TSessionReplay r(PausedLog("10", "20", "200000020", "200000030"));
    r.Select(0);
    const TVideoTimeline timeline(r.session.Events(), 10, 200000030, 10, 30);
    EXPECT_GT(timeline.FrameCount(), MaxVideoFrames);
    EXPECT_LT(timeline.FrameCount(), 400000000);
    try {
        CheckVideoFrameCount(timeline.FrameCount());
        FAIL() << "not refused";
    } catch (const EVideoError& error) {
        EXPECT_NE(error.Message().find(std::to_string(timeline.FrameCount()) + " frames, more than 100000"), std::string::npos)
            << error.Message();
    }
    EXPECT_NO_THROW(CheckVideoFrameCount(MaxVideoFrames));

    // The export itself: refused as it starts, and no file.
    TTempDir dir;
    TwexXMLTree document{"ROOT", "", nullptr};
    LoadLogFile(dir.Write("log.xml", PausedLog("10", "20", "200000020", "200000030")), document);
    TPlayerList roster;
    TVideoSource source;
    WalkLog(document, roster, [&](const std::string&, TwexXMLNode* round) { source.round = round; });
    source.roster = &roster;
    source.settings = DefaultSettings();
    TVideoOptions options;
    options.from = 10;
    options.to = 200000030;
    EXPECT_THROW(TVideoExport(source, options, dir.Path("film.mp4")), EVideoError);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("film.mp4")));
}
