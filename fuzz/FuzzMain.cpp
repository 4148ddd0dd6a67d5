// The libFuzzer program of one target: the build names the entry point it calls.
#include "FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ORNWICK_FUZZ_ENTRY(data, size);
    return 0;
}
