#include "protocol/reading.h"

#include "comm/commstate.h"

namespace {
constexpr quint16 FahrenheitDevice = 2;

QString number(const std::optional<double> &value, int decimals)
{
    return value ? QString::number(*value, 'f', decimals) : QString();
}
} // namespace

QString Reading::unit() const
{
    return fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C");
}

Reading readingOf(const ModbusReply::Effect &effect, const CommStateRecord &state)
{
    using ModbusReply::Display;
    Reading reading;
    if (effect.display != Display::ReadingsX10 && effect.display != Display::ReadingsX100)
        return reading;
    const bool hundredths = effect.display == Display::ReadingsX100;
    const double divisor = hundredths ? 100.0 : 10.0;
    reading.decimals = hundredths ? 2 : 1;
    reading.fahrenheit = state.deviceType == FahrenheitDevice;
    const int selector = effect.selector;
    if (selector == ModbusReply::AllReadings || selector == ModbusReply::TemperatureOnly)
        reading.temperature = state.temperatureRaw / divisor;
    if (selector == ModbusReply::AllReadings || selector == ModbusReply::HumidityOnly)
        reading.humidity = state.humidityRaw / divisor;
    if (selector == ModbusReply::AllReadings || selector == ModbusReply::DewPointOnly)
        reading.dewPoint = state.dewPointRaw / divisor;
    return reading;
}

namespace ReadingsCsv {

QString header()
{
    return QStringLiteral("time,temperature,humidity,dew_point,unit");
}

QString row(const QDateTime &time, const Reading &reading)
{
    return QStringList{time.toString(Qt::ISODateWithMs),
                       number(reading.temperature, reading.decimals),
                       number(reading.humidity, reading.decimals),
                       number(reading.dewPoint, reading.decimals), reading.unit()}
        .join(QLatin1Char(','));
}

} // namespace ReadingsCsv
