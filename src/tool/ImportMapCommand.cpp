// `ornwick import-map`: a map's picture, object file and calibration made from the game's own
// files, as the window's "Import map" makes them.
#include "tool/Commands.h"

#include "base/Errors.h"
#include "level/GameFolder.h"
#include "level/MapImport.h"
#include "base/Convert.h"
#include "base/Files.h"

#include <ostream>

int ImportMapCommand(TContext& c)
{
    if (c.args.empty() || c.Arg(0).rfind("--", 0) == 0)
        throw TUsageError();
    const std::string& source = c.Arg(0);
    std::string home = DefaultTarvel(), map, mod, mode = "Conquest", picture = "terrain";
    for (size_t i = 1; i < c.args.size(); ++i) {
        const std::string& option = c.Arg(i);
        if (option == "--home")
            home = HomeTarvel(c.Arg(++i));
        else if (option == "--map")
            map = TextOfFileName(c.Arg(++i));
        else if (option == "--mod")
            mod = c.Arg(++i);
        else if (option == "--mode")
            mode = c.Arg(++i);
        else if (option == "--picture")
            picture = c.Arg(++i);
        else
            throw TUsageError();
    }
    if (picture != "terrain" && picture != "overview")
        throw TUsageError{"--picture is terrain or overview, not '" + picture + "'"};
    TGuiScope scope;
    const TProgramFiles files = StartWithoutWindow(home);
    if (scope.Failed())
        return scope.Finish(c.out, c.err);
    // The first folder the program looks in: the user's own when the settings live there.
    const std::string images = files.ImageFolders().front();
    TMapImport import;
    try {
        import = ImportMap(OpenLevel(source, map, mod), map, mode, picture == "overview", images);
        WriteMapImport(import, images, files.SettingsFileName());
    } catch (const EBaseError& error) {
        throw TUsageError{error.Message()};
    }
    c.out << MapImportJson(import) << '\n';
    return scope.Finish(c.out, c.err);
}
