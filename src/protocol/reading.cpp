#include "protocol/reading.h"

#include <QStringList>

QString Reading::unit() const
{
    return fahrenheit ? UnitSymbol::Fahrenheit : UnitSymbol::Celsius;
}

namespace ReadingsCsv {

QString header()
{
    return QStringLiteral("time,temperature,humidity,dew_point,unit,address,serial");
}

QString fileHeader()
{
    return QChar(0xFEFF) + header();
}

QString row(const QDateTime &time, const Reading &reading)
{
    auto field = [&](const std::optional<double> &value) {
        return value ? reading.text(*value) : QString();
    };
    return QStringList{time.toString(Qt::ISODateWithMs),
                       field(reading.temperature),
                       field(reading.humidity),
                       field(reading.dewPoint),
                       reading.unit(),
                       reading.address > 0 ? QString::number(reading.address) : QString(),
                       reading.serial}
        .join(QLatin1Char(','));
}

} // namespace ReadingsCsv
