#pragma once

// The map's calibration tools: "Calibrate…" and "Fit to round" in the Map menu, the calibration
// window (opened from the menu or the Admin page's button, its clicks taken from the map view),
// and, for a map without a picture, the grid in the View menu and the picture's file on the
// "Missing picture" page.

#include "mapview/Calibration.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <optional>

class QAction;
class QEvent;
class QPushButton;
class TCalibrateForm;
class TLabel;
class TSettingsFile;
class TTarvelMain;
struct TViewOptions;

// What the tools change of the window besides its controls.
struct TMapToolsAccess {
    TSettingsFile& settings;               // Tarvel.ini's lines: the grid's switch is kept there
    TViewOptions& view;                    // what the frames draw: the grid
    std::function<void()> invalidateFrame; // the next frame draws the whole map anew
};

// A QObject only so that its handlers go with it.
class TMapTools : public QObject {
public:
    // The items go into the window's Map1 and View1 menus, the button onto TabSheet3, the
    // label onto TabSheet4.
    TMapTools(TTarvelMain& window, TMapToolsAccess access);

    QAction* Calibrate1;      // "Calibrate…" in the Map menu
    QAction* FitToRound1;     // "Fit to round" in the Map menu
    QAction* GridBackground1; // "Grid background" in the View menu, checked
    QPushButton* BCalibrate;  // "Calibrate…" on the Admin page
    TLabel* LMissingMap;      // "Missing picture" page: the file the map's picture wants

    // The grid's switch as the settings have it.
    void ReadSettings();
    void Calibrate1Click(); // shows the calibration window
    TCalibrateForm* CalibrateWindow() const { return FCalibrateForm; } // nothing until shown
    // What is drawn at this pixel of the zoomed map, for a reference pair.
    std::optional<TMapPick> PickAt(QPoint zoomed) const;
    // A mouse event on the map view: a click for the calibration window while it shows, which
    // takes it (true).
    bool MapViewMouse(QEvent* event);
    // A calibration slider moved, by the user or the program: the window's fields follow.
    void CalibrationMoved();
    // "Fit to round": the sliders fitted to the round, and a map without a picture framed.
    void FitToRound1Click();
    // Sets the four sliders as a user's moves would, their handlers running, then asks for a frame.
    void ApplyCalibration(const TCalibration& calibration);
    // The values that put every place of the round's events and of the map's objects on the
    // picture as drawn (ECalibrationError when there are none, or they cannot fit).
    TCalibration FitToRound() const;
    // The window loaded the map's picture (or found none): the label and the window's pairs follow.
    void MapPictureLoaded();

private:
    void GridBackgroundToggled(bool on);

    TTarvelMain& FWindow;
    TMapToolsAccess FAccess;
    TCalibrateForm* FCalibrateForm = nullptr; // a child of the window
};
