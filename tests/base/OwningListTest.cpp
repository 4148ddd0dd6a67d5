#include "TestUtil.h"
#include "base/OwningList.h"

#include <gtest/gtest.h>

#include <ranges>
#include <string>
#include <vector>

namespace {

struct TItem {
    explicit TItem(std::string name = "") : Name(std::move(name)) {}
    std::string Name;
};

std::vector<std::string> Names(const TOwningList<TItem>& list)
{
    std::vector<std::string> names;
    for (const TItem& item : list)
        names.push_back(item.Name);
    return names;
}

} // namespace

TEST(OwningList, ItemsKeepTheirPlaceInMemoryAsTheListChanges)
{
    TOwningList<TItem> list;
    TItem* a = list.Emplace("a");
    TItem* b = list.Add(std::make_unique<TItem>("b"));
    for (int i = 0; i < 100; ++i)
        list.Emplace("x");
    TItem* c = list.Emplace("c");
    EXPECT_EQ(list.At(0), a);
    EXPECT_EQ(list.At(1), b);
    list.DeleteFirst(1);
    list.Delete(1);
    EXPECT_EQ(list.At(0), b);
    EXPECT_EQ(list.At(list.Count() - 1), c);
    EXPECT_EQ(b->Name, "b");
    EXPECT_EQ(list.Count(), 101);
}

TEST(OwningList, OrderIndexesAndIteration)
{
    TOwningList<TItem> list;
    for (const char* name : {"a", "b", "c", "d"})
        list.Emplace(name);
    list.Delete(1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "c", "d"}));
    std::vector<std::string> backwards;
    for (const TItem& item : std::views::reverse(list))
        backwards.push_back(item.Name);
    EXPECT_EQ(backwards, (std::vector<std::string>{"d", "c", "a"}));

    EXPECT_EQ(MessageOf([&] { list.At(-1); }), "List index out of bounds (-1)");
    EXPECT_EQ(MessageOf([&] { list.At(3); }), "List index out of bounds (3)");
    EXPECT_EQ(MessageOf([&] { list.Delete(3); }), "List index out of bounds (3)");
    EXPECT_EQ(MessageOf([&] { list.Delete(-2); }), "List index out of bounds (-2)");
    EXPECT_EQ(list.Count(), 3);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(Names(list).empty());
    EXPECT_EQ(MessageOf([&] { list.At(0); }), "List index out of bounds (0)");
}
