#include "faultschedule.h"

#include "virtualtransmitter.h"

#include <QTimer>

FaultSchedule::FaultSchedule(VirtualTransmitter &transmitter, QObject *parent)
    : QObject(parent), transmitter(transmitter)
{
}

QTimer *FaultSchedule::periodic(int periodMs)
{
    auto *timer = new QTimer(this);
    timer->setTimerType(Qt::PreciseTimer);
    timer->start(periodMs);
    return timer;
}

void FaultSchedule::muteEvery(int periodMs, int forMs)
{
    connect(periodic(periodMs), &QTimer::timeout, this, [this, forMs] {
        transmitter.setMuted(true);
        QTimer::singleShot(forMs, Qt::PreciseTimer, this, [this] { transmitter.setMuted(false); });
    });
}

void FaultSchedule::unplugEvery(int periodMs, int replugAfterMs)
{
    connect(periodic(periodMs), &QTimer::timeout, this, [this, replugAfterMs] {
        transmitter.unplug();
        QTimer::singleShot(replugAfterMs, Qt::PreciseTimer, this, [this] {
            QString error;
            if (transmitter.replug(&error))
                emit replugged(transmitter.portPath());
            else
                emit replugFailed(error);
        });
    });
}
