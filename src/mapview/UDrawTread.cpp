#include "mapview/UDrawTread.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

#include <chrono>

TDrawTread::TDrawTread(QObject* receiver, std::function<void()> frame)
    : FReceiver(receiver), FFrame(std::move(frame))
{
}

TDrawTread::~TDrawTread() { Stop(); }

void TDrawTread::run()
{
    using Clock = std::chrono::steady_clock;
    while (FRunning) {
        QMetaObject::invokeMethod(FReceiver, [this] { FFrame(); }, Qt::BlockingQueuedConnection);
        const Clock::time_point asked = Clock::now();
        while (Clock::now() - asked < std::chrono::milliseconds(100)) {
            QThread::msleep(1);
            if (!FRunning)
                return;
        }
    }
}

void TDrawTread::Stop()
{
    FRunning = false;
    while (!wait(QDeadlineTimer(5)))
        QCoreApplication::sendPostedEvents(FReceiver, QEvent::MetaCall);
}
