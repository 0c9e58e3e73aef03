#include "transmittermodel.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "protocol/reading.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int MaxReadCount = 125; // Modbus limit for one read of holding registers

enum Exception : quint8 { IllegalFunction = 1, IllegalDataAddress = 2, IllegalDataValue = 3 };

quint16 word(const QByteArray &frame, int pos)
{
    return quint16((quint8(frame.at(pos)) << 8) | quint8(frame.at(pos + 1)));
}

void appendWord(QByteArray &frame, quint16 value)
{
    frame.append(char(value >> 8));
    frame.append(char(value & 0xFF));
}

// What the sensors measure: a unit's error does not take a reading past it.
constexpr double LowestCelsius = -40;
constexpr double HighestCelsius = 125;
} // namespace

TransmitterModel::TransmitterModel(const DeviceSettings &settings) : current(settings)
{
    clock.start();
}

double TransmitterModel::dewPoint(double celsius, double relativeHumidity)
{
    constexpr double a = 17.62, b = 243.12; // Magnus coefficients over water
    const double rh = std::max(relativeHumidity, 0.1);
    const double gamma = std::log(rh / 100.0) + a * celsius / (b + celsius);
    return b * gamma / (a - gamma);
}

QByteArray TransmitterModel::exceptionReply(quint8 address, quint8 function, quint8 code)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append(char(function | Modbus::ExceptionFlag));
    frame.append(char(code));
    return ModbusFrame::withCrc(frame);
}

double TransmitterModel::chamberTemperature(qint64 elapsedMs) const
{
    if (!current.drift)
        return current.temperature;
    const double t = elapsedMs / 1000.0;
    return current.temperature + 0.3 * std::sin(t / 40.0) + 0.05 * std::sin(t / 7.0);
}

double TransmitterModel::chamberHumidity(qint64 elapsedMs) const
{
    if (!current.drift)
        return current.humidity;
    const double t = elapsedMs / 1000.0;
    return std::clamp(current.humidity + 1.5 * std::sin(t / 55.0) + 0.2 * std::sin(t / 9.0), 0.0,
                      100.0);
}

Measurement TransmitterModel::measureAt(qint64 elapsedMs)
{
    // Only a unit with noise draws, so that the other units' readings and the seed's other draws
    // stay as they were.
    auto draw = [this](const QuantityError &error) {
        return error.noise > 0 ? standardNormal(noise) : 0.0;
    };
    const double celsius = measured(ownError.temperature, chamberTemperature(elapsedMs),
                                    SlopePivotTemperature, elapsedMs, draw(ownError.temperature));
    const double humidity = measured(ownError.humidity, chamberHumidity(elapsedMs),
                                     SlopePivotHumidity, elapsedMs, draw(ownError.humidity));
    return {std::clamp(celsius, LowestCelsius, HighestCelsius), std::clamp(humidity, 0.0, 100.0)};
}

// quantity 0 temperature, 1 humidity, 2 dew point, 3 status; scale 10 or 100.
quint16 TransmitterModel::readingRegister(int quantity, int scale,
                                          const Measurement &measurement) const
{
    const bool fahrenheit = current.deviceType == 2;
    double value = 0;
    switch (quantity) {
    case 0:
        value = fahrenheit ? fahrenheitOfCelsius(measurement.celsius) : measurement.celsius;
        break;
    case 1:
        value = measurement.humidity;
        break;
    case 2: {
        const double dew = dewPoint(measurement.celsius, measurement.humidity);
        value = fahrenheit ? fahrenheitOfCelsius(dew) : dew;
        break;
    }
    default:
        return 0; // status: all well
    }
    // Temperatures travel as signed 16-bit values; humidity is never negative.
    return quint16(qint16(std::lround(value * scale)));
}

