#pragma once

#include "link/answerwatch.h"
#include "link/lineroster.h"
#include "link/linkclock.h"
#include "link/linkport.h"
#include "link/unitidentity.h"
#include "protocol/modbusreply.h"

#include <QByteArray>
#include <QObject>

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>

// What happened on the line since the link was made.
struct LinkStatistics
{
    int requests = 0;   // frames written
    int replies = 0;    // answers, exceptions among them
    int timeouts = 0;   // requests whose answer did not start in time
    int badFrames = 0;  // bad CRC, cut off, dropped by silence, or from another slave
    int exceptions = 0; // exception replies
    int late = 0;       // valid frames that answered no outstanding request
    int skipped = 0;    // periodic reads not sent because the line was busy
    int lastResponseMs = -1;
    qint64 totalResponseMs = 0;

    int meanResponseMs() const { return replies > 0 ? int(totalResponseMs / replies) : -1; }
};

// Why received bytes never became a reply to the request on the line.
enum class LinkDropReason { Incomplete, BadCrc, ExtraBytes, OtherSlave, AdapterNoise };

// How a request ended, as its sender learns it.
struct LinkOutcome
{
    enum Result {
        Answered, // a reply that answers it, an exception reply among them
        TimedOut, // no byte of an answer within its response timeout
        Garbled,  // an answer began, but its bytes were dropped
        NotSent,  // it could not be written
        Lost,     // the port went away while it was on the line
    };
    Result result = NotSent;
    QByteArray reply;             // Answered
    ModbusReply::Decoded decoded; // Answered: decoded with the answering unit's own device type
    UnitIdentity unit;            // Answered: the unit at the answering address, as far as known
    int responseMs = -1;          // Answered: from the write to the last byte
    int timeoutMs = 0;            // TimedOut: how long it waited
    LinkDropReason dropReason = LinkDropReason::Incomplete; // Garbled
    QByteArray dropped;                                     // Garbled: the bytes dropped
    QString reason;                                         // NotSent, Lost: why
    int tries = 0; // how often it went out, resends included
    // An address or rate write the unit echoed: how the read-back where it now listens went.
    std::optional<Verification> verification;

    bool answered() const { return result == Answered; }
    bool isException() const { return answered() && ModbusReply::isException(reply); }
    // Answered, not refused, and for a write, verified where the unit now listens.
    bool ok() const
    {
        return answered() && !isException() && (!verification || verification->verified());
    }
};

struct LinkRequest
{
    QByteArray frame;
    // Runs once, when the request has ended (after its resends, and for an address or rate
    // write, after the read-back). A request the owner gives up (by opening, closing or setting
    // the rate of the port) ends without it.
    std::function<void(const LinkOutcome &)> done;
    int retries = 0;   // resends after no answer or a garbled one
    int timeoutMs = 0; // the wait for its answer to begin, from its write (0: the line's rule)
    bool keepsReceived = false; // bytes already received are not dropped when it is written
};

// The link to the transmitters on one port, shared by the window and tervin-cli: it owns the
// port's receive buffer and the 200 ms silence rule, one request on the line at a time with its
// response deadline, matching each reply to its request, the failing adapter and the port's
// errors, verification after an address or rate write, and the roster of the units on the line.
//
// One transaction at a time, as Modbus RTU on a serial line requires: a request is outstanding
// from its write until its answer is accepted, or no byte of an answer has come within its
// response timeout, or the bytes that came are dropped. Once an answer has begun it may take its
// time (pieces under 200 ms apart are one reply at every rate), within a bound that no trickle of
// bytes can stretch. One-off requests that come while the line is busy wait their turn, in
// order; a periodic read that finds it busy is skipped, and the last one skipped goes out as soon
// as the line is free.
//
// Each request ends in its own completion (LinkRequest::done). What the whole line sees (frames
// written and received, bytes dropped, the port lost) comes as signals, for the message view and
// the logs, once the session's own state is settled: a handler may submit requests, and may run
// a modal box (the line goes on meanwhile).
class LinkSession : public QObject
{
    Q_OBJECT

public:
    using Request = LinkRequest;
    using DropReason = LinkDropReason;
    enum Place { InTurn, First };

    LinkSession(LinkPort *port, LinkClock *clock, QObject *parent = nullptr);
    ~LinkSession() override;

    // Opens the port anew: the outstanding request and the bytes received are given up, and the
    // waits learnt from slow units are forgotten.
    PortFailure open(const QString &portName, int baudRate);
    void close();
    bool isOpen() const { return port->isOpen(); }
    QString portName() const { return port->name(); }
    int baudRate() const { return rate; }
    // Another rate on the open port, as a search tries the next: the outstanding request and the
    // bytes received are given up.
    void setBaudRate(int baudRate);
    qint64 nowMs() const { return clock->nowMs(); }
    LinkClock *timeSource() const { return clock; }

    // A one-off request: written now when the line is free, otherwise when its turn comes.
    void submit(const Request &request, Place place = InTurn);
    // A periodic read: written now when the line is free; otherwise skipped, and written when the
    // line frees unless a later read replaces it. Returns whether it was written now.
    bool poll(const Request &request);
    // Forgets the outstanding request; the waiting ones stay.
    void abandon();
    // Forgets the one-off requests not yet written, and the poll owed.
    void dropWaiting();
    // Polling stopped: the poll owed is not written.
    void forgetOwedPoll() { owedPoll.reset(); }
    bool isBusy() const { return busy; }
    // The request written last: the outstanding one, or the one that just ended.
    const Request &lastRequest() const { return current; }

