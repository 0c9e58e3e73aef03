#include "link/checksettings.h"

#include "protocol/reading.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <algorithm>

namespace {

// What each sensor family promises (typical accuracy in the makers' datasheets), rounded to the
// family's looser member: the default must pass every good unit of the family, whichever of its
// sensors the unit carries. The operator may tighten or widen it.
//   SHT2X/3X (code 0), held to its SHT31: ±2 %RH, ±0.2 °C (SHT35 promises ±1.5 %RH, ±0.1 °C)
//   SHT3X/4X (code 1), held to its SHT40/41: ±1.8 %RH, ±0.2 °C (SHT45 promises ±1 %RH, ±0.1 °C)
struct FamilyPromise
{
    quint16 sensorType;
    Tolerances tolerances;
};
constexpr FamilyPromise Families[] = {
    {0, {0.2, 2.0}},
    {1, {0.2, 1.8}},
};
// A family code not in the table (or not read yet): the loosest promise of any sensor these
// transmitters carry.
constexpr Tolerances LoosestPromise{0.2, 2.0};

// What the sensors measure: a typed reference outside it is a typing error.
constexpr double LowestTemperature = -40;
constexpr double HighestTemperature = 125;
constexpr double LowestHumidity = 0;
constexpr double HighestHumidity = 100;

constexpr qint64 MsPerSecond = 1000;
constexpr qint64 MsPerHour = 60 * MsPerMinute;
constexpr int LongestDays = 7; // a settle time or a limit beyond a week is a typing error
constexpr qint64 LongestDurationMs = LongestDays * 24 * MsPerHour;

QString shown(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("''") : text;
}

// A decimal number as people type it: digits, a point and digits, an optional minus first.
QString decimal(const QString &text, double &value)
{
    static const QRegularExpression pattern(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    if (!pattern.match(text).hasMatch())
        return Check::tr("%1 is not a number").arg(shown(text));
    value = text.toDouble();
    return QString();
}

QString nonNegativeNumber(const QString &text, double &value)
{
    double number = 0;
    QString problem = decimal(text, number);
    if (problem.isEmpty() && number < 0)
        problem = Check::tr("%1 is negative").arg(text);
    if (problem.isEmpty())
        value = number;
    return problem;
}

QString referenceValue(const QString &text, double low, double high, const QString &unit,
                       double &value, double &uncertainty)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return Check::tr("%1 is not a value with an optional uncertainty (for example 23.5:0.1)")
            .arg(text);
    double number = 0;
    QString problem = decimal(parts[0], number);
    if (problem.isEmpty() && (number < low || number > high))
        problem = Check::tr("%1 is out of range (%2 to %3 %4)")
                      .arg(parts[0])
                      .arg(low)
                      .arg(high)
                      .arg(unit);
    double plusMinus = 0;
    if (problem.isEmpty() && parts.size() == 2)
        problem = nonNegativeNumber(parts[1], plusMinus);
    if (problem.isEmpty()) {
        value = number;
        uncertainty = plusMinus;
    }
    return problem;
}

// A typed or family tolerance must leave something once the reference's uncertainty is off it.
QString guardBandProblem(double uncertainty, std::optional<double> tolerance, double tightestFamily,
                         const QString &unit)
{
    const double allowed = tolerance.value_or(tightestFamily);
    if (uncertainty < allowed)
        return QString();
    return Check::tr("the reference's uncertainty ±%1 %2 leaves nothing of the tolerance ±%3 %2")
        .arg(uncertainty)
        .arg(unit)
        .arg(allowed);
}

} // namespace

Tolerances familyTolerances(quint16 sensorType, bool known)
{
    for (const FamilyPromise &family : Families)
        if (known && family.sensorType == sensorType)
            return family.tolerances;
    return LoosestPromise;
}

QList<quint16> sensorFamilies()
{
    QList<quint16> codes;
    for (const FamilyPromise &family : Families)
        codes << family.sensorType;
    return codes;
}

qint64 CheckSettings::unstableLimitMs() const
{
    return unstableAfterMs > 0 ? unstableAfterMs : DefaultUnstableWindows * settleMs;
}

Tolerances CheckSettings::tolerancesFor(quint16 sensorType, bool known) const
{
    const Tolerances family = familyTolerances(sensorType, known);
    return {temperatureTolerance.value_or(family.temperature),
            humidityTolerance.value_or(family.humidity)};
}

namespace CheckInput {

QString duration(const QString &text, qint64 &ms)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?:([0-9]{1,6})h)?(?:([0-9]{1,6})m)?(?:([0-9]{1,6})s)?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (text.isEmpty() || !match.hasMatch())
        return Check::tr("%1 is not a duration (for example 10m, 90s or 1h30m)").arg(shown(text));
    const qint64 total = match.captured(1).toLongLong() * MsPerHour +
                         match.captured(2).toLongLong() * MsPerMinute +
                         match.captured(3).toLongLong() * MsPerSecond;
    if (total > LongestDurationMs)
        return Check::tr("%1 is longer than %2 days").arg(text).arg(LongestDays);
    ms = total;
    return QString();
}

QString settleTime(const QString &text, qint64 &ms)
{
    qint64 value = 0;
    QString problem = duration(text, value);
    if (problem.isEmpty() && value < MinimumSettleMs)
        problem = Check::tr("%1 is shorter than 1 minute").arg(text);
    if (problem.isEmpty())
        ms = value;
    return problem;
}

QString positiveNumber(const QString &text, double &value)
{
    double number = 0;
    QString problem = nonNegativeNumber(text, number);
    if (problem.isEmpty() && number == 0)
        problem = Check::tr("%1 is not above 0").arg(text);
    if (problem.isEmpty())
        value = number;
    return problem;
}

QString referenceTemperature(const QString &text, double &value, double &uncertainty)
{
    return referenceValue(text, LowestTemperature, HighestTemperature, QStringLiteral("\u00B0C"),
                          value, uncertainty);
}

QString referenceHumidity(const QString &text, double &value, double &uncertainty)
{
    return referenceValue(text, LowestHumidity, HighestHumidity, UnitSymbol::RelativeHumidity,
                          value, uncertainty);
}

QString settingsProblem(const CheckSettings &settings, const QList<int> &lineAddresses)
{
    const CheckReference &reference = settings.reference;
    if (reference.isUnit() && !lineAddresses.contains(reference.address))
        return Check::tr("the reference address %1 is not one of the line's addresses")
            .arg(reference.address);
    if (!reference.isUnit() && !reference.temperature && !reference.humidity)
        return Check::tr("the reference has neither a temperature nor a humidity");
    double tightestTemperature = LoosestPromise.temperature;
    double tightestHumidity = LoosestPromise.humidity;
    for (const FamilyPromise &family : Families) {
        tightestTemperature = std::min(tightestTemperature, family.tolerances.temperature);
        tightestHumidity = std::min(tightestHumidity, family.tolerances.humidity);
    }
    QString problem =
        guardBandProblem(reference.temperatureUncertainty, settings.temperatureTolerance,
                         tightestTemperature, QStringLiteral("\u00B0C"));
    if (problem.isEmpty())
        problem = guardBandProblem(reference.humidityUncertainty, settings.humidityTolerance,
                                   tightestHumidity, UnitSymbol::RelativeHumidity);
    if (problem.isEmpty() && settings.unstableLimitMs() < settings.settleMs)
        problem = Check::tr("the unstable limit is shorter than the settle time");
    return problem;
}

} // namespace CheckInput
