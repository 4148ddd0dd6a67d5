#pragma once

// An in-memory tree of XML elements with a forgiving two-pass parser (tokens, then nodes)
// and path selection with filter conditions. The parser reports no syntax errors: whatever
// the text holds becomes tokens and nodes by fixed rules, and the game server's logs rely on
// them (an XML declaration, for instance, is an element that encloses the whole document).
//
// Memory matters here: a log of hundreds of megabytes becomes one tree. The token list is one
// buffer of lines, and the nodes the parser makes live in the tree's arena and borrow their
// names, values and attributes from that buffer, so a load allocates per chunk, not per node.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TMemoryStream;
class TwexXMLTree;
class TwexXMLFilter;

// 8-bit text of a node or an attribute: borrowed from storage that outlives it (the tree's
// token list or arena, or a literal), or owned.
class TXmlText {
public:
    TXmlText() = default;
    ~TXmlText() { Release(); }
    TXmlText(const TXmlText&) = delete;
    TXmlText& operator=(const TXmlText&) = delete;
    TXmlText(TXmlText&& other) noexcept : FPtr(other.FPtr), FLen(other.FLen) { other.Forget(); }
    TXmlText& operator=(TXmlText&& other) noexcept;

    std::string_view View() const { return std::string_view(FPtr, FLen & ~OwnedBit); }
    void Borrow(std::string_view text);
    void Assign(std::string_view text); // stores a copy
    void MakeOwned();

private:
    static constexpr uint64_t OwnedBit = uint64_t(1) << 63;
    void Release();
    void Forget() { FPtr = ""; FLen = 0; }

    const char* FPtr = "";
    uint64_t FLen = 0;
};

class TwexXMLAttribute {
public:
    TwexXMLAttribute() = default;
    TwexXMLAttribute(std::string_view name, std::string_view value);

    std::string_view Name() const { return FName.View(); }
    std::string_view Value() const { return FValue.View(); }
    void SetName(std::string_view name) { FName.Assign(name); }
    void SetValue(std::string_view value) { FValue.Assign(value); }

private:
    friend class TwexXMLNode;
    friend class TTreeBuilder;
    TXmlText FName;
    TXmlText FValue;
};

class TwexXMLNode {
public:
    // A node made by hand owns copies of its texts. The constructor records the parent but
    // does not add the node to the parent's children: the creator calls AppendChild.
    TwexXMLNode(std::string_view name, std::string_view value, TwexXMLNode* parentNode);
    virtual ~TwexXMLNode();
    TwexXMLNode(const TwexXMLNode&) = delete;
    TwexXMLNode& operator=(const TwexXMLNode&) = delete;

    std::string_view Name() const { return FName.View(); }
    std::string_view Value() const { return FValue.View(); }
    TwexXMLNode* ParentNode() const { return FParentNode; }
    bool IsCData() const { return FIsCData; }

    int ChildCount() const { return static_cast<int>(FChildCount); }
    std::span<TwexXMLNode* const> Children() const { return {FChildren, FChildCount}; }
    int AttributeCount() const { return static_cast<int>(FAttributeCount); }
    std::span<const TwexXMLAttribute> Attributes() const { return {FAttributes, FAttributeCount}; }

    // Takes ownership of a node made by hand and appends it to the children.
    void AppendChild(TwexXMLNode* child);
    // Appends an attribute (no check for an existing one of that name). The reference stays
    // valid until the next AddAttribute or ClearAttributes on this node.
    TwexXMLAttribute* AddAttribute(std::string_view name, std::string_view value);

    TwexXMLAttribute* AttributeByName(std::string_view name) const;
    TwexXMLNode* ChildByName(std::string_view name) const;
    TwexXMLNode* ChildByIndex(int index) const; // "List index out of bounds (%d)"
    TwexXMLNode* FirstChild() const { return FChildCount ? FChildren[0] : nullptr; }
    TwexXMLNode* SelectNode(std::string_view path) const;
    bool MatchesFilter(const TwexXMLFilter& filter) const;

    void SetName(std::string_view name) { FName.Assign(name); }
    void SetValue(std::string_view value) { FValue.Assign(value); }
    void SetIsCData(bool flag) { FIsCData = flag; }
    void ClearChildren();
    void ClearAttributes();

protected:
    struct ArenaTag {};
    TwexXMLNode(ArenaTag, TwexXMLNode* parentNode);

    TXmlText FName;
    TXmlText FValue;
    TwexXMLNode** FChildren = nullptr;
    TwexXMLAttribute* FAttributes = nullptr;
    uint32_t FChildCount = 0;
    uint32_t FChildCapacity = 0; // 0 while the array belongs to an arena (or there is none)
    uint32_t FAttributeCount = 0;
    uint32_t FAttributeCapacity = 0;
    TwexXMLNode* FParentNode = nullptr;
    bool FIsCData = false;
    bool FInArena = false;

private:
    friend class TwexXMLTree;
    friend class TTreeBuilder;
};

