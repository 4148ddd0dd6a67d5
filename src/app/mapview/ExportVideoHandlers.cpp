// "Export video…": a span of the selected round written as an H.264 MP4 by a replay of its own,
// with a progress dialog that keeps the window alive and can cancel.
#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "app/mapview/ExportDialogs.h"
#include "app/mapview/VideoExport.h"
#include "replay/ReplayMath.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QProgressDialog>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <cmath>
#include <optional>

namespace {

QString ProgressText(int done, int count, double seconds)
{
    QString text = QStringLiteral("Frame %1 of %2").arg(done).arg(count);
    if (done > 0) {
        const double left = seconds / done * (count - done);
        text += QStringLiteral("\nAbout %1 left").arg(Latin1(ElapsedCaption(static_cast<int32_t>(std::ceil(left)))));
    }
    return text;
}

} // namespace

TVideoSource TTarvelMain::VideoSource() const
{
    if (!FRoundNode || FSession.Events().Count() == 0)
        throw EBaseError("No round is being replayed: double-click one in the list first");
    TVideoSource source;
    source.round = FRoundNode;
    source.roster = &FRoster;
    source.imageFolders = FFiles.ImageFolders();
    source.pictureMap = FPictureMap;
    source.objectFile = MapObjectFile(FMapName);
    source.settings = ReplaySettings();
    source.grid = FMapPictureMissing && FView.gridBackground;
    if (FMapImage.HasPicture())
        source.mapPicture = FMapImage.Picture();
    source.view = FView;
    source.font = FFrameFont;
    source.minZoom = TBMApZoom->minimum();
    source.maxZoom = TBMApZoom->maximum();
    source.mapOffset = MapZoomImage->pos();
    return source;
}

void TTarvelMain::ExportVideo1Click()
{
    if (!FRoundNode || FSession.Events().Count() == 0)
        throw EBaseError("No round is being replayed: double-click one in the list first");
    TVideoDialogSetup setup;
    setup.roundStart = FSession.RoundStartTime();
    setup.roundEnd = FSession.Events().GetEvent(FSession.Events().Count() - 1)->Timestamp;
    setup.events = &FSession.Events();
    const QRect visible = VisibleMapRect(*this);
    setup.view = visible.size();
    setup.mapSide = MapZoomImage->width();
    for (int i = 0; i < ScoreBord->topLevelItemCount(); ++i)
        if (const TInfoClass* state = TScoreBordRows::StateOfRow(ScoreBord->topLevelItem(i)))
            setup.players.emplace_back(PlayerKey(state->PlayerID),
                                       state->PlayerName + (state->Team() == 1 ? " (AXIS)" : " (ALIES)"));
    setup.track = FView.Tracked();
    auto number = [this](const char* key, int otherwise) {
        int value = otherwise;
        return TryStrToInt(FSettings.Values(key), value) ? value : otherwise;
    };
    setup.speed = number("VideoSpeed", 10);
    setup.fps = number("VideoFPS", 30);
    if (const std::string size = FSettings.Values("VideoSize"); !size.empty())
        setup.size = size;
    std::string folder = FSettings.Values("ExportFolder");
    if (folder.empty())
        folder = ExtractFilePath(FLogFileName);
    setup.fileName = folder + (FMapName.empty() ? std::string("round") : FMapName) + ".mp4";

    TExportVideoDialog dialog(this, setup);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const TVideoOptions options = dialog.Options(ViewOptions(*this));
    FSettings.SetValue("VideoSpeed", std::to_string(static_cast<int>(options.speed)));
    FSettings.SetValue("VideoFPS", std::to_string(options.fps));
    FSettings.SetValue("VideoSize", dialog.SizeKey());
    FSettings.SetValue("ExportFolder", ExtractFilePath(dialog.FileName()));
    ExportVideo(options, dialog.FileName());
}

bool TTarvelMain::ExportVideo(const TVideoOptions& options, const std::string& fileName)
{
    // This replay waits while the export's own plays the span, and goes on afterwards as it was.
    struct TResume {
        QTimer* timer;
        bool running;
        ~TResume()
        {
            if (running)
                timer->start();
        }
    } resume{Timer1, Timer1->isActive()};
    Timer1->stop();

    TVideoExport video(VideoSource(), options, fileName);
    QProgressDialog progress(this);
    progress.setObjectName(QStringLiteral("VideoProgress"));
    progress.setWindowTitle(QStringLiteral("Export video"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setRange(0, video.FrameCount());
    progress.setLabelText(QString::fromUtf8("Going to the start of the span\u2026"));
    progress.show();
    QCoreApplication::processEvents();
    // The time left is measured over the frames alone, not the way to the span's start.
    std::optional<std::chrono::steady_clock::time_point> started;
    while (!video.Done()) {
        if (progress.wasCanceled())
            return false; // the encoder takes its temporary file with it
        video.Step();
        if (!started) {
            started = std::chrono::steady_clock::now();
            continue;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - *started).count();
        progress.setValue(video.FramesDone());
        progress.setLabelText(ProgressText(video.FramesDone(), video.FrameCount(), seconds));
        QCoreApplication::processEvents();
    }
    if (progress.wasCanceled())
        return false;
    progress.setLabelText(QString::fromUtf8("Finishing the video\u2026"));
    QCoreApplication::processEvents();
    video.Finish();
    return true;
}
