#pragma once

// The names that found no picture: each listed once, letter case aside, in the order and the
// letter case in which it was first missed.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

class TMissingNames {
public:
    // How a name is compared: two names are the same when their keys are equal. Upper case
    // (Latin-1) unless a caller, such as a test counting the work, gives its own.
    using TKey = std::function<std::string(std::string_view)>;
    TMissingNames();
    explicit TMissingNames(TKey key);

    // Lists the name unless a name of the same key is listed; whether it was new.
    bool Add(const std::string& name);
    const std::vector<std::string>& Names() const { return FNames; }

private:
    TKey FKey;
    std::vector<std::string> FNames;
    // The keys of FNames: a map of thousands of classes without pictures must not scan the
    // list, keying every entry again, for each miss.
    std::unordered_set<std::string> FKeys;
};
