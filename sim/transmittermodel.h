#pragma once

#include "sensorerror.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QRandomGenerator>

// Settings of a simulated transmitter; the defaults are those of a device fresh from the factory.
struct DeviceSettings
{
    quint8 address = 1;
    quint16 baudCode = 4; // 1 = 1200, 2 = 2400, 3 = 4800, 4 = 9600, 5 = 19200, 6 = 115200
    quint16 firmwareVersion = 123;
    quint16 deviceType = 0; // 0 Tervin-O, 1 Tervin-C, 2 Tervin-F (Fahrenheit)
    quint16 sensorType = 0; // 0 SHT2X/3X, 1 SHT3X/4X
    quint16 serialNumber[3] = {0x1234, 0x5678, 0x9abc};
    double temperature = 23.5; // degrees Celsius
    double humidity = 45.0;    // per cent relative humidity
    bool drift = false;        // let the readings wander slowly around the values above
};

// What a unit measures at one moment: one reading of the sensor, from which every register of a
// reply is taken (the dew point from the same temperature and humidity).
struct Measurement
{
    double celsius = 0;
    double humidity = 0;
};

// The transmitter's register map and request handling, without any I/O: a request frame in,
// the reply frame out (empty when the device stays silent).
class TransmitterModel
{
public:
    explicit TransmitterModel(const DeviceSettings &settings = DeviceSettings());

    QByteArray handle(const QByteArray &request);

    DeviceSettings &settings() { return current; }
    const DeviceSettings &settings() const { return current; }
    // The rate the device listens at, in bit/s.
    int baudRate() const;
    // A baud-rate write takes effect after its reply has gone out.
    void applyPendingBaudCode();

    static double dewPoint(double celsius, double relativeHumidity); // Magnus formula
    static QByteArray exceptionReply(quint8 address, quint8 function, quint8 code);

    // The chamber the unit sits in: the temperature and humidity set, wandering slowly around
    // them when drift is on. Every unit of a line measures the same chamber.
    double chamberTemperature(qint64 elapsedMs) const;
    double chamberHumidity(qint64 elapsedMs) const;
    // What the unit reads of the chamber, its own error added: elapsedMs after it started, or now.
    Measurement measureAt(qint64 elapsedMs);
    Measurement measure() { return measureAt(clock.elapsed()); }

    // The unit's own error (none by default); its noise draws start from the seed.
    void setSensorError(const SensorError &error) { ownError = error; }
    const SensorError &sensorError() const { return ownError; }
    void seedNoise(quint32 seed) { noise.seed(seed); }

private:
    bool readRegister(quint16 reg, const Measurement &measurement, quint16 &value) const;
    quint16 readingRegister(int quantity, int scale, const Measurement &measurement) const;
    QByteArray handleRead(const QByteArray &request);
    QByteArray handleWrite(const QByteArray &request);

    DeviceSettings current;
    quint16 pendingBaudCode = 0;
    QElapsedTimer clock;
    SensorError ownError;
    QRandomGenerator noise;
};
