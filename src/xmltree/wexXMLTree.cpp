#include "xmltree/wexXMLTree.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/LoadProgress.h"
#include "base/MemoryMeter.h"
#include "base/MemoryStream.h"
#include "xmltree/TreeArena.h"
#include "xmltree/XMLTokenizer.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <ostream>
#include <utility>

// ---- texts -------------------------------------------------------------------------------

void XmlText::Assign(const char*& text, uint32_t& word, uint32_t lengthMask, std::string_view value)
{
    const uint32_t keep = word & ~(lengthMask | HeldBit);
    const char* copy = "";
    uint32_t copyWord = 0;
    if (!value.empty()) {
        // A copy keeps its length in a header before the bytes.
        auto* held = static_cast<THeldText*>(std::malloc(sizeof(THeldText) + value.size()));
        if (!held)
            throw std::bad_alloc();
        char* bytes = reinterpret_cast<char*>(held + 1);
        std::memcpy(bytes, value.data(), value.size()); // value may be our own: copy before release
        *held = {value.size(), bytes, true};
        copy = reinterpret_cast<const char*>(held);
        copyWord = HeldBit;
    }
    Release(text, word, lengthMask);
    text = copy;
    word = copyWord | keep;
}

void XmlText::Release(const char*& text, uint32_t& word, uint32_t lengthMask)
{
    if (word & HeldBit) {
        const auto* held = reinterpret_cast<const THeldText*>(text);
        if (held->Owned)
            std::free(const_cast<THeldText*>(held));
    }
    text = "";
    word &= ~(lengthMask | HeldBit);
}

namespace {
// Makes a text's own copy of what it borrows, so that it outlives the storage it came from.
void MakeOwned(const char*& text, uint32_t& word, uint32_t lengthMask)
{
    if (word & XmlText::HeldBit) {
        if (reinterpret_cast<const XmlText::THeldText*>(text)->Owned)
            return;
    } else if ((word & lengthMask) == 0) {
        text = "";
        return;
    }
    const std::string value(XmlText::View(text, word, lengthMask));
    word &= ~(lengthMask | XmlText::HeldBit); // the borrowed bytes are not ours to release
    text = "";
    XmlText::Assign(text, word, lengthMask, value);
}
} // namespace

// ---- TwexXMLAttribute ------------------------------------------------------------------

TwexXMLAttribute::TwexXMLAttribute(std::string_view name, std::string_view value)
{
    SetName(name);
    SetValue(value);
}

void TwexXMLAttribute::Release()
{
    XmlText::Release(FName, FNameWord, XmlText::LengthMask);
    XmlText::Release(FValue, FValueWord, XmlText::LengthMask);
}

// ---- TwexXMLNode ---------------------------------------------------------------------

TwexXMLNode::TwexXMLNode(std::string_view name, std::string_view value, TwexXMLNode* parentNode)
{
    FLinks.Links = new TNodeLinks;
    FLinks.Links->Parent = parentNode;
    FState = Extended;
    SetName(name);
    SetValue(value);
}

TwexXMLNode::~TwexXMLNode()
{
    ClearChildren();
    ReleaseOwnParts();
}

void TwexXMLNode::ReleaseOwnParts()
{
    ClearAttributes();
    XmlText::Release(FName, FNameWord, XmlText::LengthMask);
    XmlText::Release(FValue, FValueWord, ValueLengthMask);
    if (FState & Extended) {
        TNodeLinks* links = FLinks.Links;
        if (!links->Contiguous)
            std::free(links->Children);
        delete links;
        FLinks.Links = nullptr;
        FState &= ~Extended;
    }
}

