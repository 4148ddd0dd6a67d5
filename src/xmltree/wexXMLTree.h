#pragma once

// An in-memory tree of XML elements with a forgiving two-pass parser (tokens, then nodes)
// and path selection with filter conditions. The parser reports no syntax errors: whatever
// the text holds becomes tokens and nodes by fixed rules, and the game server's logs rely on
// them (an XML declaration, for instance, is an element that encloses the whole document).
//
// Memory matters here: a log of hundreds of megabytes becomes one tree, and a hostile text
// of tiny tags must not cost more than a small multiple of its size. The token list is one
// buffer, one kind byte and the body per token. The nodes a load makes borrow their names,
// values and attributes from it and live in the tree's arena, the children of a node side by
// side in one array; an arena node is 40 bytes, with its links to parent, children and
// attributes as 32-bit offsets from itself. A node made by hand, or an arena node that is
// edited, keeps its links in a block of its own instead.

#include "base/Files.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TMemoryStream;
class TwexXMLTree;
class TwexXMLNode;
class TwexXMLFilter;
class TTreeArena;

// A text of a node or an attribute is a pointer and a 32-bit word. Without HeldBit the word
// (masked) is the length and the bytes are borrowed from storage that outlives the node (the
// token list, the arena, a literal). With it the pointer is a THeldText: a copy the node owns,
// or a text too long for the word.
namespace XmlText {
constexpr uint32_t HeldBit = uint32_t(1) << 31;
constexpr uint32_t LengthMask = HeldBit - 1;
struct THeldText {
    size_t Size;
    const char* Data;
    bool Owned; // the bytes follow this header and go with it
};
inline std::string_view View(const char* text, uint32_t word, uint32_t lengthMask)
{
    if (word & HeldBit) {
        const auto* held = reinterpret_cast<const THeldText*>(text);
        return std::string_view(held->Data, held->Size);
    }
    return std::string_view(text, word & lengthMask);
}
// Replaces the text by an owned copy, keeping the word's bits outside lengthMask and HeldBit.
void Assign(const char*& text, uint32_t& word, uint32_t lengthMask, std::string_view value);
void Release(const char*& text, uint32_t& word, uint32_t lengthMask);
} // namespace XmlText

class TwexXMLAttribute {
public:
    TwexXMLAttribute() = default;
    TwexXMLAttribute(std::string_view name, std::string_view value);
    ~TwexXMLAttribute() { Release(); }
    TwexXMLAttribute(const TwexXMLAttribute&) = delete;
    TwexXMLAttribute& operator=(const TwexXMLAttribute&) = delete;

    std::string_view Name() const { return XmlText::View(FName, FNameWord, XmlText::LengthMask); }
    std::string_view Value() const { return XmlText::View(FValue, FValueWord, XmlText::LengthMask); }
    void SetName(std::string_view name) { XmlText::Assign(FName, FNameWord, XmlText::LengthMask, name); }
    void SetValue(std::string_view value) { XmlText::Assign(FValue, FValueWord, XmlText::LengthMask, value); }

private:
    friend class TwexXMLNode;
    friend class TTreeBuilder;
    void Release();
    // Moves an attribute into raw memory; the source is left empty, owning nothing.
    static void Relocate(TwexXMLAttribute& from, void* to);

    const char* FName = "";
    const char* FValue = "";
    uint32_t FNameWord = 0;
    uint32_t FValueWord = 0;
};

// The children of a node, in order: a view that yields node pointers.
class TXmlNodeRange {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = TwexXMLNode*;
        using difference_type = std::ptrdiff_t;
        using pointer = TwexXMLNode* const*;
        using reference = TwexXMLNode*;

        iterator() = default;
        TwexXMLNode* operator*() const;
        iterator& operator++()
        {
            FAt += FPointers ? sizeof(TwexXMLNode*) : NodeSize;
            return *this;
        }
        iterator operator++(int)
        {
            iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const iterator& other) const { return FAt == other.FAt; }

