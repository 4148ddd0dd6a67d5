#pragma once

// The program's own files, named after its path: the settings (Tarvel.ini), the picture map
// (Tarvel.map) and the picture folder (images/).

#include "base/TextList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QLockFile;

// Tarvel.ini as a program holds it. Several programs write it at once (two windows, the tool
// importing maps), each from what it read at its start: so each writes only the keys it
// changed, into the file as it is on the disk at that moment, under the file's lock; what the
// others wrote in between stays.
class TSettingsFile {
public:
    TSettingsFile() = default;
    explicit TSettingsFile(std::string fileName) : FFileName(std::move(fileName)) {}

    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string fileName) { FFileName = std::move(fileName); }

    // The file's lines as held, the changes forgotten; a missing file holds none.
    void Read();
    // Whether the lines came from the file: until then, writing them would wipe it.
    bool WasRead() const { return FRead; }
    const TTextList& List() const { return FList; }
    int Count() const { return FList.Count(); }
    int IndexOfName(std::string_view name) const { return FList.IndexOfName(name); }
    std::string Values(std::string_view name) const { return FList.Values(name); }
    // Set as held, and remembered to be written.
    void SetValue(std::string_view name, std::string_view value);
    bool Changed() const { return !FChanges.empty(); }

    // The changed keys written into the file, under its lock: the file read afresh, the keys set
    // in it, the file replaced whole; what is held becomes what was written. A failure leaves
    // the file, what is held and the changes as they were.
    void Save();

    // For a writer that replaces other files together with the settings, while it holds the
    // lock (TSettingsLock): the file as it is now with the changed keys set in it, and then,
    // once that is written, the same taken as held.
    TTextList Merged() const;
    void Saved(TTextList merged);

private:
    std::string FFileName;
    TTextList FList;
    std::vector<std::pair<std::string, std::string>> FChanges; // in the order first set, each key once
    bool FRead = false;
};

// The lock of a settings file while it lives: a lock file beside it ("Tarvel.ini.lock") that
// one program at a time holds; one left by a program that died is taken over. Raises "Cannot
// create file %s" when the lock cannot be had in LockWaitMilliseconds.
class TSettingsLock {
public:
    static constexpr int LockWaitMilliseconds = 20000;
    explicit TSettingsLock(const std::string& settingsFile);
    ~TSettingsLock();
    TSettingsLock(const TSettingsLock&) = delete;
    TSettingsLock& operator=(const TSettingsLock&) = delete;

private:
    std::unique_ptr<QLockFile> FLock;
};

struct TSettingsPlace {
    std::string FileName;   // the settings file
    std::string UserFolder; // the configuration folder (with "/") when the settings live there, else ""
};

// The settings file: beside the program when its folder can be written, else in the user's
// configuration folder ~/.config/Tarvel/ (the window's and the tool's alike), begun there as a
// copy of what the tool kept in ~/.config/ornwick/ before, with its images/, or else of the
// one beside the program.
TSettingsPlace ChooseSettingsPlace(const std::string& exeName);
// The picture folder beside the program (with its closing "/").
std::string ProgramImagesFolder(const std::string& exeName);
// Where pictures and object files are looked for, in order: the user's own images/ when the
// settings live in the configuration folder, then the program's.
std::vector<std::string> ProgramImageFolders(const std::string& exeName, const std::string& userFolder);
std::string ProgramPictureMapFile(const std::string& exeName);
// The map zoom the window starts with, in thousandths: the settings' ZOOM, else 200.
int32_t StartZoom(const TTextList& settings);

// The program's own files, found from its path: the window holds one, and so does the tool
// without a window.
class TProgramFiles {
public:
    explicit TProgramFiles(std::string exeName) : FExeName(std::move(exeName)) {}
    // The picture map, then the settings from where ChooseSettingsPlace finds them; a failure
    // raises and keeps what was read before it.
    void ReadFiles();
    // ReadFiles, then the zoom the settings start the window with: a bad "ZOOM" raises here
    // as it does at the window's start.
    void Read();

    const std::string& ExeName() const { return FExeName; }
    const TTextList& Settings() const { return FSettings.List(); }
    // The settings as held, for what changes and writes them.
    TSettingsFile& SettingsFile() { return FSettings; }
    const TSettingsFile& SettingsFile() const { return FSettings; }
    // The settings file; beside the program until the files were read.
    std::string SettingsFileName() const;
    std::string PictureMapFileName() const { return ProgramPictureMapFile(FExeName); }
    const TTextList& PictureMap() const { return FPictureMap; }
    // The picture folder beside the program (with its closing "/").
    std::string ImagesFolder() const { return ProgramImagesFolder(FExeName); }
    std::vector<std::string> ImageFolders() const { return ProgramImageFolders(FExeName, FPlace.UserFolder); }

private:
    std::string FExeName;
    TSettingsPlace FPlace;
    TSettingsFile FSettings;
    TTextList FPictureMap;
};