TNodeLinks& TwexXMLNode::Extend()
{
    if (FState & Extended)
        return *FLinks.Links;
    auto* links = new TNodeLinks;
    links->Parent = ParentNode();
    const TXmlNodeRange children = Children();
    if (!children.empty()) {
        links->Children = children[0];
        links->ChildCount = static_cast<uint32_t>(children.size());
        links->Contiguous = true;
    }
    const std::span<const TwexXMLAttribute> attributes = Attributes();
    links->Attributes = const_cast<TwexXMLAttribute*>(attributes.data());
    links->AttributeCount = static_cast<uint32_t>(attributes.size());
    FLinks.Links = links;
    FState = (FState & InArena) | Extended;
    FAttributes = 0;
    return *links;
}

// Destroys the last child, which has no children of its own left.
void TwexXMLNode::DropLastChild()
{
    TwexXMLNode* child = Children().back();
    if (FState & Extended)
        --FLinks.Links->ChildCount;
    else
        --FState; // the count is the low bits
    if (child->FState & InArena)
        child->ReleaseOwnParts(); // its memory goes back with the arena
    else
        delete child;
}

void TwexXMLNode::ClearChildren()
{
    // Without recursion and without a list of the doomed: a document of a million unclosed
    // tags is a million levels deep, and one of tiny tags has more nodes than bytes to spare.
    // The deepest last child goes first, and its parent's count tells what is left.
    TwexXMLNode* node = this;
    for (;;) {
        const TXmlNodeRange children = node->Children();
        if (!children.empty()) {
            node = children.back();
            continue;
        }
        if (node == this)
            break;
        node = node->ParentNode();
        node->DropLastChild();
    }
    if (FState & Extended) {
        TNodeLinks* links = FLinks.Links;
        if (!links->Contiguous)
            std::free(links->Children);
        links->Children = nullptr;
        links->ChildCount = links->ChildCapacity = 0;
        links->Contiguous = false;
    } else {
        FLinks.Offsets.Children = 0;
        FState &= ~CountMask;
    }
}

void TwexXMLNode::ClearAttributes()
{
    const std::span<const TwexXMLAttribute> attributes = Attributes();
    for (const TwexXMLAttribute& attribute : attributes)
        const_cast<TwexXMLAttribute&>(attribute).Release();
    if (FState & Extended) {
        TNodeLinks* links = FLinks.Links;
        if (links->AttributeCapacity)
            std::free(links->Attributes);
        links->Attributes = nullptr;
        links->AttributeCount = links->AttributeCapacity = 0;
    } else {
        FAttributes = 0;
    }
}

void TwexXMLNode::AppendChild(TwexXMLNode* child)
{
    TNodeLinks& links = Extend();
    if (links.Contiguous || links.ChildCount == links.ChildCapacity) {
        const uint32_t capacity = links.ChildCount < 4 ? 4 : links.ChildCount * 2;
        auto* grown = static_cast<TwexXMLNode**>(std::malloc(sizeof(TwexXMLNode*) * capacity));
        if (!grown)
            throw std::bad_alloc();
        const TXmlNodeRange children = Children();
        std::copy(children.begin(), children.end(), grown);
        if (!links.Contiguous)
            std::free(links.Children);
        links.Children = grown;
        links.ChildCapacity = capacity;
        links.Contiguous = false;
    }
    static_cast<TwexXMLNode**>(links.Children)[links.ChildCount++] = child;
    child->Extend().Parent = this;
}

TwexXMLAttribute* TwexXMLNode::AddAttribute(std::string_view name, std::string_view value)
{
    TNodeLinks& links = Extend();
    // An array in the arena has no room to grow: it moves to one of the node's own.
    if (links.AttributeCount == links.AttributeCapacity || !links.AttributeCapacity) {
        const uint32_t capacity = links.AttributeCount < 4 ? 4 : links.AttributeCount * 2;
        auto* grown = static_cast<TwexXMLAttribute*>(std::malloc(sizeof(TwexXMLAttribute) * capacity));
        if (!grown)
            throw std::bad_alloc();
        for (uint32_t i = 0; i < links.AttributeCount; ++i)
            TwexXMLAttribute::Relocate(links.Attributes[i], &grown[i]);
        if (links.AttributeCapacity)
            std::free(links.Attributes);
        links.Attributes = grown;
        links.AttributeCapacity = capacity;
    }
    auto* attribute = new (&links.Attributes[links.AttributeCount]) TwexXMLAttribute();
    ++links.AttributeCount;
    attribute->SetName(name);
    attribute->SetValue(value);
    return attribute;
}

