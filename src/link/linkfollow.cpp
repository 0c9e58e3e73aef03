// The link session following the units: each unit's identity from its device information, the
// read-back after an address or rate write where the unit now listens, and the longer wait a
// slow unit shows it needs.
#include "link/linksession.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "protocol/transaction.h"

namespace {
bool isReadOf(const QByteArray &request, quint16 reg)
{
    return ModbusFrame::functionOf(request) == Modbus::ReadHoldingRegisters &&
           ModbusFrame::startRegisterOf(request) == reg;
}
} // namespace

// Every device-information reply names the unit at the address it came from (the previous
// identity there is returned when it did); a device-type read updates the type the unit's
// readings are decoded with. The read-back after a change is the verification's to judge.
std::optional<UnitIdentity> LinkSession::noteUnit(const Request &request, const QByteArray &reply,
                                                  const ModbusReply::Decoded &decoded,
                                                  int replySlave)
{
    const bool readBack = change && request.frame == DeviceInfo::request(change->change.slave);
    if (readBack || ModbusReply::isException(reply))
        return std::nullopt;
    const ModbusReply::DeviceFields &fields = decoded.device;
    if (decoded.display == ModbusReply::Display::DeviceInfo) {
        const UnitIdentity heard = identityFrom(fields, rate);
        if (!heard.known)
            return std::nullopt;
        const UnitIdentity previous = units.unit(replySlave).identity;
        units.identify(replySlave, heard);
        return previous;
    }
    if (decoded.display == ModbusReply::Display::DeviceType && fields.deviceType &&
        isReadOf(request.frame, Reg::DeviceType))
        units.unit(replySlave).identity.deviceType = *fields.deviceType;
    return std::nullopt;
}

// An echoed write of the address or the rate: the unit takes the new setting once its echo is
// out, and is read back where it should now listen.
std::optional<SettingChange> LinkSession::changeOf(const Request &request,
                                                   const QByteArray &reply) const
{
    if (ModbusReply::isException(reply) ||
        ModbusFrame::functionOf(request.frame) != Modbus::WriteSingleRegister)
        return std::nullopt;
    const quint16 reg = ModbusFrame::startRegisterOf(request.frame);
    const quint16 value = ModbusFrame::countOrValueOf(request.frame);
    if (reg == Reg::Address)
        return SettingChange{SettingChange::Address, value, quint8(value)};
    if (reg != Reg::BaudCode || Modbus::baudRateOfCode(value) == 0)
        return std::nullopt;
    return SettingChange{SettingChange::BaudRate, Modbus::baudRateOfCode(value),
                         ModbusFrame::slaveOf(request.frame)};
}

void LinkSession::startVerification(const Request &write, const LinkOutcome &echo,
                                    const SettingChange &next)
{
    // The echo comes from the unit's address as it was (the write to slave 0 included).
    const int echoSlave = ModbusFrame::slaveOf(echo.reply);
    const LineUnit *unit = units.find(echoSlave);
    if (next.kind == SettingChange::BaudRate) {
        port->setBaudRate(next.value);
        rate = next.value;
        if (unit)
            units.unit(echoSlave).identity.baudRate = rate;
    }
    change = PendingChange{write, echo, next, unit ? unit->identity : UnitIdentity()};
    change->echo.tries = currentTries;
    emit followingChange(next);
    Request readBack;
    readBack.frame = DeviceInfo::request(next.slave);
    readBack.retries = write.retries;
    readBack.done = [this](const LinkOutcome &outcome) { finishVerification(outcome); };
    submit(readBack, First);
}

// The read-back has ended: the write's sender learns how it came out. A unit that answered
// where it was asked is known at that address from now on, whatever it reports.
void LinkSession::finishVerification(const LinkOutcome &readBack)
{
    if (!change)
        return;
    const PendingChange pending = *change;
    change.reset();
    Verification result;
    result.change = pending.change;
    if (readBack.isException()) {
        result.outcome = Verification::Refused;
    } else if (readBack.answered()) {
        const UnitIdentity heard = identityFrom(readBack.decoded.device, rate);
        result = verifyChange(pending.change, pending.before, heard);
        result.reply = readBack.decoded;
        result.at = ModbusFrame::slaveOf(readBack.reply);
        if (result.outcome != Verification::OtherUnit && heard.known) {
            const int from = ModbusFrame::slaveOf(pending.echo.reply);
            if (pending.change.kind == SettingChange::Address && from != Modbus::BroadcastAddress)
                units.move(from, result.at);
            const UnitIdentity previous = units.unit(result.at).identity;
            units.identify(result.at, heard);
            emit identified(result.at, heard, previous);
        }
    }
    LinkOutcome outcome = pending.echo;
    outcome.verification = result;
    if (readBack.result == LinkOutcome::Lost) {
        outcome.result = LinkOutcome::Lost;
        outcome.reason = readBack.reason;
    }
    complete(pending.write, outcome);
}

// The first request to a slave that goes unanswered keeps the line quiet until the latest a late
// answer could begin: if the unit is only slow, its answer then comes on a free line, where it is
// seen as late and teaches the line to wait longer for it, instead of running into the next
// request. A unit that stays silent costs this once, not at every request; a search or a scan,
// which set their own waits, never.
void LinkSession::holdForLateAnswer(quint8 slave)
{
    if (fixedTimeoutMs > 0 || current.timeoutMs > 0 || slave == Modbus::BroadcastAddress)
        return;
    if (missedInARow[slave] != 1)
        return;
    const qint64 until = sentAtMs + Timing::LateAnswerCeilingMs;
    if (until <= clock->nowMs())
        return;
    heldFor = slave;
    holdTimer->start(int(until - clock->nowMs()));
}

// A valid frame that answers the request that timed out last: the unit is slow, not silent.
void LinkSession::learnFromLateAnswer(const QByteArray &frame)
{
    if (!lastTimedOut || Transaction::fit(lastTimedOut->frame, frame) != Transaction::Fit::Answer)
        return;
    const TimedOutRequest timedOut = *lastTimedOut;
    lastTimedOut.reset();
    const quint8 slave = ModbusFrame::slaveOf(timedOut.frame);
    const int answerStartMs = int(bufferStartMs - timedOut.sentAtMs);
    const int longer = Transaction::lateAnswerTimeoutMs(answerStartMs);
    const bool fixed = fixedTimeoutMs > 0;
    if (!fixed && answerStartMs > 0 && longer > timeoutMs(timedOut.frame)) {
        learntTimeoutMs[slave] = longer;
        emit slowUnit(slave, answerStartMs, longer);
    }
    if (heldFor == slave) { // the line is free again once this frame is dealt with
        holdTimer->stop();
        heldFor.reset();
    }
}

void LinkSession::releaseHold()
{
    holdTimer->stop();
    heldFor.reset();
    writeNext();
}
