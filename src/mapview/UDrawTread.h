#pragma once

#include <QThread>

#include <atomic>
#include <functional>

// The draw loop: about every 100 ms it asks the main thread to draw a frame and waits until
// it has. It touches nothing else; the frame itself decides whether anything changed.
class TDrawTread : public QThread {
public:
    // `frame` runs on the thread of `receiver`, the main window's.
    TDrawTread(QObject* receiver, std::function<void()> frame);
    ~TDrawTread() override;

    void SetRunning(bool running) { FRunning = running; }
    bool Running() const { return FRunning; }
    // Clears the run flag and waits for the loop to end, meanwhile serving a frame it asked
    // for: the loop may be waiting for the main thread, which is the caller. Main thread only.
    void Stop();

protected:
    void run() override;

private:
    QObject* FReceiver;
    std::function<void()> FFrame;
    std::atomic<bool> FRunning{false};
};
