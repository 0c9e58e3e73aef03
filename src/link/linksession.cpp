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
      failureTimer(clock->makeTimer([this] { handleFailure(); }))
{
    qRegisterMetaType<LinkSession::DropReason>();
    connect(port, &LinkPort::readyRead, this, &LinkSession::receive);
    connect(port, &LinkPort::failed, this, &LinkSession::portFailed);
}

LinkSession::~LinkSession() = default;

PortFailure LinkSession::open(const QString &portName, int baudRate)
{
    abandon();
    dropReceived();
    failureTimer->stop();
    ++openings;
    const PortFailure failure = port->open(portName, baudRate);
    if (!failure.failed())
        rate = baudRate;
    return failure;
}

void LinkSession::setBaudRate(int baudRate)
{
    abandon();
    dropReceived();
    port->setBaudRate(baudRate);
    rate = baudRate;
}

void LinkSession::close()
{
    abandon();
    dropReceived();
    failureTimer->stop();
    port->close();
}

int LinkSession::timeoutMs(const QByteArray &request) const
{
    return fixedTimeoutMs > 0 ? fixedTimeoutMs : Transaction::responseTimeoutMs(request, rate);
}

void LinkSession::resetStatistics()
{
    stats = LinkStatistics();
    emit statisticsChanged();
}

void LinkSession::submit(const Request &request, Place place)
{
    if (place == First)
        waiting.push_front(request);
    else
        waiting.push_back(request);
    writeNext();
}

bool LinkSession::poll(const Request &request)
{
    if (busy || !waiting.empty()) {
        ++stats.skipped;
        owedPoll = request;
        emit statisticsChanged();
        return false;
    }
    owedPoll.reset();
    return write(request);
}

void LinkSession::abandon()
{
    firstByteTimer->stop();
    answerTimer->stop();
    busy = false;
    receiving = false;
    change.reset();
}

void LinkSession::dropWaiting()
{
    waiting.clear();
    owedPoll.reset();
}

// Waiting one-off requests go first, then the periodic read the line owes; a request that could
// not be written leaves the line free for the next.
std::optional<LinkSession::Request> LinkSession::takeNext()
{
    std::optional<Request> next;
    if (!waiting.empty()) {
        next = waiting.front();
        waiting.pop_front();
    } else {
        next.swap(owedPoll);
    }
    return next;
}

void LinkSession::writeNext()
{
    while (!busy) {
        const std::optional<Request> next = takeNext();
        if (!next)
            return;
        write(*next);
    }
}

bool LinkSession::write(const Request &request)
{
    if (!request.keepsReceived)
        dropReceived(); // leftovers of an earlier exchange
    const QString failure = port->write(request.frame);
    if (!failure.isEmpty()) {
        emit notSent(request, failure);
        return false;
    }
    busy = true;
    receiving = false;
    current = request;
    ++stats.requests;
    sentAtMs = clock->nowMs();
    const int timeout = timeoutMs(request.frame);
    firstByteDeadlineMs = sentAtMs + timeout;
    firstByteTimer->start(timeout);
    emit written(request);
    emit statisticsChanged();
    return true;
}

void LinkSession::receive()
{
    const QByteArray chunk = port->readAll();
    if (chunk.isEmpty())
        return;
    buffer.append(chunk);
    silenceTimer->start(Timing::ReceiveSilenceMs);
    if (busy && !receiving) {
        // An answer has begun: it may now take its time, within its bound.
        receiving = true;
        firstByteTimer->stop();
        const int bound = Transaction::answerBoundMs(current.frame, rate, timeoutMs(current.frame));
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
    if (fit == Transaction::Fit::OtherSlave) {
        ++stats.badFrames;
        emit dropped(frame, DropReason::OtherSlave);
    } else {
        ++stats.late;
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
    ++stats.replies;
    stats.exceptions += ModbusReply::isException(frame) ? 1 : 0;
    stats.lastResponseMs = int(clock->nowMs() - sentAtMs);
    stats.totalResponseMs += stats.lastResponseMs;
    const Request request = current;
    const ModbusReply::Decoded decoded = ModbusReply::decode(
        frame, ModbusFrame::startRegisterOf(request.frame), identity.deviceType);
    const UnitIdentity previous = identity;
    const bool identifying = noteIdentity(request, frame, decoded);
    const int opening = openings;
    emit answered(request, frame, decoded);
    emit statisticsChanged();
    if (opening != openings || !port->isOpen())
        return; // the owner closed or reopened the port meanwhile
    if (identifying)
        emit identified(identity, previous);
    follow(request, frame, decoded);
    writeNext();
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
    if (!buffer.isEmpty())
        drop(reasonOf(ModbusReply::flaw(buffer)));
}

// Bytes that trickle in for ever are cut off where the longest answer must have ended.
void LinkSession::answerBoundPassed()
{
    if (!buffer.isEmpty())
        drop(DropReason::Incomplete);
    else if (busy)
        endGarbled(DropReason::Incomplete);
}

void LinkSession::firstByteTimeout()
{
    firstByteTimer->stop();
    busy = false;
    ++stats.timeouts;
    const Request request = current;
    emit timedOut(request, timeoutMs(request.frame));
    emit statisticsChanged();
    if (request.kind == VerifyKind)
        verificationFailed(Verification::NoAnswer);
    writeNext();
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
        endGarbled(reason);
    else
        writeNext();
}

void LinkSession::endGarbled(DropReason reason)
{
    firstByteTimer->stop();
    answerTimer->stop();
    busy = false;
    receiving = false;
    const Request request = current;
    emit garbled(request, reason);
    if (request.kind == VerifyKind)
        verificationFailed(Verification::NoAnswer);
    writeNext();
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

// A port reports errors while its signal is being handled, and a dying port may report them
// while it is closed for a new opening: the error is handled afterwards, and only if the port
// has not been opened anew since.
void LinkSession::portFailed(const PortFailure &failure)
{
    if (failureTimer->isActive())
        return;
    pendingFailure = failure;
    failureOpening = openings;
    failureTimer->start(0);
}

void LinkSession::handleFailure()
{
    if (failureOpening == openings && port->isOpen())
        lose(pendingFailure);
}

// The port is gone: it is closed, what was received is dropped, the outstanding request is
// given up, and the owner is told.
void LinkSession::lose(const PortFailure &failure)
{
    port->close();
    if (!buffer.isEmpty()) {
        const QByteArray bytes = buffer;
        buffer.clear();
        silenceTimer->stop();
        const DropReason reason = failure.kind == PortFailure::FailingAdapter
                                      ? DropReason::AdapterNoise
                                      : DropReason::Incomplete;
        emit dropped(bytes, reason);
    }
    abandon();
    failureTimer->stop();
    emit portLost(failure);
}
