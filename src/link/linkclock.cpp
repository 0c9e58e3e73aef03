#include "link/linkclock.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
class QtTimer : public LinkTimer
{
public:
    explicit QtTimer(std::function<void()> callback)
    {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout,
                         [callback = std::move(callback)] { callback(); });
    }
    void start(int ms) override { timer.start(ms); }
    void stop() override { timer.stop(); }
    bool isActive() const override { return timer.isActive(); }

private:
    QTimer timer;
};

qint64 monotonicNs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.nsecsElapsed();
}
} // namespace

SystemClock::SystemClock() : startNs(monotonicNs()) {}

qint64 SystemClock::nowMs() const
{
    return (monotonicNs() - startNs) / 1000000;
}

std::unique_ptr<LinkTimer> SystemClock::makeTimer(std::function<void()> callback)
{
    return std::make_unique<QtTimer>(std::move(callback));
}
