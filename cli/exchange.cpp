#include "exchange.h"

#include "comm/capture.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "protocol/transaction.h"
#include "requests.h"

#include <utility>

namespace {
// The session's requests of tervin-cli; the session's own read-back has a kind of its own.
constexpr int CliKind = 0;

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

bool isSessionReadBack(const LinkSession::Request &request)
{
    return request.kind == LinkSession::VerifyKind;
}
} // namespace

Exchange::Exchange(const CliOptions &options, const PortOutput &output, LinkPort *port,
                   LinkClock *clock, QObject *parent)
    : QObject(parent), options(options), output(output), clock(clock),
      session(new LinkSession(port, clock, this))
{
    connect(session, &LinkSession::written, this, &Exchange::written);
    connect(session, &LinkSession::notSent, this,
            [this](const LinkSession::Request &, const QString &reason) {
                outcome.detail = Cli::tr("the port failed: %1").arg(reason);
                end(Result::PortError);
            });
    connect(session, &LinkSession::answered, this,
            [this](const LinkSession::Request &request, const QByteArray &reply) {
                answered(request, reply);
            });
    connect(session, &LinkSession::timedOut, this, &Exchange::timedOut);
    connect(session, &LinkSession::garbled, this,
            [this](const LinkSession::Request &request) { garbled(request); });
    connect(session, &LinkSession::late, this, &Exchange::late);
    connect(session, &LinkSession::dropped, this, &Exchange::dropped);
    connect(session, &LinkSession::portLost, this, [this](const PortFailure &failure) {
        portLost(Cli::tr("the port went away: %1").arg(failure.text()));
    });
    connect(session, &LinkSession::followingChange, this, &Exchange::followingChange);
    connect(session, &LinkSession::changeChecked, this, &Exchange::changeChecked);
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
    pending.reset();
    session->close();
}

std::unique_ptr<LinkTimer> Exchange::makeTimer(std::function<void()> callback)
{
    return clock->makeTimer(std::move(callback));
}

// --timeout counts from the request's end on the wire, so that a slow rate gets the same time to
// answer as a fast one: the session's wait from the write is that plus the request's wire time.
void Exchange::applyTimeout()
{
    if (options.timeoutMs > 0)
        session->setFixedTimeoutMs(options.timeoutMs +
                                   Transaction::wireTimeMs(Modbus::RequestLength, baudRate()));
}

void Exchange::send(const QByteArray &request, Then then)
{
    pending = Pending{request, std::move(then)};
    outcome = Outcome();
    submit();
}

void Exchange::sendExpectingCollisions(const QByteArray &request, Then then)
{
    send(request, std::move(then));
    if (pending)
        pending->collisionsExpected = true;
}

void Exchange::submit()
{
    session->submit({pending->request, CliKind}, LinkSession::First);
}

void Exchange::written(const LinkSession::Request &request)
{
    outcome.problem.clear();
    otherSlaveSeen = false;
    if (pending)
        ++pending->tries;
    logFrame(false, request.frame);
}

void Exchange::answered(const LinkSession::Request &request, const QByteArray &reply)
{
    logFrame(true, reply);
    if (isSessionReadBack(request) || !pending)
        return; // the session tells how its read-back came out
    if (pending->change) {
        readBackAnswered(reply);
        return;
    }
    outcome.reply = reply;
    if (ModbusReply::isException(reply)) {
        outcome.detail = ModbusReply::exceptionText(ModbusReply::exceptionCode(reply));
        end(Result::Exception);
    } else if (ModbusFrame::functionOf(request.frame) != Modbus::WriteSingleRegister) {
        end(Result::Ok);
    } // a write's echo: the session now reads the device back where it listens
}

