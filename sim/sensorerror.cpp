#include "sensorerror.h"

#include "protocol/protocol.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace {
constexpr double MsPerMinute = 60000.0;

bool number(const QString &text, double &value)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    if (!pattern.match(text).hasMatch())
        return false;
    value = text.toDouble();
    return true;
}

} // namespace

bool QuantityError::operator==(const QuantityError &other) const
{
    return offset == other.offset && slope == other.slope && noise == other.noise &&
           driftPerMinute == other.driftPerMinute;
}

double measured(const QuantityError &error, double trueValue, double pivot, qint64 elapsedMs,
                double normalDraw)
{
    return pivot + error.slope * (trueValue - pivot) + error.offset +
           error.driftPerMinute * (elapsedMs / MsPerMinute) + error.noise * normalDraw;
}

double standardNormal(QRandomGenerator &random)
{
    constexpr double Pi = 3.14159265358979323846;
    const double u1 = 1.0 - random.generateDouble(); // (0, 1]: its logarithm is finite
    const double u2 = random.generateDouble();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * Pi * u2);
}

namespace {
// One unit's values of one kind, "ADDR:T[:H]".
struct UnitValues
{
    int address = 0;
    double temperature = 0;
    std::optional<double> humidity;
};

bool parseUnitValues(const QString &text, UnitValues &values)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool ok = parts.size() == 2 || parts.size() == 3;
    if (ok)
        values.address = parts[0].toInt(&ok, 10);
    ok = ok && values.address >= Modbus::MinSlaveAddress &&
         values.address <= Modbus::MaxSlaveAddress && number(parts[1], values.temperature);
    double humidity = 0;
    if (ok && parts.size() == 3) {
        ok = number(parts[2], humidity);
        values.humidity = humidity;
    }
    return ok;
}

// What a value of this kind may not be: a slope at or below 0 turns the reading around, a
// standard deviation is never negative.
bool allowed(ErrorKind kind, double value)
{
    return (kind != ErrorKind::Slope || value > 0) && (kind != ErrorKind::Noise || value >= 0);
}

void setValue(ErrorKind kind, double value, QuantityError &error)
{
    switch (kind) {
    case ErrorKind::Offset:
        error.offset = value;
        break;
    case ErrorKind::Slope:
        error.slope = value;
        break;
    case ErrorKind::Noise:
        error.noise = value;
        break;
    case ErrorKind::Drift:
        error.driftPerMinute = value;
        break;
    }
}
} // namespace

QList<QCommandLineOption> sensorErrorOptions()
{
    const QString value = QStringLiteral("addr:t[:h]");
    return {
        {errorOptionName(ErrorKind::Offset),
         QStringLiteral("The unit at this address reads off by T degrees Celsius and H per cent "
                        "(a Tervin-F's before its conversion), as in 2:+0.4 or 2:0:-3."),
         value},
        {errorOptionName(ErrorKind::Slope),
         QStringLiteral("Its readings turned about 25 degrees Celsius and 50 per cent by these "
                        "factors (1 = none), as in 2:1:1.05."),
         value},
        {errorOptionName(ErrorKind::Noise),
         QStringLiteral("Noise of this standard deviation on each of its readings (repeatable "
                        "with --seed)."),
         value},
        {errorOptionName(ErrorKind::Drift),
         QStringLiteral("Its readings drift by this much a minute from the start."), value},
    };
}

QString errorOptionName(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::Offset:
        return QStringLiteral("offset");
    case ErrorKind::Slope:
        return QStringLiteral("slope");
    case ErrorKind::Noise:
        return QStringLiteral("noise");
    case ErrorKind::Drift:
        return QStringLiteral("drift");
    }
    return QString();
}

QString sensorErrors(const QList<std::pair<ErrorKind, QString>> &options,
                     const QList<int> &lineAddresses, QMap<int, SensorError> &errors)
{
    for (const auto &[kind, text] : options) {
        const QString option = QStringLiteral("--") + errorOptionName(kind);
        UnitValues values;
        if (!parseUnitValues(text, values))
            return QStringLiteral("%1 wants ADDR:T or ADDR:T:H (a slave address, then the "
                                  "temperature's and the humidity's values, as in 2:+0.4:-1.5), "
                                  "not '%2'")
                .arg(option, text);
        if (!lineAddresses.contains(values.address))
            return QStringLiteral("%1 %2: no unit at address %3")
                .arg(option, text)
                .arg(values.address);
        if (!allowed(kind, values.temperature) ||
            (values.humidity && !allowed(kind, *values.humidity)))
            return kind == ErrorKind::Slope
                       ? QStringLiteral("%1 %2: a slope is above 0").arg(option, text)
                       : QStringLiteral("%1 %2: a noise is not below 0").arg(option, text);
        SensorError &error = errors[values.address];
        setValue(kind, values.temperature, error.temperature);
        if (values.humidity)
            setValue(kind, *values.humidity, error.humidity);
    }
    return QString();
}