    private:
        friend class TXmlNodeRange;
        iterator(const char* at, bool pointers) : FAt(at), FPointers(pointers) {}
        const char* FAt = nullptr;
        bool FPointers = false;
    };

    TXmlNodeRange() = default;
    TXmlNodeRange(const void* data, size_t count, bool pointers)
        : FData(static_cast<const char*>(data)), FCount(count), FPointers(pointers)
    {
    }

    size_t size() const { return FCount; }
    bool empty() const { return FCount == 0; }
    TwexXMLNode* operator[](size_t index) const;
    TwexXMLNode* front() const { return (*this)[0]; }
    TwexXMLNode* back() const { return (*this)[FCount - 1]; }
    iterator begin() const { return iterator(FData, FPointers); }
    iterator end() const { return iterator(FData + FCount * (FPointers ? sizeof(TwexXMLNode*) : NodeSize), FPointers); }

private:
    static constexpr size_t NodeSize = 40;
    const char* FData = nullptr;
    size_t FCount = 0;
    bool FPointers = false; // an array of node pointers, else the nodes themselves side by side
};

// The links of a node made by hand or edited after a load.
struct TNodeLinks {
    TwexXMLNode* Parent = nullptr;
    void* Children = nullptr;               // the nodes side by side (Contiguous), else an owned array of pointers
    TwexXMLAttribute* Attributes = nullptr; // owned when AttributeCapacity > 0, else in the arena
    uint32_t ChildCount = 0;
    uint32_t ChildCapacity = 0;
    uint32_t AttributeCount = 0;
    uint32_t AttributeCapacity = 0;
    bool Contiguous = false;
};

class TwexXMLNode {
public:
    // A node made by hand owns copies of its texts. The constructor records the parent but
    // does not add the node to the parent's children: the creator calls AppendChild.
    TwexXMLNode(std::string_view name, std::string_view value, TwexXMLNode* parentNode);
    ~TwexXMLNode();
    TwexXMLNode(const TwexXMLNode&) = delete;
    TwexXMLNode& operator=(const TwexXMLNode&) = delete;

    std::string_view Name() const { return XmlText::View(FName, FNameWord, XmlText::LengthMask); }
    std::string_view Value() const { return XmlText::View(FValue, FValueWord, ValueLengthMask); }
    TwexXMLNode* ParentNode() const;
    bool IsCData() const { return FValueWord & CDataBit; }

    int ChildCount() const { return static_cast<int>(Children().size()); }
    TXmlNodeRange Children() const;
    int AttributeCount() const { return static_cast<int>(Attributes().size()); }
    std::span<const TwexXMLAttribute> Attributes() const;

    // Takes ownership of a node made by hand, appends it to the children and makes this node
    // its parent.
    void AppendChild(TwexXMLNode* child);
    // Appends an attribute (no check for an existing one of that name). The reference stays
    // valid until the next AddAttribute or ClearAttributes on this node.
    TwexXMLAttribute* AddAttribute(std::string_view name, std::string_view value);

    TwexXMLAttribute* AttributeByName(std::string_view name) const;
    TwexXMLNode* ChildByName(std::string_view name) const;
    TwexXMLNode* ChildByIndex(int index) const; // "List index out of bounds (%d)"
    TwexXMLNode* FirstChild() const
    {
        const TXmlNodeRange children = Children();
        return children.empty() ? nullptr : children[0];
    }
    TwexXMLNode* SelectNode(std::string_view path) const;
    bool MatchesFilter(const TwexXMLFilter& filter) const;

    void SetName(std::string_view name) { XmlText::Assign(FName, FNameWord, XmlText::LengthMask, name); }
    void SetValue(std::string_view value) { XmlText::Assign(FValue, FValueWord, ValueLengthMask, value); }
    void SetIsCData(bool flag) { FValueWord = flag ? FValueWord | CDataBit : FValueWord & ~CDataBit; }
    void ClearChildren();
    void ClearAttributes();

private:
    friend class TwexXMLTree;
    friend class TTreeBuilder;
    friend class TXmlNodeRange;

