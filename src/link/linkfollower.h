#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class LinkSession;
class QTimer;

// What the window keeps while it follows the device: the wait for a lost adapter (the same port
// name at the same rate, tried every second for ten minutes at most), the polls held from the
// loss until the device has answered again, and a note on the last change ("now at 19200,
// verified", "waiting for the adapter to come back").
class LinkFollower : public QObject
{
    Q_OBJECT

public:
    LinkFollower(LinkSession *session, QObject *parent = nullptr);

    void startWaiting(const QString &portName, int baudRate);
    void stopWaiting();
    bool isWaiting() const;
    void setReconnectLimit(int ms) { limitMs = ms; }
    int reconnectLimitMinutes() const { return (limitMs + 59999) / 60000; }

    bool pollsPaused() const { return paused; }
    void pausePolls() { paused = true; }
    void resumePolls() { paused = false; }

    const QString &note() const { return text; }
    void setNote(const QString &note);

signals:
    void back();   // the port opened again
    void gaveUp(); // the limit passed
    void noteChanged();

private:
    void tryAgain();

    LinkSession *session;
    QTimer *timerReconnect;
    QElapsedTimer waitingFor;
    int limitMs = 10 * 60 * 1000;
    QString portName;
    int baudRate = 0;
    bool paused = false;
    QString text;
};
