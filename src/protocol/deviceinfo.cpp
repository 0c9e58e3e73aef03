#include "protocol/deviceinfo.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

namespace {
QString nameOrNumber(const char *const names[], int count, quint16 code)
{
    return code < count ? QLatin1String(names[code]) : QString::number(code);
}
} // namespace

namespace DeviceInfo {

QByteArray request(quint8 slave)
{
    return ModbusFrame::buildRequest(slave, Modbus::ReadHoldingRegisters, Reg::Address,
                                     Reg::DeviceInfoCount);
}

QString firmwareText(quint16 version)
{
    return QStringLiteral("%1.%2.%3")
        .arg(version / 100 % 10)
        .arg(version / 10 % 10)
        .arg(version % 10);
}

QString deviceTypeName(quint16 code)
{
    static const char *const names[] = {"Tervin-O", "Tervin-C", "Tervin-F"};
    return nameOrNumber(names, 3, code);
}

QString sensorTypeName(quint16 code)
{
    static const char *const names[] = {"SHT2X/3X", "SHT3X/4X"};
    return nameOrNumber(names, 2, code);
}

QString serialNumber(const QByteArray &deviceInfoReply)
{
    // Slave, function, byte count, then the registers from 0x0100 on.
    constexpr int first = 3 + 2 * (Reg::SerialNumber - Reg::Address);
    constexpr int length = 2 * Reg::SerialNumberCount;
    if (deviceInfoReply.size() < first + length + 2) // the CRC follows
        return QString();
    return QString::fromLatin1(deviceInfoReply.mid(first, length).toHex());
}

} // namespace DeviceInfo
