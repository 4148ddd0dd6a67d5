// What a load costs in memory per byte of text, counted exactly by the buffers themselves:
// the text, the token list, the arena of nodes and the builder's stacks.
#include "TestUtil.h"
#include "base/MemoryMeter.h"
#include "base/MemoryStream.h"
#include "log/LogFile.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>

namespace {

constexpr double MaxBytesPerByte = 25.0;
constexpr size_t TextBytes = 8 << 20;
// The texts of every shape: large enough that a cost growing with the text outweighs any fixed
// one, a nesting deep enough to overflow any stack a recursive walk would use.
constexpr size_t ShapeBytes = 2 << 20;

std::string Repeat(std::string_view piece, size_t bytes)
{
    std::string text;
    text.reserve(bytes + piece.size());
    while (text.size() < bytes)
        text += piece;
    return text;
}

struct TCost {
    double peak;  // the most held during the load, per byte of text
    double after; // held once the load is done
};

// Loads the text the way an inflated log is loaded: from a stream that the load empties.
TCost LoadCost(TwexXMLTree& tree, const std::string& text)
{
    const size_t before = MeteredBytes();
    ResetMeteredPeak();
    {
        TMemoryStream stream;
        stream.Write(text.data(), text.size());
        stream.SetPosition(0);
        tree.LoadFromStreamReleasing(stream);
        EXPECT_EQ(stream.Size(), 0u);
    }
    const double size = static_cast<double>(text.size());
    return {static_cast<double>(PeakMeteredBytes() - before) / size, static_cast<double>(MeteredBytes() - before) / size};
}

std::string Deflate(std::string_view text) { return ZlibCompressed(std::string(text)); }

int Depth(const TwexXMLNode* node)
{
    int depth = 0;
    while ((node = node->FirstChild()))
        ++depth;
    return depth;
}

} // namespace

TEST(TreeMemory, NoTextCostsMoreThanItsBoundWhileLoadingOrAfter)
{
    struct TCase {
        const char* name;
        std::string text;
        std::function<void(const TwexXMLTree&)> check;
    };
    const TCase cases[] = {
        {"unclosed elements", Repeat("<a>", ShapeBytes),
         [](const TwexXMLTree& tree) { EXPECT_EQ(Depth(&tree), static_cast<int>(ShapeBytes / 3 + 1)); }},
        {"empty tags", Repeat("<>", ShapeBytes),
         [](const TwexXMLTree& tree) { EXPECT_EQ(Depth(&tree), static_cast<int>(ShapeBytes / 2)); }},
        {"empty elements", Repeat("<a/>", ShapeBytes),
         [](const TwexXMLTree& tree) { EXPECT_EQ(tree.ChildCount(), static_cast<int>(ShapeBytes / 4)); }},
        {"closed pairs", Repeat("<></>", ShapeBytes), nullptr},
        {"nested and closed", Repeat("<a>", ShapeBytes / 7 * 3) + Repeat("</a>", ShapeBytes / 7 * 4),
         [](const TwexXMLTree& tree) {
             EXPECT_EQ(tree.ChildCount(), 1);
             EXPECT_EQ(Depth(&tree), static_cast<int>(ShapeBytes / 7));
         }},
        {"one tag of many attributes", "<a" + Repeat(" =\"\"", ShapeBytes) + ">",
         [](const TwexXMLTree& tree) {
             EXPECT_EQ(tree.FirstChild()->AttributeCount(), static_cast<int>(ShapeBytes / 4));
         }},
        {"attribute-heavy tags", Repeat("<a b=\"\" c=\"1\"/>", ShapeBytes), nullptr},
        {"tiny texts between tags", Repeat("x<>", ShapeBytes), nullptr},
        {"texts of stray brackets", Repeat("x<", ShapeBytes), nullptr},
        {"a section of line breaks", "<a><![CDATA[" + std::string(ShapeBytes, '\n') + "]]>",
         [](const TwexXMLTree& tree) { EXPECT_EQ(tree.FirstChild()->Value().size(), 3 * ShapeBytes); }},
        {"many small sections", Repeat("<![CDATA[\r\n\t]]>", ShapeBytes), nullptr},
    };
    TSeparatorScope comma(','); // numbers are copied to be localised
    for (const TCase& c : cases) {
        TwexXMLTree tree("ROOT", "", nullptr);
        const TCost cost = LoadCost(tree, c.text);
        EXPECT_LE(cost.peak, MaxBytesPerByte) << c.name;
        EXPECT_LE(cost.after, MaxBytesPerByte) << c.name;
        if (c.check)
            c.check(tree);
    }
    // Localised copies of numbers, one per tiny text.
    TwexXMLTree tree("ROOT", "", nullptr);
    EXPECT_LE(LoadCost(tree, Repeat("<>.", ShapeBytes)).peak, MaxBytesPerByte);
    EXPECT_EQ(tree.FirstChild()->Value(), ",");
}

