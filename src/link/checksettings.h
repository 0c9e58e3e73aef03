#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <optional>

// The check's texts, in the user's language.
class Check
{
    Q_DECLARE_TR_FUNCTIONS(Check)
};

// How a production check compares each unit of a line with a reference: what the reference is,
// when a unit counts as settled, and how far it may read from the reference.

// A unit's allowed deviation from the reference, ± in °C and in %RH.
struct Tolerances
{
    double temperature = 0;
    double humidity = 0;
};

// What the sensor family a unit reports promises: the tolerance a unit is held to unless the
// operator sets one. An unknown family gets the loosest promise of any sensor these transmitters
// carry.
Tolerances familyTolerances(quint16 sensorType, bool known = true);
// The sensor families with a promise of their own, by code.
QList<quint16> sensorFamilies();

// The reference the units are compared with: a unit of the same line (a calibrated transmitter in
// the same chamber), or values typed in from a reference instrument.
struct CheckReference
{
    int address = 0;                   // the reference unit's address; 0 when values are typed
    std::optional<double> temperature; // typed values, °C and %RH; a quantity left out is not
    std::optional<double> humidity;    // judged
    double temperatureUncertainty = 0; // ± of the reference (the instrument's, or the unit's
    double humidityUncertainty = 0;    // calibration): taken off the tolerance as a guard band

    bool isUnit() const { return address != 0; }
};

// Defaults of the settle rule.
constexpr qint64 MsPerMinute = 60 * 1000;
constexpr qint64 DefaultSettleMs = 10 * MsPerMinute;
constexpr qint64 MinimumSettleMs = MsPerMinute; // shorter says nothing about a chamber's drift
constexpr double DefaultTemperatureBand = 0.1;  // °C, max − min over the window
constexpr double DefaultHumidityBand = 0.5;     // %RH
// A unit not settled after three windows keeps moving: its own drift, not the chamber's.
constexpr int DefaultUnstableWindows = 3;
// A unit that gives no reading for this long has a gap in its readings: they no longer cover a
// window. Long enough for a poll cycle of 32 units at 1200 bit/s with a retry each.
constexpr qint64 DefaultMaxGapMs = 30 * 1000;

struct CheckSettings
{
    CheckReference reference;
    qint64 settleMs = DefaultSettleMs;
    double temperatureBand = DefaultTemperatureBand;
    double humidityBand = DefaultHumidityBand;
    qint64 unstableAfterMs = 0; // 0: DefaultUnstableWindows settle windows
    qint64 maxGapMs = DefaultMaxGapMs;
    // Set by the operator for every unit; unset, each unit's family default.
    std::optional<double> temperatureTolerance;
    std::optional<double> humidityTolerance;

    qint64 unstableLimitMs() const;
    // The longest period between two polls of a unit that keeps its readings within the gap rule
    // when a reply is lost now and then.
    qint64 longestPollPeriodMs() const { return maxGapMs / 2; }
    // What a unit of this sensor family is held to.
    Tolerances tolerancesFor(quint16 sensorType, bool known) const;
};

// The check's settings as typed by a person (command-line options, the window's fields). Each
// function returns what is wrong with the text, or an empty string; the value is set only when
// nothing is.
namespace CheckInput {

// "10m", "90s", "1h", "1h30m": whole hours, minutes and seconds, in that order.
QString duration(const QString &text, qint64 &ms);
// A duration of at least a minute.
QString settleTime(const QString &text, qint64 &ms);
// A tolerance or a band: a decimal number above 0 ("0.5").
QString positiveNumber(const QString &text, double &value);
// A typed reference, "T[:U]": the value (°C from -40 to 125, or %RH from 0 to 100) and its
// uncertainty (0 when left out).
QString referenceTemperature(const QString &text, double &value, double &uncertainty);
QString referenceHumidity(const QString &text, double &value, double &uncertainty);

// What is wrong with the settings as a whole, given the addresses of the line: a reference address
// not on it, typed values without a quantity, an uncertainty that leaves no tolerance, an unstable
// limit shorter than the settle time.
QString settingsProblem(const CheckSettings &settings, const QList<int> &lineAddresses);

} // namespace CheckInput
