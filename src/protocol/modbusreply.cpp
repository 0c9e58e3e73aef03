#include "protocol/modbusreply.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QCoreApplication>

#include <algorithm>

namespace ModbusReply {

namespace {

quint8 byteAt(const QByteArray &frame, int pos)
{
    return static_cast<quint8>(frame.at(pos));
}

quint8 functionCode(const QByteArray &frame)
{
    return frame.size() > 1 ? byteAt(frame, 1) : 0;
}

// Only a buffer that long can hold that many: a shorter one is not counted at all, so that a
// reply arriving in pieces is not scanned again at every piece.
bool isFailingAdapterNoise(const QByteArray &buffer)
{
    if (buffer.size() < AdapterFailureBytes)
        return false;
    const int noise = int(std::count_if(buffer.cbegin(), buffer.cend(),
                                        [](char c) { return c == '\x00' || c == '\xFF'; }));
    return noise >= AdapterFailureBytes;
}

// A read reply's register at index i lies at bytes 3 + 2i; it counts only when the
// byte count covers both of its bytes (otherwise those would be CRC bytes).
bool readReplyHasRegister(const QByteArray &frame, int index)
{
    return payloadLength(frame) >= 2 * (index + 1);
}

bool isReadReply(const QByteArray &frame)
{
    return functionCode(frame) == Modbus::ReadHoldingRegisters;
}

bool isWriteEcho(const QByteArray &frame)
{
    return functionCode(frame) == Modbus::WriteSingleRegister;
}

// Blocks 0x0000 and 0x0004 hold the readings in tenths and hundredths; device type 0
// carries tenths in the first block, the other types the reverse.
Display readingsDisplay(quint16 requestRegister, quint16 deviceType)
{
    const bool firstBlock = requestRegister < Reg::SecondBlock;
    const bool tenths = (deviceType == 0) == firstBlock;
    return tenths ? Display::ReadingsX10 : Display::ReadingsX100;
}

// The raw registers scaled by their block, in the device's unit.
Reading scaled(const RawReadings &raw, Display display, quint16 deviceType)
{
    const ReadingScale scale = readingScale(display == Display::ReadingsX100);
    Reading reading;
    reading.decimals = scale.decimals;
    reading.fahrenheit = isFahrenheitDevice(deviceType);
    if (raw.temperature)
        reading.temperature = *raw.temperature / scale.divisor;
    if (raw.humidity)
        reading.humidity = *raw.humidity / scale.divisor;
    if (raw.dewPoint)
        reading.dewPoint = *raw.dewPoint / scale.divisor;
    return reading;
}

Decoded readings(Display display, int selector, const RawReadings &raw, quint16 deviceType)
{
    Decoded decoded;
    decoded.display = display;
    decoded.selector = selector;
    decoded.raw = raw;
    decoded.reading = scaled(raw, display, deviceType);
    return decoded;
}

Decoded decodeReadings(const QByteArray &frame, quint16 requestRegister, quint16 deviceType)
{
    if (!isReadReply(frame))
        return {};
    const int quantity = requestRegister % Reg::BlockSize;
    const int payload = payloadLength(frame);
    const Display display = readingsDisplay(requestRegister, deviceType);
    if (quantity == Reg::Status)
        return {Display::StatusDashes};
    if (quantity == Reg::Temperature && payload == 2 * Reg::BlockSize)
        return readings(display, AllReadings,
                        {signedField(frame, 3), field(frame, 5), signedField(frame, 7)},
                        deviceType);
    if (payload != 2) // a one-register read must be answered with exactly one register
        return {};
    switch (quantity) {
    case Reg::Temperature:
        return readings(display, TemperatureOnly, {signedField(frame, 3), {}, {}}, deviceType);
    case Reg::Humidity:
        return readings(display, HumidityOnly, {{}, field(frame, 3), {}}, deviceType);
    default:
        return readings(display, DewPointOnly, {{}, {}, signedField(frame, 3)}, deviceType);
    }
}

Decoded decodeAddress(const QByteArray &frame)
{
    Decoded decoded;
    if (isWriteEcho(frame)) {
        decoded.device.address = byteAt(frame, 5); // low byte of the echoed value
        return decoded;
    }
    if (!isReadReply(frame) || !readReplyHasRegister(frame, 0))
        return decoded;
    DeviceFields &device = decoded.device;
    device.address = field(frame, 3);
    if (payloadLength(frame) <= 2) {
        decoded.display = Display::Address;
        return decoded;
    }
    // The device-information read: registers 0x0100 to 0x0107 from byte 3 on. A short
    // reply carries only the registers its byte count covers.
    if (readReplyHasRegister(frame, 1))
        device.baudCode = field(frame, 5);
    if (readReplyHasRegister(frame, 2))
        device.firmware = field(frame, 7);
    if (readReplyHasRegister(frame, 3))
        device.deviceType = field(frame, 9);
    if (readReplyHasRegister(frame, 6))
        device.serial = DeviceInfo::serialNumber(frame);
    if (readReplyHasRegister(frame, 7))
        device.sensorType = field(frame, 17);
    decoded.display = Display::DeviceInfo;
    return decoded;
}

// Register value of a one-register read reply or of a write echo; none when the reply
// carries none.
std::optional<quint16> settingValue(const QByteArray &frame)
{
    if (isReadReply(frame) && readReplyHasRegister(frame, 0))
        return field(frame, 3);
    if (isWriteEcho(frame))
        return field(frame, 4);
    return std::nullopt;
}

} // namespace

int payloadLength(const QByteArray &frame)
{
    switch (functionCode(frame)) {
    case Modbus::ReadHoldingRegisters:
        return frame.size() > 2 ? byteAt(frame, 2) : 0;
    case Modbus::WriteSingleRegister:
    case Modbus::WriteMultipleRegisters:
        return Modbus::WriteEchoPayload;
    default:
        return 0;
    }
}

int expectedLength(const QByteArray &frame)
{
    return payloadLength(frame) + Modbus::ReplyOverhead;
}

Verdict recognise(const QByteArray &buffer)
{
    if (buffer.size() > RxBufferCap)
        return Verdict::Discard;
    if (isFailingAdapterNoise(buffer))
        return Verdict::AdapterFailure;
    // Without the function code the length is unknown.
    if (buffer.size() < 2)
        return Verdict::Wait;
    const int length = expectedLength(buffer);
    if (buffer.size() != length)
        return Verdict::Wait;
    const quint16 received =
        quint16(byteAt(buffer, length - 2) | (byteAt(buffer, length - 1) << 8));
    if (received != ModbusFrame::crc16(buffer.constData(), length - 2))
        return Verdict::Wait;
    return Verdict::Accept;
}

Flaw flaw(const QByteArray &dropped)
{
    const int length = dropped.size() < 2 ? Modbus::ReplyOverhead : expectedLength(dropped);
    if (dropped.size() < length)
        return Flaw::Incomplete;
    return dropped.size() == length ? Flaw::BadCrc : Flaw::ExtraBytes;
}

quint16 field(const QByteArray &frame, int pos)
{
    if (pos < 0 || pos >= frame.size())
        return 0;
    if (pos + 1 >= frame.size())
        return byteAt(frame, pos);
    return quint16((byteAt(frame, pos) << 8) | byteAt(frame, pos + 1));
}

qint32 signedField(const QByteArray &frame, int pos)
{
    return static_cast<qint16>(field(frame, pos));
}

bool isException(const QByteArray &frame)
{
    return (functionCode(frame) & Modbus::ExceptionFlag) != 0;
}

quint8 exceptionCode(const QByteArray &frame)
{
    return frame.size() > 2 ? byteAt(frame, 2) : 0;
}

const char *exceptionMeaning(quint8 code)
{
    switch (code) {
    case 0x01:
        return QT_TRANSLATE_NOOP("Link", "illegal function");
    case 0x02:
        return QT_TRANSLATE_NOOP("Link", "illegal data address");
    case 0x03:
        return QT_TRANSLATE_NOOP("Link", "illegal data value");
    case 0x04:
        return QT_TRANSLATE_NOOP("Link", "server device failure");
    case 0x05:
        return QT_TRANSLATE_NOOP("Link", "acknowledge");
    case 0x06:
        return QT_TRANSLATE_NOOP("Link", "server device busy");
    case 0x08:
        return QT_TRANSLATE_NOOP("Link", "memory parity error");
    case 0x0A:
        return QT_TRANSLATE_NOOP("Link", "gateway path unavailable");
    case 0x0B:
        return QT_TRANSLATE_NOOP("Link", "gateway target device failed to respond");
    default:
        return QT_TRANSLATE_NOOP("Link", "unknown exception");
    }
}

QString exceptionText(quint8 code)
{
    return QCoreApplication::translate("Link", "exception 0x%1 (%2)")
        .arg(code, 2, 16, QLatin1Char('0'))
        .arg(QCoreApplication::translate("Link", exceptionMeaning(code)));
}

quint16 readingsBlock(quint16 deviceType, bool hundredths)
{
    const bool firstBlock = (deviceType == 0) != hundredths;
    return firstBlock ? 0 : Reg::SecondBlock;
}

QByteArray readingsRequest(quint8 slave, quint16 deviceType, Selector what, bool hundredths)
{
    const quint16 block = readingsBlock(deviceType, hundredths);
    if (what == AllReadings)
        return ModbusFrame::buildRequest(slave, Modbus::ReadHoldingRegisters, block,
                                         Reg::BlockSize);
    return ModbusFrame::buildRequest(slave, Modbus::ReadHoldingRegisters,
                                     quint16(block + what - TemperatureOnly), 1);
}

Decoded decode(const QByteArray &frame, quint16 requestRegister, quint16 deviceType)
{
    if (isException(frame))
        return {};
    Decoded decoded;
    switch (requestRegister) {
    case Reg::Address:
        return decodeAddress(frame);
    case Reg::BaudCode:
        decoded.device.baudCode = settingValue(frame);
        decoded.display = Display::BaudRate;
        return decoded;
    case Reg::DeviceType:
        decoded.device.deviceType = settingValue(frame);
        decoded.display = Display::DeviceType;
        return decoded;
    case Reg::SensorType:
        if (!isReadReply(frame) || !settingValue(frame))
            return decoded;
        decoded.device.sensorType = settingValue(frame);
        decoded.display = Display::SensorType;
        return decoded;
    default:
        if (requestRegister < 2 * Reg::BlockSize)
            return decodeReadings(frame, requestRegister, deviceType);
        return decoded;
    }
}

} // namespace ModbusReply
