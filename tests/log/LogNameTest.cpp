#include "log/LogName.h"

#include <gtest/gtest.h>

TEST(LogName, ReadsPortAndStartFromAServersName)
{
    const std::optional<TLogName> name = ParseLogName("/srv/bf/logs/ev_16567-20041203_2145.zxml");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->Port, 16567);
    EXPECT_EQ(name->Year, 2004);
    EXPECT_EQ(name->Month, 12);
    EXPECT_EQ(name->Day, 3);
    EXPECT_EQ(name->Hour, 21);
    EXPECT_EQ(name->Minute, 45);
    EXPECT_EQ(LogStartText(*name), "2004-12-03 21:45");

    // Any folder, either slash, the extension in any letter case, no folder at all.
    for (const char* path : {"C:\\Games\\logs\\ev_1-00010101_0000.XML", "ev_65535-20041203_2145.ZxMl",
                             "logs/ev_80-19991231_2359.xml", "a.b\\c/ev_7-20240229_0001.Zxml"})
        EXPECT_TRUE(ParseLogName(path)) << path;
    EXPECT_EQ(LogStartText(*ParseLogName("C:\\Games\\logs\\ev_1-00010101_0000.XML")), "0001-01-01 00:00");
    EXPECT_EQ(ParseLogName("x/ev_65535-20041203_2145.ZxMl")->Port, 65535);
}

TEST(LogName, RefusesOtherNamesImpossibleDatesAndPorts)
{
    for (const char* path : {
             "ev_16567-20041203_2145.txt", "ev_16567-20041203_2145", "ev_16567-20041203_2145.xml.gz",
             "ev_16567-20041203_2145.zxml/", "EV_16567-20041203_2145.xml", "xev_16567-20041203_2145.xml",
             "ev_16567-20041203_2145x.xml", "ev_16567-2004123_2145.xml", "ev_16567-20041203-2145.xml",
             "ev_16567_20041203_2145.xml", "ev_-20041203_2145.xml", "ev_+80-20041203_2145.xml",
             "ev_1 6-20041203_2145.xml", "ev_16567-2004120a_2145.xml", ".xml", "", "ev_16567-20041203_21455.xml",
             // ports outside 1..65535, and written with a leading zero
             "ev_0-20041203_2145.xml", "ev_65536-20041203_2145.xml", "ev_999999-20041203_2145.xml",
             "ev_080-20041203_2145.xml", "ev_99999999999999999999-20041203_2145.xml",
             // impossible moments
             "ev_80-20041303_2145.xml", "ev_80-20040003_2145.xml", "ev_80-20040231_2145.xml",
             "ev_80-20041200_2145.xml", "ev_80-20030229_2145.xml", "ev_80-19000229_2145.xml",
             "ev_80-20040431_2145.xml", "ev_80-00000101_0000.xml", "ev_80-20041203_2445.xml",
             "ev_80-20041203_2360.xml"})
        EXPECT_FALSE(ParseLogName(path)) << path;
    // Leap days of leap years only.
    EXPECT_TRUE(ParseLogName("ev_80-20000229_0000.xml"));
    EXPECT_TRUE(ParseLogName("ev_80-20040229_0000.xml"));
    EXPECT_TRUE(ParseLogName("ev_80-20041231_2359.xml"));
}
