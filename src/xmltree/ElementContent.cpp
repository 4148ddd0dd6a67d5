#include "xmltree/ElementContent.h"

#include "xmltree/wexXMLTree.h"

namespace {

std::vector<TElementPiece> FromNode(const TwexXMLNode& node)
{
    std::vector<TElementPiece> pieces;
    for (const TwexXMLNode* child : node.Children())
        pieces.push_back({{}, child});
    if (!node.Value().empty())
        pieces.push_back({node.Value(), nullptr});
    return pieces;
}

} // namespace

std::vector<TElementPiece> ElementContent(const TwexXMLTree& tree, const TwexXMLNode& node)
{
    // A loaded node borrows its name from its opening tag's token: the kind byte and the tag text.
    const std::string_view bytes = tree.Lines().Buffer();
    const char* name = node.Name().data();
    if (bytes.empty() || name < bytes.data() + 1 || name >= bytes.data() + bytes.size())
        return FromNode(node);
    size_t at = static_cast<size_t>(name - bytes.data()) - 1;
    if (bytes[at] != TTokenList::OpeningTag || (at > 0 && bytes[at - 1] != '\n'))
        return FromNode(node);

    std::vector<TElementPiece> pieces;
    const auto children = node.Children();
    size_t nextChild = 0;
    auto child = [&] {
        if (nextChild < children.size())
            pieces.push_back({{}, children[nextChild]});
        ++nextChild;
    };
    // The builder's rules: every closing tag closes the innermost open element.
    int depth = 0;
    while (at < bytes.size()) {
        const size_t end = bytes.find('\n', at);
        const std::string_view token = bytes.substr(at, end == std::string_view::npos ? bytes.size() - at : end - at);
        at = end == std::string_view::npos ? bytes.size() : end + 1;
        if (token.empty())
            continue;
        const char kind = token[0];
        if (kind == TTokenList::OpeningTag) {
            if (depth == 1)
                child();
            ++depth;
        } else if (kind == TTokenList::EmptyTag) {
            if (depth == 1)
                child();
        } else if (kind == TTokenList::ClosingTag) {
            if (--depth == 0)
                break;
        } else if ((kind == TTokenList::Text || kind == TTokenList::CData) && depth == 1) {
            pieces.push_back({token.substr(1), nullptr});
        }
    }
    return pieces;
}
