#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

// The session's sense of time: what time it is, and timers that call back once. The tool runs on
// the system's clock and Qt's timers; the tests run the same session on a clock they advance.
class LinkTimer
{
public:
    virtual ~LinkTimer() = default;
    // (Re)starts the timer: the callback runs once, ms from now.
    virtual void start(int ms) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

class LinkClock
{
public:
    virtual ~LinkClock() = default;
    // Milliseconds on a monotonic clock.
    virtual qint64 nowMs() const = 0;
    virtual std::unique_ptr<LinkTimer> makeTimer(std::function<void()> callback) = 0;
};

// The system's monotonic clock and single-shot QTimers (precise: a deadline of 2 ms means 2 ms).
class SystemClock : public LinkClock
{
public:
    SystemClock();
    qint64 nowMs() const override;
    std::unique_ptr<LinkTimer> makeTimer(std::function<void()> callback) override;

private:
    qint64 startNs;
};
