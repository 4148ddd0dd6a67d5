// The replay clock as the window drives it: the timer ticks the session, and what a tick
// changed is shown; Stop, Continue and the speed drive it.
#include "app/UTarvelMain.h"
#include "app/mapview/MapPictures.h"
#include "app/replay/ReplayMenu.h"
#include "app/replay/RoundStatsForm.h"
#include "base/Convert.h"
#include "base/Errors.h"
#include "base/Numeric.h"
#include "replay/ReplayMath.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

void TTarvelMain::Timer1Timer()
{
    Timer1->stop();
    if (FStopRequested || FReplay.Session().EventIndex() == FReplay.Session().Events().Count())
        return;
    FReplay.Tick();
    if (FReplay.Running())
        Timer1->start();
    else
        RoundStatsForm().RoundEnded();
}

void TTarvelMain::AnimateMarkers() { FReplay.AnimateMarkers(); }

void TTarvelMain::ConnectReplay()
{
    TRoundReplay::THooks hooks;
    hooks.begun = [this] {
        ListBox1->lower();
        Label12->SetCaption(FReplay.LengthCaption());
        PlaceTimeLabels();
    };
    hooks.starting = [this] {
        FMapImports->TellMapNotice(true);
        if (!FReplay.Map().FittedPlaces().empty())
            FLayoutChanged = true; // the offsets' handlers leave the map to the next frame
        // Range first: the position then fits whichever round came before.
        TBTime->setRange(FReplay.TimeLineMin(), FReplay.TimeLineMax());
        TBTime->setValue(FReplay.TimeLineValue());
        TBTime->setTickInterval(TimeLineTickInterval(TBTime->minimum(), TBTime->maximum()));
        TBTime->setEnabled(true);
    };
    hooks.started = [this] {
        StartDrawThread();
        TBMApZoomChange();
        // Before the first tick: it is seen framed.
        ApplyFirstView();
        Timer1->start();
    };
    hooks.shown = [this](const TReplayReport& report) { ShowReplayReport(report); };
    FReplay.SetHooks(std::move(hooks));

    TRoundMap::THooks map;
    map.pictureMissed = [this](const std::string& name) { FMissingPictures->Add(name); };
    map.pictureLoaded = [this] {
        FMapImage.DecodeInBackground(); // while the round is selected, for its first frames
        FMapTools->MapPictureLoaded();
    };
    map.sliderMoved = [this](int TCalibration::*bar, int position, bool saved) {
        if (bar == &TCalibration::YScale && saved)
            FCorrectionY = position; // kept as saved, also where the slider cannot show it
        SetTrackBarPosition(bar == &TCalibration::XScale   ? TBXas
                            : bar == &TCalibration::YScale ? TBYas
                            : bar == &TCalibration::Left   ? TBLeft
                                                           : TBTop,
                            position);
    };
    FReplay.Map().SetHooks(std::move(map));
    FReplay.Map().SetImporter([this](const TwexXMLNode& round, const std::string&) { return FMapImports->ImportMissingMap(round); });
}

void TTarvelMain::ShowReplayReport(const TReplayReport& report)
{
    if (report.restarted) {
        // The score log as it was when the round was selected: the replay's own lines.
        RoundStatsForm().ForgetRoundEnd();
        QTextDocument& log = *Memo1->document();
        const int lines = static_cast<int>(FReplay.RoundStartLines());
        if (lines == 0) {
            Memo1->clear();
        } else if (log.blockCount() > lines) {
            QTextCursor cursor(log.findBlockByNumber(lines - 1));
            cursor.movePosition(QTextCursor::EndOfBlock);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        }
    }
    if (!report.scoreLog.empty()) {
        // One paragraph of many lines makes the blocks the appends one by one make.
        std::string text;
        for (size_t i = 0; i < report.scoreLog.size(); ++i) {
            if (i > 0)
                text += '\n';
            text += report.scoreLog[i];
        }
        Memo1->appendPlainText(Latin1(text));
    }
    if (report.elapsed || report.restarted)
        LTime->SetCaption(FReplay.TimeCaption());
    PlaceTimeLabels();
    if (report.timeLine)
        TBTime->setValue(*report.timeLine);
    FScoreBordRows->Mirror();
    if (report.eventsApplied || report.restarted)
        ScoreBord->viewport()->update();
    if (report.moved || report.restarted)
        FLayoutChanged = true;
}

void TTarvelMain::PlaceTimeLabels()
{
    // Label12 follows the widest time LTime shows in the round, its length as LTime shows it,
    // so that "15:49" and "954" never run together and the length does not jump when the
    // minutes gain a digit; as far from it as designed for a round under ten minutes, which
    // leaves it where it was designed.
    constexpr int Gap = 2;
    constexpr int DesignedLeft = 456;
    int32_t length = 0;
    TryStrToInt(Label12->Caption(), length);
    const QFontMetrics metrics(LTime->font());
    const int widest = std::max(LTime->width(), metrics.size(Qt::TextShowMnemonic, Latin1(ElapsedCaption(length))).width());
    Label12->move(std::max(DesignedLeft, LTime->x() + widest + Gap), Label12->y());
}

void TTarvelMain::BitBtn1Click()
{
    FStopRequested = true;
    ListBox1->raise();
    Memo1->lower();
}

void TTarvelMain::Button1Click()
{
    FStopRequested = false;
    FReplay.Continue();
    Timer1->start();
}

void TTarvelMain::TrackBar1Change()
{
    if (TrackBar1->value() < 0)
        throw ERangeError();
    FReplay.Options().interval = TrackBar1->value();
    Timer1->setInterval(FReplay.Options().interval);
    ReplayMenu().ShowSpeed();
}

void TTarvelMain::StopReplay()
{
    FStopRequested = true;
    Timer1->stop();
    // Blocks without handling window messages, so that no tick can run meanwhile.
    std::this_thread::sleep_for(std::chrono::milliseconds(FStopReplayWait));
    Timer1->stop();
}
