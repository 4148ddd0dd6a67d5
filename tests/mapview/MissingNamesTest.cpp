#include "mapview/MissingNames.h"

#include "base/Convert.h"

#include <gtest/gtest.h>

TEST(MissingNames, EachNameOnceInTheLetterCaseFirstMissed)
{
    TMissingNames names;
    EXPECT_TRUE(names.Add("Tiger"));
    EXPECT_TRUE(names.Add("b\xE9ret"));
    EXPECT_FALSE(names.Add("TIGER"));
    EXPECT_FALSE(names.Add("B\xC9RET")); // Latin-1 letters too
    EXPECT_TRUE(names.Add("Sherman"));
    EXPECT_FALSE(names.Add("tiger"));
    EXPECT_EQ(names.Names(), (std::vector<std::string>{"Tiger", "b\xE9ret", "Sherman"}));
}

// A map of thousands of classes without pictures keys each miss once, however long the list:
// a list that keyed its entries again for each miss would key millions here.
TEST(MissingNames, KeysEachMissOnceHoweverLongTheList)
{
    size_t keyed = 0;
    TMissingNames names([&keyed](std::string_view name) {
        ++keyed;
        return UpperCaseLatin1(name);
    });
    const int count = 5000;
    for (int i = 0; i < count; ++i) {
        names.Add("class" + std::to_string(i));
        names.Add("CLASS" + std::to_string(i));
    }
    EXPECT_EQ(names.Names().size(), static_cast<size_t>(count));
    EXPECT_EQ(names.Names().back(), "class" + std::to_string(count - 1));
    EXPECT_EQ(keyed, 2u * count);
}
