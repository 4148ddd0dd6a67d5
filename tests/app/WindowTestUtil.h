#pragma once

// Helpers for the tests that build the real windows offscreen.

#include "TestUtil.h"
#include "app/Headless.h"
#include "app/UTarvelMain.h"
#include "base/ErrorReporting.h"
#include "base/TextList.h"
#include "xmltree/wexXMLTree.h"

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

// Reaches the window's private state.
class TTarvelMainTest {
public:
    static TSettingsFile& Settings(TTarvelMain& window) { return window.FSettings; }
    static TwexXMLTree& Document(TTarvelMain& window) { return window.FDocument; }
    static TwexXMLNode*& RoundNode(TTarvelMain& window) { return window.FRoundNode; }
    static bool SettingsRead(TTarvelMain& window) { return window.FSettings.WasRead(); }
    static TPictureHolder& MapImage(TTarvelMain& window) { return window.FMapImage; }
    static void SetMargins(TTarvelMain& window, int left, int top)
    {
        window.FReplay.Map().Calibration().SetLeftMargin(left);
        window.FReplay.Map().Calibration().SetTopMargin(top);
    }
    static int CorrectionY(TTarvelMain& window) { return window.FCorrectionY; }
};

// Everything a replay leaves, as the replay command prints it, and the markers' pictures as
// painted in their teams' colours.
inline std::string ReplayStateText(TTarvelMain& window)
{
    std::ostringstream out;
    PrintReplay(out, window, window.ReplayTicks());
    for (int i = 0; i < window.PlayerStates().Count(); ++i) {
        const QImage* painted = window.PlayerStates().Pictures().Painted(window.PlayerStates().State(i)->Image);
        const QImage picture = painted ? *painted : QImage();
        out << picture.format() << ' ' << picture.width() << 'x' << picture.height();
        // Row by row: the padding at the rows' ends is no part of the picture.
        const size_t row = static_cast<size_t>(picture.width() * picture.depth() / 8);
        for (int y = 0; y < picture.height(); ++y)
            out << ' ' << qHashBits(picture.constScanLine(y), row);
        out << '\n';
    }
    return out.str();
}

// Collects the messages of reported errors while it lives.
class TErrorCapture {
public:
    TErrorCapture()
    {
        FPrevious = SetErrorSink([this](const std::string& message) { Messages.push_back(message); });
    }
    ~TErrorCapture() { SetErrorSink(std::move(FPrevious)); }
    std::vector<std::string> Messages;

private:
    TErrorSink FPrevious;
};

// A folder that stands in for the program's own: "Tarvel" is the program's name in it.
class THome {
public:
    std::string Exe() const { return Dir.Path("Tarvel"); }
    std::string Ini() const { return Dir.Path("Tarvel.ini"); }
    TTempDir Dir;
};

// The nearest ancestor that carries a name of the program's (Qt's helpers are unnamed or "qt_...").
inline QString NamedParent(const QWidget& widget)
{
    for (QWidget* parent = widget.parentWidget(); parent; parent = parent->parentWidget())
        if (!parent->objectName().isEmpty() && !parent->objectName().startsWith(QStringLiteral("qt_")))
            return parent->objectName();
    return QString();
}

// Runs `act`, which opens a modal window, and hands that window to `answer` once it shows;
// `answer` closes it (when it does not, it is closed for it). Returns whether a modal window came up at all.
inline bool WithModal(const std::function<void()>& act, const std::function<void(QWidget&)>& answer)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll.stop();
            seen = true;
            answer(*modal);
            if (QApplication::activeModalWidget() == modal)
                modal->close(); // the answer failed; never leave a test waiting

        }
    });
    poll.start();
    act();
    poll.stop();
    return seen;
}
