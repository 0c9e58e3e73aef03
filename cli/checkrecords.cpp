// check's records: a unit's verdict with its figures, and the summary.
#include "protocol/deviceinfo.h"
#include "protocol/reading.h"
#include "protocol/values.h"
#include "recordfields.h"

#include <QJsonArray>
#include <QMap>

#include <cmath>

namespace {

using Records::Fields;

constexpr int FigureDecimals = 3; // means of hundredths, and their spread
constexpr int SlopeDecimals = 4;
constexpr double MsPerSecond = 1000.0;
constexpr qint64 SecondsPerMinute = 60;
using UnitSymbol::Celsius;
using UnitSymbol::Fahrenheit;
using UnitSymbol::RelativeHumidity;

QString figureText(double value, bool sign = false, int decimals = FigureDecimals)
{
    const QString text = QString::number(value, 'f', decimals);
    return sign && value >= 0 ? QLatin1Char('+') + text : text;
}

void figure(Fields &f, const QString &name, const std::optional<double> &value,
            int decimals = FigureDecimals)
{
    if (value)
        f.add(name, *value, figureText(*value, false, decimals));
}

void quantity(Fields &f, const QString &name, const QuantityFigures &q)
{
    figure(f, QStringLiteral("mean_") + name, q.mean);
    figure(f, QStringLiteral("sd_") + name, q.standardDeviation);
    figure(f, QStringLiteral("reference_") + name, q.referenceMean);
    figure(f, QStringLiteral("deviation_") + name, q.deviation);
    f.add(QStringLiteral("tolerance_") + name, q.tolerance, QString::number(q.tolerance));
    f.add(QStringLiteral("uncertainty_") + name, q.uncertainty, QString::number(q.uncertainty));
}

void fit(Fields &f, const QString &name, const PointFit &line)
{
    figure(f, QStringLiteral("offset_") + name, line.offset);
    figure(f, QStringLiteral("slope_") + name, line.slope, SlopeDecimals);
}

std::optional<double> inFahrenheit(const std::optional<double> &celsius)
{
    return celsius ? std::optional<double>(fahrenheitOfCelsius(*celsius)) : std::nullopt;
}

std::optional<double> differenceInFahrenheit(const std::optional<double> &celsius)
{
    return celsius ? std::optional<double>(*celsius * FahrenheitPerCelsius) : std::nullopt;
}

void unitFields(Fields &f, const UnitResult &u)
{
    f.text("verdict", verdictKey(u.verdict));
    f.text("unit", u.fahrenheit ? Fahrenheit : Celsius);
    quantity(f, QStringLiteral("temperature"), u.temperature);
    quantity(f, QStringLiteral("humidity"), u.humidity);
    figure(f, QStringLiteral("mean_dew_point"), u.dewPoint);
    if (u.fahrenheit) {
        figure(f, QStringLiteral("mean_temperature_f"), inFahrenheit(u.temperature.mean));
        figure(f, QStringLiteral("deviation_temperature_f"),
               differenceInFahrenheit(u.temperature.deviation));
    }
    if (u.verdict == Verdict::Settling) {
        if (u.settleLeftMs)
            f.add("settle_left_s", double(*u.settleLeftMs / MsPerSecond),
                  QString::number(*u.settleLeftMs / MsPerSecond));
        f.add("waiting_for_reference", u.waitingForReference,
              u.waitingForReference ? QStringLiteral("true") : QStringLiteral("false"));
    }
    if (u.windowEndMs > 0) {
        f.add("window_start_s", u.windowStartMs / MsPerSecond,
              QString::number(u.windowStartMs / MsPerSecond));
        f.add("window_end_s", u.windowEndMs / MsPerSecond,
              QString::number(u.windowEndMs / MsPerSecond));
    }
}

// "temperature 23.912 °C (reference 23.500, deviation +0.412, tolerance ±0.2)"; a Tervin-F's
// mean and deviation in °F too.
QString quantityText(const QString &label, const QuantityFigures &q, const QString &unit,
                     bool fahrenheit = false)
{
    if (!q.mean)
        return QString();
    QString mean = figureText(*q.mean) + QLatin1Char(' ') + unit;
    if (fahrenheit)
        mean += QStringLiteral(" = ") + figureText(fahrenheitOfCelsius(*q.mean)) +
                QLatin1Char(' ') + Fahrenheit;
    QStringList about;
    if (q.referenceMean)
        about << Cli::tr("reference %1").arg(figureText(*q.referenceMean));
    if (q.deviation) {
        QString deviation = figureText(*q.deviation, true);
        if (fahrenheit)
            deviation += QLatin1Char(' ') + unit + QStringLiteral(" = ") +
                         figureText(*q.deviation * FahrenheitPerCelsius, true) + QLatin1Char(' ') +
                         Fahrenheit;
        about << Cli::tr("deviation %1").arg(deviation);
    }
    about << (q.uncertainty > 0
                  ? Cli::tr("tolerance ±%1 less ±%2").arg(q.tolerance).arg(q.uncertainty)
                  : Cli::tr("tolerance ±%1").arg(q.tolerance));
    return label.arg(mean) + QStringLiteral(" (") + about.join(QStringLiteral(", ")) +
           QLatin1Char(')');
}

QString verdictPart(const UnitResult &u)
{
    QString text = verdictText(u.verdict);
    if (u.verdict != Verdict::Settling)
        return text;
    if (u.waitingForReference)
        return text + QStringLiteral(", ") + Cli::tr("waiting for the reference");
    if (u.settleLeftMs)
        return text + QStringLiteral(", ") +
               Cli::tr("%1 left").arg(Records::durationText(*u.settleLeftMs));
    return text;
}

QString fitText(const QString &label, const PointFit &line)
{
    if (!line.slope || !line.offset)
        return QString();
    return label.arg(figureText(*line.slope, false, SlopeDecimals), figureText(*line.offset, true));
}

QStringList checkParts(const CheckRecord &r)
{
    QStringList parts = Records::identityParts(r);
    if (!r.serial.isEmpty())
        parts << Cli::tr("serial %1").arg(r.serial);
    if (r.identified)
        parts << DeviceInfo::deviceTypeName(r.deviceType)
              << Cli::tr("sensor %1").arg(DeviceInfo::sensorTypeName(r.sensorType));
    const UnitResult &u = r.unit;
    parts << verdictPart(u)
          << quantityText(Cli::tr("temperature %1"), u.temperature, Celsius, u.fahrenheit)
          << quantityText(Cli::tr("humidity %1"), u.humidity, RelativeHumidity);
    if (u.dewPoint)
        parts << Cli::tr("dew point %1 %2").arg(figureText(*u.dewPoint), Celsius);
    if (r.bothPoints) {
        parts << Cli::tr("at both points: %1").arg(verdictText(r.bothPoints->verdict))
              << fitText(Cli::tr("temperature: unit = %1 × reference %2"),
                         r.bothPoints->temperature)
              << fitText(Cli::tr("humidity: unit = %1 × reference %2"), r.bothPoints->humidity);
    }
    parts.removeAll(QString());
    return parts;
}

QJsonArray listOf(const QList<int> &addresses)
{
    QJsonArray array;
    for (int address : addresses)
        array.append(address);
    return array;
}

} // namespace