void Exchange::timedOut(const LinkSession::Request &request, int timeoutMs)
{
    const int waited = options.timeoutMs > 0 ? options.timeoutMs : timeoutMs;
    if (options.verbose)
        output.trace(Cli::tr("no answer within %1 ms").arg(waited));
    if (isSessionReadBack(request))
        return;
    if (otherSlaveSeen && pending && !pending->change)
        end(Result::OtherSlave, waited);
    else
        resendOr(Result::NoAnswer, waited);
}

void Exchange::garbled(const LinkSession::Request &request)
{
    if (!isSessionReadBack(request))
        resendOr(Result::Garbled);
}

// A resend after no answer or a garbled reply, while --retries allows one.
void Exchange::resendOr(Result result, int timeoutMs)
{
    if (!pending)
        return;
    if (pending->tries <= options.retries) {
        if (options.verbose)
            output.trace(Cli::tr("sending again (try %1 of %2)")
                             .arg(pending->tries + 1)
                             .arg(options.retries + 1));
        submit();
        return;
    }
    if (pending->change) {
        Verification unanswered;
        unanswered.change = *pending->change;
        endVerification(unanswered);
        return;
    }
    end(result, timeoutMs);
}

void Exchange::followingChange(const SettingChange &change)
{
    applyTimeout(); // at the new rate, for a rate change
    unitBeforeChange = session->unit();
    if (!pending)
        return;
    pending->request = Requests::deviceInfo(change.slave);
    pending->tries = 0;
    pending->change = change;
}

void Exchange::changeChecked(const Verification &result)
{
    if (!pending)
        return;
    if (result.outcome == Verification::NoAnswer && pending->tries <= options.retries) {
        resendOr(Result::NotVerified); // the read-back, sent again from here
        return;
    }
    endVerification(result);
}

// The read-back resent here after the session's went unanswered: judged by the same rule.
void Exchange::readBackAnswered(const QByteArray &reply)
{
    Verification result;
    result.change = *pending->change;
    if (ModbusReply::isException(reply)) {
        result.outcome = Verification::Refused;
    } else {
        const ModbusReply::Decoded decoded = ModbusReply::decode(reply, Reg::Address, 0);
        result = verifyChange(*pending->change, unitBeforeChange,
                              identityFrom(decoded.device, baudRate()));
        result.reply = decoded;
    }
    endVerification(result);
}

void Exchange::endVerification(const Verification &result)
{
    outcome.verification = result;
    end(result.verified() ? Result::Ok : Result::NotVerified);
}

void Exchange::end(Result result, int timeoutMs)
{
    if (!pending)
        return;
    Outcome done = std::exchange(outcome, Outcome());
    done.result = result;
    done.tries = pending->tries;
    done.timeoutMs = timeoutMs;
    done.echoed = pending->change.has_value();
    const Then then = std::move(pending->then);
    pending.reset();
    then(done);
}

void Exchange::portLost(const QString &error)
{
    if (!pending) {
        emit lost(error);
        return;
    }
    outcome.detail = error;
    end(Result::PortError);
}

void Exchange::late(const QByteArray &frame)
{
    logFrame(true, frame, Cli::tr("(late, ignored)"));
    trouble(Cli::tr("a late reply"), frame);
}

void Exchange::dropped(const QByteArray &bytes, LinkSession::DropReason reason)
{
    if (reason == LinkSession::DropReason::OtherSlave) {
        otherSlaveSeen = true;
        trouble(Cli::tr("a reply from slave %1").arg(ModbusFrame::slaveOf(bytes)), bytes);
    } else if (reason != LinkSession::DropReason::AdapterNoise) {
        trouble(Cli::tr("a garbled reply (%1)").arg(dropText(reason)), bytes);
    }
}

// A frame that is no answer is reported as it comes, and named again if the request on the line
// then goes unanswered.
void Exchange::trouble(const QString &what, const QByteArray &bytes)
{
    outcome.problem = what;
    const QString text = Cli::tr("%1, ignored: %2").arg(what, ModbusFrame::hexText(bytes));
    if (!pending || !pending->collisionsExpected)
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
