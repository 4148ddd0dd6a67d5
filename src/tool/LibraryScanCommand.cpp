// `ornwick library scan DIR...`: indexes the logs of the folders into the library and prints
// what the scan did.
#include "tool/LibraryCommands.h"

#include "library/LibraryDatabase.h"
#include "library/LibraryIndex.h"

#include <ostream>

int LibraryScan(TLibraryCommand& c)
{
    if (c.args.empty())
        throw TUsageError();
    for (const std::string& word : c.args)
        if (word.empty() || word.rfind("--", 0) == 0)
            throw TUsageError();
    const std::vector<std::string>& folders = c.args;
    // A library that cannot be opened ends the command before anything is read; the error
    // carries its message to standard error and exit status 1.
    const std::unique_ptr<TLibraryDatabase> library = c.Open();
    const TScanSummary summary = ScanFolders(*library, folders);
    c.out << ScanSummaryJson(summary) << '\n';
    c.out.flush();
    // A file that could not be read is counted, not a failure of the scan.
    for (const auto& [file, why] : summary.failures)
        c.err << file << ": " << why << '\n';
    return 0;
}
