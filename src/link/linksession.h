#pragma once

#include "link/linkclock.h"
#include "link/linkport.h"
#include "link/unitidentity.h"
#include "protocol/modbusreply.h"

#include <QByteArray>
#include <QObject>

#include <deque>
#include <functional>
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

struct LinkRequest
{
    QByteArray frame;
    int kind = 0; // what the owner needs to know when it ends; negative kinds are the session's
    bool keepsReceived = false; // bytes already received are not dropped when it is written
};

// The link to the transmitter on one port, shared by the window and tervin-cli: it owns the
// port's receive buffer and the 200 ms silence rule, one request on the line at a time with its
// response deadline, matching each reply to its request, the failing adapter and the port's
// errors, verification after an address or rate write, and the identity of the unit.
//
// One transaction at a time, as Modbus RTU on a serial line requires: a request is outstanding
// from its write until its answer is accepted, or no byte of an answer has come within its
// response timeout, or the bytes that came are dropped. Once an answer has begun it may take its
// time (pieces under 200 ms apart are one reply at every rate), within a bound that no trickle of
// bytes can stretch. One-off requests that come while the line is busy wait their turn, in
// order; a periodic read that finds it busy is skipped, and the last one skipped goes out as soon
// as the line is free.
//
// Everything the owner must show or record comes as a signal, once the session's own state is
// settled: a handler may submit requests, and may run a modal box (the line goes on meanwhile).
class LinkSession : public QObject
{
    Q_OBJECT

public:
    using Request = LinkRequest;
    enum Place { InTurn, First };
    enum class DropReason { Incomplete, BadCrc, ExtraBytes, OtherSlave, AdapterNoise };
    // The session's own read-back of the device after an address or rate write.
    static constexpr int VerifyKind = -1;

    LinkSession(LinkPort *port, LinkClock *clock, QObject *parent = nullptr);
    ~LinkSession() override;

    // Opens the port anew: the outstanding request and the bytes received are given up.
    PortFailure open(const QString &portName, int baudRate);
    void close();
    bool isOpen() const { return port->isOpen(); }
    QString portName() const { return port->name(); }
    int baudRate() const { return rate; }
    // Another rate on the open port, as a search tries the next: the outstanding request and the
    // bytes received are given up.
    void setBaudRate(int baudRate);

    // A one-off request: written now when the line is free, otherwise when its turn comes.
    void submit(const Request &request, Place place = InTurn);
    // A periodic read: written now when the line is free; otherwise skipped, and written when the
    // line frees unless a later read replaces it. Returns whether it was written now.
    bool poll(const Request &request);
    // Forgets the outstanding request; the waiting ones stay.
    void abandon();
    // Forgets the one-off requests not yet written, and the poll owed.
    void dropWaiting();
    bool isBusy() const { return busy; }
    // The request written last: the outstanding one, or the one that just ended.
    const Request &lastRequest() const { return current; }

    // A fixed response timeout instead of the one the line's rate gives (0: derive it).
    void setFixedTimeoutMs(int ms) { fixedTimeoutMs = ms; }
    int timeoutMs(const QByteArray &request) const;

    const LinkStatistics &statistics() const { return stats; }
    void resetStatistics();
    // Bytes received that are not yet a reply, nor dropped.
    const QByteArray &received() const { return buffer; }

    // The unit last identified by a whole device-information reply.
    const UnitIdentity &unit() const { return identity; }
    // A new link: the next unit identified is nobody's successor.
    void forgetUnit() { identity.known = false; }

signals:
    void written(const LinkSession::Request &request);
    void notSent(const LinkSession::Request &request, const QString &reason);
    // The answer to the request, an exception reply among them, decoded.
    void answered(const LinkSession::Request &request, const QByteArray &reply,
                  const ModbusReply::Decoded &decoded);
    // No byte of an answer came within the response timeout.
    void timedOut(const LinkSession::Request &request, int timeoutMs);
    // An answer began, but its bytes were dropped (reported by dropped() first).
    void garbled(const LinkSession::Request &request, LinkSession::DropReason reason);
    // A valid frame that answers no outstanding request: shown, never decoded.
    void late(const QByteArray &frame);
    // Bytes that never became a reply to this link's request, with the reason.
    void dropped(const QByteArray &bytes, LinkSession::DropReason reason);
    void portLost(const PortFailure &failure);
    // A whole device-information reply; previous is the unit known before (if any).
    void identified(const UnitIdentity &unit, const UnitIdentity &previous);
    // An address or rate write was echoed: the session now reads the device back where it
    // should listen (at the new rate already, for a rate change).
    void followingChange(const SettingChange &change);
    void changeChecked(const Verification &result);
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
    void endGarbled(DropReason reason);
    void drop(DropReason reason);
    void dropReceived();
    void portFailed(const PortFailure &failure);
    void handleFailure();
    void lose(const PortFailure &failure);

    bool write(const Request &request);
    void writeNext();
    std::optional<Request> takeNext();

    // identity and verification
    void follow(const Request &request, const QByteArray &reply,
                const ModbusReply::Decoded &decoded);
    bool noteIdentity(const Request &request, const QByteArray &reply,
                      const ModbusReply::Decoded &decoded);
    void startVerification(const Request &write);
    void finishVerification(const ModbusReply::Decoded &decoded);
    void verificationFailed(Verification::Outcome outcome);

    LinkPort *port;
    LinkClock *clock;
    std::unique_ptr<LinkTimer> firstByteTimer; // the response timeout
    std::unique_ptr<LinkTimer> answerTimer;    // the bound on an answer that has begun
    std::unique_ptr<LinkTimer> silenceTimer;   // drops bytes after 200 ms without another
    std::unique_ptr<LinkTimer> failureTimer;   // handles a port error once its signal is done
    int rate = 0;
    int fixedTimeoutMs = 0;
    QByteArray buffer;

    std::deque<Request> waiting;
    std::optional<Request> owedPoll;
    Request current;
    bool busy = false;
    bool receiving = false; // bytes have come since the outstanding request was written
    qint64 sentAtMs = 0;
    qint64 firstByteDeadlineMs = 0;

    int openings = 0;
    int failureOpening = -1;
    PortFailure pendingFailure;

    LinkStatistics stats;
    UnitIdentity identity; // its device type also tells the scale of each block and the unit
    std::optional<SettingChange> change;
    UnitIdentity unitBeforeChange;
};

Q_DECLARE_METATYPE(LinkSession::DropReason)