TwexXMLAttribute* TwexXMLNode::AttributeByName(std::string_view name) const
{
    for (const TwexXMLAttribute& attribute : Attributes())
        if (attribute.Name() == name)
            return const_cast<TwexXMLAttribute*>(&attribute);
    return nullptr;
}

TwexXMLNode* TwexXMLNode::ChildByName(std::string_view name) const
{
    for (TwexXMLNode* child : Children())
        if (child->Name() == name)
            return child;
    return nullptr;
}

TwexXMLNode* TwexXMLNode::ChildByIndex(int index) const
{
    const TXmlNodeRange children = Children();
    if (index < 0 || static_cast<size_t>(index) >= children.size())
        throw EListError(index);
    return children[static_cast<size_t>(index)];
}

void TwexXMLAttribute::Relocate(TwexXMLAttribute& from, void* to)
{
    auto* moved = new (to) TwexXMLAttribute();
    std::swap(moved->FName, from.FName);
    std::swap(moved->FNameWord, from.FNameWord);
    std::swap(moved->FValue, from.FValue);
    std::swap(moved->FValueWord, from.FValueWord);
}

// ---- TTokenList ------------------------------------------------------------------------

std::string_view TTokenList::KindText(char kind)
{
    switch (kind) {
    case 'O': return "OT:";
    case 'E': return "ET:";
    case 'C': return "CT:";
    case 'T': return "TX:";
    case 'D': return "CD:";
    default: return "??:";
    }
}

std::vector<std::string> TTokenList::ToVector() const
{
    std::vector<std::string> lines;
    lines.reserve(FCount);
    ForEach([&](std::string_view token) { lines.emplace_back(token); });
    return lines;
}

void TTokenList::WriteTo(std::ostream& out) const
{
    std::string chunk;
    ForEachToken([&](char kind, std::string_view body) {
        chunk += KindText(kind);
        chunk += body;
        chunk += '\n';
        if (chunk.size() >= 65536) {
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            chunk.clear();
        }
    });
    out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
}

void TTokenList::Clear()
{
    MeteredFree(FData, FCapacity);
    FData = nullptr;
    FSize = FCapacity = FCount = 0;
}

void TTokenList::Append(char kind, std::string_view body)
{
    const size_t need = FSize + body.size() + 2;
    if (need > FCapacity) {
        size_t capacity = FCapacity ? FCapacity : 4096;
        while (capacity < need)
            capacity += capacity / 2;
        FData = static_cast<char*>(MeteredRealloc(FData, FCapacity, capacity));
        FCapacity = capacity;
    }
    char* at = FData + FSize;
    *at++ = kind;
    if (!body.empty()) // an empty view may point nowhere
        std::memcpy(at, body.data(), body.size());
    at[body.size()] = '\n';
    FSize = need;
    ++FCount;
}

void TTokenList::TakeFrom(TTokenList& other)
{
    if (&other == this)
        return;
    Clear();
    std::swap(FData, other.FData);
    std::swap(FSize, other.FSize);
    std::swap(FCapacity, other.FCapacity);
    std::swap(FCount, other.FCount);
}

void TTokenList::CopyFrom(const TTokenList& other)
{
    if (&other == this)
        return;
    Clear();
    if (other.FSize == 0)
        return;
    FData = static_cast<char*>(MeteredRealloc(nullptr, 0, other.FSize));
    std::memcpy(FData, other.FData, other.FSize);
    FSize = FCapacity = other.FSize;
    FCount = other.FCount;
}

// ---- TwexXMLTree -----------------------------------------------------------------------

