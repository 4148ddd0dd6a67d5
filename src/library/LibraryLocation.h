#pragma once

#include <string>

// The library a user has without saying which: "library.sqlite" in the user's configuration
// folder for Ornwick.
std::string DefaultLibraryLocation();

// The library of a program folder (the tool's --home): "library.sqlite" in it.
std::string LibraryLocationIn(const std::string& folder);
