// The link session: writing requests one at a time, receiving and matching their answers.
#include "link/linksession.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "protocol/transaction.h"

namespace {
LinkSession::DropReason reasonOf(ModbusReply::Flaw flaw)
{
    switch (flaw) {
    case ModbusReply::Flaw::Incomplete:
        return LinkSession::DropReason::Incomplete;
    case ModbusReply::Flaw::BadCrc:
        return LinkSession::DropReason::BadCrc;
    case ModbusReply::Flaw::ExtraBytes:
        break;
    }
    return LinkSession::DropReason::ExtraBytes;
}
} // namespace

LinkSession::LinkSession(LinkPort *port, LinkClock *clock, QObject *parent)
    : QObject(parent), port(port), clock(clock),
      firstByteTimer(clock->makeTimer([this] { firstByteTimeout(); })),
      answerTimer(clock->makeTimer([this] { answerBoundPassed(); })),
      silenceTimer(clock->makeTimer([this] { silencePassed(); })),
      failureTimer(clock->makeTimer([this] { handleFailure(); })),
      holdTimer(clock->makeTimer([this] { releaseHold(); }))
{
    qRegisterMetaType<LinkDropReason>();
    connect(port, &LinkPort::readyRead, this, &LinkSession::receive);
    connect(port, &LinkPort::failed, this, &LinkSession::portFailed);
    watch.restart(clock->nowMs());
}

LinkSession::~LinkSession() = default;

int LinkSession::timeoutMs(const QByteArray &request) const
{
    if (fixedTimeoutMs > 0)
        return fixedTimeoutMs;
    const int own = Transaction::responseTimeoutMs(request, rate);
    const auto learnt = learntTimeoutMs.find(ModbusFrame::slaveOf(request));
    return learnt == learntTimeoutMs.end() ? own : std::max(own, learnt->second);
}

void LinkSession::resetStatistics()
{
    stats = LinkStatistics();
    emit statisticsChanged();
}

void LinkSession::forgetUnits()
{
    units.clear();
    watch.restart(clock->nowMs());
}

void LinkSession::submit(const Request &request, Place place)
{
    if (place == First)
        waiting.push_front({request, 0});
    else
        waiting.push_back({request, 0});
    writeNext();
}

bool LinkSession::poll(const Request &request)
{
    if (busy || holding() || !waiting.empty()) {
        ++stats.skipped;
        owedPoll = request;
        emit statisticsChanged();
        return false;
    }
    owedPoll.reset();
    return write(request, 0);
}

void LinkSession::abandon()
{
    firstByteTimer->stop();
    answerTimer->stop();
    holdTimer->stop();
    heldFor.reset();
    lastTimedOut.reset();
    busy = false;
    receiving = false;
    change.reset();
}

void LinkSession::dropWaiting()
{
    waiting.clear();
    owedPoll.reset();
}

// Waiting one-off requests go first (a resend at their head), then the periodic read the line
// owes; a request that could not be written leaves the line free for the next.
std::optional<LinkSession::Queued> LinkSession::takeNext()
{
    if (!waiting.empty()) {
        const Queued next = waiting.front();
        waiting.pop_front();
        return next;
    }
    if (!owedPoll)
        return std::nullopt;
    const Queued next{*owedPoll, 0};
    owedPoll.reset();
    return next;
}

void LinkSession::writeNext()
{
    while (!busy && !holding()) {
        const std::optional<Queued> next = takeNext();
        if (!next)
            return;
        write(next->request, next->tries);
    }
}

bool LinkSession::write(const Request &request, int tries)
{
    if (!request.keepsReceived)
        dropReceived(); // leftovers of an earlier exchange
    const QString failure = port->write(request.frame);
    if (!failure.isEmpty()) {
        emit notSent(request, failure);
        LinkOutcome outcome;
        outcome.result = LinkOutcome::NotSent;
        outcome.reason = failure;
        outcome.tries = tries;
        complete(request, outcome);
        return false;
    }
    busy = true;
    receiving = false;
    current = request;
    currentTries = tries + 1;
    ++stats.requests;
    units.requestWritten(ModbusFrame::slaveOf(request.frame));
    sentAtMs = clock->nowMs();
    currentTimeoutMs = request.timeoutMs > 0 ? request.timeoutMs : timeoutMs(request.frame);
    firstByteDeadlineMs = sentAtMs + currentTimeoutMs;
    firstByteTimer->start(currentTimeoutMs);
    emit written(request);
    emit statisticsChanged();
    return true;
}

