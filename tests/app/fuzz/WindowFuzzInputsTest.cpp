// The kept inputs of the pipeline's fuzz target, run without libFuzzer in the window's test
// program: they open logs in the real window.
#include "../../fuzz/FuzzInputs.h"
#include "../WindowTestUtil.h"

TEST(FuzzInputs, LogReplayedWithFrames) { RunFuzzInputs("render", FuzzRender); }
