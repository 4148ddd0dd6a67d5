#include "TestUtil.h"
#include "base/Errors.h"
#include "base/MemoryStream.h"
#include "xmltree/wexXMLTree.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Names of a node's children, joined with spaces.
std::string ChildNames(const TwexXMLNode* node)
{
    std::string names;
    for (const TwexXMLNode* child : node->Children())
        names += (names.empty() ? "" : " ") + std::string(child->Name());
    return names;
}

struct TreeTest : ::testing::Test {
    TwexXMLTree tree{"ROOT", "", nullptr};
    TSeparatorScope point{'.'};
};

} // namespace

TEST_F(TreeTest, ALogStartsWithADeclarationThatEnclosesTheDocument)
{
    tree.LoadFromText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<bf:log>\n<bf:round/></bf:log>\n");
    EXPECT_EQ(tree.Name(), "root");
    ASSERT_EQ(tree.ChildCount(), 1);
    const TwexXMLNode* declaration = tree.FirstChild();
    EXPECT_EQ(declaration->Name(), "?xml");
    EXPECT_EQ(declaration->AttributeByName("encoding")->Value(), "ISO-8859-1");
    EXPECT_EQ(ChildNames(declaration), "bf:log");
    EXPECT_EQ(ChildNames(declaration->FirstChild()), "bf:round/");
    EXPECT_EQ(declaration->ParentNode(), &tree);
}

TEST_F(TreeTest, CommentsAreElementsThatNothingCloses)
{
    tree.LoadFromText("<log><r><!-- note --><a/><b/></r><late/></log>");
    const TwexXMLNode* r = tree.SelectNode("log/r");
    EXPECT_EQ(ChildNames(r->FirstChild()), "a/ b/");
    // "</r>" closed the comment, so "late" lands inside r and "</log>" closes r.
    EXPECT_EQ(ChildNames(r), "!-- late/");
    EXPECT_EQ(ChildNames(tree.FirstChild()), "r");
    tree.LoadFromText("<!--nospaces--><x/>");
    EXPECT_EQ(tree.FirstChild()->Name(), "!--nospaces--");
}

TEST_F(TreeTest, ElementTextRules)
{
    tree.LoadFromText("<a><n>1.5</n><e>a&lt;b&gt;</e><m> two\r\n lines  here </m>"
                      "<c><![CDATA[ x\r\ny ]]></c><t>first<child/>last</t><v x=\"1.5\">1.2.3</v></a>");
    const TwexXMLNode* a = tree.FirstChild();
    EXPECT_EQ(a->ChildByName("n")->Value(), "1.5");
    EXPECT_EQ(a->ChildByName("e")->Value(), "a&lt;b&gt;"); // entities stay as written
    EXPECT_EQ(a->ChildByName("m")->Value(), "two  lines  here");
    EXPECT_TRUE(a->ChildByName("c")->IsCData());
    EXPECT_EQ(a->ChildByName("c")->Value(), " x\\n y ");
    EXPECT_FALSE(a->ChildByName("t")->IsCData());
    EXPECT_EQ(a->ChildByName("t")->Value(), "last"); // the last piece of text wins

    TSeparatorScope comma(',');
    tree.LoadFromText("<a><n>-.5</n><v x=\"1.5\">1.2.3</v><e>1e5.0</e><z>1.0E3</z></a>");
    const TwexXMLNode* b = tree.FirstChild();
    EXPECT_EQ(b->ChildByName("n")->Value(), "-,5");
    EXPECT_EQ(b->ChildByName("v")->Value(), "1.2.3");
    EXPECT_EQ(b->ChildByName("v")->AttributeByName("x")->Value(), "1.5"); // attributes unchanged
    EXPECT_EQ(b->ChildByName("e")->Value(), "1e5.0"); // a lower-case e is no number
    EXPECT_EQ(b->ChildByName("z")->Value(), "1,0E3");
    EXPECT_EQ(tree.Lines().ToVector()[2], "TX:-.5"); // the tokens keep the text as written
}

