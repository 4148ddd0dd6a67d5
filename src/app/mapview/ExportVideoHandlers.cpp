// "Export video…": a span of the selected round written as an H.264 MP4 by a replay of its own,
// with a progress dialog that keeps the window alive and can cancel.
#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "app/mapview/ExportMenu.h"
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

TVideoSource TExportMenu::VideoSource() const
{
    if (!FWindow.RoundNode() || FWindow.Events().Count() == 0)
        throw EBaseError("No round is being replayed: double-click one in the list first");
    return VideoSourceOf(FWindow.Replay(), FWindow.View());
}

bool TExportMenu::ExportVideo(const TVideoOptions& options, const std::string& fileName)
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
    } resume{FWindow.Timer1, FWindow.Timer1->isActive()};
    FWindow.Timer1->stop();

    TVideoExport video(VideoSource(), options, fileName);
    QProgressDialog progress(&FWindow);
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
