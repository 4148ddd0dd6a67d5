#include "app/mapview/ExportDialogs.h"

#include "app/Controls.h"
#include "base/Files.h"
#include "replay/ReplayMath.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString FileNameText(const std::string& fileName) { return QFile::decodeName(QByteArray::fromStdString(fileName)); }

std::string FileNameBytes(const QString& text) { return QFile::encodeName(text).toStdString(); }

template <typename T>
T* Named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = Named(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog), "Buttons");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// Seconds from the round's start shown as a time of day; a day is the most a time edit holds.
QTime Elapsed(double seconds)
{
    return QTime(0, 0).addSecs(static_cast<int>(std::clamp(std::floor(seconds), 0.0, 86399.0)));
}

} // namespace

TFileNameRow::TFileNameRow(QWidget* parent, const std::string& fileName, const QString& filter, const char* extension)
    : QWidget(parent), FFilter(filter), FExtension(extension)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Edit = Named(new QLineEdit(FileNameText(fileName), this), "EFileName");
    Edit->setMinimumWidth(320);
    auto* browse = Named(new QPushButton(QString::fromUtf8("Browse\u2026"), this), "BBrowse");
    layout->addWidget(Edit, 1);
    layout->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save as"), Edit->text(), FFilter);
        if (!chosen.isEmpty())
            Edit->setText(chosen);
    });
}

std::string TFileNameRow::FileName() const
{
    std::string name = FileNameBytes(Edit->text().trimmed());
    if (!name.empty() && ExtractFileExt(ExtractFileName(name)).empty())
        name += FExtension;
    return name;
}

// ---------------------------------------------------------------------------------------------

TExportFrameDialog::TExportFrameDialog(QWidget* parent, const std::string& fileName, bool wholeMap) : QDialog(parent)
{
    setObjectName(QStringLiteral("ExportFrame"));
    setWindowTitle(QStringLiteral("Export frame"));
    auto* layout = new QVBoxLayout(this);
    FVisible = Named(new QRadioButton(QStringLiteral("What the map view shows"), this), "RBVisible");
    FWhole = Named(new QRadioButton(QStringLiteral("The whole zoomed map"), this), "RBWhole");
    (wholeMap ? FWhole : FVisible)->setChecked(true);
    FFile = new TFileNameRow(this, fileName, QStringLiteral("PNG picture (*.png);;JPEG picture (*.jpg *.jpeg)"), ".png");
    layout->addWidget(FVisible);
    layout->addWidget(FWhole);
    layout->addWidget(new QLabel(QStringLiteral("Save as (.png or .jpg):"), this));
    layout->addWidget(FFile);
    auto* buttons = OkCancel(this);
    layout->addWidget(buttons);
    auto update = [this, buttons] { buttons->button(QDialogButtonBox::Ok)->setEnabled(!FileName().empty()); };
    connect(FFile->Edit, &QLineEdit::textChanged, this, update);
    update();
}

bool TExportFrameDialog::WholeMap() const { return FWhole->isChecked(); }

// ---------------------------------------------------------------------------------------------

