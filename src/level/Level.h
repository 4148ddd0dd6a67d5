#pragma once

// A level of the game as its files: an unpacked level folder, a level archive (.rfa), or the
// archives of a game folder, a modification's over the original's. Paths are relative to the
// level's own folder, with "/" separators, and matched without regard to letter case, as the
// game matches them.

#include "base/Errors.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// What is not a level, or a level that lacks what is asked of it.
class ELevelError : public EBaseError {
public:
    using EBaseError::EBaseError;
};

class TLevel {
public:
    using TLoader = std::function<std::string()>;

    // The folder that holds Init/Terrain.con.
    static TLevel FromFolder(const std::string& folder);
    // A level archive; its level folder is the one that holds Init/Terrain.con.
    static TLevel FromArchive(const std::string& fileName);
    // Mods/<mod>/Archives/bf1942/levels/<map>.rfa of a game folder, over the same level of the
    // "bf1942" mod, which a modification's archive may leave out files of.
    static TLevel FromGameFolder(const std::string& gameFolder, const std::string& map, const std::string& mod);

    const std::string& Name() const { return FName; } // the level's folder or archive name
    const std::string& Source() const { return FSource; }
    bool Has(const std::string& path) const;
    std::optional<std::string> Read(const std::string& path) const; // empty when absent
    std::string ReadRequired(const std::string& path) const;        // ELevelError when absent
    // The paths (in lower case) under a folder, e.g. "textures/".
    std::vector<std::string> PathsUnder(const std::string& folder) const;

    // The file as messages name it: the folder or archive it comes from and its path as the
    // level spells it ("/games/Kursk.rfa: Textures/Tx01x02.dds").
    std::string Where(const std::string& path) const;

    // Adds or replaces a file: key in any case; it comes from the level's source as it is now.
    void Add(const std::string& path, TLoader loader);
    void SetName(std::string name) { FName = std::move(name); }
    void SetSource(std::string source) { FSource = std::move(source); }

private:
    std::string FName;
    std::string FSource;
    struct TFile {
        std::string Path;   // as spelled
        std::string Source; // the folder or archive
        TLoader Load;
    };
    std::map<std::string, TFile> FFiles; // lower-case path -> the file
};

// Reads an archive's level files from its entries: the entries under the level folder (the one
// holding Init/Terrain.con, or levels/<stem>/ for an archive that changes some files only).
TLevel LevelFromArchiveEntries(const class TRfaArchive& archive, const std::string& stem, bool needTerrain);

// Whether a name (of a log's map, or given for one) can be a map's: its files lie in one folder,
// so it holds no path separator and no NUL, and it is no "." nor "..". A name that cannot be
// raises ELevelError "'%s' cannot be a map's name".
void CheckMapName(const std::string& name);

// Lower case of ASCII letters; other bytes unchanged.
std::string LowerAscii(std::string text);
