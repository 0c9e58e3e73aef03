#include "report/checkcsv.h"

#include "report/checkreport.h"

#include "protocol/deviceinfo.h"

#include <QCoreApplication>
#include <QMap>

namespace {

// The columns, in order; the reader finds its fields by these names.
const char *const Columns[] = {"time",
                               "point",
                               "address",
                               "serial",
                               "device_type",
                               "sensor_type",
                               "firmware",
                               "unit",
                               "verdict",
                               "mean_temperature",
                               "sd_temperature",
                               "reference_temperature",
                               "deviation_temperature",
                               "tolerance_temperature",
                               "uncertainty_temperature",
                               "mean_humidity",
                               "sd_humidity",
                               "reference_humidity",
                               "deviation_humidity",
                               "tolerance_humidity",
                               "uncertainty_humidity",
                               "mean_dew_point",
                               "mean_temperature_f",
                               "deviation_temperature_f",
                               "window_start_s",
                               "window_end_s",
                               "verdict_both",
                               "offset_temperature",
                               "slope_temperature",
                               "offset_humidity",
                               "slope_humidity",
                               "reference_address",
                               "reference_serial",
                               "note"};

constexpr int FigureDecimals = 3; // means of hundredths, and their spread
constexpr int SlopeDecimals = 4;
constexpr double MsPerSecond = 1000.0;
const QString ByteOrderMark = QStringLiteral("\uFEFF");

using Fields = QMap<QString, QString>;

QString number(const std::optional<double> &value, int decimals = FigureDecimals)
{
    return value ? QString::number(*value, 'f', decimals) : QString();
}

std::optional<double> fahrenheit(const std::optional<double> &celsius)
{
    return celsius ? std::optional<double>(fahrenheitOfCelsius(*celsius)) : std::nullopt;
}

std::optional<double> fahrenheitDifference(const std::optional<double> &celsius)
{
    return celsius ? std::optional<double>(*celsius * FahrenheitPerCelsius) : std::nullopt;
}

QString quoted(const QString &field)
{
    static const QString special = QStringLiteral(",\"\r\n");
    const bool plain =
        std::none_of(field.begin(), field.end(), [](QChar c) { return special.contains(c); });
    if (plain)
        return field;
    QString doubled = field;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

void putQuantity(Fields &fields, const QString &name, const QuantityFigures &figures)
{
    fields[QStringLiteral("mean_") + name] = number(figures.mean);
    fields[QStringLiteral("sd_") + name] = number(figures.standardDeviation);
    fields[QStringLiteral("reference_") + name] = number(figures.referenceMean);
    fields[QStringLiteral("deviation_") + name] = number(figures.deviation);
    fields[QStringLiteral("tolerance_") + name] = QString::number(figures.tolerance);
    fields[QStringLiteral("uncertainty_") + name] = QString::number(figures.uncertainty);
}

Fields unitFields(const UnitResult &result)
{
    Fields fields;
    fields["address"] = QString::number(result.address);
    fields["serial"] = result.identity.serial;
    if (result.identity.known) {
        fields["device_type"] = DeviceInfo::deviceTypeName(result.identity.deviceType);
        fields["sensor_type"] = DeviceInfo::sensorTypeName(result.identity.sensorType);
        fields["firmware"] = DeviceInfo::firmwareText(result.identity.firmware);
    }
    fields["unit"] = result.fahrenheit ? QStringLiteral("\u00B0F") : QStringLiteral("\u00B0C");
    fields["verdict"] = verdictKey(result.verdict);
    putQuantity(fields, QStringLiteral("temperature"), result.temperature);
    putQuantity(fields, QStringLiteral("humidity"), result.humidity);
    fields["mean_dew_point"] = number(result.dewPoint);
    if (result.fahrenheit) {
        fields["mean_temperature_f"] = number(fahrenheit(result.temperature.mean));
        fields["deviation_temperature_f"] =
            number(fahrenheitDifference(result.temperature.deviation));
    }
    if (result.windowEndMs > 0) {
        fields["window_start_s"] = QString::number(result.windowStartMs / MsPerSecond);
        fields["window_end_s"] = QString::number(result.windowEndMs / MsPerSecond);
    }
    return fields;
}

void putFit(Fields &fields, const QString &name, const PointFit &fit)
{
    fields[QStringLiteral("offset_") + name] = number(fit.offset);
    fields[QStringLiteral("slope_") + name] = number(fit.slope, SlopeDecimals);
}

QString line(Fields fields, const CheckReportContent &content, int point)
{
    fields["time"] =
        content.time.toOffsetFromUtc(content.time.offsetFromUtc()).toString(Qt::ISODate);
    fields["point"] = QString::number(point);
    if (content.settings.reference.isUnit()) {
        fields["reference_address"] = QString::number(content.settings.reference.address);
        fields["reference_serial"] = content.referenceUnit.serial;
    }
    fields["note"] = content.note;
    QStringList row;
    for (const char *column : Columns)
        row << quoted(fields.value(QLatin1String(column)));
    return row.join(QLatin1Char(',')) + QLatin1Char('\n');
}

// The records of a CSV text, quoted fields and all.
QList<QStringList> records(const QString &text)
{
    QList<QStringList> all;
    QStringList record;
    QString field;
    bool inQuotes = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"'))
                field += text.at(++i);
            else if (c == QLatin1Char('"'))
                inQuotes = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
        } else if (c == QLatin1Char(',')) {
            record << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            all << (record << field);
            record.clear();
            field.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.isEmpty())
        all << (record << field);
    return all;
}

quint16 codeOfName(const QString &name, QString (*nameOf)(quint16))
{
    for (quint16 code = 0; code < 256; ++code)
        if (nameOf(code) == name)
            return code;
    return 0;
}

// One row read back: the figures as written, or what is wrong with them.
class RowReader
{
public:
    RowReader(const QStringList &names, const QStringList &values) : names(names), values(values) {}
    QString text(const char *column) const
    {
        return values.value(int(names.indexOf(QLatin1String(column))));
    }
    std::optional<double> figure(const char *column)
    {
        const QString value = text(column);
        if (value.isEmpty())
            return std::nullopt;
        bool ok = false;
        const double parsed = value.toDouble(&ok);
        if (!ok && problem.isEmpty())
            problem =
                CheckReport::tr("'%1' in %2 is not a number").arg(value, QLatin1String(column));
        return ok ? std::optional<double>(parsed) : std::nullopt;
    }
    QuantityFigures quantity(const QString &name)
    {
        QuantityFigures figures;
        const QByteArray key = name.toLatin1();
        figures.mean = figure(("mean_" + key).constData());
        figures.standardDeviation = figure(("sd_" + key).constData());
        figures.referenceMean = figure(("reference_" + key).constData());
        figures.deviation = figure(("deviation_" + key).constData());
        figures.tolerance = figure(("tolerance_" + key).constData()).value_or(0);
        figures.uncertainty = figure(("uncertainty_" + key).constData()).value_or(0);
        return figures;
    }

