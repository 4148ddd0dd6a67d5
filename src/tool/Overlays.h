#pragma once

// The options render and video share: the overlays drawn when asked (--trails SECONDS,
// --deathmap, --killfeed) and the calibration and zoom of the map view.

#include "tool/ToolCommand.h"

#include "mapview/ViewOptions.h"

#include <optional>

struct TOverlayOptions {
    int trailSeconds = 0;
    bool deathMap = false, killFeed = false;

    // Takes the option at i (and its value) when it is one of them.
    bool Take(TContext& c, const std::string& option, size_t& i);
    // The overlays as the options ask, whatever the settings say.
    void SwitchOn(TViewOptions& view) const;
};

// The view's switches as the window starts with them from the program's settings.
TViewOptions StartViewOptions(const TTextList& settings);

class TProgramFiles;
class TRoundView;
// A view as render and video start it: the settings' zoom, or `zoom` when given, and the
// settings' switches with the overlays the options ask for.
TViewOptions StartView(TRoundView& view, const TProgramFiles& files, const TOverlayOptions& overlays,
                       std::optional<int> zoom);
