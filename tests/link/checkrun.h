#pragma once

// A line of units in a chamber, polled in virtual time and fed to a production check: each unit
// reads the chamber through its own error (the virtual transmitter's model: offset, slope, noise
// from a seeded generator, drift), in hundredths and in its own unit, and may fall silent.

#include "link/productioncheck.h"
#include "sensorerror.h"
#include "transmittermodel.h"

#include <QMap>
#include <QRandomGenerator>

#include <cmath>
#include <functional>

namespace CheckRun {

constexpr qint64 PollMs = 2000; // each unit once a round
constexpr qint64 Minute = 60 * 1000;

inline qint64 minutes(double count)
{
    return qint64(count * Minute);
}

struct Span
{
    qint64 fromMs = 0;
    qint64 toMs = -1; // -1: for good
    bool contains(qint64 ms) const { return ms >= fromMs && (toMs < 0 || ms < toMs); }
};

struct LineUnit
{
    int address = 2;
    quint16 deviceType = 1; // Tervin-C
    quint16 sensorType = 0; // SHT2X/3X
    SensorError error;
    QList<Span> silences;
    bool reported = true;    // the poll cycle reports each silence (unitSilent)
    qint64 swappedAtMs = -1; // another transmitter answers at the address from then on
};

inline LineUnit unitAt(int address, double temperatureOffset = 0, double humidityOffset = 0)
{
    LineUnit unit;
    unit.address = address;
    unit.error.temperature.offset = temperatureOffset;
    unit.error.humidity.offset = humidityOffset;
    return unit;
}

inline UnitIdentity identityOf(const LineUnit &unit, bool swapped = false)
{
    UnitIdentity identity;
    identity.known = true;
    identity.address = unit.address;
    identity.deviceType = unit.deviceType;
    identity.sensorType = unit.sensorType;
    identity.firmware = 123;
    identity.serial = QStringLiteral("5e00%1%2")
                          .arg(swapped ? 0xff : 0, 2, 16, QLatin1Char('0'))
                          .arg(unit.address, 6, 16, QLatin1Char('0'));
    return identity;
}

// What every unit measures: temperature (°C) and humidity (%RH) at a time.
struct Chamber
{
    std::function<double(qint64)> temperature;
    std::function<double(qint64)> humidity;
};

inline Chamber steadyChamber(double temperature, double humidity)
{
    return {[temperature](qint64) { return temperature; }, [humidity](qint64) { return humidity; }};
}

class Line
{
public:
    Line(const CheckSettings &settings, const QList<LineUnit> &lineUnits, const Chamber &air,
         quint32 seed = 7)
        : check(settings), units(lineUnits), chamber(air), random(seed)
    {
    }

    // Every unit polled once each PollMs, in turn (a millisecond apart), up to ms.
    void runTo(qint64 ms)
    {
        for (; nextPollMs <= ms; nextPollMs += PollMs)
            for (int i = 0; i < units.size(); ++i)
                poll(units[i], nextPollMs + i);
        nowMs = ms + units.size(); // after the round's last reading
    }
    UnitResult result(int address) const { return check.result(address, nowMs).value(); }

    ProductionCheck check;
    qint64 nowMs = 0;

private:
    void poll(const LineUnit &unit, qint64 ms)
    {
        const bool silent = std::any_of(unit.silences.begin(), unit.silences.end(),
                                        [ms](const Span &span) { return span.contains(ms); });
        if (silent) {
            if (unit.reported && !silentNow.value(unit.address))
                check.unitSilent(unit.address, ms);
            silentNow[unit.address] = true;
            return;
        }
        silentNow[unit.address] = false;
        const bool swapped = unit.swappedAtMs >= 0 && ms >= unit.swappedAtMs;
        check.addReading(unit.address, identityOf(unit, swapped), ms, reading(unit, ms));
    }

    Reading reading(const LineUnit &unit, qint64 ms)
    {
        auto draw = [this](const QuantityError &error) {
            return error.noise > 0 ? standardNormal(random) : 0.0;
        };
        const double celsius = measured(unit.error.temperature, chamber.temperature(ms),
                                        SlopePivotTemperature, ms, draw(unit.error.temperature));
        const double humidity =
            std::clamp(measured(unit.error.humidity, chamber.humidity(ms), SlopePivotHumidity, ms,
                                draw(unit.error.humidity)),
                       0.0, 100.0);
        Reading reading;
        reading.decimals = 2;
        reading.fahrenheit = isFahrenheitDevice(unit.deviceType);
        reading.address = unit.address;
        auto hundredths = [](double value) { return std::round(value * 100) / 100; };
        auto shown = [&](double c) {
            return hundredths(reading.fahrenheit ? fahrenheitOfCelsius(c) : c);
        };
        reading.temperature = shown(celsius);
        reading.humidity = hundredths(humidity);
        reading.dewPoint = shown(TransmitterModel::dewPoint(celsius, humidity));
        return reading;
    }

    QList<LineUnit> units;
    Chamber chamber;
    QRandomGenerator random;
    qint64 nextPollMs = 0;
    QMap<int, bool> silentNow;
};

// The settings of a check against typed values.
inline CheckSettings typedReference(double temperature, double humidity,
                                    double temperatureUncertainty = 0,
                                    double humidityUncertainty = 0)
{
    CheckSettings settings;
    settings.reference.temperature = temperature;
    settings.reference.humidity = humidity;
    settings.reference.temperatureUncertainty = temperatureUncertainty;
    settings.reference.humidityUncertainty = humidityUncertainty;
    return settings;
}

// The settings of a check against the unit at this address.
inline CheckSettings unitReference(int address, double temperatureUncertainty = 0,
                                   double humidityUncertainty = 0)
{
    CheckSettings settings;
    settings.reference.address = address;
    settings.reference.temperatureUncertainty = temperatureUncertainty;
    settings.reference.humidityUncertainty = humidityUncertainty;
    return settings;
}

} // namespace CheckRun

// Verdicts compared by QCOMPARE are named in a failure.
inline char *toString(Verdict verdict)
{
    return qstrdup(qPrintable(verdictKey(verdict)));
}
