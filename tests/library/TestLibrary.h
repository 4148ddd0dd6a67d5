#pragma once

// A fresh, empty match library for a test, in the test's temporary folder.

#include "TestUtil.h"
#include "library/LibraryDatabase.h"

#include <memory>

inline std::unique_ptr<TLibraryDatabase> NewTestLibrary(TTempDir& dir)
{
    return std::make_unique<TLibraryDatabase>(dir.Path("library.sqlite"));
}
