#include "app/mapview/CalibrateForm.h"

#include "app/UTarvelMain.h"
#include "base/ErrorReporting.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char PickHint[] = "Click a flag, a vehicle or a player's marker on the map, then the place on the picture "
                        "where it really lies. Players count at their last event: stop the replay and switch "
                        "Animate off for the best pairs.";

template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString Decimal(double value, int places) { return QString::number(value, 'f', places); }

} // namespace

TCalibrateForm::TCalibrateForm(TTarvelMain& main) : QWidget(&main, Qt::Tool), FMain(main)
{
    setObjectName(QStringLiteral("CalibrateForm"));
    setWindowTitle(QStringLiteral("Calibrate"));
    setFont(ProgramFont());
    auto* column = new QVBoxLayout(this);

    LHint = Named(new QLabel(QString::fromLatin1(PickHint)), "LHint");
    LHint->setWordWrap(true);
    column->addWidget(LHint);

    LVPairs = Named(new QTreeWidget, "LVPairs");
    LVPairs->setRootIsDecorated(false);
    LVPairs->setSelectionBehavior(QAbstractItemView::SelectRows);
    LVPairs->setHeaderLabels({QStringLiteral("World X"), QStringLiteral("World Z"), QStringLiteral("Map x"),
                              QStringLiteral("Map y"), QStringLiteral("Error (px)")});
    LVPairs->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    LVPairs->setMinimumHeight(120);
    column->addWidget(LVPairs);

    auto* pairButtons = new QHBoxLayout;
    BRemovePair = Named(new QPushButton(QStringLiteral("Remove")), "BRemovePair");
    BClearPairs = Named(new QPushButton(QStringLiteral("Clear")), "BClearPairs");
    pairButtons->addWidget(BRemovePair);
    pairButtons->addWidget(BClearPairs);
    pairButtons->addStretch();
    column->addLayout(pairButtons);

    LSolution = Named(new QLabel, "LSolution");
    LSolution->setWordWrap(true);
    column->addWidget(LSolution);
    BApply = Named(new QPushButton(QStringLiteral("Apply")), "BApply");
    column->addWidget(BApply, 0, Qt::AlignLeft);

    auto* fields = new QFormLayout;
    SEXas = BoundField(main.TBXas, MinCalibrationScale, MaxCalibrationScale);
    SEYas = BoundField(main.TBYas, MinCalibrationScale, MaxCalibrationScale);
    SELeft = BoundField(main.TBLeft, MinCalibrationOffset, MaxCalibrationOffset);
    SETop = BoundField(main.TBTop, MinCalibrationOffset, MaxCalibrationOffset);
    Named(SEXas, "SEXas");
    Named(SEYas, "SEYas");
    Named(SELeft, "SELeft");
    Named(SETop, "SETop");
    fields->addRow(QStringLiteral("X scale"), SEXas);
    fields->addRow(QStringLiteral("Y scale"), SEYas);
    fields->addRow(QStringLiteral("Left"), SELeft);
    fields->addRow(QStringLiteral("Top"), SETop);
    column->addLayout(fields);

    auto* mapButtons = new QHBoxLayout;
    BFitToRound = Named(new QPushButton(QStringLiteral("Fit to round")), "BFitToRound");
    BSave = Named(new QPushButton(QStringLiteral("Save")), "BSave");
    BSave->setToolTip(QStringLiteral("Stores the four values for this map, as the Admin page's Save"));
    mapButtons->addWidget(BFitToRound);
    mapButtons->addWidget(BSave);
    mapButtons->addStretch();
    column->addLayout(mapButtons);

    connect(BRemovePair, &QPushButton::clicked, this, [this] {
        const QModelIndex current = LVPairs->currentIndex();
        if (current.isValid())
            RemovePair(current.row());
    });
    connect(BClearPairs, &QPushButton::clicked, this, [this] { ClearPairs(); });
    connect(BApply, &QPushButton::clicked, this, [this] { ApplyClick(); });
    connect(BFitToRound, &QPushButton::clicked, this, [this] { RunHandler([this] { FMain.MapTools().FitToRound1Click(); }); });
    connect(BSave, &QPushButton::clicked, this, [this] { RunHandler([this] { FMain.BSaveSettingsPerMapClick(); }); });

    FPairsMap = main.MapName();
    SlidersMoved();
    resize(360, 420);
}