TwexXMLTree::TwexXMLTree(std::string_view name, std::string_view value, TwexXMLNode* parentNode)
    : TwexXMLNode(name, value, parentNode), FArena(std::make_unique<TTreeArena>())
{
}

TwexXMLTree::~TwexXMLTree()
{
    // The nodes live in the arena, which goes before the base destructor runs.
    ClearChildren();
    ClearAttributes();
}

size_t TwexXMLTree::NodeBytes() const { return FArena->CommittedBytes(); }

void TwexXMLTree::BeginLoad()
{
    ClearChildren();
    ClearAttributes();
    // The tree's own value survives a load; it must not point into what the load replaces.
    MakeOwned(FValue, FValueWord, ValueLengthMask);
    if (FKeptNodeBytes > 0 && FArena->CommittedBytes() <= FKeptNodeBytes)
        FArena->Empty();
    else
        FArena->Release();
}

void TwexXMLTree::Tokenize(std::string_view bytes)
{
    FLines.Clear(); // the old tokens go before the new ones are made: one buffer at a time
    TokenizeFileText(bytes, FLines);
    // Nodes will borrow from this buffer, so it must not move after this point.
    if (FLines.FSize == 0) {
        FLines.Clear();
    } else if (FLines.FCapacity > FLines.FSize) {
        FLines.FData = static_cast<char*>(MeteredRealloc(FLines.FData, FLines.FCapacity, FLines.FSize));
        FLines.FCapacity = FLines.FSize;
    }
}

void TwexXMLTree::LoadFromFile(const std::string& fileName, size_t ceiling)
{
    BeginLoad();
    {
        TMemoryStream bytes; // gone before the nodes are built: the text is not needed then
        ReadWholeFile(fileName, bytes, ceiling);
        Tokenize(bytes.View());
    }
    BuildTree();
}

void TwexXMLTree::LoadFromStream(TMemoryStream& stream)
{
    BeginLoad();
    Tokenize(stream.Remaining());
    stream.SetPosition(stream.Size());
    BuildTree();
}

void TwexXMLTree::LoadFromStreamReleasing(TMemoryStream& stream)
{
    BeginLoad();
    Tokenize(stream.Remaining());
    stream.Clear();
    BuildTree();
}

void TwexXMLTree::LoadFromTokens(TTokenList& tokens)
{
    BeginLoad();
    FLines.TakeFrom(tokens);
    BuildTree();
}

void TwexXMLTree::LoadFromText(std::string_view bytes)
{
    BeginLoad();
    Tokenize(bytes);
    BuildTree();
}

// ---- building ----------------------------------------------------------------------------

namespace {

// A node while its parent is open. Its children are already in the arena; it moves there
// itself, beside its siblings, when its parent closes. As large as a node, so that the nodes
// waiting to move and the nodes moved never cost more together than the tree will.
struct TPendingNode {
    const char* Name;
    const char* Value;
    uint32_t NameWord;
    uint32_t ValueWord;
    uint32_t Attributes; // arena offset of the attribute block in 8-byte units, 0 for none
    uint32_t Children;   // arena offset of the children in 8-byte units, 0 for none
    uint32_t ChildCount;
    uint32_t Enclosing; // for an open element: the pending index of the one around it
};
static_assert(sizeof(TPendingNode) == 40);

constexpr uint32_t NoNode = 0xFFFFFFFF;

// A stack in chunks that go back as soon as they are empty: the nodes waiting for their
// parent's close never hold more than they must.
class TPendingStack {
public:
    ~TPendingStack()
    {
        for (TPendingNode* chunk : FChunks)
            MeteredFree(chunk, ChunkBytes);
        MeteredFree(FSpare, ChunkBytes);
    }

    size_t Size() const { return FSize; }
    TPendingNode& operator[](size_t index) { return FChunks[index / ChunkNodes][index % ChunkNodes]; }

