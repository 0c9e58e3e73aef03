#include "widget/polltarget.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

PollTarget::PollTarget(LinkSession *session, QObject *parent) : QObject(parent), session(session) {}

void PollTarget::set(int address)
{
    cancelTrial();
    saidNoUnitAt = 0;
    if (address == current)
        return;
    current = address;
    emit moved(current);
}

void PollTarget::clear()
{
    cancelTrial();
    current = 0;
}

void PollTarget::cancelTrial()
{
    trial = 0;
    ++generation;
}

bool PollTarget::unitHeardAt(int address) const
{
    const LineUnit *unit = session->roster().find(address);
    return unit && unit->health.replies > 0;
}

void PollTarget::enter(int address)
{
    if (address == current || address == trial)
        return;
    if (current == 0 || !unitHeardAt(current) || !session->isOpen()) {
        set(address);
        return;
    }
    cancelTrial();
    trial = address;
    LinkRequest request;
    request.frame = DeviceInfo::request(quint8(address));
    request.timeoutMs = session->timeoutMs(request.frame); // no wait held for a late answer
    const int asked = generation;
    request.done = [this, asked, address](const LinkOutcome &outcome) {
        if (asked == generation)
            tried(address, outcome);
    };
    session->submit(request);
}

void PollTarget::tried(int address, const LinkOutcome &outcome)
{
    trial = 0;
    if (outcome.answered() && !outcome.isException()) {
        emit unitAnswered(outcome);
        set(address);
        return;
    }
    const bool portGone =
        outcome.result == LinkOutcome::NotSent || outcome.result == LinkOutcome::Lost;
    if (portGone || saidNoUnitAt == address)
        return;
    saidNoUnitAt = address;
    emit noUnitAt(address, current);
}

void PollTarget::writeAddress(int address, std::function<void(const LinkOutcome &)> then)
{
    cancelTrial();
    LinkRequest request;
    request.frame = ModbusFrame::buildRequest(Modbus::BroadcastAddress, Modbus::WriteSingleRegister,
                                              Reg::Address, quint16(address));
    request.keepsReceived = true; // bytes already received stay where they are
    request.done = [this, then = std::move(then)](const LinkOutcome &outcome) {
        const std::optional<Verification> &check = outcome.verification;
        if (check && check->at != 0 &&
            (check->outcome == Verification::Verified ||
             check->outcome == Verification::OtherValue))
            set(check->at);
        then(outcome);
    };
    session->submit(request);
}
