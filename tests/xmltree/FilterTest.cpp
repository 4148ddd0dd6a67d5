#include "TestUtil.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

namespace {

struct FilterTest : ::testing::Test {
    TwexXMLTree tree{"ROOT", "", nullptr};
    TSeparatorScope point{'.'};

    // The "id" attribute of what the path selects from the first element, or "nil".
    std::string Select(std::string_view path)
    {
        const TwexXMLNode* node = tree.FirstChild()->SelectNode(path);
        if (!node)
            return "nil";
        const TwexXMLAttribute* id = node->AttributeByName("id");
        return id ? std::string(id->Value()) : std::string(node->Name());
    }
};

} // namespace

TEST_F(FilterTest, PlainNamesAndPaths)
{
    tree.LoadFromText("<r><bf:server id=\"s1\"/><bf:server id=\"s2\"/>"
                      "<a id=\"a1\"></a><a id=\"a2\"><b id=\"b2\"/></a><x><y><z id=\"z\"/></y></x></r>");
    EXPECT_EQ(Select("bf:server"), "s1");
    EXPECT_EQ(Select("bf:Server"), "nil");
    EXPECT_EQ(Select("a/b"), "b2"); // the first a has no b: the search goes on to the second
    EXPECT_EQ(Select("x/y/z"), "z");
    EXPECT_EQ(Select("x/y/q"), "nil");
    EXPECT_EQ(Select("x//z"), "nil"); // an empty step matches only nameless elements
    EXPECT_EQ(tree.SelectNode("r"), tree.FirstChild()); // relative: the node itself is not tested
}

TEST_F(FilterTest, AttributeConditions)
{
    tree.LoadFromText("<r><a id=\"bare\"/><a id=\"ten\" x=\"10\"/><a id=\"abc\" x=\"ABC\"/>"
                      "<a id=\"sp\" x=\"b c\"/><a id=\"frac\" x=\"1.5\"/><a id=\"lit\"/></r>");
    tree.FirstChild()->ChildByIndex(5)->AddAttribute("x=1", ""); // no parsed name holds "="
    EXPECT_EQ(Select("a[@x]"), "ten");
    EXPECT_EQ(Select("a[@*]"), "bare");
    EXPECT_EQ(Select("a[@x $gt$ 5]"), "ten");              // numbers: 10 > 5
    EXPECT_EQ(Select("a[@x $igt$ 5][@x $ilt$ B]"), "abc"); // text: "10" sorts before "5"
    EXPECT_EQ(Select("a[@x $ieq$ abc]"), "abc");
    EXPECT_EQ(Select("a[@x $eq$ abc]"), "nil");
    EXPECT_EQ(Select("a[@x = 'b c']"), "sp");
    EXPECT_EQ(Select("a[@x $eq$ \"b c']"), "sp"); // one quote of either kind goes at each end
    EXPECT_EQ(Select("a[@x $ne$ 10]"), "abc");
    EXPECT_EQ(Select("a[@x $ine$ abc][@x $ine$ 10]"), "sp");
    EXPECT_EQ(Select("a[@x $le$ 1.5][@x $ge$ 1.5]"), "frac");
    EXPECT_EQ(Select("a[@x $lt$ 2]"), "frac");
    EXPECT_EQ(Select("a[@x $ile$ 2]"), "ten"); // text: "10" sorts before "2"
    EXPECT_EQ(Select("a[@x $ige$ b]"), "sp");
    EXPECT_EQ(Select("a[@x=1]"), "lit"); // no spaces: no operator, an attribute named x=1
    EXPECT_EQ(Select("a[@x $eq$ ]"), "bare"); // empty operand: the condition is dropped
    EXPECT_EQ(Select("a[@x $gt$ 5]junk[@x $eq$ 1]"), "nil"); // both conditions apply

    TSeparatorScope comma(',');
    EXPECT_EQ(Select("a[@x $ge$ 1]"), "ten"); // "1.5" is no number where the separator is a comma
    EXPECT_EQ(Select("a[@x $lt$ 2]"), "nil");
}

