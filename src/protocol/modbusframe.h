#pragma once

#include <QByteArray>
#include <QString>

// Modbus RTU request frames: building, CRC and their text form. No widgets, no globals.
namespace ModbusFrame {

// CRC-16 of Modbus RTU: polynomial 0xA001 (0x8005 reflected), initial value 0xFFFF,
// no final xor. The low byte travels first on the wire.
quint16 crc16(const char *data, int length);
quint16 crc16(const QByteArray &bytes);

// The frame followed by its CRC, low byte first.
QByteArray withCrc(QByteArray frame);

// The 8-byte request: slave, function, start register, count (0x03) or value (0x06), CRC.
QByteArray buildRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 countOrValue);

// The fields of a request read back: its slave, function, start register, and the count it reads
// or the value it writes.
quint8 slaveOf(const QByteArray &request);
quint8 functionOf(const QByteArray &request);
quint16 startRegisterOf(const QByteArray &request);
quint16 countOrValueOf(const QByteArray &request);

// Two lower-case hexadecimal digits per byte, no separators.
QString hexText(const QByteArray &frame);

} // namespace ModbusFrame
