#include "link/linescan.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/transaction.h"

namespace {
constexpr int ConflictAtOnce = 2; // a scan looks once: one collision flags the address
}

LineScan::LineScan(LinkSession *session, QObject *parent) : QObject(parent), session(session)
{
    connect(session, &LinkSession::dropped, this, &LineScan::otherSlaveHeard);
}

void LineScan::start(const QList<int> &list, int timeout, int resends)
{
    addresses = list;
    timeoutMs = timeout;
    retries = resends;
    index = 0;
    late.clear();
    namedLate.clear();
    lateIndex = -1;
    running = !addresses.isEmpty();
    ++generation;
    if (running)
        ask();
    else
        emit finished(false);
}

void LineScan::cancel()
{
    if (!running)
        return;
    running = false;
    ++generation;
    emit finished(true);
}

void LineScan::send(int address, int waitMs, std::function<void(const LinkOutcome &)> then)
{
    LinkRequest request;
    request.frame = DeviceInfo::request(quint8(address));
    request.retries = retries;
    request.timeoutMs = waitMs > 0 ? waitMs : session->timeoutMs(request.frame);
    const int asking = generation;
    request.done = [this, asking, then = std::move(then)](const LinkOutcome &outcome) {
        if (asking == generation && running)
            then(outcome);
    };
    session->submit(request);
}

void LineScan::ask()
{
    const int address = addresses.at(index);
    const int wait = timeoutMs > 0 ? timeoutMs
                                   : Transaction::scanTimeoutMs(DeviceInfo::request(quint8(address)),
                                                                session->baudRate());
    send(address, wait,
         [this, address](const LinkOutcome &outcome) { askedEnded(address, outcome); });
}

// The addresses whose answers came too late, once more with the rate's whole response timeout.
void LineScan::askAgain()
{
    if (++lateIndex >= late.size()) {
        running = false;
        emit finished(false);
        return;
    }
    const int address = late.at(lateIndex);
    send(address, 0,
         [this, address](const LinkOutcome &outcome) { lookedAgain(address, outcome); });
}

void LineScan::lookedAgain(int address, const LinkOutcome &outcome)
{
    if (outcome.answered())
        emit answered(address, outcome);
    else if (namedLate.contains(address))
        emit cutOff(address);
    if (!portGone(outcome))
        askAgain();
}

bool LineScan::portGone(const LinkOutcome &outcome)
{
    if (outcome.result != LinkOutcome::Lost && outcome.result != LinkOutcome::NotSent)
        return false;
    running = false;
    emit finished(false);
    return true;
}

void LineScan::askedEnded(int address, const LinkOutcome &outcome)
{
    if (outcome.answered()) {
        emit answered(address, outcome);
    } else if (outcome.result == LinkOutcome::Garbled) {
        const QByteArray asked = DeviceInfo::request(quint8(address));
        switch (Transaction::classifyGarbled(asked, outcome.dropped)) {
        case Transaction::Garble::Collision:
            session->roster().unit(address).collisionsInARow = ConflictAtOnce;
            emit collision(address, outcome);
            break;
        case Transaction::Garble::CutOff:
            otherSlaveHeard(outcome.dropped, LinkDropReason::OtherSlave);
            break;
        case Transaction::Garble::Noise: // dropped, and so looked at again (otherSlaveHeard)
            break;
        }
    }
    if (!running || portGone(outcome))
        return;
    emit progress(++index, total());
    if (index < addresses.size())
        ask();
    else
        askAgain();
}

// Bytes in an address's wait that are not its answer: under another slave's address, that
// slave's answer come late; under none that was asked, a late answer talked over.
void LineScan::otherSlaveHeard(const QByteArray &bytes, LinkDropReason reason)
{
    if (!running || lateIndex >= 0 || bytes.isEmpty())
        return;
    const int from = ModbusFrame::slaveOf(bytes);
    if (reason == LinkDropReason::OtherSlave && addresses.contains(from)) {
        namedLate.insert(from);
        lookAgainAt(from);
    } else {
        lookAgainAroundNoise();
    }
}

void LineScan::lookAgainAt(int address)
{
    if (!late.contains(address))
        late << address;
}

// Unreadable bytes during the first pass: the late answer of the address asked before, spoilt by
// the request that followed it, or the answer of the one asked, spoilt.
void LineScan::lookAgainAroundNoise()
{
    if (index > 0)
        lookAgainAt(addresses.at(index - 1));
    if (index < addresses.size())
        lookAgainAt(addresses.at(index));
}