TEST(TreeMemory, ALoadGivesBackWhatThePreviousOneHeld)
{
    const size_t before = MeteredBytes();
    {
        TwexXMLTree tree("ROOT", "", nullptr);
        LoadCost(tree, Repeat("<a>", TextBytes));
        const size_t first = MeteredBytes() - before;
        tree.LoadFromText("<b/>");
        EXPECT_LT(MeteredBytes() - before, first / 20);
        // Destroying the tree of the load before goes without a list of its nodes.
        LoadCost(tree, Repeat("<a>", TextBytes));
        ResetMeteredPeak();
        tree.LoadFromText("<b/>");
        EXPECT_LE(PeakMeteredBytes() - before, first + (1u << 20));
    }
    EXPECT_EQ(MeteredBytes(), before);
}

TEST(TreeMemory, AnInflatedLogIsNotHeldTwiceWhileItsNodesAreBuilt)
{
    TTempDir dir;
    const std::string text = Repeat("<a>", TextBytes);
    const std::string log = dir.Write("deep.zxml", Deflate(text));
    TwexXMLTree tree("ROOT", "", nullptr);
    const size_t before = MeteredBytes();
    ResetMeteredPeak();
    LoadLogFile(log, tree);
    EXPECT_LE(static_cast<double>(PeakMeteredBytes() - before) / static_cast<double>(text.size()), MaxBytesPerByte);
    // What stays is the tree: the file's bytes and the inflated text are gone.
    EXPECT_EQ(MeteredBytes() - before, tree.Lines().CapacityBytes() + tree.NodeBytes());
}

TEST(TreeMemory, ALogOfEventsCostsLessThanThreeTimesItsText)
{
    // Events with parameters, as the game server writes them, indented with tabs.
    std::string text = "<?xml version=\"1.0\"?>\n<bf:log>\n";
    for (int i = 0; text.size() < 4 * TextBytes; ++i)
        text += "\t<bf:event name=\"scoreEvent\" timestamp=\"" + std::to_string(i) + ".25\">\n"
                "\t\t<bf:param type=\"int\" name=\"player_id\">" + std::to_string(i % 64) + "</bf:param>\n"
                "\t\t<bf:param type=\"vec3\" name=\"player_location\">12.50/3.00/1788.25</bf:param>\n"
                "\t\t<bf:param type=\"string\" name=\"score_type\">Kill</bf:param>\n"
                "\t</bf:event>\n";
    TwexXMLTree tree("ROOT", "", nullptr);
    const TCost cost = LoadCost(tree, text);
    EXPECT_LE(cost.peak, 3.0);
    EXPECT_LE(cost.after, 3.0);
    const TwexXMLNode* log = tree.FirstChild()->FirstChild();
    EXPECT_EQ(log->Children().back()->ChildByIndex(2)->Value(), "Kill");
}

TEST(TreeMemory, ATreeThatKeepsItsNodeMemoryFillsItAgainAndNoMore)
{
    const size_t before = MeteredBytes();
    {
        // Rounds one after another: the second's nodes go where the first's were.
        TwexXMLTree tree("ROOT", "", nullptr);
        tree.KeepNodeMemory(size_t(64) << 20);
        tree.LoadFromText(Repeat("<a x=\"1\"><b>text</b></a>", TextBytes / 4));
        const size_t kept = tree.NodeBytes();
        ASSERT_GT(kept, size_t(0));
        const std::string empties = Repeat("<c y=\"2\" z=\"3\"/>", TextBytes / 8);
        for (int load = 0; load < 3; ++load) {
            tree.LoadFromText(empties);
            EXPECT_EQ(tree.NodeBytes(), kept) << "the same pages, none more";
            ASSERT_EQ(tree.ChildCount(), empties.size() / 16);
            const TwexXMLNode* last = tree.Children().back();
            EXPECT_EQ(last->Name(), "c");
            EXPECT_EQ(last->AttributeByName("z")->Value(), "3");
            EXPECT_EQ(last->ChildCount(), 0u);
        }
        // More than it keeps: given back as any tree's.
        tree.KeepNodeMemory(kept - 1);
        tree.LoadFromText("<d/>");
        EXPECT_LT(tree.NodeBytes(), kept);
    }
    EXPECT_EQ(MeteredBytes(), before);
}
