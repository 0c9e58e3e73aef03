#pragma once

#include <QByteArray>
#include <QString>

// What the device-information read (registers 0x0100 to 0x0107) tells about a transmitter, as
// text: the names a technician reads on the unit's label and in the window.
namespace DeviceInfo {

// The one request that reads it, from this slave (0: whichever unit is on the line).
QByteArray request(quint8 slave);

// Firmware 123 is "1.2.3": the hundreds, tens and units digits; digits above are not shown.
QString firmwareText(quint16 version);
// "Tervin-O", "Tervin-C", "Tervin-F"; an unknown code is given as its number.
QString deviceTypeName(quint16 code);
// "SHT2X/3X", "SHT3X/4X"; an unknown code is given as its number.
QString sensorTypeName(quint16 code);
// Registers 0x0104 to 0x0106 of a device-information reply as twelve lower-case hexadecimal
// digits; empty when the reply does not carry them.
QString serialNumber(const QByteArray &deviceInfoReply);

} // namespace DeviceInfo