    static constexpr uint32_t CDataBit = uint32_t(1) << 30;
    static constexpr uint32_t ValueLengthMask = CDataBit - 1;
    // FState: the node keeps its links in a TNodeLinks; its parent offset leads to a slot that
    // holds the parent's address (the tree itself lives outside the arena); it lives in the
    // arena; and, without Extended, the number of its children.
    static constexpr uint32_t Extended = uint32_t(1) << 31;
    static constexpr uint32_t ParentInSlot = uint32_t(1) << 30;
    static constexpr uint32_t InArena = uint32_t(1) << 29;
    static constexpr uint32_t CountMask = InArena - 1;

    struct ArenaTag {};
    explicit TwexXMLNode(ArenaTag) {}

    // Offsets in units of 8 bytes from the node itself.
    template <typename T>
    T* At(int32_t offset) const
    {
        return reinterpret_cast<T*>(const_cast<char*>(reinterpret_cast<const char*>(this)) +
                                    static_cast<std::ptrdiff_t>(offset) * 8);
    }
    int32_t OffsetTo(const void* target) const
    {
        return static_cast<int32_t>((static_cast<const char*>(target) - reinterpret_cast<const char*>(this)) / 8);
    }
    TNodeLinks* Links() const { return FLinks.Links; }
    TNodeLinks& Extend();
    void ReleaseOwnParts();
    void DropLastChild();

    const char* FName = "";
    const char* FValue = "";
    uint32_t FNameWord = 0;
    uint32_t FValueWord = 0;
    union {
        struct {
            int32_t Parent;
            int32_t Children;
        } Offsets;
        TNodeLinks* Links;
    } FLinks{};
    uint32_t FState = 0;
    int32_t FAttributes = 0; // offset of the attribute block: a count, then the attributes
};

// The list of tokens a load leaves in the tree, in a single buffer: one byte for the kind, the
// body, then LF. Tokens never contain a line break of their own. Read as text, each token is
// its three-character kind ("OT:", "ET:", "CT:", "TX:", "CD:") and its body.
class TTokenList {
public:
    TTokenList() = default;
    ~TTokenList() { Clear(); }
    TTokenList(const TTokenList&) = delete;
    TTokenList& operator=(const TTokenList&) = delete;

    // The kind bytes: "OT:", "ET:", "CT:", "TX:" and "CD:".
    static constexpr char OpeningTag = 'O';
    static constexpr char EmptyTag = 'E';
    static constexpr char ClosingTag = 'C';
    static constexpr char Text = 'T';
    static constexpr char CData = 'D';

    size_t Count() const { return FCount; }
    // Every token as its kind byte, its body and LF, in one block of bytes. A node's borrowed
    // name or value lies inside it.
    std::string_view Buffer() const { return std::string_view(FData ? FData : "", FSize); }
    // Bytes the buffer holds.
    size_t CapacityBytes() const { return FCapacity; }
    std::vector<std::string> ToVector() const;
    // Adds a token at the end; the body must hold no LF.
    void Append(char kind, std::string_view body);
    // Takes the other list's tokens in place of its own; the other is left empty.
    void TakeFrom(TTokenList& other);
    // The same tokens as the other list's in place of its own; the other keeps them.
    void CopyFrom(const TTokenList& other);
    // Every token as text followed by LF.
    void WriteTo(std::ostream& out) const;
    void Clear();

    // The three-character kind of a token's kind byte.
    static std::string_view KindText(char kind);

    // Visits each token's kind byte and body.
    template <typename F>
    void ForEachToken(F&& visit) const
    {
        const char* p = FData;
        const char* end = p + FSize;
        while (p < end) {
            const char* eol = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
            visit(*p, std::string_view(p + 1, static_cast<size_t>(eol - p - 1)));
            p = eol + 1;
        }
    }
    // Visits each token as text.
    template <typename F>
    void ForEach(F&& visit) const
    {
        std::string token;
        ForEachToken([&](char kind, std::string_view body) {
            token.assign(KindText(kind));
            token.append(body);
            visit(std::string_view(token));
        });
    }

private:
    friend struct TTokenBufferSink;
    friend class TwexXMLTree;