    TPendingNode& Push()
    {
        if (FSize == NoNode - 1)
            throw std::bad_alloc();
        if (FSize == FChunks.size() * ChunkNodes) {
            TPendingNode* chunk = FSpare ? FSpare : static_cast<TPendingNode*>(MeteredRealloc(nullptr, 0, ChunkBytes));
            FSpare = nullptr;
            FChunks.push_back(chunk);
        }
        return (*this)[FSize++];
    }

    // Hands the entries from `from` on to move, in order, and drops them, each chunk as soon
    // as all of it has been handed on.
    template <typename Move>
    void TakeFrom(size_t from, Move&& move)
    {
        for (size_t i = from; i < FSize; ++i) {
            move((*this)[i], i - from);
            if ((i + 1) % ChunkNodes == 0 && i + 1 - ChunkNodes >= from)
                DropChunk(i / ChunkNodes);
        }
        FSize = from;
        while (FChunks.size() > (FSize + ChunkNodes - 1) / ChunkNodes) {
            DropChunk(FChunks.size() - 1);
            FChunks.pop_back();
        }
    }

private:
    static constexpr size_t ChunkNodes = 16384;
    static constexpr size_t ChunkBytes = ChunkNodes * sizeof(TPendingNode);

    void DropChunk(size_t index)
    {
        if (!FChunks[index])
            return;
        if (FSpare)
            MeteredFree(FChunks[index], ChunkBytes);
        else
            FSpare = FChunks[index]; // kept, so that a stack going up and down one boundary does not churn
        FChunks[index] = nullptr;
    }

    std::vector<TPendingNode*> FChunks;
    TPendingNode* FSpare = nullptr;
    size_t FSize = 0;
};

} // namespace

// Builds nodes with their children collected on the pending stack: when an element closes,
// its children are the pending entries above it and move into one array of exactly that size.
class TTreeBuilder {
public:
    TTreeBuilder(TwexXMLTree& tree, TTreeArena& arena) : FTree(tree), FArena(arena)
    {
        // The first allocation: offset 0 stands for "none" in the pending nodes. It holds the
        // tree's address for the top-level nodes, which cannot reach the tree by an offset.
        FTreeSlot = static_cast<TwexXMLNode**>(FArena.Allocate(sizeof(TwexXMLNode*)));
        *FTreeSlot = &tree;
    }

    void Token(char kind, std::string_view body)
    {
        switch (kind) {
        case 'O': {
            const uint32_t index = static_cast<uint32_t>(FPending.Size());
            NewNode(body).Enclosing = FCurrent;
            FCurrent = index;
            break;
        }
        case 'E':
            NewNode(body);
            break;
        case 'C':
            // A closing tag closes the innermost open element whatever it names; with none
            // open it has nothing to close and is passed over.
            if (FCurrent != NoNode) {
                const uint32_t closing = FCurrent;
                FCurrent = FPending[closing].Enclosing;
                Close(closing);
            }
            break;
        case 'T':
            SetCurrentValue(Localized(body), false);
            break;
        case 'D':
            SetCurrentValue(body, true);
            break;
        default:
            break;
        }
    }

    void Finish()
    {
        while (FCurrent != NoNode) {
            const uint32_t closing = FCurrent;
            FCurrent = FPending[closing].Enclosing;
            Close(closing);
        }
        const size_t count = FPending.Size();
        if (!count)
            return;
        TwexXMLNode* array = Place(0, count);
        TNodeLinks& links = *FTree.Links();
        links.Children = array;
        links.ChildCount = static_cast<uint32_t>(count);
        links.Contiguous = true;
        for (size_t i = 0; i < count; ++i)
            SetParent(&array[i], nullptr);
    }

private:
    // Borrowed text of a node or attribute; one too long for its word is held in the arena.
    void Borrow(const char*& text, uint32_t& word, uint32_t lengthMask, std::string_view value)
    {
        if (value.size() <= lengthMask) {
            text = value.data();
            word = (word & ~(lengthMask | XmlText::HeldBit)) | static_cast<uint32_t>(value.size());
            return;
        }
        auto* held = static_cast<XmlText::THeldText*>(FArena.Allocate(sizeof(XmlText::THeldText)));
        *held = {value.size(), value.data(), false};
        text = reinterpret_cast<const char*>(held);
        word = (word & ~lengthMask) | XmlText::HeldBit;
    }

