#pragma once

#include "link/linksession.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <functional>

// Finding the units of a line at the link's rate: the device information is asked from each
// address in turn, each waiting only for the answer to begin (Transaction::scanTimeoutMs, or the
// timeout given); once its first byte has come, the silence rule finishes it, so a slow long
// reply is never cut. Units join the session's roster as they are found; a second scan merges.
//
// Garbled bytes are told apart: a reply from the slave asked but spoilt looks like several units
// answering at once ("two units at address N?"); one that began too late shows up in the next
// address's wait, under its own slave, or as the first part of a reply, and is put down to the
// address it came from. A late answer that the next request talked over (an adapter that holds
// bytes back for its latency timer makes that common) arrives as bytes of no readable slave: the
// address asked before it, and the one asked, are looked at again. Those addresses are asked once
// more at the end, with the whole response timeout of the rate: a unit that answers then is found;
// one named by its late answer that does not is reported as cut off ("raise the timeout").
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
    // A unit at this address answered too late for the wait, and not at the second look either.
    void cutOff(int address);
    void finished(bool cancelled);

private:
    void ask();
    void askAgain();
    void lookedAgain(int address, const LinkOutcome &outcome);
    void send(int address, int waitMs, std::function<void(const LinkOutcome &)> then);
    bool portGone(const LinkOutcome &outcome);
    void askedEnded(int address, const LinkOutcome &outcome);
    void otherSlaveHeard(const QByteArray &bytes, LinkDropReason reason);
    void lookAgainAt(int address);
    void lookAgainAroundNoise();

    LinkSession *session;
    QList<int> addresses;
    int timeoutMs = 0;
    int retries = 0;
    int index = 0;
    bool running = false;
    int generation = 0;
    QList<int> late;      // addresses to look at again: a late answer, or noise, near them
    QSet<int> namedLate;  // those whose late answer named them
    int lateIndex = -1;   // the second look at them: the one asked, -1 before
};