TEST_F(TreeTest, AttributeParsingRules)
{
    tree.LoadFromText("<a x=\"1\" x=\"2\" Y=\"a=b\" w z=\"3\" q='4' r=\"5\"/><b/><c />");
    const TwexXMLNode* a = tree.FirstChild();
    EXPECT_EQ(a->Name(), "a");
    EXPECT_EQ(a->AttributeByName("x")->Value(), "1"); // the first of two
    EXPECT_EQ(a->AttributeByName("y"), nullptr);       // case-sensitive
    EXPECT_EQ(a->AttributeByName("Y")->Value(), "a=b");
    EXPECT_EQ(a->AttributeByName("w z")->Value(), "3"); // a word without "=" joins the next name
    // Apostrophes delimit nothing: the scan runs on to the next double quoted value.
    EXPECT_EQ(a->AttributeByName("q")->Value(), "5");
    EXPECT_EQ(a->AttributeByName("r"), nullptr);
    EXPECT_EQ(ChildNames(&tree), "a b/ c");
}

TEST_F(TreeTest, MalformedMarkupStillBuildsATree)
{
    tree.LoadFromText("\xEF\xBB\xBF<a><b></wrong>text</a></a></a><>x</>");
    EXPECT_EQ(tree.Value(), "\xEF\xBB\xBF"); // bytes before the first tag: the tree's text
    EXPECT_EQ(ChildNames(&tree), "a ");
    EXPECT_EQ(tree.FirstChild()->Value(), "text");
    EXPECT_EQ(tree.ChildByName("")->Value(), "x");
    // A "<" without ">" leaves the text after it as the element's value.
    tree.LoadFromText("<a>one < two");
    EXPECT_EQ(tree.FirstChild()->Value(), "two");
}

TEST_F(TreeTest, EmptyTextGivesAnEmptyTree)
{
    tree.LoadFromText(" \r\n\t\n");
    EXPECT_EQ(tree.Name(), "root");
    EXPECT_EQ(tree.FirstChild(), nullptr);
    EXPECT_EQ(tree.SelectNode("a"), nullptr);
    EXPECT_EQ(MessageOf([&] { tree.ChildByIndex(0); }), "List index out of bounds (0)");
    EXPECT_EQ(tree.Lines().Count(), 0u);
}

TEST_F(TreeTest, ALoadReplacesTheDocumentButKeepsTheTreesOwnText)
{
    tree.LoadFromText("top<a/>");
    tree.LoadFromText("<b><c/></b>");
    EXPECT_EQ(ChildNames(&tree), "b");
    EXPECT_EQ(tree.Value(), "top"); // only top-level text changes the tree's value
    EXPECT_EQ(tree.Lines().ToVector(), (std::vector<std::string>{"OT:b", "ET:c/", "CT:b"}));

    TTempDir dir;
    const std::string missing = dir.Path("missing.xml");
    EXPECT_EQ(MessageOf([&] { tree.LoadFromFile(missing); }), "Cannot open file " + missing);
    EXPECT_EQ(tree.ChildCount(), 0);         // emptied before the file was opened
    EXPECT_EQ(tree.Lines().Count(), 3u);     // the token list is untouched
    EXPECT_EQ(tree.Value(), "top");

    tree.LoadFromFile(dir.Write("log.xml", "<x>1</x>\r<y/>"));
    EXPECT_EQ(ChildNames(&tree), "x y/");
    TMemoryStream stream;
    stream.Write("skip<z/>", 8);
    stream.SetPosition(4);
    tree.LoadFromStream(stream);
    EXPECT_EQ(ChildNames(&tree), "z/");
}

TEST_F(TreeTest, ADeepUnclosedDocumentLoadsAndGoes)
{
    std::string text;
    for (int i = 0; i < 300000; ++i)
        text += "<a>";
    tree.LoadFromText(text);
    const TwexXMLNode* node = &tree;
    int depth = 0;
    while (node->FirstChild()) {
        node = node->FirstChild();
        ++depth;
    }
    EXPECT_EQ(depth, 300000);
    tree.LoadFromText("<b/>"); // destroying the deep tree must not exhaust the stack
    EXPECT_EQ(ChildNames(&tree), "b/");
}