    uint32_t ArenaOffset(const void* p) const
    {
        return static_cast<uint32_t>((static_cast<const char*>(p) - FArena.Base()) / 8);
    }
    char* ArenaAt(uint32_t offset) const { return FArena.Base() + static_cast<size_t>(offset) * 8; }

    TPendingNode& NewNode(std::string_view tagText)
    {
        TPendingNode& node = FPending.Push();
        node = {"", "", 0, 0, 0, 0, 0, NoNode};
        // Up to a few attributes are gathered on the stack; a tag with more is read twice,
        // once to count them, so that no list of them grows on the side.
        constexpr size_t Few = 8;
        std::pair<std::string_view, std::string_view> few[Few];
        size_t count = 0;
        const std::string_view name = SplitTag(tagText, [&](std::string_view n, std::string_view v) {
            if (count < Few)
                few[count] = {n, v};
            ++count;
        });
        Borrow(node.Name, node.NameWord, XmlText::LengthMask, name);
        if (count) {
            char* block = static_cast<char*>(FArena.Allocate(8 + sizeof(TwexXMLAttribute) * count));
            const uint32_t count32 = static_cast<uint32_t>(count);
            std::memcpy(block, &count32, sizeof count32);
            auto* attributes = reinterpret_cast<TwexXMLAttribute*>(block + 8);
            auto fill = [&](size_t i, std::string_view n, std::string_view v) {
                auto* attribute = new (&attributes[i]) TwexXMLAttribute();
                Borrow(attribute->FName, attribute->FNameWord, XmlText::LengthMask, n);
                Borrow(attribute->FValue, attribute->FValueWord, XmlText::LengthMask, v);
            };
            if (count <= Few) {
                for (size_t i = 0; i < count; ++i)
                    fill(i, few[i].first, few[i].second);
            } else {
                size_t i = 0;
                SplitTag(tagText, [&](std::string_view n, std::string_view v) { fill(i++, n, v); });
            }
            node.Attributes = ArenaOffset(block);
        }
        return node;
    }

    void SetCurrentValue(std::string_view value, bool cdata)
    {
        uint32_t cdataBit = TwexXMLNode::CDataBit;
        if (FCurrent == NoNode) {
            XmlText::Release(FTree.FValue, FTree.FValueWord, TwexXMLNode::ValueLengthMask);
            Borrow(FTree.FValue, FTree.FValueWord, TwexXMLNode::ValueLengthMask, value);
            FTree.FValueWord = cdata ? FTree.FValueWord | cdataBit : FTree.FValueWord & ~cdataBit;
            return;
        }
        TPendingNode& node = FPending[FCurrent];
        Borrow(node.Value, node.ValueWord, TwexXMLNode::ValueLengthMask, value);
        node.ValueWord = cdata ? node.ValueWord | cdataBit : node.ValueWord & ~cdataBit;
    }

    void Close(uint32_t index)
    {
        const size_t first = static_cast<size_t>(index) + 1;
        const size_t count = FPending.Size() - first;
        if (!count)
            return;
        TwexXMLNode* array = Place(first, count);
        TPendingNode& node = FPending[index];
        node.Children = ArenaOffset(array);
        node.ChildCount = static_cast<uint32_t>(count);
    }

