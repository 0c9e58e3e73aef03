#include "link/unitidentity.h"

#include "protocol/deviceinfo.h"
#include "protocol/protocol.h"

#include <QCoreApplication>

bool UnitIdentity::isOtherUnit(const UnitIdentity &other) const
{
    if (!known || !other.known)
        return false;
    return serial != other.serial || deviceType != other.deviceType;
}

QString UnitIdentity::label() const
{
    return QCoreApplication::translate("Link", "serial %1, %2")
        .arg(serial, DeviceInfo::deviceTypeName(deviceType));
}

UnitIdentity identityFrom(const ModbusReply::DeviceFields &fields, int baudRate)
{
    UnitIdentity unit;
    unit.known = fields.address && fields.baudCode && fields.firmware && fields.deviceType &&
                 fields.sensorType && !fields.serial.isEmpty();
    unit.address = fields.address.value_or(0);
    unit.baudRate = baudRate;
    unit.baudCode = fields.baudCode.value_or(0);
    unit.deviceType = fields.deviceType.value_or(0);
    unit.sensorType = fields.sensorType.value_or(0);
    unit.firmware = fields.firmware.value_or(0);
    unit.serial = fields.serial;
    return unit;
}

QString Verification::reason() const
{
    const bool address = change.kind == SettingChange::Address;
    switch (outcome) {
    case Verified:
        return QString();
    case NoAnswer:
        return address
                   ? QCoreApplication::translate("Link", "no answer at address %1")
                         .arg(change.value)
                   : QCoreApplication::translate("Link", "no answer at %1 bit/s").arg(change.value);
    case Refused:
        return QCoreApplication::translate("Link", "the device refused the read-back");
    case OtherValue:
        return address ? QCoreApplication::translate("Link", "the unit at %1 reports address %2")
                             .arg(at ? at : change.value)
                             .arg(reported)
                       : QCoreApplication::translate("Link", "the device reports %1 bit/s, not %2")
                             .arg(reported)
                             .arg(change.value);
    case OtherUnit:
        return QCoreApplication::translate("Link", "another unit answered: %1").arg(unit.label());
    }
    return QString();
}

Verification verifyChange(const SettingChange &change, const UnitIdentity &before,
                          const UnitIdentity &answered)
{
    Verification result;
    result.change = change;
    result.unit = answered;
    if (answered.isOtherUnit(before)) {
        result.outcome = Verification::OtherUnit;
        return result;
    }
    result.reported = change.kind == SettingChange::Address
                          ? answered.address
                          : Modbus::baudRateOfCode(answered.baudCode);
    result.outcome =
        result.reported == change.value ? Verification::Verified : Verification::OtherValue;
    return result;
}
