// The library's scan on a worker thread: queued requests, cancelling, a database refused.
#include "LibraryTestLogs.h"
#include "app/library/LibraryScan.h"

#include <gtest/gtest.h>

TEST(LibraryScan, AScanAskedForWhileOneRunsRunsOnceAfterIt)
{
    TLibraryHome h;
    TLibraryScan scan;
    int finished = 0;
    QObject::connect(&scan, &TLibraryScan::Finished, [&] { ++finished; });
    scan.Start(h.database, {h.logs});
    scan.Start(h.database, {h.logs});
    scan.Start(h.database, {h.logs});
    EXPECT_TRUE(scan.Queued());
    ASSERT_TRUE(scan.Wait(60000));
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(scan.LastSummary()->skipped, static_cast<int>(GeneratedLogs().size()));

    // Cancelled before its first file, it stores nothing.
    const std::string fresh = h.home.Dir.Path("fresh.sqlite");
    scan.Start(fresh, {h.logs});
    scan.Cancel();
    ASSERT_TRUE(scan.Wait(60000));
    ASSERT_TRUE(scan.LastSummary());
    EXPECT_TRUE(scan.LastSummary()->cancelled);
    EXPECT_EQ(scan.LastSummary()->indexed, 0);

    // A database that is no library: the scan says why and changes nothing.
    const std::string junk = h.home.Dir.Write("junk.sqlite", "junk");
    scan.Start(junk, {h.logs});
    ASSERT_TRUE(scan.Wait(60000));
    EXPECT_FALSE(scan.LastSummary());
    EXPECT_FALSE(scan.LastError().empty());
    EXPECT_EQ(ReadFileBytes(junk), "junk");
}
