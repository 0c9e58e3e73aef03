#pragma once

#include <QByteArray>
#include <QElapsedTimer>

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

    // Current readings, with drift applied when enabled.
    double temperatureNow() const;
    double humidityNow() const;

private:
    bool readRegister(quint16 reg, quint16 &value) const;
    quint16 readingRegister(int quantity, int scale) const;
    QByteArray handleRead(const QByteArray &request);
    QByteArray handleWrite(const QByteArray &request);

    DeviceSettings current;
    quint16 pendingBaudCode = 0;
    QElapsedTimer clock;
};