namespace Records {

// "3 min 20 s", "45 s", "12 min"
QString durationText(qint64 ms)
{
    const qint64 seconds = qint64(std::ceil(ms / MsPerSecond));
    const qint64 minutes = seconds / SecondsPerMinute;
    const qint64 rest = seconds % SecondsPerMinute;
    if (minutes == 0)
        return Cli::tr("%1 s").arg(rest);
    if (rest == 0)
        return Cli::tr("%1 min").arg(minutes);
    return Cli::tr("%1 min %2 s").arg(minutes).arg(rest);
}

QString check(Format format, const CheckRecord &r)
{
    if (format == Format::Text) // every unit has its line: its verdict is what was asked
        return textLine(r, checkParts(r));
    Fields f = headFields(r);
    if (r.identified) {
        f.text("device_type", DeviceInfo::deviceTypeName(r.deviceType));
        f.text("sensor_type", DeviceInfo::sensorTypeName(r.sensorType));
        f.text("firmware", DeviceInfo::firmwareText(r.firmware));
    }
    unitFields(f, r.unit);
    if (r.bothPoints) {
        f.text("verdict_both", verdictKey(r.bothPoints->verdict));
        fit(f, QStringLiteral("temperature"), r.bothPoints->temperature);
        fit(f, QStringLiteral("humidity"), r.bothPoints->humidity);
    }
    return f.line(format, r.command);
}

QString checkSummary(Format format, const CheckSummaryRecord &r)
{
    QMap<Verdict, int> counts;
    for (Verdict verdict : r.verdicts)
        ++counts[verdict];
    const QString asked = Values::addressListText(r.asked);
    const CheckReference &reference = r.settings.reference;
    if (format == Format::Text) {
        QStringList parts{Cli::tr("addresses %1").arg(asked)};
        parts << identityParts(r);
        QStringList verdicts;
        for (auto it = counts.begin(); it != counts.end(); ++it)
            verdicts << QStringLiteral("%1 %2").arg(it.value()).arg(verdictText(it.key()));
        parts << Cli::tr("%n unit(s): %1", nullptr, int(r.verdicts.size()))
                     .arg(verdicts.join(QStringLiteral(", ")));
        parts << Cli::tr("in %1").arg(durationText(r.durationMs));
        QStringList files{r.reportPdf, r.reportCsv};
        files.removeAll(QString());
        if (!files.isEmpty())
            parts << Cli::tr("report %1").arg(files.join(QStringLiteral(", ")));
        return textLine(r, parts);
    }
    Fields f = headFields(r);
    f.add("addresses", listOf(r.asked), asked);
    f.number("units", r.verdicts.size());
    for (Verdict verdict :
         {Verdict::Pass, Verdict::Fail, Verdict::Settling, Verdict::Unstable, Verdict::NoAnswer})
        f.number(verdictKey(verdict), counts.value(verdict));
    f.number("reference_address", reference.address, reference.isUnit());
    f.text("reference_serial", r.referenceUnit.known ? r.referenceUnit.serial : QString());
    figure(f, QStringLiteral("reference_temperature"), reference.temperature);
    figure(f, QStringLiteral("reference_humidity"), reference.humidity);
    figure(f, QStringLiteral("tolerance_temperature"), r.settings.temperatureTolerance);
    figure(f, QStringLiteral("tolerance_humidity"), r.settings.humidityTolerance);
    f.add("uncertainty_temperature", reference.temperatureUncertainty,
          QString::number(reference.temperatureUncertainty));
    f.add("uncertainty_humidity", reference.humidityUncertainty,
          QString::number(reference.humidityUncertainty));
    f.number("settle_s", r.settings.settleMs / qint64(MsPerSecond));
    f.number("duration_ms", r.durationMs);
    f.text("note", r.note);
    f.text("report_pdf", r.reportPdf);
    f.text("report_csv", r.reportCsv);
    return f.line(format, r.command);
}

} // namespace Records