void LinkSession::receive()
{
    const QByteArray chunk = port->readAll();
    if (chunk.isEmpty())
        return;
    if (buffer.isEmpty())
        bufferStartMs = clock->nowMs();
    buffer.append(chunk);
    // The silence is counted from the last arrival. A line paced a byte at a time brings an
    // arrival a millisecond: the timer is not moved for each, it checks the time when it runs.
    lastArrivalMs = clock->nowMs();
    if (!silenceTimer->isActive())
        silenceTimer->start(Timing::ReceiveSilenceMs);
    if (busy && !receiving) {
        // An answer has begun: it may now take its time, within its bound.
        receiving = true;
        firstByteTimer->stop();
        const int bound = Transaction::answerBoundMs(current.frame, rate, currentTimeoutMs);
        answerTimer->start(int(std::max<qint64>(0, sentAtMs + bound - clock->nowMs())));
    }
    evaluate();
}

void LinkSession::evaluate()
{
    switch (ModbusReply::recognise(buffer)) {
    case ModbusReply::Verdict::Wait:
        return;
    case ModbusReply::Verdict::Discard:
        drop(reasonOf(ModbusReply::flaw(buffer)));
        return;
    case ModbusReply::Verdict::AdapterFailure:
        lose({PortFailure::FailingAdapter, QString()});
        return;
    case ModbusReply::Verdict::Accept:
        break;
    }
    const QByteArray frame = buffer;
    buffer.clear();
    silenceTimer->stop();
    take(frame);
}

// A complete frame with a valid CRC: the answer, another slave's frame, or a late reply.
void LinkSession::take(const QByteArray &frame)
{
    const Transaction::Fit fit =
        busy ? Transaction::fit(current.frame, frame) : Transaction::Fit::OtherRequest;
    if (fit == Transaction::Fit::Answer) {
        answer(frame);
        return;
    }
    learnFromLateAnswer(frame);
    if (fit == Transaction::Fit::OtherSlave) {
        ++stats.badFrames;
        emit dropped(frame, DropReason::OtherSlave);
    } else {
        ++stats.late;
        units.lateFrame(ModbusFrame::slaveOf(frame));
        emit late(frame);
    }
    emit statisticsChanged();
    notTheAnswer();
}

void LinkSession::answer(const QByteArray &frame)
{
    firstByteTimer->stop();
    answerTimer->stop();
    busy = false;
    receiving = false;
    const Request request = current;
    const int replySlave = ModbusFrame::slaveOf(frame);
    const bool exception = ModbusReply::isException(frame);
    LinkOutcome outcome;
    outcome.result = LinkOutcome::Answered;
    outcome.reply = frame;
    outcome.responseMs = int(clock->nowMs() - sentAtMs);
    ++stats.replies;
    stats.exceptions += exception ? 1 : 0;
    stats.lastResponseMs = outcome.responseMs;
    stats.totalResponseMs += outcome.responseMs;
    missedInARow[ModbusFrame::slaveOf(request.frame)] = 0;
    // A unit answers under its own address, also when asked at slave 0; a reply that names
    // slave 0 names no unit.
    const bool fromUnit = replySlave != Modbus::BroadcastAddress;
    if (fromUnit) {
        if (ModbusFrame::slaveOf(request.frame) == Modbus::BroadcastAddress)
            ++units.unit(replySlave).health.requests; // counted where it answered
        units.answered(replySlave, outcome.responseMs, exception, clock->nowMs());
    }
    outcome.decoded = ModbusReply::decode(frame, ModbusFrame::startRegisterOf(request.frame),
                                          units.deviceTypeAt(replySlave));
    const std::optional<UnitIdentity> previous =
        fromUnit ? noteUnit(request, frame, outcome.decoded, replySlave) : std::nullopt;
    Reading &reading = outcome.decoded.reading;
    if (!reading.isEmpty() && fromUnit) {
        reading.address = replySlave;
        reading.serial = units.serialAt(replySlave);
        units.readingTaken(replySlave, reading, clock->nowMs());
    }
    if (fromUnit)
        outcome.unit = units.find(replySlave)->identity;
    noteAnswering(true, sentAtMs);
    const int opening = openings;
    emit answered(request, frame);
    emit statisticsChanged();
    if (!stillOurs(opening))
        return; // the owner closed or reopened the port meanwhile
    if (previous)
        emit identified(replySlave, outcome.unit, *previous);
    if (!stillOurs(opening))
        return;
    if (const std::optional<SettingChange> next = changeOf(request, frame)) {
        startVerification(request, outcome, *next); // it ends once the unit is read back
        return;
    }
    ended(outcome);
}

