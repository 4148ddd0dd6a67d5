#pragma once

// The fuzz targets' entry points. Each takes any bytes and runs them through the program's own
// code as a file from a stranger would reach it. The errors the program reports for bad input
// are the expected ends; everything else is a find: a crash, a hang, a sanitizer report, an
// exception of any other kind, or a broken invariant (which aborts with its reason). libFuzzer
// calls them (FuzzMain.cpp) and so do the tests, over the seeds and every kept input.

#include <cstddef>
#include <cstdint>

// Model targets (no widgets).
// The tokenizer and the tree builder: the bytes are a log's text.
void FuzzTree(const uint8_t* data, size_t size);
// Path selection with filters: the bytes up to the first line feed are the path, the rest the
// document it searches.
void FuzzSelect(const uint8_t* data, size_t size);
// Inflation of a compressed log: the bytes are the file.
void FuzzInflate(const uint8_t* data, size_t size);
// A map's object file: read into groups, the objects made from them and searched by position.
void FuzzObjects(const uint8_t* data, size_t size);
// The settings and picture-map lists: lines split, written back, looked up and set.
void FuzzTextList(const uint8_t* data, size_t size);
// A level archive (.rfa): its table read, every entry unpacked, its level's scripts read as the
// map import reads them.
void FuzzRfa(const uint8_t* data, size_t size);
// A terrain tile or overview map (.dds, or .tga and the other formats Qt reads): decoded.
void FuzzTexture(const uint8_t* data, size_t size);
// A level script (.con): read as commands, and as every script of a level the map import reads
// (Init/Terrain.con and the game types' object and template files), down to the object file.
void FuzzCon(const uint8_t* data, size_t size);

// A log file (compressed when the bytes begin with a zlib header), with the shipped settings and
// pictures: opened, every listed round has its events built and is replayed by the model's
// round replay for a bounded number of ticks, then seeks and kill steps.
void FuzzReplay(const uint8_t* data, size_t size);

// A log file (compressed when the bytes begin with a zlib header) indexed into a match library
// twice: stored whole or refused whole, every listed round once.
void FuzzIndex(const uint8_t* data, size_t size);

// The same file indexed read in pieces (its rounds held by the first reading, and read a second
// time) and read whole, into libraries fed alike: all give the same rounds or the same failure,
// and hold the same rows. A folder of the file twice
// scanned reading one log at a time and two at once gives the same summary and rows too.
void FuzzPieces(const uint8_t* data, size_t size);

// Pipeline target: the real window offscreen. The bytes are a log file as for FuzzReplay: it is
// opened, every listed round is replayed for a bounded number of ticks, drawing frames of the
// map as the replay goes.
void FuzzRender(const uint8_t* data, size_t size);

// Aborts with the reason when an invariant does not hold; also in release builds.
[[noreturn]] void FuzzFailure(const char* what, const char* file, int line);
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition))                                                                         \
            FuzzFailure(#condition, __FILE__, __LINE__);                                          \
    } while (false)
