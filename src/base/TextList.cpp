#include "base/TextList.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <cstring>

namespace {

// Lines at every CR LF pair, lone CR and lone LF; every other byte is the line's own.
std::vector<std::string> SplitAtBreaks(std::string_view bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    const size_t n = bytes.size();
    while (start < n) {
        size_t end = start;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.emplace_back(bytes.substr(start, end - start));
        if (end < n && bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n')
            end += 2;
        else if (end < n)
            end += 1;
        start = end;
    }
    return lines;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

} // namespace

std::vector<std::string> SplitLines(std::string_view bytes)
{
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        bytes = bytes.substr(0, nul);
    return SplitAtBreaks(bytes);
}

const std::string& TTextList::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(index);
    return Lines[static_cast<size_t>(index)];
}

// A NUL byte is kept as any other: the lines after it are the user's too, and are written back.
void TTextList::SetText(std::string_view bytes) { Lines = SplitAtBreaks(bytes); }

std::string TTextList::Text() const
{
    std::string text;
    size_t total = 0;
    for (const auto& line : Lines)
        total += line.size() + 2;
    text.reserve(total);
    for (const auto& line : Lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TTextList::LoadFromFile(const std::string& fileName) { SetText(ReadWholeFile(fileName)); }

void TTextList::SaveToFile(const std::string& fileName) const { WriteWholeFile(fileName, Text()); }

int TTextList::IndexOfName(std::string_view name) const
{
    for (size_t i = 0; i < Lines.size(); ++i) {
        const std::string& line = Lines[i];
        const size_t eq = line.find('=');
        if (eq != std::string::npos && SameTextLatin1(std::string_view(line).substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TTextList::Values(std::string_view name) const
{
    const int i = IndexOfName(name);
    if (i < 0)
        return std::string();
    const std::string& line = Lines[static_cast<size_t>(i)];
    return line.substr(line.find('=') + 1);
}

bool TTextList::Storable(std::string_view name, std::string_view value)
{
    return name.find('=') == std::string_view::npos && !HasLineBreak(name) && !HasLineBreak(value);
}

void TTextList::SetValue(std::string_view name, std::string_view value)
{
    // A line that would not read back would be appended again at every save.
    if (!Storable(name, value))
        throw EBaseError("The setting " + std::string(name) + " cannot be kept in the settings file: " +
                         (HasLineBreak(name) || HasLineBreak(value) ? "it holds a line break" : "its name holds \"=\""));
    const int i = IndexOfName(name);
    if (i < 0) {
        Lines.push_back(std::string(name) + "=" + std::string(value));
        return;
    }
    // Only the value changes; the name keeps the spelling the user gave it.
    std::string& line = Lines[static_cast<size_t>(i)];
    line.replace(line.find('=') + 1, std::string::npos, value);
}
