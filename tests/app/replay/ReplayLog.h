#pragma once

// A window that has opened one of the small logs of LogText.h.

#include "../WindowTestUtil.h"
#include "../../replay/LogText.h"
#include "app/OpenDialog.h"

#include <QListWidget>

#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>

namespace replaylog {

// The main window with the log opened; Select double-clicks a round.
class TReplay {
public:
    explicit TReplay(const std::string& log, const std::string& ini = "", const std::string& objects = "")
        : window(Prepare(home, ini, objects))
    {
        window.SetStopReplayWait(0);
        window.OpenDialog1->FileName = home.Dir.Write("log.xml", log);
        window.OpenLog();
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
