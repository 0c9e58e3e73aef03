#pragma once

// The link session in virtual time: a clock the test advances, a port that delivers bytes in
// chosen pieces at chosen moments and fails on demand, and a probe that records what the session
// says and checks its rules after every event.

#include "link/linksession.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "protocol/transaction.h"

#include <QStringList>

#include <algorithm>
#include <memory>

namespace LinkHarness {

class VirtualClock : public LinkClock
{
    struct Timer : LinkTimer
    {
        Timer(VirtualClock &clock, std::function<void()> callback)
            : clock(clock), callback(std::move(callback))
        {
            clock.timers.push_back(this);
        }
        ~Timer() override
        {
            clock.timers.erase(std::find(clock.timers.begin(), clock.timers.end(), this));
        }
        void start(int ms) override
        {
            due = clock.now + std::max(0, ms);
            order = clock.nextOrder++;
            active = true;
        }
        void stop() override { active = false; }
        bool isActive() const override { return active; }

        VirtualClock &clock;
        std::function<void()> callback;
        qint64 due = 0;
        qint64 order = 0;
        bool active = false;
    };

public:
    qint64 nowMs() const override { return now; }
    std::unique_ptr<LinkTimer> makeTimer(std::function<void()> callback) override
    {
        return std::make_unique<Timer>(*this, std::move(callback));
    }
    // Runs something at this moment (from now on), as a timer would.
    void at(qint64 ms, std::function<void()> action)
    {
        auto timer = makeTimer(std::move(action));
        timer->start(int(ms - now));
        owned.push_back(std::move(timer));
    }
    // Moves time on to `until`, running every timer that falls due on the way, in order.
    void runUntil(qint64 until)
    {
        for (;;) {
            Timer *next = nullptr;
            for (Timer *timer : timers)
                if (timer->active && timer->due <= until &&
                    (!next ||
                     std::tie(timer->due, timer->order) < std::tie(next->due, next->order)))
                    next = timer;
            if (!next)
                break;
            now = next->due;
            next->active = false;
            next->callback();
        }
        now = std::max(now, until);
    }
    void advance(qint64 ms) { runUntil(now + ms); }

private:
    std::vector<Timer *> timers;
    std::vector<std::unique_ptr<LinkTimer>> owned;
    qint64 now = 0;
    qint64 nextOrder = 0;
};

class FakePort : public LinkPort
{
public:
    PortFailure open(const QString &name, int baudRate) override
    {
        opened = true;
        portName = name;
        rate = baudRate;
        return {};
    }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    QString name() const override { return portName; }
    void setBaudRate(int baudRate) override { rate = baudRate; }
    int baudRate() const override { return rate; }
    QString write(const QByteArray &bytes) override
    {
        if (!opened)
            return QStringLiteral("port closed");
        writes << bytes;
        if (onWrite)
            onWrite(bytes);
        return QString();
    }
    QByteArray readAll() override { return std::exchange(pending, QByteArray()); }

    // The far end talks.
    void deliver(const QByteArray &bytes)
    {
        if (!opened)
            return;
        pending += bytes;
        emit readyRead();
    }
    void fail(PortFailure::Kind kind) { emit failed({kind, QStringLiteral("gone")}); }

    QList<QByteArray> writes;
    std::function<void(const QByteArray &)> onWrite; // the device's part

private:
    bool opened = false;
    QString portName;
    int rate = 9600;
    QByteArray pending;
};

inline QString reasonName(LinkSession::DropReason reason)
{
    const char *names[] = {"incomplete", "bad CRC", "extra bytes", "other slave", "noise"};
    return QLatin1String(names[int(reason)]);
}

inline QString slaveOf(const LinkRequest &request)
{
    return QString::number(ModbusFrame::slaveOf(request.frame));
}

// Records the session's events as short words ("written 1", "answered 1", "dropped bad CRC"; the
// number is the slave the request went to) and checks the session's rules after every event:
// never two requests on the wire; never an answer that does not fit its request; the line free
// again within the bound of the answer rule (Transaction::answerBoundMs); every byte received part
// of an accepted frame or reported dropped, exactly once. What breaks a rule goes to faults.
// Requests sent with done() record how they ended in `outcomes`.
class Probe
{
public:
    Probe(LinkSession &session, FakePort &port, const LinkClock &clock)
        : session(session), port(port), clock(clock)
    {
        QObject::connect(&session, &LinkSession::written, [this](const LinkRequest &r) {
            check(outstanding == 0, "a request written while another is outstanding");
            ++outstanding;
            writtenAtMs = this->clock.nowMs();
            const int timeout = r.timeoutMs > 0 ? r.timeoutMs : this->session.timeoutMs(r.frame);
            boundMs = Transaction::answerBoundMs(r.frame, this->session.baudRate(), timeout);
            log("written " + slaveOf(r));
        });
        QObject::connect(
            &session, &LinkSession::answered,
            [this](const LinkRequest &r, const QByteArray &reply) {
                check(Transaction::fit(r.frame, reply) == Transaction::Fit::Answer &&
                          ModbusReply::recognise(reply) == ModbusReply::Verdict::Accept,
                      "decoded a reply that does not answer its request");
                ended();
                account(reply);
                log((ModbusReply::isException(reply) ? "exception " : "answered ") + slaveOf(r));
            });
        QObject::connect(&session, &LinkSession::timedOut, [this](const LinkRequest &r, int ms) {
            ended();
            log(QString("timeout %1 after %2").arg(slaveOf(r)).arg(ms));
        });
        QObject::connect(&session, &LinkSession::garbled, [this](const LinkRequest &r) {
            ended();
            log("garbled " + slaveOf(r));
        });
        QObject::connect(&session, &LinkSession::late, [this](const QByteArray &frame) {
            account(frame);
            log("late");
        });
        QObject::connect(&session, &LinkSession::dropped,
                         [this](const QByteArray &bytes, LinkSession::DropReason reason) {
                             account(bytes);
                             log("dropped " + reasonName(reason));
                         });
        QObject::connect(&session, &LinkSession::portLost, [this](const PortFailure &failure) {
            if (outstanding > 0)
                ended();
            log("lost " + failure.text());
        });
    }

