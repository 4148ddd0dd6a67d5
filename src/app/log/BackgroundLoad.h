#pragma once

// Big logs load on a worker thread behind a progress dialog that can cancel, while the window
// keeps painting; every other log loads at once.

#include <memory>
#include <string>

class QWidget;
class TLogLoader;
class TwexXMLTree;

class TBackgroundLoad {
public:
    // `window`: the dialog's parent, closed after a load that a close cancelled.
    explicit TBackgroundLoad(QWidget& window) : FWindow(window) {}

    // Whether a log whose text is expected to pass a few megabytes loads in the background (the
    // program's window) or at once as every other (the headless tool, the tests that do not ask
    // for it). Both end alike.
    void SetEnabled(bool on) { FEnabled = on; }
    // How long a load runs before its dialog shows, in milliseconds (500).
    void SetDialogDelay(int milliseconds) { FDialogDelay = milliseconds; }
    bool Loading() const { return FLoader != nullptr; }

    // The log loaded on a worker while the dialog shows, or nothing when it is to load at once;
    // raises ELoadCancelled, having changed nothing, when it was cancelled. `like`: the tree the
    // loaded one replaces.
    std::unique_ptr<TLogLoader> Load(const std::string& fileName, const TwexXMLTree& like);
    // A close asked for during a load cancels it, and the window closes after it: whether one ran.
    bool CloseAfterLoad();

private:
    QWidget& FWindow;
    bool FEnabled = false;
    int FDialogDelay = 500;
    TLogLoader* FLoader = nullptr; // the load under way
    bool FCloseAfterLoad = false;
};
