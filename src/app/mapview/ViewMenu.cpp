// The "View" menu's overlays over the map (trails, the death map, the kill feed) and their
// settings; the replay session records what they show.
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"

#include <QAction>
#include <QCheckBox>
#include <QTreeWidget>
#include <QActionGroup>
#include <QEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>
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

void TTarvelMain::CreateViewMenu()
{
    auto checkItem = [this](const char* caption, const char* name) {
        QAction* item = View1->addAction(QString::fromLatin1(caption));
        item->setObjectName(QString::fromLatin1(name));
        item->setCheckable(true);
        return item;
    };
    Trails1 = checkItem("Trails", "Trails1");
    TrailLength1 = View1->addMenu(QStringLiteral("Trail length"));
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
    View1->addSeparator();
    RoundStatsAtEnd1 = checkItem("Round statistics at the end of a round", "RoundStatsAtEnd1");
    for (QAction* item : {Trails1, DeathMap1, KillFeed1, RoundStatsAtEnd1})
        connect(item, &QAction::toggled, this, [this, item] { RunHandler([this, item] { ViewSettingChanged(item); }); });
    ConnectViewOptions();

    // The server's table of the round, in the Replay menu after its playback items.
    Replay1->addSeparator();
    RoundStatistics1 = Replay1->addAction(QStringLiteral("Round statistics"));
    RoundStatistics1->setObjectName(QStringLiteral("RoundStatistics1"));
    connect(RoundStatistics1, &QAction::triggered, this, [this] { RunHandler([this] { RoundStatistics1Click(); }); });

    // While an overlay shows, the frame follows the view: the kill feed stays in its corner and
    // what a scroll uncovers gets its trails and deaths. The zoom tells it itself.
    for (QScrollBar* bar : {ScrollBox1->horizontalScrollBar(), ScrollBox1->verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, this, [this] { OverlaysMayHaveMoved(); });
    ScrollBox1->viewport()->installEventFilter(new TViewportWatcher(this, [this] { OverlaysMayHaveMoved(); }));
}

void TTarvelMain::ReadViewSettings()
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

void TTarvelMain::ConnectViewOptions()
{
    // Each control starts as the value does and writes its part of it when it changes; signals
    // come before any handler that draws, which finds the value changed.
    const std::pair<QCheckBox*, bool TViewOptions::*> boxes[] = {{CBShowobjects, &TViewOptions::showObjects},
                                                                {ShowFlags, &TViewOptions::showFlags},
                                                                {ShowHitLines, &TViewOptions::showHitLines},
                                                                {CBKillINfo, &TViewOptions::killInfo},
                                                                {CBTrackPlayer, &TViewOptions::trackPlayer}};
    for (const auto& [box, field] : boxes) {
        FView.*field = box->isChecked();
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) { FView.*field = on; });
    }
    FView.timeToSeeLine = TBTimeToSeeLine->value();
    connect(TBTimeToSeeLine, &QSlider::valueChanged, this, [this](int seconds) { FView.timeToSeeLine = seconds; });
    connect(ScoreBord, &QTreeWidget::itemSelectionChanged, this, [this] { TrackedPlayerChanged(); });
}

void TTarvelMain::TrackedPlayerChanged()
{
    // The player of the first selected row, whose state the frames find by its key.
    const QList<QTreeWidgetItem*> selected = ScoreBord->selectedItems();
    const TInfoClass* state = selected.isEmpty() ? nullptr : TScoreBordRows::StateOfRow(selected.first());
    FView.trackedPlayer = state ? PlayerKey(state->PlayerID) : std::string();
}

void TTarvelMain::ViewSettingChanged(QAction* item)
{
    const char* key = item == Trails1 ? TrailsKey : item == DeathMap1 ? DeathMapKey : item == KillFeed1 ? KillFeedKey
                                                                                                       : RoundStatsKey;
    FView.trails = Trails1->isChecked();
    FView.deathMap = DeathMap1->isChecked();
    FView.killFeed = KillFeed1->isChecked();
    FSettings.SetValue(key, item->isChecked() ? "true" : "false");
    FLayoutChanged = true;
}

void TTarvelMain::SetTrailSeconds(int seconds)
{
    FView.trailSeconds = std::clamp(seconds, 1, static_cast<int>(TOverlayHistory::TrailKept));
    for (QAction* item : TrailLength1->actions()) {
        const QSignalBlocker quiet(item);
        item->setChecked(item->data().toInt() == FView.trailSeconds);
    }
    FLayoutChanged = true;
}

TFrameOverlays TTarvelMain::FrameOverlays() const
{
    TFrameOverlays overlays;
    overlays.history = &FSession.Overlays();
    overlays.placing = TReplaySession::PlacingOf(ReplaySettings());
    overlays.trailSeconds = FView.TrailsShown();
    overlays.deathMap = FView.deathMap;
    overlays.killFeed = FView.killFeed;
    return overlays;
}

QRect TTarvelMain::OverlayPart() const
{
    // A window on the screen shows part of the map; one that is not draws all of it.
    if (!FrameOverlays().Any() || !isVisible())
        return {};
    const QWidget* view = ScrollBox1->viewport();
    const QPoint corner = MapZoomImage->mapFrom(view, QPoint(0, 0));
    return QRect(corner, view->size()).intersected(MapZoomImage->rect());
}

void TTarvelMain::OverlaysMayHaveMoved()
{
    if (FrameOverlays().Any())
        FLayoutChanged = true;
}
