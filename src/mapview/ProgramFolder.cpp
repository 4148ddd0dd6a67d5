#include "mapview/ProgramFolder.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

TSettingsPlace ChooseSettingsPlace(const std::string& exeName)
{
    const std::string beside = ChangeFileExt(exeName, ".ini");
    TSettingsPlace place{beside, ""};
    const std::string path = ExtractFilePath(exeName);
    const QFileInfo folder(path.empty() ? QStringLiteral(".") : QFile::decodeName(QByteArray::fromStdString(path)));
    const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(beside)));
    if (folder.isWritable() && (!file.exists() || file.isWritable()))
        return place;
    // A system-wide install: the user's own copy, begun from the shipped one.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (config.isEmpty() || !QDir().mkpath(config))
        return place;
    place.UserFolder = QFile::encodeName(config).toStdString() + "/";
    place.FileName = place.UserFolder + ExtractFileName(beside);
    // Whole or not at all (a full disk): the user's settings then begin empty, as without a copy.
    if (!FileExists(place.FileName) && FileExists(beside)) {
        try {
            WriteWholeFile(place.FileName, ReadWholeFile(beside));
        } catch (const EBaseError&) {
        }
    }
    return place;
}

std::string ProgramImagesFolder(const std::string& exeName) { return ExtractFilePath(exeName) + "images/"; }

std::vector<std::string> ProgramImageFolders(const std::string& exeName, const std::string& userFolder)
{
    if (userFolder.empty())
        return {ProgramImagesFolder(exeName)};
    return {userFolder + "images/", ProgramImagesFolder(exeName)};
}

std::string ProgramPictureMapFile(const std::string& exeName) { return ChangeFileExt(exeName, ".map"); }

void TProgramFiles::Read()
{
    if (FileExists(ProgramPictureMapFile(FExeName)))
        FPictureMap.LoadFromFile(ProgramPictureMapFile(FExeName));
    FPlace = ChooseSettingsPlace(FExeName);
    if (FileExists(FPlace.FileName))
        FSettings.LoadFromFile(FPlace.FileName);
    StartZoom(FSettings);
}

int32_t StartZoom(const TTextList& settings)
{
    const std::string zoom = settings.Values("ZOOM");
    return zoom.empty() ? 200 : StrToInt(zoom);
}
