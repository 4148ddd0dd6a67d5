// The tool's commands that exist to show the window: its controls and the About window's, each
// built in an offscreen application with widgets. Every other command is the model's (tool/).
#include "app/Headless.h"

#include "app/Controls.h"
#include "app/UAboutForm.h"
#include "app/UTarvelMain.h"
#include "app/WidgetDump.h"
#include "replay/ReplaySession.h"
#include "tool/Ornwick.h"
#include "tool/ReplayShown.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <memory>
#include <ostream>

namespace {

// Windows need a GUI application with widgets; the tool makes an offscreen one unless one
// exists (tests).
class TWindowScope : public TToolScope {
public:
    TWindowScope()
    {
        if (!QApplication::instance()) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            static int argc = 1;
            static char name[] = "ornwick";
            static char* argv[] = {name, nullptr};
            FApp = std::make_unique<QApplication>(argc, argv);
        }
    }

private:
    std::unique_ptr<QApplication> FApp;
};

int Widgets(TContext& c)
{
    const std::string exeName = TarvelPath(c);
    TWindowScope scope;
    // Built and shown as the program does; the tool never writes the settings file.
    TTarvelMain window(exeName);
    window.show();
    QCoreApplication::processEvents();
    c.out << WidgetTreeJson(window) << MenuItemsJson(*window.MainMenu1);
    return scope.Finish(c.out, c.err);
}

int About(TContext& c)
{
    const std::string exeName = TarvelPath(c);
    TWindowScope scope;
    TAboutForm form(nullptr, exeName);
    form.show(); // loads the logo
    QCoreApplication::processEvents();
    c.out << WidgetTreeJson(form);
    return scope.Finish(c.out, c.err);
}

} // namespace

int RunOrnwick(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    return RunTool(argc, argv, out, err, {{"widgets", Widgets}, {"about", About}});
}

void PrintReplay(std::ostream& out, TTarvelMain& window, int ticks)
{
    TReplayShown shown;
    shown.ticks = ticks;
    shown.replayTime = window.ReplayTime();
    shown.roundStartTime = window.RoundStartTime();
    shown.eventIndex = window.EventIndex();
    shown.timeCaption = window.LTime->Caption();
    shown.lengthCaption = window.Label12->Caption();
    shown.timeLineMin = window.TBTime->minimum();
    shown.timeLineValue = window.TBTime->value();
    shown.timeLineMax = window.TBTime->maximum();
    shown.timer = window.Timer1->isActive();
    shown.states = &window.PlayerStates();
    shown.objects = &window.MapObjects();
    for (int i = 0; i < window.ScoreBord->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = window.ScoreBord->topLevelItem(i);
        std::vector<std::string> cells;
        for (int column = 0; column < 8; ++column)
            cells.push_back(window.ScoreBordRows().CellText(row, column));
        shown.rows.push_back(std::move(cells));
    }
    shown.log = FromLatin1(window.Memo1->toPlainText());
    PrintShown(out, shown);
}
