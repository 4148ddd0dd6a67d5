#pragma once

// The File menu's export items, which stay at its end: "Export frame…" saves the map view's
// picture, "Export video…" asks for a span of the round and has the window write it.

#include <QObject>

#include <string>

class QAction;
class TSettingsFile;
class TTarvelMain;
struct TVideoOptions;
struct TVideoSource;

class TExportMenu : public QObject {
public:
    // Adds the items to the window's File1; the dialogs start from `settings` and remember
    // what was chosen there.
    TExportMenu(TTarvelMain& window, TSettingsFile& settings);

    QAction* ExportFrame1 = nullptr; // "Export frame…", Ctrl+E
    QAction* ExportVideo1 = nullptr; // "Export video…"

    // "Export frame…": what the map view shows now, or the whole zoomed map, as PNG or JPEG.
    void ExportFrame1Click();
    // Replaces a file of that name only with a complete picture; the extension gives the format.
    void ExportFrame(const std::string& fileName, bool wholeMap);
    // "Export video…": its dialog, then the export.
    void ExportVideo1Click();
    // Writes the video with a progress dialog that can cancel, from a replay of its own: the
    // window's replay stays as it is. False when cancelled, and then no file is left.
    bool ExportVideo(const TVideoOptions& options, const std::string& fileName);
    // The selected round as a video's own replay takes it: the window's roster, calibration,
    // map picture, switches and overlays. "No round is being replayed…" without one.
    TVideoSource VideoSource() const;
    // The File menu's items added at run time (the recent logs) go before the export items.
    void KeepExportItemsLast();

private:
    TTarvelMain& FWindow;
    TSettingsFile& FSettings;
    QAction* FExportSeparator = nullptr; // before the export items
};
