#pragma once

#include "protocol/reading.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Recognition and decoding of the transmitter's replies. No widgets, no globals: the
// window's receive slot calls these and then updates the form.
namespace ModbusReply {

enum class Verdict {
    Wait,           // incomplete, bad CRC, or more bytes than one reply: keep and wait
    Accept,         // exactly one complete reply with a valid CRC
    Discard,        // more than the receive cap: drop unseen
    AdapterFailure, // (nearly) all of a full buffer is 0x00/0xFF: a failing USB adapter
};

// Payload length implied by the function code (byte 1): the byte count for a read,
// 3 for a write echo, 0 for anything else (an exception reply is 5 bytes in all).
int payloadLength(const QByteArray &frame);
int expectedLength(const QByteArray &frame);

Verdict recognise(const QByteArray &buffer);

// Why bytes that were dropped never became a reply.
enum class Flaw {
    Incomplete, // shorter than the frame its function code announces
    BadCrc,     // the length of a frame, and a CRC that does not fit
    ExtraBytes, // longer than a frame: junk before it, or two frames at once
};
Flaw flaw(const QByteArray &dropped);

// Unsigned big-endian field of up to two bytes at pos; bytes past the end are absent.
quint16 field(const QByteArray &frame, int pos);
// The same two bytes as a two's-complement 16-bit value.
qint32 signedField(const QByteArray &frame, int pos);

bool isException(const QByteArray &frame);
quint8 exceptionCode(const QByteArray &frame);
// What an exception code means, in English ("illegal data address"), marked for translation.
const char *exceptionMeaning(quint8 code);
// "exception 0x02 (illegal data address)", translated: the one text of an exception reply.
QString exceptionText(quint8 code);

enum class Display {
    Nothing,
    ReadingsX10,  // one decimal
    ReadingsX100, // two decimals
    StatusDashes,
    Address,
    DeviceInfo,
    BaudRate,
    DeviceType,
    SensorType,
};

// Selector of the reading displays: which of the three readings a reply carried.
enum Selector { AllReadings = 0, TemperatureOnly = 1, HumidityOnly = 2, DewPointOnly = 3 };

// Start register of the block that holds the readings in hundredths (or else tenths) for this
// device type: the inverse of the scale decode() gives each block.
quint16 readingsBlock(quint16 deviceType, bool hundredths);
// The read of the readings a selector names (all four registers of the block, or one reading)
// from the block of hundredths or of tenths of a unit of this type.
QByteArray readingsRequest(quint8 slave, quint16 deviceType, Selector what, bool hundredths);

// The device's settings registers a reply carried; a register it did not carry stays empty.
struct DeviceFields
{
    std::optional<quint16> address;
    std::optional<quint16> baudCode;
    std::optional<quint16> firmware;
    std::optional<quint16> deviceType;
    std::optional<quint16> sensorType;
    QString serial; // registers 0x0104 to 0x0106 as twelve hexadecimal digits
};

// The raw reading registers a reply carried: temperature and dew point signed, humidity not.
struct RawReadings
{
    std::optional<qint32> temperature;
    std::optional<quint16> humidity;
    std::optional<qint32> dewPoint;
};

// What an accepted reply means as the answer to its request.
struct Decoded
{
    Display display = Display::Nothing;
    int selector = AllReadings;
    DeviceFields device;
    RawReadings raw;
    Reading reading; // the raw readings scaled, in the device's unit; empty for other replies
};

// Decodes an accepted reply as the answer to the request whose start register is
// requestRegister, from a device of this type (which block holds tenths, and the unit).
// Exception replies and replies whose shape does not fit the request carry nothing.
Decoded decode(const QByteArray &frame, quint16 requestRegister, quint16 deviceType);

} // namespace ModbusReply