QSpinBox* TCalibrateForm::BoundField(QSlider* bar, int min, int max)
{
    auto* field = new QSpinBox;
    field->setRange(min, max);
    // The value goes to the slider when it is complete, not at every digit typed.
    field->setKeyboardTracking(false);
    connect(field, &QSpinBox::valueChanged, this, [this, bar](int value) { FieldChanged(bar, value); });
    return field;
}

void TCalibrateForm::FieldChanged(QSlider* bar, int value)
{
    RunHandler([&] {
        FMain.SetTrackBarPosition(bar, value);
        // A moved offset shows at once here, not only at the next frame.
        FMain.SetLayoutChanged();
    });
    SlidersMoved();
}

void TCalibrateForm::SlidersMoved()
{
    const TCalibration calibration = FMain.Calibration();
    const std::pair<QSpinBox*, int> bound[] = {
        {SEXas, calibration.XScale}, {SEYas, calibration.YScale}, {SELeft, calibration.Left}, {SETop, calibration.Top}};
    for (const auto& [field, value] : bound) {
        const QSignalBlocker quiet(field);
        field->setValue(value);
    }
    // Without a solution the errors are those of the sliders, which just changed.
    if (!FSolution)
        Refresh();
}

void TCalibrateForm::MapChanged()
{
    if (FMain.MapName() == FPairsMap)
        return;
    FPairsMap = FMain.MapName();
    FPairs.clear();
    FPending.reset();
    LHint->setText(QString::fromLatin1(PickHint));
    Refresh();
}

void TCalibrateForm::MapClicked(QPoint zoomed)
{
    MapChanged();
    if (!FPending) {
        FPending = FMain.MapTools().PickAt(zoomed);
        LHint->setText(FPending ? "Now click where " + Latin1(FPending->Name) + " really lies on the picture "
                                  "(right click: pick again)."
                                : QStringLiteral("Nothing to pick there: click a flag, a vehicle or a player's "
                                                 "marker."));
        return;
    }
    const double zoom = FMain.Zoom() / 1000.0;
    AddPair({FPending->X, FPending->Z, zoomed.x() / zoom, zoomed.y() / zoom});
    FPending.reset();
    LHint->setText(QString::fromLatin1(PickHint));
}

void TCalibrateForm::CancelPick()
{
    FPending.reset();
    LHint->setText(QString::fromLatin1(PickHint));
}

void TCalibrateForm::AddPair(const TReferencePair& pair)
{
    FPairs.push_back(pair);
    Refresh();
}

void TCalibrateForm::RemovePair(int index)
{
    if (index < 0 || index >= static_cast<int>(FPairs.size()))
        return;
    FPairs.erase(FPairs.begin() + index);
    Refresh();
}

void TCalibrateForm::ClearPairs()
{
    FPairs.clear();
    Refresh();
}

void TCalibrateForm::ApplyClick()
{
    if (FSolution)
        RunHandler([this] { FMain.MapTools().ApplyCalibration(*FSolution); });
}

void TCalibrateForm::Refresh()
{
    const int height = FMain.MapImage().Height;
    FSolution.reset();
    QString solution;
    if (FPairs.empty()) {
        solution = QStringLiteral("No pairs yet.");
    } else {
        try {
            const TCalibration c = SolveCalibration(FPairs, height);
            FSolution = c;
            solution = QStringLiteral("The pairs give X scale %1, Y scale %2, Left %3, Top %4.")
                           .arg(c.XScale)
                           .arg(c.YScale)
                           .arg(c.Left)
                           .arg(c.Top);
        } catch (const std::exception& e) {
            solution = Latin1(e.what()) + '.';
        }
    }
    LSolution->setText(solution);
    BApply->setEnabled(FSolution.has_value());

    // Each pair's error with the solution, or with the sliders while there is none.
    const TCalibration measured = FSolution ? *FSolution : FMain.Calibration();
    LVPairs->clear();
    for (const TReferencePair& pair : FPairs) {
        QString error;
        RunHandler([&] { error = Decimal(PairResidual(measured, height, pair), 1); });
        LVPairs->addTopLevelItem(new QTreeWidgetItem(
            {QString::number(pair.WorldX, 'g', 10), QString::number(pair.WorldZ, 'g', 10), Decimal(pair.MapX, 1),
             Decimal(pair.MapY, 1), error}));
    }
    LVPairs->headerItem()->setText(4, FSolution ? QStringLiteral("Error (px)")
                                                : QStringLiteral("Error now (px)"));
    BRemovePair->setEnabled(!FPairs.empty());
    BClearPairs->setEnabled(!FPairs.empty());
}
