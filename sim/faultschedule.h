#pragma once

#include <QObject>

class VirtualTransmitter;
class QTimer;

// Outages of the line on a timetable, as a long run meets them: the device mute for a while at
// every period, and the adapter unplugged at every period and plugged in again a little later.
// The first of each comes one period after it is started.
class FaultSchedule : public QObject
{
    Q_OBJECT

public:
    explicit FaultSchedule(VirtualTransmitter &transmitter, QObject *parent = nullptr);

    void muteEvery(int periodMs, int forMs);
    void unplugEvery(int periodMs, int replugAfterMs);

signals:
    // Plugged in again on a new pseudo-terminal (the link, if any, follows it).
    void replugged(const QString &portPath);
    void replugFailed(const QString &error);

private:
    QTimer *periodic(int periodMs);

    VirtualTransmitter &transmitter;
};
