#include "TestUtil.h"
#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Numeric.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

TEST(StrToFloat, ReadsNumbersWithTheLocaleSeparator)
{
    TSeparatorScope point('.');
    EXPECT_DOUBLE_EQ(StrToFloat("512.5"), 512.5);
    EXPECT_DOUBLE_EQ(StrToFloat("  -.5 "), -0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("5."), 5.0);
    EXPECT_DOUBLE_EQ(StrToFloat("+1E3"), 1000.0);
    EXPECT_DOUBLE_EQ(StrToFloat("25e-2"), 0.25);
    EXPECT_EQ(StrToFloat("1e-5000"), 0.0L); // too small to hold is zero, not an error
    EXPECT_EQ(MessageOf([] { StrToFloat("1,5"); }), "'1,5' is not a valid floating point value");

    TSeparatorScope comma(',');
    EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
    EXPECT_EQ(MessageOf([] { StrToFloat("1.5"); }), "'1.5' is not a valid floating point value");
}

TEST(StrToFloat, RejectsWhatIsNoNumber)
{
    TSeparatorScope point('.');
    for (const char* text : {"", " ", ".", "-", "1.2.3", "abc", "1e", "1e+", "1 2", "0x10", "1e5000", "inf", "nan"})
        EXPECT_THROW(StrToFloat(text), EConvertError) << text;
}

TEST(StrToFloat, PlainDecimalsReadToTheLastBitAsTheFullConversionReadsThem)
{
    // Most numbers of a log take a shorter road than the general conversion; whatever the
    // number of digits and the rounding mode, both must give the same bits.
    TSeparatorScope point('.');
    std::mt19937_64 random(32);
    const int modes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    const int saved = std::fegetround();
    int differing = 0;
    std::string first;
    for (const int mode : modes) {
        std::fesetround(mode);
        for (int n = 0; n < 50000; ++n) {
            std::string text = random() % 3 == 0 ? "-" : "";
            const int whole = static_cast<int>(random() % 22), fraction = static_cast<int>(random() % 31);
            for (int i = 0; i < whole; ++i)
                text += static_cast<char>('0' + random() % (random() % 4 == 0 ? 1 : 10));
            if (fraction > 0 || whole == 0)
                text += '.';
            for (int i = 0; i < fraction || text.back() == '.' && whole == 0; ++i)
                text += static_cast<char>('0' + random() % 10);
            long double quick = 0, full = 0;
            const std::string_view unsigned_ = std::string_view(text).substr(text[0] == '-' ? 1 : 0);
            const auto [end, error] = std::from_chars(unsigned_.data(), unsigned_.data() + unsigned_.size(), full);
            ASSERT_TRUE(error == std::errc() && end == unsigned_.data() + unsigned_.size()) << text;
            if (text[0] == '-')
                full = -full;
            ASSERT_TRUE(TryStrToFloat(text, quick)) << text;
            if (std::memcmp(&quick, &full, 10) != 0 && differing++ == 0)
                first = text;
        }
    }
    std::fesetround(saved);
    EXPECT_EQ(differing, 0) << "first: " << first;
}

TEST(StrToInt, ReadsDecimalAndHexWithinThirtyTwoBits)
{
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt("  -7"), -7);
    EXPECT_EQ(StrToInt("+3"), 3);
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(MessageOf([] { StrToInt("2147483648"); }), "'2147483648' is not a valid integer value");
    for (const char* text : {"", "12 ", "1.0", "-", "$", "abc", "1e3"})
        EXPECT_THROW(StrToInt(text), EConvertError) << text;
}

TEST(VarToInt, FailsWithTheVariantMessage)
{
    EXPECT_EQ(VarToInt(" 12 "), 12);
    EXPECT_EQ(VarToInt("-1"), -1);
    EXPECT_EQ(MessageOf([] { VarToInt("abc"); }),
              "Could not convert variant of type (String) into type (Integer)");
    EXPECT_THROW(VarToInt("99999999999"), EVariantTypeCastError);
}

TEST(TextHelpers, CaseRulesAndReplacement)
{
    EXPECT_TRUE(SameTextLatin1("Bramble_BAY\xC9", "bramble_bay\xE9"));
    EXPECT_FALSE(SameTextLatin1("\xD7", "\xF7")); // multiply and divide signs are no letters
    EXPECT_TRUE(SameTextAscii("ZOOM", "zoom"));
    EXPECT_FALSE(SameTextAscii("\xC9", "\xE9"));
    EXPECT_LT(CompareTextAscii("abc", "ABCD"), 0); // a prefix sorts first
    EXPECT_GT(CompareTextAscii("b", "A"), 0);
    EXPECT_EQ(ReplaceAll("a&lt;b&lt;", "&lt;", "<"), "a<b<");
    EXPECT_EQ(Trim(" \t\r\nx y\x01 "), "x y");
    TSeparatorScope comma(',');
    EXPECT_EQ(LocalizePoints("1.5/2.5"), "1,5/2,5");
}

TEST(Numeric, RoundsHalvesToEvenAndTrapsOutOfRangeWhateverTheFpuRoundingMode)
{
    const int mode = std::fegetround();
    for (const int rounding : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        SCOPED_TRACE(rounding);
        std::fesetround(rounding);
        EXPECT_EQ(RoundToInt32(0.5L), 0);
        EXPECT_EQ(RoundToInt32(1.5L), 2);
        EXPECT_EQ(RoundToInt32(2.5L), 2);
        EXPECT_EQ(RoundToInt32(-0.5L), 0);
        EXPECT_EQ(RoundToInt32(-1.5L), -2);
        EXPECT_EQ(RoundToInt32(-2.5L), -2);
        EXPECT_EQ(RoundToInt32(2.5000001L), 3);
        EXPECT_EQ(RoundToInt32(-7.4999999L), -7);
        EXPECT_EQ(RoundToInt32(1e-30L), 0);
        EXPECT_EQ(RoundToInt32(2147483647.4L), 2147483647);
        EXPECT_EQ(RoundToInt32(-2147483648.5L), -2147483648);
        EXPECT_EQ(MessageOf([] { RoundToInt32(2147483647.5L); }), "Range check error");
        EXPECT_THROW(RoundToInt32(-2147483648.6L), ERangeError);
        EXPECT_THROW(RoundToInt32(std::nanl("")), ERangeError);
        EXPECT_THROW(RoundToInt32(std::numeric_limits<long double>::infinity()), ERangeError);
    }
    std::fesetround(mode);
    EXPECT_EQ(TruncToInt32(-2.7L), -2);
    EXPECT_EQ(TruncToInt32(2.7L), 2);
    EXPECT_THROW(TruncToInt32(3e9L), ERangeError);
}

TEST(Numeric, IntegerArithmeticTrapsOverflow)
{
    EXPECT_EQ(MessageOf([] { CheckedAdd(2147483647, 1); }), "Integer overflow");
    EXPECT_THROW(CheckedSub(std::numeric_limits<int32_t>::min(), 1), EIntOverflow);
    EXPECT_THROW(CheckedMul(65536, 65536), EIntOverflow);
    EXPECT_EQ(DivTrunc(-7, 2), -3);
    EXPECT_EQ(ModTrunc(-7, 2), -1);
    EXPECT_THROW(DivTrunc(1, 0), EDivByZero);
    EXPECT_THROW(DivTrunc(std::numeric_limits<int32_t>::min(), -1), EIntOverflow);
    EXPECT_THROW(CheckedInt32(int64_t(1) << 31), ERangeError);
}