// The list of lines a load leaves in the tree: one token per line, each kept with a closing
// LF in a single buffer. Tokens never contain a line break of their own.
class TTokenList {
public:
    TTokenList() = default;
    ~TTokenList() { Clear(); }
    TTokenList(const TTokenList&) = delete;
    TTokenList& operator=(const TTokenList&) = delete;

    size_t Count() const { return FCount; }
    // Every token followed by LF, as one block of bytes.
    std::string_view Bytes() const { return std::string_view(FData ? FData : "", FSize); }
    std::vector<std::string> ToVector() const;
    void Clear();

    template <typename F>
    void ForEach(F&& visit) const
    {
        const char* p = FData;
        const char* end = p + FSize;
        while (p < end) {
            const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            visit(std::string_view(p, static_cast<size_t>(eol - p)));
            p = eol + 1;
        }
    }

private:
    friend struct TTokenBufferSink;
    void Swap(TTokenList& other) noexcept;
    friend class TwexXMLTree;

    char* FData = nullptr;
    size_t FSize = 0;
    size_t FCapacity = 0;
    size_t FCount = 0;
};

class TwexXMLTree : public TwexXMLNode {
public:
    TwexXMLTree(std::string_view name, std::string_view value, TwexXMLNode* parentNode);
    ~TwexXMLTree() override;

    const TTokenList& Lines() const { return FLines; }

    // Both discard the whole previous document first, then read and parse the text.
    void LoadFromFile(const std::string& fileName); // "Cannot open file %s"
    void LoadFromStream(TMemoryStream& stream); // from the stream's position to its end
    // Loads text that is already in memory, exactly as a file holding these bytes.
    void LoadFromText(std::string_view bytes);
    // Builds the nodes from the token list in Lines.
    void BuildTree();

private:
    friend class TTreeBuilder;
    class TArena;
    void BeginLoad();
    void Tokenize(std::string_view bytes);

    TTokenList FLines;
    std::unique_ptr<TArena> FArena;
};

// The library's text routines. Positions are 1-based as in the rest of the program's text
// handling; 0 means "not found".
int PosFrom(std::string_view sub, std::string_view s, int start);
// CR LF pairs and TABs become spaces, then the characters 0..32 are trimmed from both ends.
std::string FlattenWhitespace(std::string_view s);
// CR LF pairs become "\n " and TABs "\t " (backslash, letter, space); nothing is trimmed.
std::string EscapeCData(std::string_view s);
// Replaces the lines by the token list of their text (joined with CR LF after every line).
void TokenizeXML(std::vector<std::string>& lines);
// Creates a child of current from the text of a tag, with its attributes, and appends it.
TwexXMLNode* ParseTag(TwexXMLNode* current, std::string_view tagText, std::string_view value);
// Gives a number written with "." the locale's decimal separator; other text is unchanged.
void LocalizeNumber(std::string& text);

// How a condition compares the value with its operand. Equal and NotEqual compare the texts
// exactly, their IgnoreCase forms ignoring ASCII letter case. The orderings compare numbers
// (false when either side is no number); their Text forms compare texts ignoring ASCII case.
enum class TFilterOperator : uint8_t {
    None, // no operator: the attribute or child only has to exist
    Equal,
    EqualIgnoreCase,
    NotEqual,
    NotEqualIgnoreCase,
    GreaterOrEqual,
    GreaterOrEqualText,
    LessOrEqual,
    LessOrEqualText,
    Greater,
    GreaterText,
    Less,
    LessText,
};

// One step of a path: an element name and the conditions in square brackets after it.
class TwexXMLFilterAtom {
public:
    std::string Operand;
    std::string Name;
    TFilterOperator Operator = TFilterOperator::None;
    bool IsAttribute = false;

    void SetOperand(std::string_view operand) { Operand = operand; }
    void SetName(std::string_view name) { Name = name; }
    void SetOperator(TFilterOperator op) { Operator = op; }
    void SetIsAttribute(bool flag) { IsAttribute = flag; }
};

class TwexXMLFilter {
public:
    explicit TwexXMLFilter(std::string_view stepText);

    std::string Name;
    std::vector<std::unique_ptr<TwexXMLFilterAtom>> Atoms;

    void SetName(std::string_view name) { Name = name; }
};

// Internal pieces of the filters, open for testing.
struct TParsedCondition {
    std::string Name;
    std::string Operand;
    TFilterOperator Operator = TFilterOperator::None;
};
bool ParseCondition(std::string_view text, TParsedCondition& result);
std::string StripQuotes(std::string_view text);
bool TestValue(const TwexXMLFilterAtom& atom, std::string_view value);
