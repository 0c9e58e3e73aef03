#include "records.h"

#include "protocol/deviceinfo.h"
#include "protocol/values.h"
#include "recordfields.h"

#include <QJsonArray>

#include <cstdio>

namespace {

constexpr int SecondsPerHour = 3600;
constexpr int SecondsPerMinute = 60;
constexpr double MsPerSecond = 1000.0;

// The columns of each record kind, after the fixed leading ones every command shares.
const char *const HeadColumns = "time,command,port,address,baud,serial,result,error,tries";
const char *const DeviceColumns = "device_type,sensor_type,firmware,previous_address,previous_baud";
const char *const ReadingColumns = "temperature,humidity,dew_point,unit";
const char *const SummaryColumns = "addresses,units,garbled,duration_ms,cut_off";
const char *const CheckUnitColumns =
    "device_type,sensor_type,firmware,verdict,unit,mean_temperature,sd_temperature,"
    "reference_temperature,deviation_temperature,tolerance_temperature,uncertainty_temperature,"
    "mean_humidity,sd_humidity,reference_humidity,deviation_humidity,tolerance_humidity,"
    "uncertainty_humidity,mean_dew_point,mean_temperature_f,deviation_temperature_f,"
    "settle_left_s,waiting_for_reference,window_start_s,window_end_s,verdict_both,"
    "offset_temperature,slope_temperature,offset_humidity,slope_humidity";
const char *const CheckSummaryColumns =
    "addresses,units,pass,fail,settling,unstable,no_answer,reference_address,reference_serial,"
    "settle_s,duration_ms,note,report_pdf,report_csv";

} // namespace