    // A fixed response timeout instead of the one the line's rate gives (0: derive it). A fixed
    // one is never lengthened for a slow unit.
    void setFixedTimeoutMs(int ms) { fixedTimeoutMs = ms; }
    int timeoutMs(const QByteArray &request) const;

    const LinkStatistics &statistics() const { return stats; }
    void resetStatistics();
    // Bytes received that are not yet a reply, nor dropped.
    const QByteArray &received() const { return buffer; }

    // The units heard on this line, by address.
    const LineRoster &roster() const { return units; }
    LineRoster &roster() { return units; }
    // Whether anything on the line answers (the link's state): the same rule as each unit's.
    const AnswerWatch &lineWatch() const { return watch; }
    // A new link: the roster starts empty, and the line is waited for from now.
    void forgetUnits();

signals:
    void written(const LinkSession::Request &request);
    void notSent(const LinkSession::Request &request, const QString &reason);
    // The answer to the request, an exception reply among them, before its completion runs.
    void answered(const LinkSession::Request &request, const QByteArray &reply);
    // No byte of an answer came within the response timeout.
    void timedOut(const LinkSession::Request &request, int timeoutMs);
    // An answer began, but its bytes were dropped (reported by dropped() first).
    void garbled(const LinkSession::Request &request, LinkSession::DropReason reason);
    // A valid frame that answers no outstanding request: shown, never decoded.
    void late(const QByteArray &frame);
    // Bytes that never became a reply to this link's request, with the reason.
    void dropped(const QByteArray &bytes, LinkSession::DropReason reason);
    void portLost(const PortFailure &failure);
    // A whole device-information reply at an address; previous is the unit known there before.
    void identified(int address, const UnitIdentity &unit, const UnitIdentity &previous);
    // A unit answered after its request had timed out: from now on its requests wait longer.
    void slowUnit(int slave, int answerStartMs, int timeoutMs);
    // An address or rate write was echoed: the session now reads the device back where it
    // should listen (at the new rate already, for a rate change).
    void followingChange(const SettingChange &change);
    // The line began or stopped answering (lineWatch()).
    void answeringChanged();
    void statisticsChanged();

private:
    void receive();
    void evaluate();
    void take(const QByteArray &frame);
    void answer(const QByteArray &frame);
    void notTheAnswer();
    void silencePassed();
    void answerBoundPassed();
    void firstByteTimeout();
    void endGarbled(DropReason reason, const QByteArray &bytes);
    void drop(DropReason reason);
    void dropReceived();
    void portFailed(const PortFailure &failure);
    void handleFailure();
    void lose(const PortFailure &failure);

    // A request waiting its turn, and how often it has gone out already.
    struct Queued
    {
        Request request;
        int tries = 0;
    };
    struct TimedOutRequest
    {
        QByteArray frame;
        qint64 sentAtMs = 0;
    };

    bool write(const Request &request, int tries);
    void writeNext();
    std::optional<Queued> takeNext();
    // The request on the line ended: resent while it may be, or its completion runs.
    void ended(LinkOutcome outcome);
    bool stillOurs(int opening) const { return opening == openings && port->isOpen(); }
    void complete(const Request &request, const LinkOutcome &outcome);
    void noteAnswering(bool answeredNow, qint64 sentAtMs);

    // slow units
    bool holding() const { return holdTimer->isActive(); }
    void holdForLateAnswer(quint8 slave);
    void learnFromLateAnswer(const QByteArray &frame);
    void releaseHold();

    // identity and verification (linkfollow.cpp)
    std::optional<UnitIdentity> noteUnit(const Request &request, const QByteArray &reply,
                                         const ModbusReply::Decoded &decoded, int replySlave);
    std::optional<SettingChange> changeOf(const Request &request, const QByteArray &reply) const;
    void startVerification(const Request &write, const LinkOutcome &echo,
                           const SettingChange &next);
    void finishVerification(const LinkOutcome &readBack);

    LinkPort *port;
    LinkClock *clock;
    std::unique_ptr<LinkTimer> firstByteTimer; // the response timeout
    std::unique_ptr<LinkTimer> answerTimer;    // the bound on an answer that has begun
    std::unique_ptr<LinkTimer> silenceTimer;   // drops bytes after 200 ms without another
    std::unique_ptr<LinkTimer> failureTimer;   // handles a port error once its signal is done
    std::unique_ptr<LinkTimer> holdTimer;      // the line kept quiet for a late answer
    int rate = 0;
    int fixedTimeoutMs = 0;
    QByteArray buffer;
    qint64 bufferStartMs = 0; // when the first byte in the buffer came
    qint64 lastArrivalMs = 0; // when the last bytes came

    std::deque<Queued> waiting;
    std::optional<Request> owedPoll;
    Request current;
    int currentTries = 0;
    int currentTimeoutMs = 0;
    bool busy = false;
    bool receiving = false; // bytes have come since the outstanding request was written
    qint64 sentAtMs = 0;
    qint64 firstByteDeadlineMs = 0;

    int openings = 0;
    int failureOpening = -1;
    PortFailure pendingFailure;

    LinkStatistics stats;
    LineRoster units;
    AnswerWatch watch;
    std::map<quint8, int> learntTimeoutMs; // by slave: the wait a slow unit has shown it needs
    std::map<quint8, int> missedInARow; // by slave: its requests unanswered since its last answer
    std::optional<quint8> heldFor;      // the slave whose late answer the line waits for
    std::optional<TimedOutRequest> lastTimedOut; // whose answer may yet come, late

    // The write whose echo is being verified, and what it changed.
    struct PendingChange
    {
        Request write;
        LinkOutcome echo;
        SettingChange change;
        UnitIdentity before;
    };
    std::optional<PendingChange> change;
};

Q_DECLARE_METATYPE(LinkDropReason)
