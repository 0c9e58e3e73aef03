#pragma once

#include "options.h"
#include "protocol/modbusreply.h"

#include <QByteArray>

// The frames tervin-cli sends, and the readings a reply to its read carries.
namespace Requests {

// Registers 0x0100 to 0x0107: address, rate, firmware, device type, serial, sensor.
QByteArray deviceInfo(int slave);
// The address (1 to 247), sent to slave 0 as the window sends it: the device takes it there
// whatever its address.
QByteArray writeAddress(int address);
QByteArray writeBaudRate(int slave, int baudRate);
ModbusReply::Selector selectorOf(What what);
// The readings asked for (what, and the block of tenths or hundredths) from a unit of this type.
QByteArray readings(int slave, quint16 deviceType, What what, bool hundredths);
// The reading a reply to that request carries, in the unit's own unit.
Reading readingOf(const QByteArray &reply, const QByteArray &request, quint16 deviceType);

} // namespace Requests
