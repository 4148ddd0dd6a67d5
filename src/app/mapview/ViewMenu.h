#pragma once

// The "View" menu's own items: the overlays over the map (trails, the death map, the kill
// feed), the round statistics at a round's end and "Fit map to window". The overlays are
// remembered in the settings. It also keeps the window's view options in step with the
// switches of the Player and Minimap pages and the scoreboard's selection.

#include <QObject>

class QAction;
class QMenu;
class TSettingsFile;
class TTarvelMain;
struct TViewOptions;

class TViewMenu : public QObject {
public:
    // Adds the overlays' items to the window's View1. `view` is the window's value that the
    // items and switches write, `settings` where the items are remembered.
    TViewMenu(TTarvelMain& window, TViewOptions& view, TSettingsFile& settings);
    // "Fit map to window", after the items the map tools add to the menu.
    void CreateZoomItems();
    // The items as the settings have them; reading writes nothing back.
    void ReadSettings();

    QAction* Trails1 = nullptr;
    QMenu* TrailLength1 = nullptr; // one item for each of TrailLengths
    QAction* DeathMap1 = nullptr;
    QAction* KillFeed1 = nullptr;
    QAction* RoundStatsAtEnd1 = nullptr; // the round statistics shown when a round ends
    int TrailSeconds() const;
    void SetTrailSeconds(int seconds); // one of TrailLengths; the length's item is checked

    // "Fit map to window" (Ctrl+0): the zoom at which the whole map fills the map view without
    // scroll bars.
    QAction* FitMapToWindow1 = nullptr;
    void FitMapToWindow1Click();

private:
    void SettingChanged(QAction* item);
    void ConnectViewOptions(); // the controls write the view options when they change
    void TrackedPlayerChanged(); // the scoreboard's selection changed

    TTarvelMain& FWindow;
    TViewOptions& FView;
    TSettingsFile& FSettings;
};
