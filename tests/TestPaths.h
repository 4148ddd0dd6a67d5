#pragma once

// The folders the tests read from: the built programs, the sources, the fuzz inputs and the real
// game files. Only TestPaths.cpp is compiled with them, so that every other test file compiles
// the same in any clone and a compiler cache filled by one clone serves the next.
const char* TestBinFolder();
const char* TestSourceFolder();
const char* TestFuzzFolder();
const char* TestFixturesFolder();

#define ORNWICK_BIN_DIR (TestBinFolder())
#define ORNWICK_SOURCE_DIR (TestSourceFolder())
#define ORNWICK_FUZZ_DIR (TestFuzzFolder())
#define ORNWICK_FIXTURES_DIR (TestFixturesFolder())
