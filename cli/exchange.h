#pragma once

#include "link/linksession.h"
#include "options.h"
#include "output.h"
#include "records.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

// How one request of tervin-cli ended, after all its tries, in the terms of its records.
struct Outcome
{
    Result result = Result::Ok;
    int tries = 0;     // how often the deciding request went out, resends included
    int timeoutMs = 0; // no answer: how long the last try waited
    QString problem;   // what came instead of the answer: "a garbled reply (bad CRC)"
    QString detail;    // an exception's meaning, or why the port failed
    QByteArray reply;  // the answer, an exception among them
    UnitIdentity unit; // the unit that answered, as the line's roster knows it
    // A write the device echoed: it has taken the setting, whatever comes after the echo (the
    // read-back unanswered, the port lost during it).
    bool echoed = false;
    // How the read-back where it now listens went.
    std::optional<Verification> verification;

    bool ok() const { return result == Result::Ok; }
};

// One port's link session for tervin-cli: each request goes out with the resends --retries allows
// and the wait --timeout sets, and ends in one outcome; a write the device echoes ends once the
// session has read the device back where it now listens. Every frame goes to the --log file and,
// with --verbose, to standard error; late, garbled and other-slave frames are reported as they
// come, and named again in the outcome of the request they came in.
class Exchange : public QObject
{
    Q_OBJECT

public:
    using Then = std::function<void(const Outcome &)>;

    Exchange(const CliOptions &options, const PortOutput &output, LinkPort *port, LinkClock *clock,
             QObject *parent = nullptr);

    PortFailure open(const QString &name, int baudRate);
    void setBaudRate(int baudRate);
    int baudRate() const { return session->baudRate(); }
    void close();
    LinkSession *link() const { return session; }
    qint64 nowMs() const { return session->nowMs(); }
    std::unique_ptr<LinkTimer> makeTimer(std::function<void()> callback);

    // Sends the request; `then` runs once, with how it ended.
    void send(const QByteArray &request, Then then);
    // The same, where garbled replies are expected (every unit of a line answering slave 0):
    // they are reported only with --verbose.
    void sendExpectingCollisions(const QByteArray &request, Then then);
    // The outcome of a request sent on the session by another (the poll cycle, the search).
    Outcome outcomeOf(const LinkOutcome &ended) const;
    // The wait for an answer to begin that --timeout sets, from the write (0: the session's).
    int fixedTimeoutMs() const;
    void expectCollisions(bool on) { collisionsExpected = on; }

signals:
    // The port went away, or failed.
    void lost(const QString &error);

private:
    void written();
    void trouble(const QString &what, const QByteArray &bytes);
    void logFrame(bool received, const QByteArray &frame, const QString &note = QString());
    void applyTimeout();

    CliOptions options;
    PortOutput output;
    LinkSession *session;
    QString problem;             // what came instead of an answer during the try on the line
    bool otherSlaveSeen = false; // during the try on the line
    bool collisionsExpected = false;
};
