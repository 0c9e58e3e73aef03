#pragma once

#include <QByteArray>
#include <QString>

struct CommStateRecord;

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
// What an exception code means, in English ("illegal data address"); the texts are marked for
// translation in the window's context.
const char *exceptionMeaning(quint8 code);
// "exception 0x02 (illegal data address)"
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

struct Effect
{
    Display display = Display::Nothing;
    int selector = AllReadings;
};

// Decodes an accepted reply as the answer to the request whose start register is
// requestRegister, stores its values in state and says what the window must show.
// Exception replies and replies whose shape does not fit the request store nothing.
Effect decode(const QByteArray &frame, quint16 requestRegister, CommStateRecord &state);

} // namespace ModbusReply