// The request on the line has ended: sent again while its resends allow, otherwise its sender
// is told. Then the next request goes out, unless the sender has reopened the port meanwhile.
void LinkSession::ended(LinkOutcome outcome)
{
    const Request request = current;
    const bool unanswered =
        outcome.result == LinkOutcome::TimedOut || outcome.result == LinkOutcome::Garbled;
    outcome.tries = currentTries;
    if (unanswered && currentTries <= request.retries && port->isOpen()) {
        waiting.push_front({request, currentTries});
        writeNext();
        return;
    }
    const int opening = openings;
    complete(request, outcome);
    if (opening == openings)
        writeNext();
}

void LinkSession::complete(const Request &request, const LinkOutcome &outcome)
{
    if (request.done)
        request.done(outcome);
}

void LinkSession::noteAnswering(bool answeredNow, qint64 requestSentAtMs)
{
    const bool wasSilent = watch.isSilent();
    if (answeredNow)
        watch.answered(clock->nowMs());
    else
        watch.unanswered(requestSentAtMs, clock->nowMs());
    if (wasSilent != watch.isSilent())
        emit answeringChanged();
}

// What came was not the answer: the outstanding request waits on for its first byte, as long
// as its response timeout still runs.
void LinkSession::notTheAnswer()
{
    if (busy && receiving && buffer.isEmpty()) {
        receiving = false;
        answerTimer->stop();
        const qint64 remaining = firstByteDeadlineMs - clock->nowMs();
        if (remaining <= 0) {
            firstByteTimeout();
            return;
        }
        firstByteTimer->start(int(remaining));
    }
    writeNext();
}

void LinkSession::silencePassed()
{
    const qint64 quietMs = clock->nowMs() - lastArrivalMs;
    if (quietMs < Timing::ReceiveSilenceMs) {
        silenceTimer->start(int(Timing::ReceiveSilenceMs - quietMs));
        return;
    }
    if (!buffer.isEmpty())
        drop(reasonOf(ModbusReply::flaw(buffer)));
}

// Bytes that trickle in for ever are cut off where the longest answer must have ended.
void LinkSession::answerBoundPassed()
{
    if (!buffer.isEmpty())
        drop(DropReason::Incomplete);
    else if (busy)
        endGarbled(DropReason::Incomplete, QByteArray());
}

void LinkSession::firstByteTimeout()
{
    firstByteTimer->stop();
    busy = false;
    ++stats.timeouts;
    const Request request = current;
    const quint8 slave = ModbusFrame::slaveOf(request.frame);
    units.unanswered(slave, sentAtMs, clock->nowMs(), false, false);
    ++missedInARow[slave];
    noteAnswering(false, sentAtMs);
    lastTimedOut = TimedOutRequest{request.frame, sentAtMs};
    holdForLateAnswer(slave);
    emit timedOut(request, currentTimeoutMs);
    emit statisticsChanged();
    LinkOutcome outcome;
    outcome.result = LinkOutcome::TimedOut;
    outcome.timeoutMs = currentTimeoutMs;
    ended(outcome);
}

// The bytes received are dropped; when they were the outstanding request's answer, it ends.
void LinkSession::drop(DropReason reason)
{
    const QByteArray bytes = buffer;
    buffer.clear();
    silenceTimer->stop();
    ++stats.badFrames;
    emit dropped(bytes, reason);
    emit statisticsChanged();
    if (busy && receiving)
        endGarbled(reason, bytes);
    else
        writeNext();
}

void LinkSession::endGarbled(DropReason reason, const QByteArray &bytes)
{
    firstByteTimer->stop();
    answerTimer->stop();
    busy = false;
    receiving = false;
    const Request request = current;
    const bool collision =
        Transaction::classifyGarbled(request.frame, bytes) == Transaction::Garble::Collision;
    units.unanswered(ModbusFrame::slaveOf(request.frame), sentAtMs, clock->nowMs(), true,
                     collision);
    ++missedInARow[ModbusFrame::slaveOf(request.frame)];
    noteAnswering(false, sentAtMs);
    emit garbled(request, reason);
    LinkOutcome outcome;
    outcome.result = LinkOutcome::Garbled;
    outcome.dropReason = reason;
    outcome.dropped = bytes;
    ended(outcome);
}

void LinkSession::dropReceived()
{
    if (buffer.isEmpty())
        return;
    const QByteArray bytes = buffer;
    buffer.clear();
    silenceTimer->stop();
    ++stats.badFrames;
    emit dropped(bytes, reasonOf(ModbusReply::flaw(bytes)));
    emit statisticsChanged();
}