    char* FData = nullptr;
    size_t FSize = 0;
    size_t FCapacity = 0;
    size_t FCount = 0;
};

class TwexXMLTree : public TwexXMLNode {
public:
    TwexXMLTree(std::string_view name, std::string_view value, TwexXMLNode* parentNode);
    ~TwexXMLTree();

    const TTokenList& Lines() const { return FLines; }
    // Bytes the arena holds for the nodes of the last load.
    size_t NodeBytes() const;

    // All of them discard the whole previous document first, then read and parse the text.
    void LoadFromFile(const std::string& fileName, size_t ceiling = MaxTextSize); // "Cannot open file %s"
    void LoadFromStream(TMemoryStream& stream); // from the stream's position to its end
    // The same, emptying the stream as soon as its text is no longer needed, before the nodes
    // are built: a large text is then not held twice.
    void LoadFromStreamReleasing(TMemoryStream& stream);
    // Loads text that is already in memory, exactly as a file holding these bytes.
    void LoadFromText(std::string_view bytes);
    // Builds the document from tokens made elsewhere, which it takes; `tokens` is left empty.
    void LoadFromTokens(TTokenList& tokens);
    // Builds the nodes from the token list in Lines.
    void BuildTree();
    // For a tree loaded again and again (a log's rounds one after another): between loads it
    // keeps up to `bytes` of node memory, which the next load fills again instead of having the
    // system give it new pages. NodeBytes then tells what is kept.
    void KeepNodeMemory(size_t bytes) { FKeptNodeBytes = bytes; }

private:
    friend class TTreeBuilder;
    void BeginLoad();
    void Tokenize(std::string_view bytes);

    TTokenList FLines;
    std::unique_ptr<TTreeArena> FArena;
    size_t FKeptNodeBytes = 0;
};

static_assert(sizeof(TwexXMLAttribute) == 24);

inline TwexXMLNode* TXmlNodeRange::iterator::operator*() const
{
    return FPointers ? *reinterpret_cast<TwexXMLNode* const*>(FAt)
                     : reinterpret_cast<TwexXMLNode*>(const_cast<char*>(FAt));
}

inline TwexXMLNode* TXmlNodeRange::operator[](size_t index) const
{
    static_assert(sizeof(TwexXMLNode) == NodeSize);
    return FPointers ? reinterpret_cast<TwexXMLNode* const*>(FData)[index]
                     : reinterpret_cast<TwexXMLNode*>(const_cast<char*>(FData) + index * NodeSize);
}

inline TXmlNodeRange TwexXMLNode::Children() const
{
    if (FState & Extended) {
        const TNodeLinks* links = FLinks.Links;
        return TXmlNodeRange(links->Children, links->ChildCount, !links->Contiguous);
    }
    return FLinks.Offsets.Children ? TXmlNodeRange(At<char>(FLinks.Offsets.Children), FState & CountMask, false)
                                   : TXmlNodeRange();
}

inline std::span<const TwexXMLAttribute> TwexXMLNode::Attributes() const
{
    if (FState & Extended)
        return {FLinks.Links->Attributes, FLinks.Links->AttributeCount};
    if (!FAttributes)
        return {};
    const char* block = At<char>(FAttributes);
    uint32_t count;
    std::memcpy(&count, block, sizeof count);
    return {reinterpret_cast<const TwexXMLAttribute*>(block + 8), count};
}

inline TwexXMLNode* TwexXMLNode::ParentNode() const
{
    if (FState & Extended)
        return FLinks.Links->Parent;
    if (FState & ParentInSlot)
        return *At<TwexXMLNode*>(FLinks.Offsets.Parent);
    return At<TwexXMLNode>(FLinks.Offsets.Parent);
}

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
