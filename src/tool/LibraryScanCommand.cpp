// `ornwick library scan DIR...`: indexes the logs of the folders into the library and prints
// what the scan did.
#include "tool/LibraryCommands.h"

#include "library/LibraryDatabase.h"
#include "library/LibraryIndex.h"

#include <ostream>

int LibraryScan(TLibraryCommand& c)
{
    std::vector<std::string> folders;
    int readers = DefaultScanReaders();
    for (size_t i = 0; i < c.args.size(); ++i) {
        const std::string& word = c.args[i];
        if (word == "--readers" && i + 1 < c.args.size())
            readers = WholeIn(c.args[++i], 1, 64, "--readers needs how many logs to read at once, 1 to 64");
        else if (word.empty() || word.rfind("--", 0) == 0)
            throw TUsageError();
        else
            folders.push_back(word);
    }
    if (folders.empty())
        throw TUsageError();
    // A library that cannot be opened ends the command before anything is read; the error
    // carries its message to standard error and exit status 1.
    const std::unique_ptr<TLibraryDatabase> library = c.Open();
    const TScanSummary summary = ScanFolders(*library, folders, {}, readers);
    c.out << ScanSummaryJson(summary) << '\n';
    c.out.flush();
    // A file that could not be read is counted, not a failure of the scan.
    for (const auto& [file, why] : summary.failures)
        c.err << file << ": " << why << '\n';
    return 0;
}
