#include "xmltree/wexXMLTree.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"
#include "base/HugePages.h"
#include "base/LoadProgress.h"
#include "base/MemoryStream.h"
#include "xmltree/XMLTokenizer.h"

#include <cstdlib>
#include <new>
#include <utility>

// ---- TXmlText ------------------------------------------------------------------------

TXmlText& TXmlText::operator=(TXmlText&& other) noexcept
{
    if (this != &other) {
        Release();
        FPtr = other.FPtr;
        FLen = other.FLen;
        other.Forget();
    }
    return *this;
}

void TXmlText::Borrow(std::string_view text)
{
    Release();
    FPtr = text.data() ? text.data() : "";
    FLen = text.size();
}

void TXmlText::Assign(std::string_view text)
{
    if (text.empty()) {
        Release();
        return;
    }
    char* copy = new char[text.size()];
    std::memcpy(copy, text.data(), text.size()); // text may be our own: copy before release
    Release();
    FPtr = copy;
    FLen = text.size() | OwnedBit;
}

void TXmlText::MakeOwned()
{
    if (!(FLen & OwnedBit))
        Assign(View());
}

void TXmlText::Release()
{
    if (FLen & OwnedBit)
        delete[] FPtr;
    Forget();
}

// ---- TwexXMLAttribute ------------------------------------------------------------------

TwexXMLAttribute::TwexXMLAttribute(std::string_view name, std::string_view value)
{
    FName.Assign(name);
    FValue.Assign(value);
}

// ---- TwexXMLNode ---------------------------------------------------------------------

TwexXMLNode::TwexXMLNode(std::string_view name, std::string_view value, TwexXMLNode* parentNode)
    : FParentNode(parentNode)
{
    FName.Assign(name);
    FValue.Assign(value);
}

TwexXMLNode::TwexXMLNode(ArenaTag, TwexXMLNode* parentNode) : FParentNode(parentNode), FInArena(true) {}

TwexXMLNode::~TwexXMLNode()
{
    ClearChildren();
    ClearAttributes();
}

namespace {
// Releases a node's own child array (not the children) and forgets the children.
void DropChildArray(TwexXMLNode**& children, uint32_t& count, uint32_t& capacity)
{
    if (capacity)
        delete[] children;
    children = nullptr;
    count = capacity = 0;
}
} // namespace

void TwexXMLNode::ClearChildren()
{
    // Without recursion: a document of a million unclosed tags is a million levels deep.
    if (!FChildCount) {
        DropChildArray(FChildren, FChildCount, FChildCapacity);
        return;
    }
    std::vector<TwexXMLNode*> doomed(FChildren, FChildren + FChildCount);
    DropChildArray(FChildren, FChildCount, FChildCapacity);
    while (!doomed.empty()) {
        TwexXMLNode* node = doomed.back();
        doomed.pop_back();
        doomed.insert(doomed.end(), node->FChildren, node->FChildren + node->FChildCount);
        DropChildArray(node->FChildren, node->FChildCount, node->FChildCapacity);
        if (node->FInArena)
            node->~TwexXMLNode(); // its memory goes back with the arena
        else
            delete node;
    }
}

void TwexXMLNode::ClearAttributes()
{
    if (FAttributeCapacity) {
        delete[] FAttributes;
    } else {
        for (uint32_t i = 0; i < FAttributeCount; ++i)
            FAttributes[i].~TwexXMLAttribute();
    }
    FAttributes = nullptr;
    FAttributeCount = FAttributeCapacity = 0;
}

void TwexXMLNode::AppendChild(TwexXMLNode* child)
{
    if (FChildCount == FChildCapacity || !FChildCapacity) {
        const uint32_t capacity = FChildCount < 4 ? 4 : FChildCount * 2;
        auto* grown = new TwexXMLNode*[capacity];
        std::copy(FChildren, FChildren + FChildCount, grown);
        if (FChildCapacity)
            delete[] FChildren;
        FChildren = grown;
        FChildCapacity = capacity;
    }
    FChildren[FChildCount++] = child;
}

TwexXMLAttribute* TwexXMLNode::AddAttribute(std::string_view name, std::string_view value)
{
    if (FAttributeCount == FAttributeCapacity || !FAttributeCapacity) {
        const uint32_t capacity = FAttributeCount < 4 ? 4 : FAttributeCount * 2;
        auto* grown = new TwexXMLAttribute[capacity];
        for (uint32_t i = 0; i < FAttributeCount; ++i) {
            grown[i].FName = std::move(FAttributes[i].FName);
            grown[i].FValue = std::move(FAttributes[i].FValue);
        }
        const uint32_t count = FAttributeCount;
        ClearAttributes();
        FAttributes = grown;
        FAttributeCount = count;
        FAttributeCapacity = capacity;
    }
    TwexXMLAttribute& attribute = FAttributes[FAttributeCount++];
    attribute.FName.Assign(name);
    attribute.FValue.Assign(value);
    return &attribute;
}

