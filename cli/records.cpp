#include "records.h"

#include "protocol/deviceinfo.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString isoTime(const QDateTime &time)
{
    return time.toString(Qt::ISODateWithMs);
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    return QLatin1Char('"') + quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString csvLine(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &field : fields)
        quoted << csvField(field);
    return quoted.join(QLatin1Char(','));
}

QString jsonLine(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString numberOrNothing(int value)
{
    return value != 0 ? QString::number(value) : QString();
}

QString deviceText(const DeviceRecord &r)
{
    QString address = Cli::tr("address %1").arg(r.address);
    QString rate = Cli::tr("%1 bit/s").arg(r.baudRate);
    if (r.command == Command::SetAddress)
        address += Cli::tr(" (was %1)").arg(r.previousAddress);
    if (r.command == Command::SetBaud)
        rate += Cli::tr(" (was %1)").arg(r.previousBaudRate);
    QString text = Cli::tr("%1: %2, %3, %4, sensor %5, firmware %6, serial %7")
                       .arg(r.port, address, rate, DeviceInfo::deviceTypeName(r.deviceType),
                            DeviceInfo::sensorTypeName(r.sensorType),
                            DeviceInfo::firmwareText(r.firmware), r.serial);
    if (r.command == Command::SetAddress || r.command == Command::SetBaud)
        text += Cli::tr(", verified");
    return text;
}

QString readingText(const ReadingRecord &r)
{
    const Reading &reading = r.reading;
    auto value = [&](const std::optional<double> &v) {
        return QString::number(*v, 'f', reading.decimals);
    };
    QStringList parts;
    if (reading.temperature)
        parts << Cli::tr("temperature %1 %2").arg(value(reading.temperature), reading.unit());
    if (reading.humidity)
        parts << Cli::tr("humidity %1 %").arg(value(reading.humidity));
    if (reading.dewPoint)
        parts << Cli::tr("dew point %1 %2").arg(value(reading.dewPoint), reading.unit());
    return isoTime(r.time) + QStringLiteral("  ") + parts.join(QStringLiteral(", "));
}

} // namespace

QString resultName(Result result)
{
    switch (result) {
    case Result::Ok:
        return QStringLiteral("ok");
    case Result::NoAnswer:
        return QStringLiteral("no_answer");
    case Result::Exception:
        return QStringLiteral("exception");
    case Result::NotVerified:
        return QStringLiteral("not_verified");
    case Result::PortError:
        return QStringLiteral("port_error");
    }
    return QString();
}

int exitCodeOf(Result result)
{
    switch (result) {
    case Result::Ok:
        return Success;
    case Result::PortError:
        return PortError;
    default:
        return NoAnswer;
    }
}

namespace Records {

QString header(Format format, Command command)
{
    if (format != Format::Csv)
        return QString();
    if (command == Command::Read)
        return ReadingsCsv::header();
    return QStringLiteral("time,port,command,result,address,baud,device_type,sensor_type,firmware,"
                          "serial,previous_address,previous_baud,error");
}

QString device(Format format, const DeviceRecord &r)
{
    const bool known = r.identified;
    switch (format) {
    case Format::Text:
        return r.result == Result::Ok ? deviceText(r) : QString();
    case Format::Csv:
        return csvLine({isoTime(r.time), r.port, commandName(r.command), resultName(r.result),
                        known ? QString::number(r.address) : QString(),
                        known ? QString::number(r.baudRate) : QString(),
                        known ? DeviceInfo::deviceTypeName(r.deviceType) : QString(),
                        known ? DeviceInfo::sensorTypeName(r.sensorType) : QString(),
                        known ? DeviceInfo::firmwareText(r.firmware) : QString(),
                        known ? r.serial : QString(), numberOrNothing(r.previousAddress),
                        numberOrNothing(r.previousBaudRate), r.error});
    case Format::Json: {
        QJsonObject object{{"time", isoTime(r.time)},
                           {"port", r.port},
                           {"command", commandName(r.command)},
                           {"result", resultName(r.result)}};
        if (known) {
            object.insert("address", r.address);
            object.insert("baud", r.baudRate);
            object.insert("device_type", DeviceInfo::deviceTypeName(r.deviceType));
            object.insert("sensor_type", DeviceInfo::sensorTypeName(r.sensorType));
            object.insert("firmware", DeviceInfo::firmwareText(r.firmware));
            object.insert("serial", r.serial);
        }
        if (r.previousAddress != 0)
            object.insert("previous_address", r.previousAddress);
        if (r.previousBaudRate != 0)
            object.insert("previous_baud", r.previousBaudRate);
        if (!r.error.isEmpty())
            object.insert("error", r.error);
        return jsonLine(object);
    }
    }
    return QString();
}

QString reading(Format format, const ReadingRecord &r)
{
    const bool ok = r.result == Result::Ok;
    switch (format) {
    case Format::Text:
        return ok ? readingText(r) : QString();
    case Format::Csv:
        return ok ? ReadingsCsv::row(r.time, r.reading) : QString();
    case Format::Json: {
        QJsonObject object{
            {"time", isoTime(r.time)}, {"port", r.port}, {"result", resultName(r.result)}};
        if (!ok) {
            object.insert("error", r.error);
            return jsonLine(object);
        }
        const Reading &reading = r.reading;
        if (reading.temperature)
            object.insert("temperature", *reading.temperature);
        if (reading.humidity)
            object.insert("humidity", *reading.humidity);
        if (reading.dewPoint)
            object.insert("dew_point", *reading.dewPoint);
        object.insert("unit", reading.unit());
        return jsonLine(object);
    }
    }
    return QString();
}

} // namespace Records
