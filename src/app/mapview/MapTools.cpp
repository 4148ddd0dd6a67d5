// The "Map" menu's tools: the calibration window, the fit to the round, and the grid that the
// map view shows under a map without a picture (switched in the "View" menu).
#include "app/mapview/MapTools.h"

#include "app/UTarvelMain.h"
#include "app/mapview/CalibrateForm.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"
#include "mapview/RoundMap.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>

#include <cmath>

namespace {

const char* const GridKey = GridBackgroundKey;
const QString CalibrateCaption = QString::fromUtf8("Calibrate\u2026");

// A click this close to what is drawn picks it, however small it is drawn.
constexpr double MinPickRadius = 8;

double PickRadius(const QImage& picture)
{
    return picture.isNull() ? MinPickRadius : std::max(MinPickRadius, std::min(picture.width(), picture.height()) / 2.0);
}

} // namespace

TMapTools::TMapTools(TTarvelMain& window, TMapToolsAccess access) : FWindow(window), FAccess(std::move(access))
{
    Calibrate1 = window.Map1->addAction(CalibrateCaption);
    Calibrate1->setObjectName(QStringLiteral("Calibrate1"));
    FitToRound1 = window.Map1->addAction(QStringLiteral("Fit to round"));
    FitToRound1->setObjectName(QStringLiteral("FitToRound1"));
    GridBackground1 = window.View1->addAction(QStringLiteral("Grid background"));
    GridBackground1->setObjectName(QStringLiteral("GridBackground1"));
    GridBackground1->setCheckable(true);
    GridBackground1->setChecked(true);
    GridBackground1->setToolTip(QStringLiteral("A map without a picture is drawn on a grid of world units"));

    // Beside "Save", where the page has room.
    BCalibrate = new QPushButton(CalibrateCaption, window.TabSheet3);
    BCalibrate->setObjectName(QStringLiteral("BCalibrate"));
    BCalibrate->setGeometry(80, 160, 75, 25);
    BCalibrate->setAutoDefault(false);
    BCalibrate->setToolTip(QStringLiteral("Calibrate the map by clicking places on it"));
    LMissingMap = new TLabel(window.TabSheet4);
    LMissingMap->setObjectName(QStringLiteral("LMissingMap"));
    LMissingMap->move(8, 1);
    LMissingMap->hide();

    connect(Calibrate1, &QAction::triggered, this, [this] { RunHandler([this] { Calibrate1Click(); }); });
    connect(BCalibrate, &QPushButton::clicked, this, [this] { RunHandler([this] { Calibrate1Click(); }); });
    connect(FitToRound1, &QAction::triggered, this, [this] { RunHandler([this] { FitToRound1Click(); }); });
    connect(GridBackground1, &QAction::toggled, this, [this](bool on) { RunHandler([this, on] { GridBackgroundToggled(on); }); });
}

void TMapTools::ReadSettings()
{
    const QSignalBlocker quiet(GridBackground1);
    GridBackground1->setChecked(FAccess.settings.Values(GridKey) != "false");
    FAccess.view.gridBackground = GridBackground1->isChecked();
}

void TMapTools::GridBackgroundToggled(bool on)
{
    FAccess.settings.SetValue(GridKey, on ? "true" : "false");
    FAccess.view.gridBackground = on;
    if (!FWindow.MapPictureMissing())
        return;
    // Without a picture the frame draws over the bitmap it finds: a fresh one, not the grid.
    if (!on && !FWindow.MapImage().HasPicture())
        FWindow.MapZoomImage->Bitmap().fill(Qt::white);
    FAccess.invalidateFrame();
    FWindow.SetLayoutChanged();
}

void TMapTools::MapPictureLoaded()
{
    const std::string& map = FWindow.MapName();
    LMissingMap->SetCaption("Map picture: put " + map + ".jpg or " + map + ".bmp in images/");
    LMissingMap->setVisible(FWindow.MapPictureMissing());
    if (FCalibrateForm)
        FCalibrateForm->MapChanged();
}

