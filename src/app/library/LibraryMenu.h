#pragma once

// The "Library" menu: a library of every match in the user's folders. Its folders and its
// database live in Tarvel.ini ("LibraryDatabase", "LibraryFolder1", "LibraryFolder2", ...);
// "Add folder…" (or a folder dropped on the window) adds a folder and scans it in the
// background, "Library…" shows the Library window, "Scan again" scans every folder, and
// "Library settings…" picks the database. While the program runs the folders are watched and
// scanned again when a log in them changes.

#include <QObject>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class TLibraryDatabase;
class TLibraryForm;
class TLibraryScan;
class TLibraryWatcher;
class TSettingsFile;
class TTarvelMain;

class TLibraryMenu : public QObject {
public:
    // Adds Library1 to the window's menu bar, after its other menus; a child of the window.
    TLibraryMenu(TTarvelMain& window, TSettingsFile& settings);
    ~TLibraryMenu() override;

    QMenu* Library1 = nullptr;
    QAction* AddFolder1 = nullptr;
    QAction* OpenLibrary1 = nullptr;
    QAction* ScanAgain1 = nullptr;
    QAction* LibrarySettings1 = nullptr;

    void AddFolder1Click();      // a folder dialog, then AddFolder
    void OpenLibrary1Click();    // shows the Library window
    void ScanAgain1Click();      // every folder scanned, in the background
    void LibrarySettings1Click();

    // The folder (a dropped one too) joins the library's folders and is scanned in the
    // background, the Library window showing the progress. A library that cannot be opened is
    // refused with its message and nothing is remembered.
    void AddFolder(const std::string& folder);
    // The library's folders, as the settings hold them.
    std::vector<std::string> Folders() const;
    void SetFolders(const std::vector<std::string>& folders);
    // The library's database: "LibraryDatabase" of the settings, else the user's library.
    std::string Location() const;
    // Another database (a file or a "postgresql://" address); "" goes back to the user's own.
    // It is opened first: one that is no library is refused and the setting stays.
    void SetLocation(const std::string& location);

    // The library as this thread uses it, opened at the first use; raises, and stays closed,
    // when the database is no library or a newer one.
    TLibraryDatabase& Library();
    TLibraryScan& Scan() const { return *FScan; }
    // The Library window; nothing until it was first shown.
    TLibraryForm* Form() const { return FForm; }
    TLibraryForm& ShowForm();

    // The program watches the folders from now on and scans them once at once; the tests and
    // the headless tool do not.
    void StartWatching();
    TLibraryWatcher* Watcher() const { return FWatcher; }

private:
    void ScanFolders(const std::vector<std::string>& folders);
    void ScanEnded();
    void WatchFolders();

    TTarvelMain& FWindow;
    TSettingsFile& FSettings;
    std::unique_ptr<TLibraryDatabase> FLibrary;
    std::string FLibraryLocation; // where FLibrary was opened
    TLibraryScan* FScan = nullptr; // children
    TLibraryWatcher* FWatcher = nullptr;
    TLibraryForm* FForm = nullptr;
};
