#pragma once

// The content of an element in document order: its pieces of text and its child elements, as
// the parser met them. A node keeps only its last piece of text; text interrupted by a child
// element (a name with a character code inside it, say) is whole only in the token list that
// the load leaves in the tree, so the content is read from there.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TwexXMLNode;
class TwexXMLTree;

struct TElementPiece {
    std::string_view text;             // a piece of text as the token list holds it (trimmed)
    const TwexXMLNode* child = nullptr; // or a child element
};

// The pieces of `node`, which belongs to `tree`. A node the tree's last load did not make
// (one made by hand) gives its children and then its value.
std::vector<TElementPiece> ElementContent(const TwexXMLTree& tree, const TwexXMLNode& node);

// A text as the log means it: "&lt;", "&gt;", "&amp;", "&quot;", "&apos;" and character
// references ("&#228;", "&#xE4;") of codes up to 255 decoded into 8-bit (Latin-1) text; any
// other reference, one beyond 255 among them, stays as written. The tree keeps texts as written.
std::string DecodeEntities(std::string_view text);
// The code a character reference's digits give in the base; nothing beyond 8 bits.
std::optional<int> CharacterCode(std::string_view digits, int base);
