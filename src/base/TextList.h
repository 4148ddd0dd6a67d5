#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits bytes into lines at every CR LF pair, lone CR and lone LF; a NUL byte ends the text.
std::vector<std::string> SplitLines(std::string_view bytes);

// A list of text lines read from and written to a file, with name=value lookups: a line's
// name is its text before the first "=", matched without regard to letter case. Every byte of
// a line is kept, NUL bytes included; lines are written back ended by CR LF.
class TTextList {
public:
    std::vector<std::string> Lines;

    int Count() const { return static_cast<int>(Lines.size()); }
    const std::string& operator[](int index) const; // "List index out of bounds (%d)"

    void SetText(std::string_view bytes);
    std::string Text() const; // every line followed by CR LF

    void LoadFromFile(const std::string& fileName); // "Cannot open file %s"
    void SaveToFile(const std::string& fileName) const; // "Cannot create file %s"

    int IndexOfName(std::string_view name) const; // -1 when no line has that name
    std::string Values(std::string_view name) const; // "" when no line has that name
    // Whether name=value reads back as written: a name without "=" and line breaks, a value
    // without line breaks.
    static bool Storable(std::string_view name, std::string_view value);
    // Replaces the value of the first line with that name, or appends name=value. A pair that
    // is not Storable raises an error and changes nothing.
    void SetValue(std::string_view name, std::string_view value);
};
