// The link session following the device: the unit's identity from its device information, and
// the read-back after an address or rate write, where the device now listens.
#include "link/linksession.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

namespace {
QByteArray deviceInfoRead(quint8 slave)
{
    return ModbusFrame::buildRequest(slave, Modbus::ReadHoldingRegisters, Reg::Address,
                                     Reg::DeviceInfoCount);
}
} // namespace

void LinkSession::follow(const Request &request, const QByteArray &reply,
                         const ModbusReply::Decoded &decoded)
{
    if (request.kind == VerifyKind) {
        if (ModbusReply::isException(reply))
            verificationFailed(Verification::Refused);
        else
            finishVerification(decoded);
        return;
    }
    if (ModbusReply::isException(reply))
        return; // the device refused: nothing changed
    const quint8 function = ModbusFrame::functionOf(request.frame);
    const quint16 reg = ModbusFrame::startRegisterOf(request.frame);
    if (function == Modbus::WriteSingleRegister && (reg == Reg::Address || reg == Reg::BaudCode))
        startVerification(request);
}

// Every device-information reply names the unit (true when it did); the address and type reads
// update it. The read-back after a change is the verification's to judge.
bool LinkSession::noteIdentity(const Request &request, const QByteArray &reply,
                               const ModbusReply::Decoded &decoded)
{
    if (request.kind == VerifyKind || ModbusReply::isException(reply))
        return false;
    const ModbusReply::DeviceFields &fields = decoded.device;
    if (decoded.display == ModbusReply::Display::DeviceInfo) {
        const UnitIdentity heard = identityFrom(fields, rate);
        if (heard.known)
            identity = heard;
        return heard.known;
    }
    if (decoded.display == ModbusReply::Display::Address && fields.address)
        identity.address = *fields.address;
    if (decoded.display == ModbusReply::Display::DeviceType && fields.deviceType &&
        ModbusFrame::functionOf(request.frame) == Modbus::ReadHoldingRegisters)
        identity.deviceType = *fields.deviceType;
    return false;
}

// The device takes the new setting once its echo is out: it is read back where it should now
// listen, at the new address, or at the new rate.
void LinkSession::startVerification(const Request &write)
{
    const quint16 reg = ModbusFrame::startRegisterOf(write.frame);
    const quint16 value = ModbusFrame::countOrValueOf(write.frame);
    SettingChange next;
    if (reg == Reg::Address) {
        next = {SettingChange::Address, value, quint8(value)};
    } else {
        next = {SettingChange::BaudRate, Modbus::baudRateOfCode(value),
                ModbusFrame::slaveOf(write.frame)};
        if (next.value == 0)
            return;
        port->setBaudRate(next.value);
        rate = next.value;
        identity.baudRate = rate;
    }
    change = next;
    unitBeforeChange = identity;
    emit followingChange(next);
    submit({deviceInfoRead(next.slave), VerifyKind}, First);
}

void LinkSession::finishVerification(const ModbusReply::Decoded &decoded)
{
    if (!change)
        return;
    Verification result =
        verifyChange(*change, unitBeforeChange, identityFrom(decoded.device, rate));
    result.reply = decoded;
    change.reset();
    if (result.outcome == Verification::Verified || result.outcome == Verification::OtherValue) {
        const UnitIdentity previous = identity;
        identity = result.unit;
        emit changeChecked(result);
        emit identified(identity, previous);
        return;
    }
    emit changeChecked(result);
}

void LinkSession::verificationFailed(Verification::Outcome outcome)
{
    if (!change)
        return;
    Verification result;
    result.change = *change;
    result.outcome = outcome;
    change.reset();
    emit changeChecked(result);
}
