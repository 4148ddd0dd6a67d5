// The "View" menu's overlays over the map (trails, the death map, the kill feed) and their
// settings, and its zoom item; the replay session records what the overlays show.
#include "app/mapview/ViewMenu.h"

#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "mapview/MapZoom.h"
#include "mapview/Overlays.h"
#include "mapview/ViewOptions.h"
#include "settings/ProgramFolder.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <iterator>

namespace {

// Each item's own key in the settings; "true" switches it on, anything else (or no line) off.
const char TrailsKey[] = "ViewTrails";
const char TrailSecondsKey[] = "ViewTrailSeconds";
const char DeathMapKey[] = "ViewDeathMap";
const char KillFeedKey[] = "ViewKillFeed";
const char RoundStatsKey[] = "ViewRoundStatistics";

// Tells the window when the map view's viewport changes its size: the kill feed keeps to its
// corner.
class TViewportWatcher : public QObject {
public:
    TViewportWatcher(QObject* parent, std::function<void()> resized) : QObject(parent), FResized(std::move(resized)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            FResized();
        return false;
    }

private:
    std::function<void()> FResized;
};

} // namespace

TViewMenu::TViewMenu(TTarvelMain& window, TViewOptions& view, TSettingsFile& settings)
    : FWindow(window), FView(view), FSettings(settings)
{
    QMenu* const menu = FWindow.View1;
    auto checkItem = [menu](const char* caption, const char* name) {
        QAction* item = menu->addAction(QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name));
        item->setCheckable(true);
        return item;
    };
    Trails1 = checkItem("Trails", "Trails1");
    TrailLength1 = menu->addMenu(QStringLiteral("Trail length"));
    TrailLength1->setObjectName(QStringLiteral("TrailLength1"));
    auto* lengths = new QActionGroup(TrailLength1);
    for (const int seconds : TrailLengths) {
        QAction* item = TrailLength1->addAction(QString::number(seconds) + QStringLiteral(" s"));
        item->setObjectName(QStringLiteral("TrailLength%1").arg(seconds));
        item->setCheckable(true);
        item->setChecked(seconds == DefaultTrailSeconds);
        item->setData(seconds);
        lengths->addAction(item);
        connect(item, &QAction::triggered, this, [this, seconds] {
            RunHandler([this, seconds] {
                SetTrailSeconds(seconds);
                FSettings.SetValue(TrailSecondsKey, std::to_string(seconds));
            });
        });
    }
    DeathMap1 = checkItem("Death map", "DeathMap1");
    KillFeed1 = checkItem("Kill feed", "KillFeed1");
    menu->addSeparator();
    RoundStatsAtEnd1 = checkItem("Round statistics at the end of a round", "RoundStatsAtEnd1");
    for (QAction* item : {Trails1, DeathMap1, KillFeed1, RoundStatsAtEnd1})
        connect(item, &QAction::toggled, this, [this, item] { RunHandler([this, item] { SettingChanged(item); }); });
    ConnectViewOptions();

    // While an overlay shows, the frame follows the view: the kill feed stays in its corner and
    // what a scroll uncovers gets its trails and deaths. The zoom tells it itself.
    TScrollBox* const box = FWindow.ScrollBox1;
    for (QScrollBar* bar : {box->horizontalScrollBar(), box->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { FWindow.OverlaysMayHaveMoved(); });
    box->viewport()->installEventFilter(new TViewportWatcher(this, [this] { FWindow.OverlaysMayHaveMoved(); }));
}

void TViewMenu::CreateZoomItems()
{
    FWindow.View1->addSeparator();
    FitMapToWindow1 = FWindow.View1->addAction(QStringLiteral("Fit map to window"));
    FitMapToWindow1->setObjectName(QStringLiteral("FitMapToWindow1"));
    FitMapToWindow1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    FitMapToWindow1->setShortcutContext(Qt::WindowShortcut);
    FWindow.addAction(FitMapToWindow1); // the key works while the menu is closed
    connect(FitMapToWindow1, &QAction::triggered, this, [this] { RunHandler([this] { FitMapToWindow1Click(); }); });
}

