#include "tool/Overlays.h"

#include "base/TextList.h"
#include "round/RoundView.h"
#include "settings/ProgramFolder.h"

bool TOverlayOptions::Take(TContext& c, const std::string& option, size_t& i)
{
    if (option == "--trails")
        trailSeconds = WholeIn(c.Arg(++i), 1, 60, "--trails takes 1 to 60 seconds");
    else if (option == "--deathmap")
        deathMap = true;
    else if (option == "--killfeed")
        killFeed = true;
    else
        return false;
    return true;
}

void TOverlayOptions::SwitchOn(TViewOptions& view) const
{
    view.trails = trailSeconds > 0;
    if (trailSeconds > 0)
        view.trailSeconds = trailSeconds;
    view.deathMap = deathMap;
    view.killFeed = killFeed;
}

TViewOptions StartViewOptions(const TTextList& settings)
{
    // The overlays the tool draws are its options' alone (SwitchOn); the grid is the setting's.
    TViewOptions view;
    view.gridBackground = settings.Values(GridBackgroundKey) != "false";
    return view;
}

TViewOptions StartView(TRoundView& view, const TProgramFiles& files, const TOverlayOptions& overlays,
                       std::optional<int> zoom)
{
    view.StartZoom(files.Settings());
    TViewOptions options = StartViewOptions(files.Settings());
    overlays.SwitchOn(options);
    if (zoom)
        view.MoveZoom(*zoom);
    return options;
}
