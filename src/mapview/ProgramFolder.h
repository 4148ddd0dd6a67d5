#pragma once

// The program's own files, named after its path: the settings (Tarvel.ini), the picture map
// (Tarvel.map) and the picture folder (images/). The window finds them so, and so does the
// headless tool without a window.

#include "base/TextList.h"

#include <cstdint>
#include <string>
#include <vector>

struct TSettingsPlace {
    std::string FileName;   // the settings file
    std::string UserFolder; // the configuration folder (with "/") when the settings live there, else ""
};

// The settings file: beside the program when its folder can be written, else in the user's
// configuration folder, begun there as a copy of the one beside the program.
TSettingsPlace ChooseSettingsPlace(const std::string& exeName);
// The picture folder beside the program (with its closing "/").
std::string ProgramImagesFolder(const std::string& exeName);
// Where pictures and object files are looked for, in order: the user's own images/ when the
// settings live in the configuration folder, then the program's.
std::vector<std::string> ProgramImageFolders(const std::string& exeName, const std::string& userFolder);
std::string ProgramPictureMapFile(const std::string& exeName);
// The map zoom the window starts with, in thousandths: the settings' ZOOM, else 200.
int32_t StartZoom(const TTextList& settings);

// The files the window reads as it starts, read without it.
class TProgramFiles {
public:
    explicit TProgramFiles(std::string exeName) : FExeName(std::move(exeName)) {}
    // The picture map, then the settings where the window would take them from and the zoom
    // they start with, as the window's start reads them; a failure raises and keeps what was
    // read before it.
    void Read();

    const TTextList& Settings() const { return FSettings; }
    // The settings as held, for what writes them (a map's import): the file is then written whole.
    TTextList& Settings() { return FSettings; }
    const std::string& SettingsFileName() const { return FPlace.FileName; }
    const TTextList& PictureMap() const { return FPictureMap; }
    std::vector<std::string> ImageFolders() const { return ProgramImageFolders(FExeName, FPlace.UserFolder); }

private:
    std::string FExeName;
    TSettingsPlace FPlace;
    TTextList FSettings;
    TTextList FPictureMap;
};