    // A completion that records how the request ended: "answered", "timed out", "garbled", "not
    // sent", "lost", with "verified" or "not verified: ..." after a write's read-back.
    std::function<void(const LinkOutcome &)> done()
    {
        return [this](const LinkOutcome &outcome) {
            static const char *results[] = {"answered", "timed out", "garbled", "not sent", "lost"};
            QString word = QLatin1String(results[outcome.result]);
            if (outcome.verification)
                word = outcome.verification->verified()
                           ? QString("verified")
                           : "not verified: " + outcome.verification->reason();
            outcomes << word;
            lastOutcome = outcome;
        };
    }

    // What the device sent, to be accounted for by the session's events (a closed port hears
    // nothing).
    void deliver(const QByteArray &bytes)
    {
        if (port.isOpen()) {
            delivered += bytes.size();
            deliveredBytes += bytes;
        }
        port.deliver(bytes);
    }
    // The owner is about to open, close or set the rate of the port, or abandon the request: the
    // request outstanding, if any, is given up without an event.
    void givenUp() { outstanding = 0; }
    // The rules that hold between events too: the bytes accounted for, the line's bound.
    void checkNow()
    {
        check(accountedBytes + session.received() == deliveredBytes,
              "bytes received not accounted for exactly once");
        check(outstanding == 0 || clock.nowMs() - writtenAtMs <= boundMs,
              "the line still busy past the answer's bound");
        check(session.isBusy() == (outstanding == 1), "busy without an outstanding request");
    }

    QString events() const { return words.join(", "); }
    QStringList words;
    QStringList outcomes;
    QStringList faults; // broken rules
    LinkOutcome lastOutcome;
    int delivered = 0;
    int accounted = 0;

private:
    void ended()
    {
        check(clock.nowMs() - writtenAtMs <= boundMs, "the line freed past the answer's bound");
        --outstanding;
    }
    void account(const QByteArray &bytes)
    {
        accounted += bytes.size();
        accountedBytes += bytes;
    }
    void check(bool holds, const char *rule)
    {
        if (!holds)
            faults << QString("%1 (after: %2)").arg(rule, events().right(300));
    }
    void log(const QString &word)
    {
        words << word;
        check(outstanding >= 0 && outstanding <= 1, "more than one request outstanding");
        checkNow();
    }

    LinkSession &session;
    FakePort &port;
    const LinkClock &clock;
    int outstanding = 0;
    qint64 writtenAtMs = 0;
    qint64 boundMs = 0;
    QByteArray deliveredBytes;
    QByteArray accountedBytes;
};

// A session on a fake port in virtual time, open at a rate.
struct Rig
{
    explicit Rig(int baudRate = 9600) : session(&port, &clock), probe(session, port, clock)
    {
        session.open(QStringLiteral("ttyFAKE"), baudRate);
    }
    // A request of this frame whose end the probe records.
    LinkRequest request(const QByteArray &frame, int retries = 0)
    {
        LinkRequest r;
        r.frame = frame;
        r.done = probe.done();
        r.retries = retries;
        return r;
    }
    // The device sends these bytes this long from now.
    void deliverIn(qint64 ms, const QByteArray &bytes)
    {
        clock.at(clock.nowMs() + ms, [this, bytes] { probe.deliver(bytes); });
    }
    // Lets the device answer each request with these pieces, each at its moment after the write.
    void answerWith(const QList<QPair<int, QByteArray>> &pieces)
    {
        port.onWrite = [this, pieces](const QByteArray &) {
            for (const auto &[atMs, bytes] : pieces)
                deliverIn(atMs, bytes);
        };
    }

    // The rules the probe saw broken, and bytes delivered that were neither taken nor dropped (nor,
    // unless `drained`, still waiting in the session's buffer); empty when all held.
    QString broken(bool drained = true) const
    {
        const int waiting = drained ? 0 : int(session.received().size());
        if (probe.delivered != probe.accounted + waiting)
            return QString("%1 bytes not accounted for").arg(probe.delivered - probe.accounted);
        return probe.faults.join('\n');
    }

    VirtualClock clock;
    FakePort port;
    LinkSession session;
    Probe probe;
};

inline QByteArray reply(const char *hexWithoutCrc)
{
    return ModbusFrame::withCrc(QByteArray::fromHex(hexWithoutCrc));
}

} // namespace LinkHarness