TEST_F(FilterTest, ChildConditionsLookAtTheFirstChildOfThatName)
{
    tree.LoadFromText("<r><a id=\"a1\"><c>0</c><c>1</c></a><a id=\"a2\"><c>1</c></a>"
                      "<id=\"empty\"/><a id=\"a3\"><c>1.5</c></a></r>");
    EXPECT_EQ(Select("a[c $eq$ 1]"), "a2");
    EXPECT_EQ(Select("a[c]"), "a1");
    EXPECT_EQ(Select("a[*]"), "nil"); // "*" is special for attributes only
    EXPECT_EQ(Select("[@id $eq$ \"empty\"]"), "nil");
    TSeparatorScope comma(',');
    tree.LoadFromText("<r><a id=\"a3\"><c>1.5</c></a></r>");
    EXPECT_EQ(Select("a[c $gt$ 1]"), "a3"); // element text was localised when it was parsed
}

TEST(FilterParsing, OperatorSearchOrderAndUnreadableConditions)
{
    TParsedCondition c;
    ASSERT_TRUE(ParseCondition("x $ne$ 1 $eq$ 2", c));
    EXPECT_EQ(c.Operator, TFilterOperator::NotEqual);
    EXPECT_EQ(c.Operand, "1 $eq$ 2");
    ASSERT_TRUE(ParseCondition("x $eq$ 1 $ne$ 2", c)); // "$ne$" is searched first
    EXPECT_EQ(c.Name, "x $eq$ 1");
    EXPECT_FALSE(ParseCondition(" $eq$ 1", c));
    ASSERT_TRUE(ParseCondition(" x ", c));
    EXPECT_EQ(c.Name, " x "); // without an operator the name stays untrimmed
    EXPECT_EQ(c.Operator, TFilterOperator::None);
    EXPECT_EQ(StripQuotes(" '\"a\"' "), "\"a\"");
    EXPECT_EQ(StripQuotes("'"), "");

    TwexXMLFilter filter("a[@x $gt$ 1] [b] [][@y]");
    EXPECT_EQ(filter.Name, "a");
    ASSERT_EQ(filter.Atoms.size(), 2u); // the empty condition ends the step
    EXPECT_TRUE(filter.Atoms[0]->IsAttribute);
    EXPECT_EQ(filter.Atoms[1]->Name, "b");
    EXPECT_FALSE(filter.Atoms[1]->IsAttribute);
    EXPECT_EQ(TwexXMLFilter("[@x $eq$ 1]").Name, "");
    EXPECT_EQ(TwexXMLFilter("a[@x").Atoms.size(), 0u);
}

TEST(FilterParsing, NamedOperatorsCompareAsTheirNamesSay)
{
    TSeparatorScope point('.');
    auto holds = [](TFilterOperator op, std::string_view value, std::string_view operand) {
        TwexXMLFilterAtom atom;
        atom.SetOperator(op);
        atom.SetOperand(operand);
        return TestValue(atom, value);
    };
    using enum TFilterOperator;
    EXPECT_TRUE(holds(None, "any", "other"));
    EXPECT_TRUE(holds(Equal, "Ab", "Ab"));
    EXPECT_FALSE(holds(Equal, "Ab", "ab"));
    EXPECT_TRUE(holds(EqualIgnoreCase, "Ab", "aB"));
    EXPECT_TRUE(holds(NotEqual, "Ab", "ab"));
    EXPECT_FALSE(holds(NotEqualIgnoreCase, "Ab", "aB"));
    // As numbers 10 is above 9 and equals 10.0; as texts "10" sorts before "9" and "10.0".
    EXPECT_TRUE(holds(Greater, "10", "9"));
    EXPECT_FALSE(holds(GreaterText, "10", "9"));
    EXPECT_TRUE(holds(GreaterOrEqual, "10", "10.0"));
    EXPECT_FALSE(holds(GreaterOrEqualText, "10", "10.0"));
    EXPECT_TRUE(holds(Less, "9", "10"));
    EXPECT_FALSE(holds(LessText, "9", "10"));
    EXPECT_TRUE(holds(LessOrEqual, "10.0", "10"));
    EXPECT_FALSE(holds(LessOrEqualText, "10.0", "10"));
    EXPECT_TRUE(holds(GreaterText, "b", "A"));
    EXPECT_TRUE(holds(LessOrEqualText, "a", "A"));
    EXPECT_FALSE(holds(Greater, "b", "1")); // no number: no ordering holds
    EXPECT_FALSE(holds(Less, "b", "1"));
}
