#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QMap>
#include <QRandomGenerator>
#include <QString>

// What makes one unit read differently from another in the same chamber: its offset, its slope,
// its noise and its drift, each for temperature (°C) and for humidity (%RH).
struct QuantityError
{
    double offset = 0;
    double slope = 1; // about the quantity's pivot: 1.02 reads 2 % more of the distance from it
    double noise = 0; // standard deviation, drawn afresh for every reading
    double driftPerMinute = 0;

    bool operator==(const QuantityError &other) const;
};

struct SensorError
{
    QuantityError temperature;
    QuantityError humidity;
};

// A slope turns the reading about these points, where a unit with only a slope error still reads
// right: mid-scale of what a chamber or a salt box sets.
constexpr double SlopePivotTemperature = 25.0; // °C
constexpr double SlopePivotHumidity = 50.0;    // %RH

// What a unit with this error reads of the true value, elapsedMs after it started, given a draw of
// the standard normal distribution for its noise.
double measured(const QuantityError &error, double trueValue, double pivot, qint64 elapsedMs,
                double normalDraw);

// A draw of the standard normal distribution (Box-Muller), so that a seeded generator repeats a
// run's noise.
double standardNormal(QRandomGenerator &random);

// The four options, each ADDR:T[:H] and given as often as wanted: --offset, --slope, --noise and
// --drift.
enum class ErrorKind { Offset, Slope, Noise, Drift };
QList<QCommandLineOption> sensorErrorOptions();
QString errorOptionName(ErrorKind kind); // "offset", "slope", "noise", "drift"

// The error of each unit from the options given, in order (a later value for the same address and
// quantity wins), given the addresses of the line's units. Returns what is wrong, naming the
// option, or nothing.
QString sensorErrors(const QList<std::pair<ErrorKind, QString>> &options,
                     const QList<int> &lineAddresses, QMap<int, SensorError> &errors);
