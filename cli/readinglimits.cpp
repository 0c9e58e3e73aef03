#include "readinglimits.h"

#include "options.h"
#include "protocol/values.h"

#include <QRegularExpression>

namespace {
// What the transmitters' sensors measure; a limit outside it could never be met or failed.
constexpr double LowestTemperature = -40;
constexpr double HighestTemperature = 125;
constexpr double LowestHumidity = 0;
constexpr double HighestHumidity = 100;

QString valueText(double value, const Reading &reading)
{
    return QString::number(value, 'f', reading.decimals);
}

QString decimalProblem(const QString &text, Quantity quantity, double &value)
{
    static const QRegularExpression decimal(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    if (!decimal.match(text).hasMatch())
        return Cli::tr("%1 is not a number").arg(Values::shown(text));
    value = text.toDouble();
    const bool temperature = quantity == Quantity::Temperature;
    const double low = temperature ? LowestTemperature : LowestHumidity;
    const double high = temperature ? HighestTemperature : HighestHumidity;
    if (value >= low && value <= high)
        return QString();
    return Cli::tr("%1 is out of range (%2 to %3%4)")
        .arg(text)
        .arg(low)
        .arg(high)
        .arg(temperature ? QStringLiteral(" \u00B0C") : QStringLiteral(" %"));
}

QString outside(const QString &what, const Limits &limits, const QString &unit)
{
    return Cli::tr("%1 is outside %2 to %3 %4")
        .arg(what, QString::number(limits.low), QString::number(limits.high), unit);
}

QString temperatureProblem(const Reading &reading, const Limits &limits)
{
    if (!reading.temperature)
        return Cli::tr("the reading has no temperature");
    const QString celsius = QStringLiteral("\u00B0C");
    const double value = celsiusOf(*reading.temperature, reading.fahrenheit);
    if (limits.contains(value))
        return QString();
    QString what = Cli::tr("temperature %1 %2").arg(valueText(value, reading), celsius);
    if (reading.fahrenheit)
        what = Cli::tr("temperature %1 %2 (%3 %4)")
                   .arg(valueText(*reading.temperature, reading), reading.unit(),
                        valueText(value, reading), celsius);
    return outside(what, limits, celsius);
}

QString humidityProblem(const Reading &reading, const Limits &limits)
{
    if (!reading.humidity)
        return Cli::tr("the reading has no humidity");
    if (limits.contains(*reading.humidity))
        return QString();
    return outside(Cli::tr("humidity %1 %").arg(valueText(*reading.humidity, reading)), limits,
                   QStringLiteral("%"));
}
} // namespace

QString parseLimits(const QString &text, Quantity quantity, Limits &limits)
{
    const int colon = int(text.indexOf(QLatin1Char(':')));
    if (colon < 0)
        return Cli::tr("%1 is not LO:HI (for example 5:40)").arg(Values::shown(text));
    QString problem = decimalProblem(text.left(colon), quantity, limits.low);
    if (problem.isEmpty())
        problem = decimalProblem(text.mid(colon + 1), quantity, limits.high);
    if (problem.isEmpty() && limits.low > limits.high)
        problem = Cli::tr("%1 runs backwards (LO is above HI)").arg(text);
    return problem;
}

double celsiusOf(double value, bool fahrenheit)
{
    return fahrenheit ? celsiusOfFahrenheit(value) : value;
}

// A reading that fails both limits names both: a unit reading 45 °C and 95 % may have a
// failing sensor, one reading 45 °C and 45 % a warm room.
QString limitsProblem(const Reading &reading, const std::optional<Limits> &temperature,
                      const std::optional<Limits> &humidity)
{
    const QString first = temperature ? temperatureProblem(reading, *temperature) : QString();
    const QString second = humidity ? humidityProblem(reading, *humidity) : QString();
    if (first.isEmpty() || second.isEmpty())
        return first + second;
    return Cli::tr("%1; %2").arg(first, second);
}
