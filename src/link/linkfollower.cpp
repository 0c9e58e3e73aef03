#include "link/linkfollower.h"

#include "link/linksession.h"

#include <QTimer>

namespace {
constexpr int ReconnectIntervalMs = 1000;
}

LinkFollower::LinkFollower(LinkSession *session, QObject *parent)
    : QObject(parent), session(session), timerReconnect(new QTimer(this))
{
    setObjectName(QStringLiteral("linkFollower"));
    timerReconnect->setObjectName(QStringLiteral("timerReconnect"));
    connect(timerReconnect, &QTimer::timeout, this, &LinkFollower::tryAgain);
}

void LinkFollower::startWaiting(const QString &name, int rate)
{
    portName = name;
    baudRate = rate;
    paused = true;
    waitingFor.start();
    timerReconnect->start(ReconnectIntervalMs);
}

void LinkFollower::stopWaiting()
{
    timerReconnect->stop();
    paused = false;
}

bool LinkFollower::isWaiting() const
{
    return timerReconnect->isActive();
}

void LinkFollower::setNote(const QString &note)
{
    if (note == text)
        return;
    text = note;
    emit noteChanged();
}

void LinkFollower::tryAgain()
{
    if (waitingFor.elapsed() >= limitMs) {
        stopWaiting();
        emit gaveUp();
        return;
    }
    if (session->open(portName, baudRate).failed())
        return; // not back yet
    timerReconnect->stop();
    emit back();
}
