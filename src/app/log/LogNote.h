#pragma once

// The note under the round list: "The log is cut off: 9.1 MB read" (or damaged at byte N, or
// its checksum wrong) when a compressed log broke off, hidden for a whole log.

#include <string>

class TLabel;
class TTarvelMain;

class TLogNote {
public:
    // The label, hidden, in the free room under ListBox1.
    explicit TLogNote(TTarvelMain& window);
    TLogNote(const TLogNote&) = delete;
    TLogNote& operator=(const TLogNote&) = delete;

    // Shows the note of the log opened last ("" hides it).
    void Show(const std::string& note);

    TLabel* LLogNote; // a child of TabSheet5
};
