#include "exchange.h"

#include "comm/capture.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "protocol/transaction.h"

#include <utility>

namespace {
QString dropText(LinkSession::DropReason reason)
{
    switch (reason) {
    case LinkSession::DropReason::Incomplete:
        return Cli::tr("incomplete");
    case LinkSession::DropReason::BadCrc:
        return Cli::tr("bad CRC");
    case LinkSession::DropReason::ExtraBytes:
    case LinkSession::DropReason::OtherSlave:
    case LinkSession::DropReason::AdapterNoise:
        break;
    }
    return Cli::tr("extra bytes");
}
} // namespace

Exchange::Exchange(const CliOptions &options, const PortOutput &output, LinkPort *port,
                   LinkClock *clock, QObject *parent)
    : QObject(parent), options(options), output(output), session(new LinkSession(port, clock, this))
{
    connect(session, &LinkSession::written, this, [this](const LinkSession::Request &request) {
        written();
        logFrame(false, request.frame);
    });
    connect(
        session, &LinkSession::answered, this,
        [this](const LinkSession::Request &, const QByteArray &reply) { logFrame(true, reply); });
    connect(session, &LinkSession::timedOut, this, [this](const LinkSession::Request &, int ms) {
        if (this->options.verbose)
            this->output.trace(Cli::tr("no answer within %1 ms")
                                   .arg(fixedTimeoutMs() ? this->options.timeoutMs : ms));
    });
    connect(session, &LinkSession::late, this, [this](const QByteArray &frame) {
        logFrame(true, frame, Cli::tr("(late, ignored)"));
        trouble(Cli::tr("a late reply"), frame);
    });
    connect(session, &LinkSession::dropped, this,
            [this](const QByteArray &bytes, LinkSession::DropReason reason) {
                if (reason == LinkSession::DropReason::OtherSlave) {
                    otherSlaveSeen = true;
                    trouble(Cli::tr("a reply from slave %1").arg(ModbusFrame::slaveOf(bytes)),
                            bytes);
                } else if (reason != LinkSession::DropReason::AdapterNoise) {
                    trouble(Cli::tr("a garbled reply (%1)").arg(dropText(reason)), bytes);
                }
            });
    connect(session, &LinkSession::slowUnit, this, [this](int slave, int startMs, int waitMs) {
        this->output.message(Cli::tr("slave %1 answers after %2 ms: waiting up to %3 ms")
                                 .arg(slave)
                                 .arg(startMs)
                                 .arg(waitMs));
    });
    connect(session, &LinkSession::followingChange, this, [this] { applyTimeout(); });
    connect(session, &LinkSession::portLost, this, [this](const PortFailure &failure) {
        emit lost(Cli::tr("the port went away: %1").arg(failure.text()));
    });
}

PortFailure Exchange::open(const QString &name, int baudRate)
{
    const PortFailure failure = session->open(name, baudRate);
    applyTimeout();
    return failure;
}

void Exchange::setBaudRate(int baudRate)
{
    session->setBaudRate(baudRate);
    applyTimeout();
}

void Exchange::close()
{
    session->close();
}

std::unique_ptr<LinkTimer> Exchange::makeTimer(std::function<void()> callback)
{
    return session->timeSource()->makeTimer(std::move(callback));
}

// --timeout counts from the request's end on the wire, so that a slow rate gets the same time to
// answer as a fast one: the session's wait from the write is that plus the request's wire time.
int Exchange::fixedTimeoutMs() const
{
    return options.timeoutMs > 0
               ? options.timeoutMs + Transaction::wireTimeMs(Modbus::RequestLength, baudRate())
               : 0;
}

void Exchange::applyTimeout()
{
    session->setFixedTimeoutMs(fixedTimeoutMs());
}

void Exchange::send(const QByteArray &request, Then then)
{
    collisionsExpected = false;
    LinkRequest linkRequest;
    linkRequest.frame = request;
    linkRequest.retries = options.retries;
    linkRequest.done = [this, then = std::move(then)](const LinkOutcome &ended) {
        const Outcome outcome = outcomeOf(ended);
        collisionsExpected = false;
        then(outcome);
    };
    session->submit(linkRequest, LinkSession::First);
}

void Exchange::sendExpectingCollisions(const QByteArray &request, Then then)
{
    send(request, std::move(then));
    collisionsExpected = true;
}

Outcome Exchange::outcomeOf(const LinkOutcome &ended) const
{
    Outcome outcome;
    outcome.tries = ended.tries;
    outcome.problem = problem;
    outcome.reply = ended.reply;
    outcome.unit = ended.unit;
    outcome.verification = ended.verification;
    outcome.echoed = ended.verification.has_value(); // the session reads back only an echo
    switch (ended.result) {
    case LinkOutcome::Answered:
        if (ended.isException()) {
            outcome.result = Result::Exception;
            outcome.detail = ModbusReply::exceptionText(ModbusReply::exceptionCode(ended.reply));
        } else if (ended.verification && !ended.verification->verified()) {
            outcome.result = Result::NotVerified;
        }
        break;
    case LinkOutcome::TimedOut:
        outcome.timeoutMs = fixedTimeoutMs() ? options.timeoutMs : ended.timeoutMs;
        outcome.result = otherSlaveSeen ? Result::OtherSlave : Result::NoAnswer;
        break;
    case LinkOutcome::Garbled:
        outcome.result = Result::Garbled;
        break;
    case LinkOutcome::NotSent:
        outcome.result = Result::PortError;
        outcome.detail = Cli::tr("the port failed: %1").arg(ended.reason);
        break;
    case LinkOutcome::Lost:
        outcome.result = Result::PortError;
        outcome.detail = Cli::tr("the port went away: %1").arg(ended.reason);
        break;
    }
    return outcome;
}

void Exchange::written()
{
    problem.clear();
    otherSlaveSeen = false;
}

// A frame that is no answer is reported as it comes, and named again if the request on the line
// then goes unanswered.
void Exchange::trouble(const QString &what, const QByteArray &bytes)
{
    problem = what;
    const QString text = Cli::tr("%1, ignored: %2").arg(what, ModbusFrame::hexText(bytes));
    if (!collisionsExpected)
        output.message(text);
    else if (options.verbose)
        output.trace(text);
}

void Exchange::logFrame(bool received, const QByteArray &frame, const QString &note)
{
    const QString text = ModbusFrame::hexText(frame);
    output.frame(received, text);
    if (options.verbose)
        output.trace(Capture::line(QDateTime::currentDateTime(), received, text) +
                     (note.isEmpty() ? QString() : QStringLiteral("  ") + note));
}
