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
    cutOffReported.clear();
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

void LineScan::ask()
{
    const int address = addresses.at(index);
    LinkRequest request;
    request.frame = DeviceInfo::request(quint8(address));
    request.retries = retries;
    request.timeoutMs =
        timeoutMs > 0 ? timeoutMs : Transaction::scanTimeoutMs(request.frame, session->baudRate());
    const int asking = generation;
    request.done = [this, asking, address](const LinkOutcome &outcome) {
        if (asking == generation && running)
            askedEnded(address, outcome);
    };
    session->submit(request);
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
        case Transaction::Garble::Noise:
            break;
        }
    }
    if (!running)
        return;
    if (outcome.result == LinkOutcome::Lost || outcome.result == LinkOutcome::NotSent) {
        running = false;
        emit finished(false);
        return;
    }
    emit progress(++index, total());
    if (index < addresses.size()) {
        ask();
        return;
    }
    running = false;
    emit finished(false);
}

// Bytes under another slave's address in an address's wait: that slave's answer, come late.
void LineScan::otherSlaveHeard(const QByteArray &bytes, LinkDropReason reason)
{
    if (!running || reason != LinkDropReason::OtherSlave || bytes.isEmpty())
        return;
    const int from = ModbusFrame::slaveOf(bytes);
    if (cutOffReported.contains(from))
        return;
    cutOffReported << from;
    emit cutOff(from);
}
