// The "Map" menu's tools: the calibration window, the fit to the round, and the grid that the
// map view shows under a map without a picture (switched in the "View" menu).
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/ErrorReporting.h"
#include "base/Numeric.h"
#include "app/mapview/CalibrateForm.h"
#include "mapview/RoundMap.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QPushButton>
#include <QSlider>

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

void TTarvelMain::CreateMapTools()
{
    Calibrate1 = Map1->addAction(CalibrateCaption);
    Calibrate1->setObjectName(QStringLiteral("Calibrate1"));
    FitToRound1 = Map1->addAction(QStringLiteral("Fit to round"));
    FitToRound1->setObjectName(QStringLiteral("FitToRound1"));
    GridBackground1 = View1->addAction(QStringLiteral("Grid background"));
    GridBackground1->setObjectName(QStringLiteral("GridBackground1"));
    GridBackground1->setCheckable(true);
    GridBackground1->setChecked(true);
    GridBackground1->setToolTip(QStringLiteral("A map without a picture is drawn on a grid of world units"));

    // Beside "Save", where the page has room.
    BCalibrate = new QPushButton(CalibrateCaption, TabSheet3);
    BCalibrate->setObjectName(QStringLiteral("BCalibrate"));
    BCalibrate->setGeometry(80, 160, 75, 25);
    BCalibrate->setAutoDefault(false);
    BCalibrate->setToolTip(QStringLiteral("Calibrate the map by clicking places on it"));
    LMissingMap = new TLabel(TabSheet4);
    LMissingMap->setObjectName(QStringLiteral("LMissingMap"));
    LMissingMap->move(8, 1);
    LMissingMap->hide();

    connect(Calibrate1, &QAction::triggered, this, [this] { RunHandler([this] { Calibrate1Click(); }); });
    connect(BCalibrate, &QPushButton::clicked, this, [this] { RunHandler([this] { Calibrate1Click(); }); });
    connect(FitToRound1, &QAction::triggered, this, [this] { RunHandler([this] { FitToRound1Click(); }); });
    connect(GridBackground1, &QAction::toggled, this, [this](bool on) { RunHandler([this, on] { GridBackgroundToggled(on); }); });
}

void TTarvelMain::ReadMapToolSettings()
{
    const QSignalBlocker quiet(GridBackground1);
    GridBackground1->setChecked(FSettings.Values(GridKey) != "false");
    FView.gridBackground = GridBackground1->isChecked();
}

void TTarvelMain::GridBackgroundToggled(bool on)
{
    FSettings.SetValue(GridKey, on ? "true" : "false");
    FView.gridBackground = on;
    if (!MapPictureMissing())
        return;
    // Without a picture the frame draws over the bitmap it finds: a fresh one, not the grid.
    if (!on && !FMapImage.HasPicture())
        MapZoomImage->Bitmap().fill(Qt::white);
    FFrameCanvas.Invalidate();
    FLayoutChanged = true;
}

void TTarvelMain::MapPictureLoaded()
{
    FMapImage.DecodeInBackground(); // while the round is selected, for its first frames
    LMissingMap->SetCaption("Map picture: put " + FMapName + ".jpg or " + FMapName + ".bmp in images/");
    LMissingMap->setVisible(MapPictureMissing());
    if (FCalibrateForm)
        FCalibrateForm->MapChanged();
}

void TTarvelMain::ApplyCalibration(const TCalibration& c)
{
    SetTrackBarPosition(TBXas, c.XScale);
    SetTrackBarPosition(TBYas, c.YScale);
    SetTrackBarPosition(TBLeft, c.Left);
    SetTrackBarPosition(TBTop, c.Top);
    // The offsets' handlers leave the map to the next frame; this shows at once.
    FLayoutChanged = true;
}

TCalibration TTarvelMain::FitToRound() const
{
    return FitCalibration(RoundPlaces(FSession.Events(), FSession.MapObjects()), FMapImage.Height);
}

void TTarvelMain::FitToRound1Click()
{
    ApplyCalibration(FitToRound());
    // A map without a picture shows the grid alone: the view frames the round on it, as the
    // selection does, whatever scale the fit had to take.
    if (MapPictureMissing())
        FrameMapView(RoundPlaces(FSession.Events(), FSession.MapObjects()));
}

void TTarvelMain::Calibrate1Click()
{
    if (!FCalibrateForm)
        FCalibrateForm = new TCalibrateForm(*this);
    FCalibrateForm->MapChanged();
    FCalibrateForm->SlidersMoved();
    FCalibrateForm->show();
    FCalibrateForm->raise();
    FCalibrateForm->activateWindow();
}

void TTarvelMain::CalibrationMoved()
{
    if (FCalibrateForm)
        FCalibrateForm->SlidersMoved();
}

bool TTarvelMain::MapViewMouse(QEvent* event)
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

std::optional<TMapPick> TTarvelMain::PickAt(QPoint zoomed) const
{
    const long double zoom = FZoom / 1000.0L;
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
    for (int i = FSession.PlayerStates().Count() - 1; i >= 0; --i) {
        const TInfoClass& s = *FSession.PlayerStates().State(i);
        if (!s.LastEvent)
            continue;
        const TMarker& m = s.Image;
        const QImage* picture = FSession.PlayerStates().Pictures().Painted(m);
        consider(CheckedAdd(m.Left, DivTrunc(m.Width, 2)), CheckedAdd(m.Top, DivTrunc(m.Height, 2)),
                 PickRadius(picture ? *picture : QImage()), s.LastEvent->PosX, s.LastEvent->PosZ, s.PlayerName);
    }
    if (!FView.showObjects)
        return best;
    for (int i = FSession.MapObjects().Count() - 1; i >= 0; --i) {
        const TMapObject& o = *FSession.MapObjects().Object(i);
        const bool flag = o.FObjectClass == "controlpoint";
        if (IsMapObjectInUse(o) || (flag && !FView.showFlags))
            continue;
        const int x = CheckedAdd(WorldToMapX(o.FX), FCalibration.LeftMargin());
        const int y = CheckedAdd(WorldToMapY(o.FZ), FCalibration.TopMargin());
        consider(x, y, flag ? 12.5 : PickRadius(o.FImage.Picture()), o.FX, o.FZ, flag ? "the flag" : o.FObjectClass);
    }
    return best;
}