    QString problem;

private:
    const QStringList &names;
    const QStringList &values;
};

QString unitOfRow(RowReader &row, UnitResult &result)
{
    const std::optional<Verdict> verdict = verdictOfKey(row.text("verdict"));
    if (!verdict)
        return CheckReport::tr("'%1' is not a verdict").arg(row.text("verdict"));
    if (row.text("point") != QLatin1String("1"))
        return CheckReport::tr(
            "the report already combines two points; give the first point's report");
    result.verdict = *verdict;
    result.address = int(row.figure("address").value_or(0));
    result.identity.address = result.address;
    result.identity.serial = row.text("serial");
    result.identity.known = !result.identity.serial.isEmpty();
    result.identity.deviceType = codeOfName(row.text("device_type"), DeviceInfo::deviceTypeName);
    result.identity.sensorType = codeOfName(row.text("sensor_type"), DeviceInfo::sensorTypeName);
    result.identity.firmware = quint16(row.text("firmware").remove(QLatin1Char('.')).toUInt());
    result.fahrenheit = row.text("unit") == QStringLiteral("\u00B0F");
    result.temperature = row.quantity(QStringLiteral("temperature"));
    result.humidity = row.quantity(QStringLiteral("humidity"));
    result.dewPoint = row.figure("mean_dew_point");
    result.windowStartMs = qint64(row.figure("window_start_s").value_or(0) * MsPerSecond);
    result.windowEndMs = qint64(row.figure("window_end_s").value_or(0) * MsPerSecond);
    return row.problem;
}

} // namespace

namespace CheckCsv {

QString header()
{
    QStringList names;
    for (const char *column : Columns)
        names << QLatin1String(column);
    return names.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QByteArray document(const CheckReportContent &content)
{
    QString text = ByteOrderMark + header();
    for (const UnitResult &result : content.units)
        text += line(unitFields(result), content, 1);
    for (const TwoPointResult &result : content.twoPoints) {
        const UnitResult *points[] = {&result.first, &result.second};
        for (int point = 1; point <= 2; ++point) {
            Fields fields = unitFields(*points[point - 1]);
            fields["verdict_both"] = verdictKey(result.verdict);
            putFit(fields, QStringLiteral("temperature"), result.temperature);
            putFit(fields, QStringLiteral("humidity"), result.humidity);
            text += line(fields, content, point);
        }
    }
    return text.toUtf8();
}

QString readFirstPoint(const QByteArray &data, QList<UnitResult> &units)
{
    QString text = QString::fromUtf8(data);
    if (text.startsWith(ByteOrderMark))
        text.remove(0, 1);
    const QList<QStringList> rows = records(text);
    const QStringList names = rows.value(0);
    for (const char *column : Columns)
        if (!names.contains(QLatin1String(column)))
            return CheckReport::tr("not a check report: it has no column %1")
                .arg(QLatin1String(column));
    QList<UnitResult> read;
    for (int i = 1; i < rows.size(); ++i) {
        if (rows[i] == QStringList{QString()})
            continue; // an empty line
        RowReader row(names, rows[i]);
        UnitResult result;
        const QString problem = unitOfRow(row, result);
        if (!problem.isEmpty())
            return CheckReport::tr("line %1: %2").arg(i + 1).arg(problem);
        read << result;
    }
    units = read;
    return QString();
}

} // namespace CheckCsv
