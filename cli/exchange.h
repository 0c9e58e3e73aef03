#pragma once

#include "link/linksession.h"
#include "options.h"
#include "output.h"
#include "records.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

// How one request of tervin-cli ended, after all its tries.
struct Outcome
{
    Result result = Result::Ok;
    int tries = 0;     // how often the deciding request went out, resends included
    int timeoutMs = 0; // no answer: how long the last try waited
    QString problem;   // what came instead of the answer: "a garbled reply (bad CRC)"
    QString detail;    // an exception's meaning, or why the port failed
    QByteArray reply;  // the answer, an exception among them
    // A write the device echoed: it has taken the setting, whatever comes after the echo (the
    // read-back unanswered, the port lost before or during it).
    bool echoed = false;
    // How the read-back where it now listens went, when it ended.
    std::optional<Verification> verification;

    bool ok() const { return result == Result::Ok; }
};

// One port's requests for tervin-cli, through its link session: each request ends in one
// outcome, after as many tries as --retries allows (a resend after no answer or a garbled
// reply). A write the device echoes ends only once the device has been read back where it now
// listens, that read-back resent as well. Every frame goes to the --log file and, with
// --verbose, to standard error; late, garbled and other-slave frames are reported as they come.
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
    // The unit that answered the last device-information read.
    const UnitIdentity &unit() const { return session->unit(); }
    qint64 nowMs() const { return clock->nowMs(); }
    std::unique_ptr<LinkTimer> makeTimer(std::function<void()> callback);

    // Sends the request; `then` runs once, with how it ended. One request at a time.
    void send(const QByteArray &request, Then then);
    // The same, where garbled replies are expected (every unit of a line answering slave 0):
    // they are reported only with --verbose.
    void sendExpectingCollisions(const QByteArray &request, Then then);

signals:
    // The port went away, or failed, while no request was out.
    void lost(const QString &error);

private:
    struct Pending
    {
        QByteArray request; // what a resend sends
        Then then;
        int tries = 0;
        std::optional<SettingChange> change; // the read-back after this write is on
        bool collisionsExpected = false;
    };

    void written(const LinkSession::Request &request);
    void answered(const LinkSession::Request &request, const QByteArray &reply);
    void timedOut(const LinkSession::Request &request, int timeoutMs);
    void garbled(const LinkSession::Request &request);
    void dropped(const QByteArray &bytes, LinkSession::DropReason reason);
    void late(const QByteArray &frame);
    void portLost(const QString &error);
    void followingChange(const SettingChange &change);
    void changeChecked(const Verification &result);

    void resendOr(Result result, int timeoutMs = 0);
    void readBackAnswered(const QByteArray &reply);
    void end(Result result, int timeoutMs = 0);
    void endVerification(const Verification &result);
    void submit();
    void applyTimeout();
    void trouble(const QString &what, const QByteArray &bytes);
    void logFrame(bool received, const QByteArray &frame, const QString &note = QString());

    CliOptions options;
    PortOutput output;
    LinkClock *clock;
    LinkSession *session;
    std::optional<Pending> pending;
    Outcome outcome;             // of the request on the line, as far as it has come
    bool otherSlaveSeen = false; // during the try on the line
    UnitIdentity unitBeforeChange;
};