TwexXMLAttribute* TwexXMLNode::AttributeByName(std::string_view name) const
{
    for (uint32_t i = 0; i < FAttributeCount; ++i)
        if (FAttributes[i].Name() == name)
            return &FAttributes[i];
    return nullptr;
}

TwexXMLNode* TwexXMLNode::ChildByName(std::string_view name) const
{
    for (uint32_t i = 0; i < FChildCount; ++i)
        if (FChildren[i]->Name() == name)
            return FChildren[i];
    return nullptr;
}

TwexXMLNode* TwexXMLNode::ChildByIndex(int index) const
{
    if (index < 0 || static_cast<uint32_t>(index) >= FChildCount)
        throw EListError(index);
    return FChildren[index];
}

// ---- the tree's arena ------------------------------------------------------------------

// Nodes, attribute and child arrays of a load, in large chunks that go back all at once.
class TwexXMLTree::TArena {
public:
    ~TArena() { Reset(); }

    void* Allocate(size_t bytes)
    {
        bytes = (bytes + 15) & ~size_t(15);
        if (bytes > FLeft) {
            if (bytes > ChunkSize / 4) { // large arrays get a block of their own
                void* block = std::malloc(bytes);
                if (!block)
                    throw std::bad_alloc();
                FBlocks.push_back(block);
                return block;
            }
            void* chunk = nullptr;
            if (posix_memalign(&chunk, HugePage, ChunkSize) != 0)
                throw std::bad_alloc();
            AdviseHugePages(chunk, ChunkSize);
            FBlocks.push_back(chunk);
            FCurrent = static_cast<char*>(chunk);
            FLeft = ChunkSize;
        }
        void* p = FCurrent;
        FCurrent += bytes;
        FLeft -= bytes;
        return p;
    }

    std::string_view Copy(std::string_view text)
    {
        char* p = static_cast<char*>(Allocate(text.size()));
        std::memcpy(p, text.data(), text.size());
        return std::string_view(p, text.size());
    }

    void Reset()
    {
        for (void* block : FBlocks)
            std::free(block);
        FBlocks.clear();
        FCurrent = nullptr;
        FLeft = 0;
    }

private:
    static constexpr size_t HugePage = size_t(2) << 20;
    static constexpr size_t ChunkSize = size_t(8) << 20;
    std::vector<void*> FBlocks;
    char* FCurrent = nullptr;
    size_t FLeft = 0;
};

// ---- TTokenList ------------------------------------------------------------------------

std::vector<std::string> TTokenList::ToVector() const
{
    std::vector<std::string> lines;
    lines.reserve(FCount);
    ForEach([&](std::string_view token) { lines.emplace_back(token); });
    return lines;
}

void TTokenList::Clear()
{
    std::free(FData);
    FData = nullptr;
    FSize = FCapacity = FCount = 0;
}

void TTokenList::Swap(TTokenList& other) noexcept
{
    std::swap(FData, other.FData);
    std::swap(FSize, other.FSize);
    std::swap(FCapacity, other.FCapacity);
    std::swap(FCount, other.FCount);
}

// ---- TwexXMLTree -----------------------------------------------------------------------

TwexXMLTree::TwexXMLTree(std::string_view name, std::string_view value, TwexXMLNode* parentNode)
    : TwexXMLNode(name, value, parentNode), FArena(std::make_unique<TArena>())
{
}

TwexXMLTree::~TwexXMLTree()
{
    // The nodes live in the arena, which goes before the base destructor runs.
    ClearChildren();
    ClearAttributes();
}

void TwexXMLTree::BeginLoad()
{
    ClearChildren();
    ClearAttributes();
    // The tree's own value survives a load; it must not point into what the load replaces.
    FValue.MakeOwned();
    FArena->Reset();
}

void TwexXMLTree::Tokenize(std::string_view bytes)
{
    FLines.Clear(); // the old tokens go before the new ones are made: one buffer at a time
    TokenizeFileText(bytes, FLines);
    // Nodes will borrow from this buffer, so it must not move after this point.
    if (FLines.FCapacity > FLines.FSize && FLines.FSize) {
        if (char* shrunk = static_cast<char*>(std::realloc(FLines.FData, FLines.FSize))) {
            FLines.FData = shrunk;
            FLines.FCapacity = FLines.FSize;
        }
    }
}

