#include "library/LibraryLocation.h"

#include <QDir>
#include <QStandardPaths>

#include <filesystem>

std::string DefaultLibraryLocation()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Ornwick");
    QDir().mkpath(folder);
    return (folder + QStringLiteral("/library.sqlite")).toStdString();
}

std::string LibraryLocationIn(const std::string& folder)
{
    return (std::filesystem::path(folder) / "library.sqlite").string();
}
