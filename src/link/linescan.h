#pragma once

#include "link/linksession.h"

#include <QList>
#include <QObject>

// Finding the units of a line at the link's rate: the device information is asked from each
// address in turn, each waiting only for the answer to begin (Transaction::scanTimeoutMs, or the
// timeout given); once its first byte has come, the silence rule finishes it, so a slow long
// reply is never cut. Units join the session's roster as they are found; a second scan merges.
//
// Garbled bytes are told apart: a reply from the slave asked but spoilt looks like several units
// answering at once ("two units at address N?"); one that began too late shows up in the next
// address's wait, under its own slave, or as the first part of a reply ("cut off: raise the
// timeout"), and is put down to the address it came from.
class LineScan : public QObject
{
    Q_OBJECT

public:
    explicit LineScan(LinkSession *session, QObject *parent = nullptr);

    // timeoutMs 0: the scan's own wait, from the rate.
    void start(const QList<int> &addresses, int timeoutMs = 0, int retries = 0);
    void cancel();
    bool isRunning() const { return running; }
    int asked() const { return index; }
    int total() const { return int(addresses.size()); }

signals:
    void progress(int asked, int total);
    // An address answered: a unit (joined the roster), or one that refused (an exception).
    void answered(int address, const LinkOutcome &outcome);
    // Garbled answers that look like several units answering at once at this address.
    void collision(int address, const LinkOutcome &outcome);
    // A unit at this address answered, but too late for the wait.
    void cutOff(int address);
    void finished(bool cancelled);

private:
    void ask();
    void askedEnded(int address, const LinkOutcome &outcome);
    void otherSlaveHeard(const QByteArray &bytes, LinkDropReason reason);

    LinkSession *session;
    QList<int> addresses;
    int timeoutMs = 0;
    int retries = 0;
    int index = 0;
    bool running = false;
    int generation = 0;
    QList<int> cutOffReported;
};
