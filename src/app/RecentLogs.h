#pragma once

// The recent logs of the File menu ("LastOpen1" to "LastOpen8" of the settings, newest first)
// and logs dropped anywhere on the window.

#include <QObject>

#include <string>
#include <vector>

class QAction;
class TSettingsFile;
class TTarvelMain;

class TRecentLogs : public QObject {
public:
    // The window accepts drops from now on; `settings` are its lines of Tarvel.ini. A child of
    // the window.
    TRecentLogs(TTarvelMain& window, TSettingsFile& settings);

    // "LastOpen1" to "LastOpen8", newest first, the empty ones left out.
    std::vector<std::string> RecentLogs() const;
    // A log that opened through the dialog or a drop becomes the newest.
    void RememberRecentLog(const std::string& fileName);
    // A ".xml" or ".zxml" file opens as the open dialog opens it; anything else is left alone.
    // Whether it was a log's name.
    bool DropLog(const std::string& fileName);
    // The File menu's items made anew from the settings, before the export items.
    void AddRecentFileItems();

private:
    void AddRecentFileItem(const std::string& fileName);

    TTarvelMain& FWindow;
    TSettingsFile& FSettings;
    std::vector<QAction*> FRecentItems;
};