void TViewMenu::FitMapToWindow1Click()
{
    // The room the scroll box has with no scroll bar; the map's left edge lies outside it as
    // designed, so the whole of what can be seen fits.
    const QSize room = FWindow.ScrollBox1->maximumViewportSize();
    const TImage* map = FWindow.MapZoomImage;
    FWindow.SetZoom(ZoomToFit(room.width() - map->x(), room.height() - map->y()));
}

void TViewMenu::ReadSettings()
{
    // Read before the items tell their changes: reading writes nothing back.
    const std::string seconds = FSettings.Values(TrailSecondsKey);
    int value = DefaultTrailSeconds;
    if (TryStrToInt(seconds, value) && std::find(std::begin(TrailLengths), std::end(TrailLengths), value) != std::end(TrailLengths))
        SetTrailSeconds(value);
    const std::pair<QAction*, const char*> items[] = {
        {Trails1, TrailsKey}, {DeathMap1, DeathMapKey}, {KillFeed1, KillFeedKey}, {RoundStatsAtEnd1, RoundStatsKey}};
    for (const auto& [item, key] : items) {
        const QSignalBlocker quiet(item);
        item->setChecked(FSettings.Values(key) == "true");
    }
    FView.trails = Trails1->isChecked();
    FView.deathMap = DeathMap1->isChecked();
    FView.killFeed = KillFeed1->isChecked();
}

void TViewMenu::ConnectViewOptions()
{
    // Each control starts as the value does and writes its part of it when it changes; signals
    // come before any handler that draws, which finds the value changed.
    const std::pair<QCheckBox*, bool TViewOptions::*> boxes[] = {{FWindow.CBShowobjects, &TViewOptions::showObjects},
                                                                {FWindow.ShowFlags, &TViewOptions::showFlags},
                                                                {FWindow.ShowHitLines, &TViewOptions::showHitLines},
                                                                {FWindow.CBKillINfo, &TViewOptions::killInfo},
                                                                {FWindow.CBTrackPlayer, &TViewOptions::trackPlayer}};
    for (const auto& [box, field] : boxes) {
        FView.*field = box->isChecked();
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) { FView.*field = on; });
    }
    FView.timeToSeeLine = FWindow.TBTimeToSeeLine->value();
    connect(FWindow.TBTimeToSeeLine, &QSlider::valueChanged, this, [this](int seconds) { FView.timeToSeeLine = seconds; });
    connect(FWindow.ScoreBord, &QTreeWidget::itemSelectionChanged, this, [this] { TrackedPlayerChanged(); });
}

void TViewMenu::TrackedPlayerChanged()
{
    // The player of the first selected row, whose state the frames find by its key.
    const QList<QTreeWidgetItem*> selected = FWindow.ScoreBord->selectedItems();
    const TInfoClass* state = selected.isEmpty() ? nullptr : TScoreBordRows::StateOfRow(selected.first());
    FView.trackedPlayer = state ? PlayerKey(state->PlayerID) : std::string();
}

void TViewMenu::SettingChanged(QAction* item)
{
    const char* key = item == Trails1 ? TrailsKey : item == DeathMap1 ? DeathMapKey : item == KillFeed1 ? KillFeedKey
                                                                                                       : RoundStatsKey;
    FView.trails = Trails1->isChecked();
    FView.deathMap = DeathMap1->isChecked();
    FView.killFeed = KillFeed1->isChecked();
    FSettings.SetValue(key, item->isChecked() ? "true" : "false");
    FWindow.SetLayoutChanged();
}

int TViewMenu::TrailSeconds() const { return FView.trailSeconds; }

void TViewMenu::SetTrailSeconds(int seconds)
{
    FView.trailSeconds = std::clamp(seconds, 1, static_cast<int>(TOverlayHistory::TrailKept));
    for (QAction* item : TrailLength1->actions()) {
        const QSignalBlocker quiet(item);
        item->setChecked(item->data().toInt() == FView.trailSeconds);
    }
    FWindow.SetLayoutChanged();
}
