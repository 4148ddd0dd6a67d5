#include "mapview/ProgramFolder.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
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

void TSettingsFile::Read()
{
    TTextList list;
    if (FileExists(FFileName))
        list.LoadFromFile(FFileName);
    FList = std::move(list);
    FChanges.clear();
}

void TSettingsFile::SetValue(std::string_view name, std::string_view value)
{
    FList.SetValue(name, value); // raises before anything is remembered
    for (auto& [key, held] : FChanges)
        if (SameTextLatin1(key, name)) {
            held = value;
            return;
        }
    FChanges.emplace_back(name, value);
}

TTextList TSettingsFile::Merged() const
{
    TTextList merged;
    if (FileExists(FFileName))
        merged.LoadFromFile(FFileName);
    for (const auto& [key, value] : FChanges)
        merged.SetValue(key, value);
    return merged;
}

void TSettingsFile::Saved(TTextList merged)
{
    FList = std::move(merged);
    FChanges.clear();
}

void TSettingsFile::Save()
{
    const TSettingsLock lock(FFileName);
    TTextList merged = Merged();
    WriteWholeFile(FFileName, merged.Text());
    Saved(std::move(merged));
}

TSettingsLock::TSettingsLock(const std::string& settingsFile)
{
    const std::string name = settingsFile + ".lock";
    FLock = std::make_unique<QLockFile>(QFile::decodeName(QByteArray::fromStdString(name)));
    if (FLock->tryLock(LockWaitMilliseconds))
        return;
    if (FLock->error() == QLockFile::LockFailedError)
        throw EFCreateError(settingsFile, "another program holds its lock " + name);
    // The lock file could not be made (a full disk, a folder not the user's to write): the
    // reason is the system's, as a new settings file beside it would meet it.
    {
        TFileReplacement probe(settingsFile);
        probe.Write(std::string(64, ' '));
        probe.Close();
    }
    throw EFCreateError(settingsFile, "its lock " + name + " cannot be made");
}

TSettingsLock::~TSettingsLock() = default;

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
    FSettings.SetFileName(FPlace.FileName);
    FSettings.Read();
    StartZoom(FSettings.List());
}

int32_t StartZoom(const TTextList& settings)
{
    const std::string zoom = settings.Values("ZOOM");
    return zoom.empty() ? 200 : StrToInt(zoom);
}
