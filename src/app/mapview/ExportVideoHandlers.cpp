// "Export video…": a span of the selected round written as an H.264 MP4 by a replay of its own,
// with a progress dialog that keeps the window alive and can cancel.
#include "app/OpenDialog.h"
#include "app/UTarvelMain.h"
#include "base/Convert.h"
#include "base/Files.h"
#include "app/mapview/ExportDialogs.h"
#include "app/mapview/VideoExport.h"
#include "replay/ReplayMath.h"

#include <QCheckBox>
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

std::unique_ptr<TTarvelMain> TTarvelMain::ReplayCopy()
{
    if (!FRoundNode || FSession.Events().Count() == 0)
        throw EBaseError("No round is being replayed: double-click one in the list first");
    auto copy = std::make_unique<TTarvelMain>(FExeName);
    copy->SetDrawThreadEnabled(false);
    copy->SetStopReplayWait(0);
    copy->FSettings = FSettings;
    copy->FPictureMap = FPictureMap;
    // The roster as it stands here: the replay adds to it what the log lacks.
    for (const TPlayerInfo& player : FRoster) {
        TPlayerInfo& to = *copy->FRoster.AddPlayer();
        to.JoinTime = player.JoinTime;
        to.LeaveTime = player.LeaveTime;
        to.PlayerID = player.PlayerID;
        to.PlayerName = player.PlayerName;
        for (const TKillInfo& kill : player.Kills)
            *to.Kills.Emplace() = kill;
        for (const TKillInfo& kill : player.KilledBy)
            *to.KilledBy.Emplace() = kill;
    }
    // The round's own item, carrying this window's round element.
    QString caption;
    for (int i = 0; i < ListBox1->count(); ++i)
        if (RoundOfItem(i) == FRoundNode)
            caption = ListBox1->item(i)->text();
    auto* item = new QListWidgetItem(caption);
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(FRoundNode)));
    copy->ListBox1->addItem(item);

    const std::pair<QCheckBox*, QCheckBox*> switches[] = {{copy->CBAnimate, CBAnimate},
                                                          {copy->ShowHitLines, ShowHitLines},
                                                          {copy->ShowFlags, ShowFlags},
                                                          {copy->CBKillINfo, CBKillINfo},
                                                          {copy->CBShowobjects, CBShowobjects}};
    for (const auto& [to, from] : switches)
        to->setChecked(from->isChecked());
    copy->ReplayFromstart20Events->setChecked(false);
    // The overlays as the View menu has them here; the round statistics never pop up there.
    copy->Trails1->setChecked(Trails1->isChecked());
    copy->SetTrailSeconds(TrailSeconds());
    copy->DeathMap1->setChecked(DeathMap1->isChecked());
    copy->KillFeed1->setChecked(KillFeed1->isChecked());
    copy->RoundStatsAtEnd1->setChecked(false);
    copy->TBTimeToSeeLine->setValue(TBTimeToSeeLine->value());
    // The calibration as it stands here, before the selection and again after it, which sets
    // a map's saved one.
    auto calibrate = [&] {
        for (const auto& [to, from] : {std::pair{copy->TBXas, TBXas}, {copy->TBYas, TBYas}, {copy->TBLeft, TBLeft},
                                       {copy->TBTop, TBTop}, {copy->TBMApZoom, TBMApZoom}})
            copy->SetTrackBarPosition(to, from->value());
    };
    calibrate();
    copy->ListBox1->setCurrentRow(0);
    copy->ListBox1DblClick();
    copy->Timer1->blockSignals(true); // its clock moves when the export asks
    calibrate();
    return copy;
}

void TTarvelMain::ExportVideo1Click()
{
    if (!FRoundNode || FSession.Events().Count() == 0)
        throw EBaseError("No round is being replayed: double-click one in the list first");
    TVideoDialogSetup setup;
    setup.roundStart = FSession.RoundStartTime();
    setup.roundEnd = FSession.Events().GetEvent(FSession.Events().Count() - 1)->Timestamp;
    const QRect visible = VisibleMapRect(*this);
    setup.view = visible.size();
    setup.mapSide = MapZoomImage->width();
    for (int i = 0; i < ScoreBord->topLevelItemCount(); ++i)
        if (const TInfoClass* state = StateOfRow(ScoreBord->topLevelItem(i)))
            setup.players.emplace_back(PlayerKey(state->PlayerID),
                                       state->PlayerName + (state->Team() == 1 ? " (AXIS)" : " (ALIES)"));
    if (CBTrackPlayer->isChecked() && !ScoreBord->selectedItems().isEmpty())
        if (const TInfoClass* state = StateOfRow(ScoreBord->selectedItems().first()))
            setup.track = PlayerKey(state->PlayerID);
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
        folder = ExtractFilePath(OpenDialog1->FileName);
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
    // This replay waits while the copy plays the span, and goes on afterwards as it was.
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

    const std::unique_ptr<TTarvelMain> copy = ReplayCopy();
    TVideoExport video(*copy, options, fileName);
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
