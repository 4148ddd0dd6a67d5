#include "TestPaths.h"

const char* TestBinFolder() { return ORNWICK_TEST_BIN_DIR; }
const char* TestSourceFolder() { return ORNWICK_TEST_SOURCE_DIR; }
const char* TestFuzzFolder() { return ORNWICK_TEST_FUZZ_DIR; }
const char* TestFixturesFolder() { return ORNWICK_TEST_FIXTURES_DIR; }
