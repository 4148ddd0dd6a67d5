// The draw thread: its pace, its end, and a shutdown while it waits for the main thread.
#include "../WindowTestUtil.h"
#include "../replay/ReplayLog.h"
#include "mapview/UDrawTread.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

using namespace replaylog;

namespace {

// Ends the test program when the guarded code outlasts the limit: a deadlock would otherwise
// hang the whole run.
class TWatchdog {
public:
    TWatchdog(std::chrono::milliseconds limit, const char* what)
        : FThread([this, limit, what] {
              std::unique_lock lock(FMutex);
              if (!FDone.wait_for(lock, limit, [this] { return FFinished; })) {
                  std::fprintf(stderr, "watchdog: %s took too long\n", what);
                  std::abort();
              }
          })
    {
    }
    ~TWatchdog()
    {
        {
            std::lock_guard lock(FMutex);
            FFinished = true;
        }
        FDone.notify_one();
        FThread.join();
    }

private:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FFinished = false;
    std::thread FThread; // last: it reads the members above
};

// Counts the calls queued to an object from other threads that it has served.
class TQueuedCalls : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::MetaCall;
        return false;
    }
};

void RunEventLoop(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

TEST(DrawThread, AsksForAFrameAboutEveryHundredMillisecondsOnTheReceiversThread)
{
    QObject receiver;
    int frames = 0;
    bool onMainThread = true;
    TDrawTread thread(&receiver, [&] {
        ++frames;
        onMainThread = onMainThread && QThread::currentThread() == receiver.thread();
    });
    // Created not running: started so, the loop ends at once.
    EXPECT_FALSE(thread.Running());
    thread.start();
    ASSERT_TRUE(thread.wait(2000));
    EXPECT_EQ(frames, 0);

    thread.SetRunning(true);
    thread.start();
    RunEventLoop(350); // frames at about 0, 100, 200 and 300 ms
    EXPECT_GE(frames, 3);
    EXPECT_LE(frames, 5);
    EXPECT_TRUE(onMainThread);
    thread.Stop();
    EXPECT_TRUE(thread.isFinished());
    const int stopped = frames;
    RunEventLoop(150);
    EXPECT_EQ(frames, stopped);
}

TEST(DrawThread, StopEndsTheWaitBetweenFramesAtOnce)
{
    QObject receiver;
    QEventLoop loop;
    TDrawTread thread(&receiver, [&] { QTimer::singleShot(0, &loop, &QEventLoop::quit); });
    thread.SetRunning(true);
    thread.start();
    loop.exec(); // the first frame has been served: the thread now waits its 100 ms
    QElapsedTimer clock;
    clock.start();
    thread.Stop();
    // The run flag is read every millisecond, not only after the wait.
    EXPECT_LT(clock.elapsed(), 50);
    EXPECT_TRUE(thread.isFinished());
}

TEST(DrawThread, ClosingTheWindowWhileAFrameIsAskedForDoesNotDeadlock)
{
    TQueuedCalls calls; // outlives the window: its destructor serves the call
    auto replay = std::make_unique<TReplay>(Log(Round(Ev("spawnEvent", "10", 3, "20/0/20", {{"team", "1"}}) +
                                                      Ev("pickupKit", "12", 3, "20/0/20"))));
    TTarvelMain& window = replay->window;
    window.installEventFilter(&calls);
    replay->Select(0); // starts the draw thread
    ASSERT_TRUE(window.DrawThread().isRunning());
    // No event loop runs here: the thread's first request stays waiting for the main thread.
    QThread::msleep(200);
    EXPECT_EQ(calls.count, 0);
    EXPECT_TRUE(window.DrawThread().isRunning());
    {
        TWatchdog watchdog(std::chrono::seconds(5), "closing the window with a frame pending");
        replay.reset();
    }
    EXPECT_LE(calls.count, 1);
}