void TwexXMLTree::LoadFromFile(const std::string& fileName)
{
    BeginLoad();
    {
        TMemoryStream bytes; // gone before the nodes are built: the text is not needed then
        ReadWholeFile(fileName, bytes);
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

void TwexXMLTree::LoadFromText(std::string_view bytes)
{
    BeginLoad();
    Tokenize(bytes);
    BuildTree();
}

// Builds nodes with their children collected on a stack of pending children: when an
// element is closed, its children are the pending entries above its mark and move into one
// array of exactly that size.
class TTreeBuilder {
public:
    TTreeBuilder(TwexXMLTree& tree, TwexXMLTree::TArena& arena) : FArena(arena)
    {
        FOpen.push_back({&tree, 0});
    }

    void Token(std::string_view token)
    {
        if (token.size() < 3)
            return;
        const std::string_view body = token.substr(3);
        const std::string_view kind = token.substr(0, 3);
        if (kind == "OT:") {
            FOpen.push_back({NewNode(body), FPending.size()});
        } else if (kind == "ET:") {
            NewNode(body);
        } else if (kind == "CT:") {
            // A closing tag closes the innermost open element whatever it names; with none
            // open it has nothing to close and is passed over.
            if (FOpen.size() > 1) {
                Close(FOpen.back());
                FOpen.pop_back();
            }
        } else if (kind == "TX:") {
            TwexXMLNode* current = FOpen.back().node;
            current->FValue.Borrow(Localized(body));
            current->FIsCData = false;
        } else if (kind == "CD:") {
            TwexXMLNode* current = FOpen.back().node;
            current->FValue.Borrow(body);
            current->FIsCData = true;
        }
    }

    void Finish()
    {
        while (!FOpen.empty()) {
            Close(FOpen.back());
            FOpen.pop_back();
        }
    }

private:
    struct Open {
        TwexXMLNode* node;
        size_t mark;
    };

    TwexXMLNode* NewNode(std::string_view tagText)
    {
        TwexXMLNode* current = FOpen.back().node;
        auto* node = new (FArena.Allocate(sizeof(TwexXMLNode))) TwexXMLNode(TwexXMLNode::ArenaTag{}, current);
        FAttributes.clear();
        const std::string_view name = SplitTag(tagText, [this](std::string_view n, std::string_view v) {
            FAttributes.emplace_back(n, v);
        });
        node->FName.Borrow(name);
        if (!FAttributes.empty()) {
            auto* array = static_cast<TwexXMLAttribute*>(
                FArena.Allocate(sizeof(TwexXMLAttribute) * FAttributes.size()));
            for (size_t i = 0; i < FAttributes.size(); ++i) {
                auto* attribute = new (&array[i]) TwexXMLAttribute();
                attribute->FName.Borrow(FAttributes[i].first);
                attribute->FValue.Borrow(FAttributes[i].second);
            }
            node->FAttributes = array;
            node->FAttributeCount = static_cast<uint32_t>(FAttributes.size());
        }
        FPending.push_back(node);
        return node;
    }

    void Close(const Open& open)
    {
        const size_t count = FPending.size() - open.mark;
        if (count) {
            auto** array = static_cast<TwexXMLNode**>(FArena.Allocate(sizeof(TwexXMLNode*) * count));
            std::copy(FPending.begin() + static_cast<std::ptrdiff_t>(open.mark), FPending.end(), array);
            open.node->FChildren = array;
            open.node->FChildCount = static_cast<uint32_t>(count);
            open.node->FChildCapacity = 0;
            FPending.resize(open.mark);
        }
    }

    std::string_view Localized(std::string_view body)
    {
        if (DecimalSeparator() == '.' || body.find('.') == std::string_view::npos)
            return body;
        std::string text(body);
        LocalizeNumber(text);
        return text == body ? body : FArena.Copy(text);
    }

    TwexXMLTree::TArena& FArena;
    std::vector<Open> FOpen;
    std::vector<TwexXMLNode*> FPending;
    std::vector<std::pair<std::string_view, std::string_view>> FAttributes;
};

void TwexXMLTree::BuildTree()
{
    BeginLoad();
    FName.Borrow("root");
    TTreeBuilder builder(*this, *FArena);
    const char* const first = FLines.Bytes().data();
    const uint64_t total = FLines.Bytes().size();
    const char* nextReport = first + LoadProgressStep;
    FLines.ForEach([&](std::string_view token) {
        if (token.data() >= nextReport) {
            ReportLoadProgress(TLoadPhase::Building, static_cast<uint64_t>(token.data() - first), total);
            nextReport = token.data() + LoadProgressStep;
        }
        builder.Token(token);
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
