#include "xmltree/ElementContent.h"

#include "xmltree/wexXMLTree.h"

#include <charconv>
#include <optional>
#include <utility>

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

std::optional<int> CharacterCode(std::string_view digits, int base)
{
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

std::string DecodeEntities(std::string_view text)
{
    static const std::pair<std::string_view, char> named[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t semicolon = text[i] == '&' ? text.find(';', i + 1) : std::string_view::npos;
        if (semicolon == std::string_view::npos || semicolon - i > 8) {
            out += text[i];
            continue;
        }
        const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
        std::optional<int> code;
        if (entity.size() > 2 && (entity[1] == 'x' || entity[1] == 'X') && entity[0] == '#')
            code = CharacterCode(entity.substr(2), 16);
        else if (entity.size() > 1 && entity[0] == '#')
            code = CharacterCode(entity.substr(1), 10);
        else
            for (const auto& [name, character] : named)
                if (entity == name)
                    code = static_cast<unsigned char>(character);
        if (!code) {
            out += text[i]; // not one this program knows: kept as written
            continue;
        }
        out += static_cast<char>(*code);
        i = semicolon;
    }
    return out;
}

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
