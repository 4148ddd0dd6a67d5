#pragma once

// The calibration window: reference pairs picked on the map view, the four values they give,
// and the four values as number fields bound to the sliders of the Admin page. It stays open
// beside the main window (not modal); while it shows, clicks on the map view are its own.

#include "app/Controls.h"
#include "mapview/Calibration.h"

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;
class QTreeWidget;
class TTarvelMain;

class TCalibrateForm : public QWidget {
    Q_OBJECT
public:
    explicit TCalibrateForm(TTarvelMain& main);

    QLabel* LHint;        // what to click next, or what went wrong
    QTreeWidget* LVPairs; // one row per pair: world X, world Z, map x, map y, error
    QPushButton* BRemovePair;
    QPushButton* BClearPairs;
    QLabel* LSolution; // the values the pairs give, or why they give none
    QPushButton* BApply;
    QSpinBox* SEXas; // bound to TBXas, TBYas, TBLeft and TBTop
    QSpinBox* SEYas;
    QSpinBox* SELeft;
    QSpinBox* SETop;
    QPushButton* BFitToRound;
    QPushButton* BSave;

    // A left click at this pixel of the zoomed map: picks what is drawn there, or, once
    // something is picked, gives the place where it really lies and adds the pair.
    void MapClicked(QPoint zoomed);
    // Forgets what was picked (a right click).
    void CancelPick();
    bool Picking() const { return FPending.has_value(); }

    void AddPair(const TReferencePair& pair);
    void RemovePair(int index);
    void ClearPairs();
    const std::vector<TReferencePair>& Pairs() const { return FPairs; }
    // The values the pairs give, when they give any.
    const std::optional<TCalibration>& Solution() const { return FSolution; }

    void ApplyClick();
    // The fields take the sliders' positions.
    void SlidersMoved();
    // Another map: its pairs belong to the one before and go.
    void MapChanged();

private:
    void Refresh();
    void FieldChanged(QSlider* bar, int value);
    QSpinBox* BoundField(QSlider* bar, int min, int max);

    TTarvelMain& FMain;
    std::vector<TReferencePair> FPairs;
    std::string FPairsMap; // the map the pairs were picked on
    std::optional<TMapPick> FPending;
    std::optional<TCalibration> FSolution;
};