void TMapTools::Calibrate1Click()
{
    if (!FCalibrateForm)
        FCalibrateForm = new TCalibrateForm(FWindow);
    FCalibrateForm->MapChanged();
    FCalibrateForm->SlidersMoved();
    FCalibrateForm->show();
    FCalibrateForm->raise();
    FCalibrateForm->activateWindow();
}

void TMapTools::CalibrationMoved()
{
    if (FCalibrateForm)
        FCalibrateForm->SlidersMoved();
}

bool TMapTools::MapViewMouse(QEvent* event)
{
    if (!FCalibrateForm || !FCalibrateForm->isVisible() || event->type() != QEvent::MouseButtonPress)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    if (mouse->button() == Qt::LeftButton)
        RunHandler([&] { FCalibrateForm->MapClicked(at); });
    else if (mouse->button() == Qt::RightButton)
        FCalibrateForm->CancelPick();
    return true;
}

std::optional<TMapPick> TMapTools::PickAt(QPoint zoomed) const
{
    const TReplaySession& session = FWindow.ReplaySession();
    const TViewOptions& view = FWindow.View();
    const long double zoom = FWindow.Zoom() / 1000.0L;
    std::optional<TMapPick> best;
    double bestDistance = 0;
    // Where a map pixel is drawn: its centre goes to the zoomed place of its centre.
    const auto consider = [&](int mapX, int mapY, double radius, double worldX, double worldZ, const std::string& name) {
        const double d = std::hypot(RoundToInt32(mapX * zoom) - zoomed.x(), RoundToInt32(mapY * zoom) - zoomed.y());
        if (d <= radius && (!best || d < bestDistance)) {
            best = TMapPick{worldX, worldZ, name};
            bestDistance = d;
        }
    };
    // Players first: they are drawn over the objects, so they win a tie.
    for (int i = session.PlayerStates().Count() - 1; i >= 0; --i) {
        const TInfoClass& s = *session.PlayerStates().State(i);
        if (!s.LastEvent)
            continue;
        const TMarker& m = s.Image;
        const QImage* picture = session.PlayerStates().Pictures().Painted(m);
        consider(CheckedAdd(m.Left, DivTrunc(m.Width, 2)), CheckedAdd(m.Top, DivTrunc(m.Height, 2)),
                 PickRadius(picture ? *picture : QImage()), s.LastEvent->PosX, s.LastEvent->PosZ, s.PlayerName);
    }
    if (!view.showObjects)
        return best;
    for (int i = session.MapObjects().Count() - 1; i >= 0; --i) {
        const TMapObject& o = *session.MapObjects().Object(i);
        const bool flag = o.FObjectClass == "controlpoint";
        if (FWindow.IsMapObjectInUse(o) || (flag && !view.showFlags))
            continue;
        const int x = CheckedAdd(FWindow.WorldToMapX(o.FX), FWindow.LeftMargin());
        const int y = CheckedAdd(FWindow.WorldToMapY(o.FZ), FWindow.TopMargin());
        consider(x, y, flag ? 12.5 : PickRadius(o.FImage.Picture()), o.FX, o.FZ, flag ? "the flag" : o.FObjectClass);
    }
    return best;
}

void TMapTools::ApplyCalibration(const TCalibration& c)
{
    FWindow.SetTrackBarPosition(FWindow.TBXas, c.XScale);
    FWindow.SetTrackBarPosition(FWindow.TBYas, c.YScale);
    FWindow.SetTrackBarPosition(FWindow.TBLeft, c.Left);
    FWindow.SetTrackBarPosition(FWindow.TBTop, c.Top);
    // The offsets' handlers leave the map to the next frame; this shows at once.
    FWindow.SetLayoutChanged();
}

TCalibration TMapTools::FitToRound() const
{
    return FitCalibration(RoundPlaces(FWindow.Events(), FWindow.MapObjects()), FWindow.MapImage().Height);
}

void TMapTools::FitToRound1Click()
{
    ApplyCalibration(FitToRound());
    // A map without a picture shows the grid alone: the view frames the round on it, as the
    // selection does, whatever scale the fit had to take.
    if (FWindow.MapPictureMissing())
        FWindow.FrameMapView(RoundPlaces(FWindow.Events(), FWindow.MapObjects()));
}
