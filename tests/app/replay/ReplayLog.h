#pragma once

// A window that has opened one of the small logs of LogText.h.

#include "../WindowTestUtil.h"
#include "../../replay/LogText.h"
#include "app/OpenDialog.h"

#include <QListWidget>

#include <cmath>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

namespace replaylog {

// The main window with a log opened; Select double-clicks a round. A small log's text opens
// in a home folder of its own, with the settings and the map objects given; a log file opens
// in the window of the built program, with its shipped pictures and maps, not drawing.
class TReplay {
public:
    explicit TReplay(const std::string& log, const std::string& ini = "", const std::string& objects = "")
        : window(Prepare(home, ini, objects))
    {
        window.SetStopReplayWait(0);
        window.OpenLog(home.Dir.Write("log.xml", log));
    }
    enum TShipped { Shipped };
    // `prepare` runs before the log opens.
    TReplay(TShipped, const std::string& logFile, const std::function<void(TTarvelMain&)>& prepare = {})
        : window(std::string(ORNWICK_BIN_DIR) + "/Tarvel")
    {
        window.SetStopReplayWait(0);
        window.SetDrawThreadEnabled(false);
        if (prepare)
            prepare(window);
        window.OpenLog(logFile);
    }
    void Select(int item)
    {
        window.ListBox1->setCurrentRow(item);
        window.ListBox1DblClick();
    }
    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i)
            window.Timer1Timer();
    }
    // As the running timer ticks, at most `count` times; errors reported as the timer's are.
    void TimerTicks(int count)
    {
        for (int i = 0; i < count && window.Timer1->isActive(); ++i)
            RunHandler([this] { window.Timer1Timer(); });
    }
    void Seek(double seconds)
    {
        RunHandler([&] { window.SeekTo(seconds); });
    }
    // All of the replay as the replay command prints it, the markers' pictures included.
    std::string State() { return ReplayStateText(window); }
    // Ticks until the event at `index` has been applied in order (a bounded number of times).
    void TickTo(int index, int limit = 10000)
    {
        for (int i = 0; i < limit && window.EventIndex() < index; ++i)
            window.Timer1Timer();
    }
    // Ticks as the timer would while it runs; the number of ticks.
    int RunToEnd(int limit = 100000)
    {
        int ticks = 0;
        while (window.Timer1->isActive() && ticks < limit) {
            ++ticks;
            window.Timer1Timer();
        }
        return ticks;
    }
    TInfoClass* Find(int id) const { return window.PlayerStates().Find(std::to_string(id)); }
    TInfoClass& State(int id) const
    {
        if (TInfoClass* state = Find(id))
            return *state;
        throw std::runtime_error("no state for player " + std::to_string(id));
    }

    TSeparatorScope point{'.'};
    THome home;
    TErrorCapture errors; // before the window: it reports until it is gone
    TTarvelMain window;

private:
    static std::string Prepare(const THome& home, const std::string& ini, const std::string& objects)
    {
        std::filesystem::create_directory(home.Dir.Path("images"));
        if (!ini.empty())
            home.Dir.Write("Tarvel.ini", ini);
        if (!objects.empty())
            home.Dir.Write("images/bayOBS.con", objects);
        return home.Exe();
    }
};

} // namespace replaylog
