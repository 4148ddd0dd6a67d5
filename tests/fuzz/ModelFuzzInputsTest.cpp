// The kept inputs of the model's fuzz targets, run without libFuzzer.
#include "FuzzInputs.h"

TEST(FuzzInputs, TreeTokensAndNodes) { RunFuzzInputs("tree", FuzzTree); }

TEST(FuzzInputs, PathSelection) { RunFuzzInputs("select", FuzzSelect); }

TEST(FuzzInputs, Inflation) { RunFuzzInputs("inflate", FuzzInflate); }

TEST(FuzzInputs, MapObjectFiles) { RunFuzzInputs("objects", FuzzObjects); }

TEST(FuzzInputs, TextLists) { RunFuzzInputs("textlist", FuzzTextList); }

TEST(FuzzInputs, LevelArchives) { RunFuzzInputs("rfa", FuzzRfa); }

TEST(FuzzInputs, Textures) { RunFuzzInputs("texture", FuzzTexture); }

TEST(FuzzInputs, LevelScripts) { RunFuzzInputs("con", FuzzCon); }

TEST(FuzzInputs, LogOpenedAndReplayed) { RunFuzzInputs("replay", FuzzReplay); }

TEST(FuzzInputs, LogIndexed) { RunFuzzInputs("index", FuzzIndex); }

TEST(FuzzInputs, LogIndexedInPiecesAsWhole) { RunFuzzInputs("pieces", FuzzPieces); }