    // Moves the pending nodes from first on into one new array, in order.
    TwexXMLNode* Place(size_t first, size_t count)
    {
        auto* array = static_cast<TwexXMLNode*>(FArena.Allocate(sizeof(TwexXMLNode) * count));
        FPending.TakeFrom(first, [&](const TPendingNode& from, size_t i) {
            auto* node = new (&array[i]) TwexXMLNode(TwexXMLNode::ArenaTag{});
            node->FName = from.Name;
            node->FNameWord = from.NameWord;
            node->FValue = from.Value;
            node->FValueWord = from.ValueWord;
            node->FAttributes = from.Attributes ? node->OffsetTo(ArenaAt(from.Attributes)) : 0;
            auto* children = reinterpret_cast<TwexXMLNode*>(ArenaAt(from.Children));
            if (from.ChildCount <= TwexXMLNode::CountMask) {
                node->FState = TwexXMLNode::InArena | from.ChildCount;
                node->FLinks.Offsets.Children = from.ChildCount ? node->OffsetTo(children) : 0;
            } else {
                // More children than the count's bits hold: the links go in a block of their own.
                node->FState = TwexXMLNode::InArena;
                TNodeLinks& links = node->Extend();
                links.Children = children;
                links.ChildCount = from.ChildCount;
                links.Contiguous = true;
            }
            for (uint32_t c = 0; c < from.ChildCount; ++c)
                SetParent(&children[c], node);
        });
        return array;
    }

    // nullptr: the tree.
    void SetParent(TwexXMLNode* node, TwexXMLNode* parent)
    {
        if (node->FState & TwexXMLNode::Extended) {
            node->Links()->Parent = parent ? parent : &FTree;
        } else if (parent) {
            node->FLinks.Offsets.Parent = node->OffsetTo(parent);
        } else {
            node->FState |= TwexXMLNode::ParentInSlot;
            node->FLinks.Offsets.Parent = node->OffsetTo(FTreeSlot);
        }
    }

    std::string_view Localized(std::string_view body)
    {
        if (DecimalSeparator() == '.' || body.find('.') == std::string_view::npos)
            return body;
        std::string text(body);
        LocalizeNumber(text);
        if (text == body)
            return body;
        char* copy = static_cast<char*>(FArena.Allocate(text.size()));
        std::memcpy(copy, text.data(), text.size());
        return std::string_view(copy, text.size());
    }

    TwexXMLTree& FTree;
    TTreeArena& FArena;
    TwexXMLNode** FTreeSlot;
    TPendingStack FPending;
    uint32_t FCurrent = NoNode;
};

void TwexXMLTree::BuildTree()
{
    BeginLoad();
    XmlText::Release(FName, FNameWord, XmlText::LengthMask);
    FName = "root";
    FNameWord = 4;
    // No node costs more than 20 bytes per byte of its token (a 40-byte node for the two bytes
    // of an empty tag's token); the reservation is address space, the pages count when used.
    const size_t tokenBytes = FLines.FSize;
    FArena->Reserve(std::min(tokenBytes, TTreeArena::MaxBytes / 24) * 24 + (size_t(1) << 20));
    TTreeBuilder builder(*this, *FArena);
    const char* const first = FLines.FData;
    // Offsets, not pointers: an empty text has no buffer to point into.
    size_t nextReport = LoadProgressStep;
    FLines.ForEachToken([&](char kind, std::string_view body) {
        const size_t at = static_cast<size_t>(body.data() - first);
        if (at >= nextReport) {
            ReportLoadProgress(TLoadPhase::Building, at, tokenBytes);
            nextReport = at + LoadProgressStep;
        }
        builder.Token(kind, body);
    });
    builder.Finish();
}

// ---- ParseTag for nodes made outside a load ---------------------------------------------

TwexXMLNode* ParseTag(TwexXMLNode* current, std::string_view tagText, std::string_view value)
{
    auto* node = new TwexXMLNode(tagText, value, current);
    current->AppendChild(node);
    const std::string_view name = SplitTag(tagText, [node](std::string_view n, std::string_view v) {
        node->AddAttribute(n, v);
    });
    node->SetName(name);
    return node;
}