namespace Records {

QStringList columnsOf(Command command)
{
    QStringList columns{QLatin1String(HeadColumns)};
    switch (command) {
    case Command::Scan: // the unit records and the summary of scan --addresses share a header
        columns << QLatin1String(DeviceColumns) << QLatin1String(SummaryColumns);
        break;
    case Command::Info:
    case Command::SetAddress:
    case Command::SetBaud:
        columns << QLatin1String(DeviceColumns);
        break;
    case Command::Read:
        columns << QLatin1String(ReadingColumns);
        break;
    case Command::Commission:
        columns << QLatin1String(DeviceColumns) << QLatin1String(ReadingColumns);
        break;
    case Command::Check: // the unit records and the summary share a header
        columns << QLatin1String(CheckUnitColumns) << QLatin1String(CheckSummaryColumns);
        break;
    }
    return columns.join(QLatin1Char(',')).split(QLatin1Char(','));
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

Fields headFields(const RecordHead &h)
{
    Fields f;
    f.text("time", Records::isoTime(h.time));
    f.text("command", commandName(h.command));
    f.text("port", h.port);
    f.number("address", h.address, h.address != 0);
    f.number("baud", h.baudRate, h.baudRate != 0);
    f.text("serial", h.serial);
    f.text("result", resultName(h.result));
    f.text("error", h.error);
    f.number("tries", h.tries);
    return f;
}

// Text: "TIME  PORT: " and the parts, for people; a failure has no text record.
QString textLine(const RecordHead &h, const QStringList &parts)
{
    return Records::isoTime(h.time) + QStringLiteral("  ") + h.port + QStringLiteral(": ") +
           parts.join(QStringLiteral(", "));
}

QStringList identityParts(const RecordHead &h, int previousAddress, int previousRate)
{
    QStringList parts;
    if (h.address != 0)
        parts << Cli::tr("address %1").arg(h.address) +
                     (previousAddress != 0 ? Cli::tr(" (was %1)").arg(previousAddress) : "");
    if (h.baudRate != 0)
        parts << Cli::tr("%1 bit/s").arg(h.baudRate) +
                     (previousRate != 0 ? Cli::tr(" (was %1)").arg(previousRate) : "");
    return parts;
}

} // namespace Records

namespace {

using Records::Fields;

void addDevice(Fields &f, const DeviceRecord &r)
{
    if (r.identified) {
        f.text("device_type", DeviceInfo::deviceTypeName(r.deviceType));
        f.text("sensor_type", DeviceInfo::sensorTypeName(r.sensorType));
        f.text("firmware", DeviceInfo::firmwareText(r.firmware));
    }
    if (r.previousAddress != 0)
        f.number("previous_address", r.previousAddress);
    if (r.previousBaudRate != 0)
        f.number("previous_baud", r.previousBaudRate);
}

void addReading(Fields &f, const Reading &reading)
{
    if (reading.isEmpty())
        return;
    auto value = [&](const char *name, const std::optional<double> &v) {
        if (v)
            f.add(QLatin1String(name), *v, QString::number(*v, 'f', reading.decimals));
    };
    value("temperature", reading.temperature);
    value("humidity", reading.humidity);
    value("dew_point", reading.dewPoint);
    f.text("unit", reading.unit());
}

QStringList deviceParts(const DeviceRecord &r)
{
    QStringList parts = Records::identityParts(r, r.previousAddress, r.previousBaudRate);
    if (r.identified)
        parts << DeviceInfo::deviceTypeName(r.deviceType)
              << Cli::tr("sensor %1").arg(DeviceInfo::sensorTypeName(r.sensorType))
              << Cli::tr("firmware %1").arg(DeviceInfo::firmwareText(r.firmware));
    if (!r.serial.isEmpty())
        parts << Cli::tr("serial %1").arg(r.serial);
    return parts;
}

QStringList readingParts(const Reading &reading)
{
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
    return parts;
}

} // namespace

QString resultName(Result result)
{
    return resultNames().value(int(result));
}

QStringList resultNames()
{
    return {QStringLiteral("ok"),
            QStringLiteral("no_answer"),
            QStringLiteral("garbled"),
            QStringLiteral("other_slave"),
            QStringLiteral("exception"),
            QStringLiteral("not_verified"),
            QStringLiteral("out_of_range"),
            QStringLiteral("port_error"),
            QStringLiteral("several_units"),
            QStringLiteral("not_settled")};
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

QString isoTime(const QDateTime &time)
{
    // Written digit by digit: a run that publishes every reading makes this text for each, and
    // QDateTime::toString() with a format costs more than the rest of the record.
    const QDate day = time.date();
    const QTime clock = time.time();
    const int offset = time.offsetFromUtc();
    const int size = std::abs(offset);
    char text[sizeof "-2026-12-07T14:02:17.123+01:00"];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", day.year(),
                  day.month(), day.day(), clock.hour(), clock.minute(), clock.second(),
                  clock.msec(), offset < 0 ? '-' : '+', size / SecondsPerHour,
                  size % SecondsPerHour / SecondsPerMinute);
    return QString::fromLatin1(text);
}

QString header(const CliOptions &options)
{
    if (options.format != Format::Csv || options.noHeader)
        return QString();
    return columnsOf(options.command).join(QLatin1Char(','));
}

QString device(Format format, const DeviceRecord &r)
{
    if (format == Format::Text) {
        if (r.result != Result::Ok)
            return QString();
        QStringList parts = deviceParts(r);
        if (r.command == Command::SetAddress || r.command == Command::SetBaud)
            parts << Cli::tr("verified");
        return textLine(r, parts);
    }
    Fields f = headFields(r);
    addDevice(f, r);
    return f.line(format, r.command);
}

QString reading(Format format, const ReadingRecord &r)
{
    if (format == Format::Text) {
        if (r.result != Result::Ok)
            return QString();
        QStringList parts = identityParts(r);
        if (!r.serial.isEmpty())
            parts << Cli::tr("serial %1").arg(r.serial);
        return textLine(r, parts + readingParts(r.reading));
    }
    Fields f = headFields(r);
    addReading(f, r.reading);
    return f.line(format, r.command);
}

QString commission(Format format, const CommissionRecord &r)
{
    if (format == Format::Text)
        return r.result == Result::Ok ? textLine(r, deviceParts(r) + readingParts(r.reading) +
                                                        QStringList{Cli::tr("commissioned")})
                                      : QString();
    Fields f = headFields(r);
    addDevice(f, r);
    addReading(f, r.reading);
    return f.line(format, r.command);
}

QString scanSummary(Format format, const ScanSummaryRecord &r)
{
    const QString asked = Values::addressListText(r.asked);
    const QString garbled = Values::addressListText(r.garbled);
    if (format == Format::Text) {
        if (r.result != Result::Ok)
            return QString();
        QStringList parts{Cli::tr("addresses %1").arg(asked)};
        parts << identityParts(r)
              << Cli::tr("%1 units found in %2 s")
                     .arg(r.units)
                     .arg(r.durationMs / MsPerSecond, 0, 'f', 1);
        if (!r.garbled.isEmpty())
            parts << Cli::tr("garbled replies at %1").arg(garbled);
        return textLine(r, parts);
    }
    Fields f = headFields(r);
    f.text("addresses", asked);
    f.number("units", r.units);
    auto list = [](const QList<int> &addresses) {
        QJsonArray array;
        for (int address : addresses)
            array.append(address);
        return array;
    };
    f.add("garbled", list(r.garbled), garbled);
    f.number("duration_ms", r.durationMs);
    f.add("cut_off", list(r.cutOff), Values::addressListText(r.cutOff));
    return f.line(format, r.command);
}

} // namespace Records