bool TransmitterModel::readRegister(quint16 reg, const Measurement &measurement,
                                    quint16 &value) const
{
    if (reg < 2 * Reg::BlockSize) {
        const bool firstBlock = reg < Reg::SecondBlock;
        const bool tenths = (current.deviceType == 0) == firstBlock;
        value = readingRegister(reg % Reg::BlockSize, tenths ? 10 : 100, measurement);
        return true;
    }
    switch (reg) {
    case Reg::Address:
        value = current.address;
        return true;
    case Reg::BaudCode:
        value = current.baudCode;
        return true;
    case Reg::Firmware:
        value = current.firmwareVersion;
        return true;
    case Reg::DeviceType:
        value = current.deviceType;
        return true;
    case Reg::SerialNumber:
    case Reg::SerialNumber + 1:
    case Reg::SerialNumber + 2:
        value = current.serialNumber[reg - Reg::SerialNumber];
        return true;
    case Reg::SensorType:
        value = current.sensorType;
        return true;
    default:
        return false;
    }
}

QByteArray TransmitterModel::handleRead(const QByteArray &request)
{
    const quint16 start = word(request, 2);
    const quint16 count = word(request, 4);
    if (count < 1 || count > MaxReadCount)
        return exceptionReply(current.address, Modbus::ReadHoldingRegisters, IllegalDataValue);
    QByteArray reply;
    reply.append(char(current.address));
    reply.append(char(Modbus::ReadHoldingRegisters));
    reply.append(char(2 * count));
    const Measurement measurement = start < 2 * Reg::BlockSize ? measure() : Measurement();
    for (int i = 0; i < count; ++i) {
        quint16 value = 0;
        if (!readRegister(quint16(start + i), measurement, value))
            return exceptionReply(current.address, Modbus::ReadHoldingRegisters,
                                  IllegalDataAddress);
        appendWord(reply, value);
    }
    return ModbusFrame::withCrc(reply);
}

QByteArray TransmitterModel::handleWrite(const QByteArray &request)
{
    const quint16 reg = word(request, 2);
    const quint16 value = word(request, 4);
    const quint8 replyAddress = current.address;
    auto inRange = [value](int low, int high) { return value >= low && value <= high; };
    bool valid = false;
    switch (reg) {
    case Reg::Address:
        if ((valid = inRange(Modbus::MinSlaveAddress, Modbus::MaxSlaveAddress)))
            current.address = quint8(value);
        break;
    case Reg::BaudCode:
        if ((valid = inRange(1, 6)))
            pendingBaudCode = value;
        break;
    case Reg::DeviceType:
        if ((valid = inRange(0, 2)))
            current.deviceType = value;
        break;
    case Reg::SensorType:
        if ((valid = inRange(0, 1)))
            current.sensorType = value;
        break;
    default:
        return exceptionReply(replyAddress, Modbus::WriteSingleRegister, IllegalDataAddress);
    }
    if (!valid)
        return exceptionReply(replyAddress, Modbus::WriteSingleRegister, IllegalDataValue);
    // The echo carries the address the device answered under, the old one for an address write.
    QByteArray echo = request.left(6);
    echo[0] = char(replyAddress);
    return ModbusFrame::withCrc(echo);
}

int TransmitterModel::baudRate() const
{
    return Modbus::baudRateOfCode(current.baudCode);
}

void TransmitterModel::applyPendingBaudCode()
{
    if (pendingBaudCode != 0)
        current.baudCode = pendingBaudCode;
    pendingBaudCode = 0;
}

QByteArray TransmitterModel::handle(const QByteArray &request)
{
    if (request.size() != Modbus::RequestLength)
        return {};
    if (ModbusFrame::crc16(request.constData(), 6) !=
        quint16(quint8(request.at(6)) | (quint8(request.at(7)) << 8)))
        return {};
    const quint8 address = quint8(request.at(0));
    if (address != current.address && address != Modbus::BroadcastAddress)
        return {}; // another device's frame on the bus
    switch (quint8(request.at(1))) {
    case Modbus::ReadHoldingRegisters:
        return handleRead(request);
    case Modbus::WriteSingleRegister:
        return handleWrite(request);
    default:
        return exceptionReply(current.address, quint8(request.at(1)), IllegalFunction);
    }
}