TExportVideoDialog::TExportVideoDialog(QWidget* parent, const TVideoDialogSetup& setup) : QDialog(parent), FSetup(setup)
{
    setObjectName(QStringLiteral("ExportVideo"));
    setWindowTitle(QStringLiteral("Export video"));
    auto* form = new QFormLayout(this);

    const QTime length = Elapsed(setup.roundEnd - setup.roundStart);
    FFrom = Named(new QTimeEdit(QTime(0, 0), this), "TEFrom");
    FTo = Named(new QTimeEdit(length, this), "TETo");
    for (QTimeEdit* edit : {FFrom, FTo}) {
        edit->setDisplayFormat(QStringLiteral("H:mm:ss"));
        edit->setTimeRange(QTime(0, 0), length);
    }
    form->addRow(QStringLiteral("From (time in the round):"), FFrom);
    form->addRow(QStringLiteral("To:"), FTo);

    FSpeed = Named(new QSpinBox(this), "SESpeed");
    FSpeed->setRange(1, 100);
    FSpeed->setPrefix(QStringLiteral("x"));
    FSpeed->setValue(setup.speed);
    form->addRow(QStringLiteral("Replay speed:"), FSpeed);
    FFps = Named(new QSpinBox(this), "SEFps");
    FFps->setRange(10, 60);
    FFps->setValue(setup.fps);
    form->addRow(QStringLiteral("Frames per second:"), FFps);

    FSize = Named(new QComboBox(this), "CBSize");
    FSize->addItem(QString::fromUtf8("The visible part of the map view (%1 \u00d7 %2)")
                       .arg(std::min(setup.view.width(), setup.mapSide))
                       .arg(std::min(setup.view.height(), setup.mapSide)),
                   QStringLiteral("view"));
    FSize->addItem(QString::fromUtf8("The whole zoomed map (%1 \u00d7 %1)").arg(setup.mapSide), QStringLiteral("map"));
    FSize->addItem(QString::fromUtf8("A square of 720 \u00d7 720 pixels"), QStringLiteral("720"));
    FSize->addItem(QString::fromUtf8("A square of 1080 \u00d7 1080 pixels"), QStringLiteral("1080"));
    FSize->setCurrentIndex(std::max(0, FSize->findData(QString::fromStdString(setup.size))));
    form->addRow(QStringLiteral("Size:"), FSize);

    FFollow = Named(new QComboBox(this), "CBFollow");
    FFollow->addItem(QStringLiteral("Nobody"), QString());
    for (const auto& [key, caption] : setup.players)
        FFollow->addItem(Latin1(caption), QString::fromStdString(key));
    FFollow->setCurrentIndex(std::max(0, FFollow->findData(QString::fromStdString(setup.track))));
    form->addRow(QStringLiteral("Follow:"), FFollow);

    FFile = new TFileNameRow(this, setup.fileName, QStringLiteral("MP4 video (*.mp4)"), ".mp4");
    form->addRow(QStringLiteral("Save as:"), FFile);
    FSummary = Named(new QLabel(this), "LSummary");
    form->addRow(FSummary);
    FButtons = OkCancel(this);
    form->addRow(FButtons);

    for (QTimeEdit* edit : {FFrom, FTo})
        connect(edit, &QTimeEdit::timeChanged, this, [this] { Update(); });
    for (QSpinBox* box : {FSpeed, FFps})
        connect(box, &QSpinBox::valueChanged, this, [this] { Update(); });
    connect(FSize, &QComboBox::currentIndexChanged, this, [this] { Update(); });
    connect(FFile->Edit, &QLineEdit::textChanged, this, [this] { Update(); });
    Update();
}

double TExportVideoDialog::From() const { return FSetup.roundStart + QTime(0, 0).secsTo(FFrom->time()); }

double TExportVideoDialog::To() const
{
    // The end of the time range stands for the round's own end, a fraction of a second included.
    if (FTo->time() == FTo->maximumTime())
        return FSetup.roundEnd;
    return FSetup.roundStart + QTime(0, 0).secsTo(FTo->time());
}

void TExportVideoDialog::Update()
{
    const bool span = To() > From();
    bool fits = true;
    if (span) {
        const long long frames = FSetup.events ? TVideoTimeline(*FSetup.events, From(), To(), FSpeed->value(), FFps->value()).FrameCount() : 1;
        const QSize size = FrameSize();
        fits = frames <= MaxVideoFrames;
        if (fits) {
            const int seconds = static_cast<int>(std::ceil(static_cast<double>(frames) / FFps->value()));
            FSummary->setText(QString::fromUtf8("%1 frames of %2 \u00d7 %3 pixels, %4 of video")
                                  .arg(frames)
                                  .arg(size.width())
                                  .arg(size.height())
                                  .arg(Latin1(ElapsedCaption(seconds))));
        } else {
            FSummary->setText(QStringLiteral("%1 frames, more than %2: film a shorter span, at a higher speed or fewer frames a second.")
                                  .arg(frames)
                                  .arg(MaxVideoFrames));
        }
    } else {
        FSummary->setText(QStringLiteral("The span must end after it starts."));
    }
    FButtons->button(QDialogButtonBox::Ok)->setEnabled(span && fits && !FileName().empty());
}

QSize TExportVideoDialog::FrameSize() const
{
    // As the export makes them: within the zoomed map, the sides even.
    const std::string key = SizeKey();
    QSize size(FSetup.mapSide, FSetup.mapSide);
    if (key == "view")
        size = FSetup.view.boundedTo(size);
    else if (key != "map")
        size = QSize(std::stoi(key), std::stoi(key));
    return QSize(size.width() - size.width() % 2, size.height() - size.height() % 2);
}

std::string TExportVideoDialog::SizeKey() const { return FSize->currentData().toString().toStdString(); }

TVideoOptions TExportVideoDialog::Options(TVideoOptions options) const
{
    options.from = From();
    options.to = To();
    options.speed = FSpeed->value();
    options.fps = FFps->value();
    const std::string size = SizeKey();
    options.area = size == "view" ? TVideoArea::View : size == "map" ? TVideoArea::WholeMap : TVideoArea::Square;
    if (options.area == TVideoArea::Square)
        options.square = std::stoi(size);
    options.track = FFollow->currentData().toString().toStdString();
    return options;
}