TEST_F(TreeTest, ParsedNodesCanBeChangedLikeHandMadeOnes)
{
    tree.LoadFromText("<a k=\"v\"><b/></a>");
    TwexXMLNode* a = tree.FirstChild();
    a->SetValue("new");
    a->SetName("renamed");
    a->AddAttribute("k2", "v2");
    auto* extra = new TwexXMLNode("extra", "", a);
    a->AppendChild(extra);
    ParseTag(a, "made m=\"1\" n=\"2\"", "val");
    EXPECT_EQ(a->Name(), "renamed");
    EXPECT_EQ(a->AttributeByName("k")->Value(), "v");
    EXPECT_EQ(a->AttributeByName("k2")->Value(), "v2");
    EXPECT_EQ(ChildNames(a), "b/ extra made");
    const TwexXMLNode* made = a->ChildByName("made");
    EXPECT_EQ(made->Value(), "val");
    EXPECT_EQ(made->AttributeCount(), 2);
    EXPECT_EQ(made->ParentNode(), a);
    EXPECT_EQ(ParseTag(&tree, "name/", "")->Name(), "name/");
    tree.LoadFromText("<c/>"); // frees arena and hand-made nodes alike
    EXPECT_EQ(ChildNames(&tree), "c/");
}

TEST_F(TreeTest, EveryNodeKnowsItsParentInWideAndDeepTrees)
{
    // Wide enough that the children waiting for their parent's close fill several blocks.
    std::string text = "<?xml version=\"1.0\"?><r>";
    for (int i = 0; i < 40000; ++i)
        text += "<c i=\"" + std::to_string(i) + "\"/>";
    text += "</r><d><e><f/></e></d>";
    tree.LoadFromText(text);
    const TwexXMLNode* declaration = tree.FirstChild();
    EXPECT_EQ(declaration->ParentNode(), &tree);
    const TwexXMLNode* r = declaration->FirstChild();
    ASSERT_EQ(r->ChildCount(), 40000);
    int i = 0;
    for (const TwexXMLNode* c : r->Children()) {
        EXPECT_EQ(c->ParentNode(), r);
        EXPECT_EQ(c->AttributeByName("i")->Value(), std::to_string(i++));
    }
    EXPECT_EQ(r->ParentNode(), declaration);
    const TwexXMLNode* e = tree.SelectNode("?xml/d/e");
    ASSERT_NE(e, nullptr);
    const TwexXMLNode* f = e->FirstChild();
    EXPECT_EQ(f->Name(), "f/");
    EXPECT_EQ(f->ParentNode()->ParentNode()->ParentNode(), declaration);
    EXPECT_EQ(ChildNames(declaration), "r d");
}

TEST_F(TreeTest, EditedNodesKeepWhatTheLoadGaveThem)
{
    tree.LoadFromText("<a k=\"v\"><b/><c><d/></c><e/></a><z/>");
    TwexXMLNode* a = tree.FirstChild();
    TwexXMLNode* c = a->ChildByName("c");
    // The loaded children stay where they are when a node made by hand joins them.
    auto* made = new TwexXMLNode("made", "", nullptr);
    a->AppendChild(made);
    EXPECT_EQ(made->ParentNode(), a);
    EXPECT_EQ(ChildNames(a), "b/ c e/ made");
    EXPECT_EQ(a->ChildByIndex(1), c);
    EXPECT_EQ(c->ParentNode(), a);
    made->AppendChild(new TwexXMLNode("inner", "x", nullptr));
    // A loaded attribute changed in place, and one added after it.
    a->AttributeByName("k")->SetValue("changed");
    EXPECT_EQ(a->AddAttribute("k2", "v2")->Value(), "v2");
    EXPECT_EQ(a->AttributeByName("k")->Value(), "changed");
    c->FirstChild()->SetName("renamed");
    EXPECT_EQ(tree.SelectNode("a/c/renamed"), c->FirstChild());

    c->ClearChildren();
    EXPECT_EQ(c->ChildCount(), 0);
    EXPECT_EQ(ChildNames(a), "b/ c e/ made");
    a->ClearAttributes();
    EXPECT_EQ(a->AttributeCount(), 0);
    a->ClearChildren();
    EXPECT_EQ(ChildNames(&tree), "a z/");
    tree.LoadFromText("<y/>");
    EXPECT_EQ(ChildNames(&tree), "y/");
}

TEST_F(TreeTest, TheTokenListReadsAsText)
{
    tree.LoadFromText("<a x=\"1\">t<![CDATA[c]]><b/></a>");
    std::ostringstream out;
    tree.Lines().WriteTo(out);
    EXPECT_EQ(out.str(), "OT:a x=\"1\"\nTX:t\nCD:c\nET:b/\nCT:a\n");
    std::vector<std::string> seen;
    tree.Lines().ForEach([&](std::string_view token) { seen.emplace_back(token); });
    EXPECT_EQ(seen, tree.Lines().ToVector());
    EXPECT_EQ(tree.Lines().Count(), 5u);
}
