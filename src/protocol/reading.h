#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The two register blocks carry the readings in tenths and in hundredths of the unit: the one
// scale table every display of a reading uses (the labels, the readings file, the trend, the
// command line).
struct ReadingScale
{
    double divisor;
    int decimals;
};
constexpr ReadingScale TenthsScale{10.0, 1};
constexpr ReadingScale HundredthsScale{100.0, 2};
constexpr ReadingScale readingScale(bool hundredths)
{
    return hundredths ? HundredthsScale : TenthsScale;
}

// A Tervin-F (device type 2) gives temperature and dew point in degrees Fahrenheit, the others
// in degrees Celsius.
constexpr quint16 FahrenheitDeviceType = 2;
constexpr bool isFahrenheitDevice(quint16 deviceType)
{
    return deviceType == FahrenheitDeviceType;
}

// Degrees Fahrenheit = degrees Celsius * 9 / 5 + 32: a Tervin-F's readings compared with a
// reference in degrees Celsius.
constexpr double FahrenheitPerCelsius = 1.8;
constexpr double FahrenheitAtZeroCelsius = 32.0;
constexpr double celsiusOfFahrenheit(double fahrenheit)
{
    return (fahrenheit - FahrenheitAtZeroCelsius) / FahrenheitPerCelsius;
}
constexpr double fahrenheitOfCelsius(double celsius)
{
    return celsius * FahrenheitPerCelsius + FahrenheitAtZeroCelsius;
}

// The units' symbols, as every text, record and report writes them.
namespace UnitSymbol {
inline const QString Celsius = QStringLiteral("\u00B0C");
inline const QString Fahrenheit = QStringLiteral("\u00B0F");
inline const QString RelativeHumidity = QStringLiteral("%RH");
} // namespace UnitSymbol

// One accepted reading, in the device's unit: what a poll's reply carried, with the decimals of
// its register block. A reading of one quantity carries only that one.
struct Reading
{
    std::optional<double> temperature;
    std::optional<double> humidity;
    std::optional<double> dewPoint;
    int decimals = 1;        // 1 for the tenths block, 2 for the hundredths block
    bool fahrenheit = false; // temperature and dew point in degrees Fahrenheit
    int address = 0;         // the slave that answered (0: not known)
    QString serial;          // the serial number of the unit, once known

    bool isEmpty() const { return !temperature && !humidity && !dewPoint; }
    QString unit() const; // "°C" or "°F"
    // A value with the decimals of its block, "." as the decimal mark.
    QString text(double value) const { return QString::number(value, 'f', decimals); }
};

// The readings file: "time,temperature,humidity,dew_point,unit,address,serial", UTF-8, "." as
// decimal mark, ISO 8601 local time with milliseconds; a field the reading did not carry stays
// empty. The address and serial name the unit each row came from.
namespace ReadingsCsv {
QString header();
// What a readings file starts with, the window's and the trend's export alike: a UTF-8
// byte-order mark, by which spreadsheets on any system read the unit "°C" right, then the header.
QString fileHeader();
QString row(const QDateTime &time, const Reading &reading);
} // namespace ReadingsCsv
