#include "settings/ProgramFolder.h"

#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>


namespace {

// The configuration folder's names: the one both programs use, and the one the tool used
// before on its own, from which a user's imported maps are taken over.
constexpr char UserFolderName[] = "Tarvel";
constexpr char EarlierToolFolderName[] = "ornwick";

std::string ConfigFolder(const char* name)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return std::string();
    return QFile::encodeName(QDir::cleanPath(config)).toStdString() + "/" + name + "/";
}

// The files of one folder that another lacks, copied into it (made when missing).
void CopyMissingFiles(const std::string& from, const std::string& to)
{
    const QDir source(QFile::decodeName(QByteArray::fromStdString(from)));
    if (!source.exists())
        return;
    if (!QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(to))))
        throw EFCreateError(to);
    for (const QString& name : source.entryList(QDir::Files | QDir::Hidden)) {
        const std::string file = QFile::encodeName(name).toStdString();
        if (!FileExists(to + file))
            WriteWholeFile(to + file, ReadWholeFile(from + file));
    }
}

// The user's settings begun: from those the tool kept in its own folder before, with the maps
// it imported there (pictures first: settings that name a map's calibration never come
// without its picture), else from the program's own. Whole or not at all (a full disk): the
// user's settings then begin empty, as without a copy.
void BeginUserSettings(const TSettingsPlace& place, const std::string& shipped)
{
    try {
        const TSettingsLock lock(place.FileName);
        if (FileExists(place.FileName))
            return; // another program began them meanwhile
        const std::string earlier = ConfigFolder(EarlierToolFolderName);
        const std::string earlierSettings = earlier + ExtractFileName(place.FileName);
        if (!earlier.empty() && FileExists(earlierSettings)) {
            CopyMissingFiles(earlier + "images/", place.UserFolder + "images/");
            WriteWholeFile(place.FileName, ReadWholeFile(earlierSettings));
        } else if (FileExists(shipped)) {
            WriteWholeFile(place.FileName, ReadWholeFile(shipped));
        }
    } catch (const EBaseError&) {
    }
}

} // namespace

TSettingsPlace ChooseSettingsPlace(const std::string& exeName)
{
    const std::string beside = ChangeFileExt(exeName, ".ini");
    TSettingsPlace place{beside, ""};
    const std::string path = ExtractFilePath(exeName);
    const QFileInfo folder(path.empty() ? QStringLiteral(".") : QFile::decodeName(QByteArray::fromStdString(path)));
    const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(beside)));
    if (folder.isWritable() && (!file.exists() || file.isWritable()))
        return place;
    // A system-wide install: the user's own copy, one folder for the window and the tool alike,
    // whatever each program's name.
    const std::string config = ConfigFolder(UserFolderName);
    if (config.empty() || !QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(config))))
        return place;
    place.UserFolder = config;
    place.FileName = place.UserFolder + ExtractFileName(beside);
    if (!FileExists(place.FileName))
        BeginUserSettings(place, beside);
    return place;
}

void TSettingsFile::Read()
{
    TTextList list;
    if (FileExists(FFileName))
        list.LoadFromFile(FFileName);
    FList = std::move(list);
    FChanges.clear();
    FRead = true;
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

void TProgramFiles::ReadFiles()
{
    if (FileExists(PictureMapFileName()))
        FPictureMap.LoadFromFile(PictureMapFileName());
    FPlace = ChooseSettingsPlace(FExeName);
    FSettings.SetFileName(FPlace.FileName);
    FSettings.Read();
}

void TProgramFiles::Read()
{
    ReadFiles();
    StartZoom(FSettings.List());
}

std::string TProgramFiles::SettingsFileName() const
{
    return FPlace.FileName.empty() ? ChangeFileExt(FExeName, ".ini") : FPlace.FileName;
}

int32_t StartZoom(const TTextList& settings)
{
    const std::string zoom = settings.Values("ZOOM");
    return zoom.empty() ? 200 : StrToInt(zoom);
}
