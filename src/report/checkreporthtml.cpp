// The production check's report as HTML, which the PDF prints: the header, then a row per unit
// (three per unit in a two-point report: each point, then the line through them).
#include "report/checkreport.h"

#include "protocol/deviceinfo.h"
#include "protocol/reading.h"

#include <QCoreApplication>

#include <cmath>

namespace {

constexpr int FigureDecimals = 3;
constexpr int SlopeDecimals = 4;
constexpr int ToleranceDecimals = 2; // ±0.15 °C
using UnitSymbol::Celsius;
using UnitSymbol::Fahrenheit;
using UnitSymbol::RelativeHumidity;
const QString Nothing = QStringLiteral("\u2013");
const char *const PassColour = "#1a7f37";
const char *const FailColour = "#c62828";
const char *const OtherColour = "#666666";

QString escaped(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
}

QString figure(const std::optional<double> &value, bool sign = false)
{
    if (!value)
        return Nothing;
    const QString text = QString::number(*value, 'f', FigureDecimals);
    return sign && *value >= 0 ? QLatin1Char('+') + text : text;
}

// "10 min", or "90 s" for a time that is not whole minutes.
QString duration(qint64 ms)
{
    if (ms % MsPerMinute == 0)
        return CheckReport::tr("%1 min").arg(ms / MsPerMinute);
    return CheckReport::tr("%1 s").arg(ms / 1000);
}

QString cell(const QString &html, const QString &attributes = QString())
{
    return QStringLiteral("<td%1>%2</td>")
        .arg(attributes.isEmpty() ? QString() : QLatin1Char(' ') + attributes, html);
}

QString headerRow(const QString &label, const QString &html)
{
    return QStringLiteral("<tr><td class=\"label\">%1</td><td>%2</td></tr>")
        .arg(escaped(label), html);
}

QString referenceText(const CheckReportContent &content)
{
    const CheckReference &reference = content.settings.reference;
    const QString uncertainty = CheckReport::tr("uncertainty ±%1 %2, ±%3 %4")
                                    .arg(reference.temperatureUncertainty)
                                    .arg(Celsius)
                                    .arg(reference.humidityUncertainty)
                                    .arg(RelativeHumidity);
    if (reference.isUnit()) {
        const UnitIdentity &unit = content.referenceUnit;
        const QString identity =
            unit.known ? CheckReport::tr("serial %1, %2, sensor %3")
                             .arg(unit.serial, DeviceInfo::deviceTypeName(unit.deviceType),
                                  DeviceInfo::sensorTypeName(unit.sensorType))
                       : CheckReport::tr("not identified");
        return CheckReport::tr("the unit at address %1: %2; %3")
            .arg(reference.address)
            .arg(identity, uncertainty);
    }
    QStringList values;
    if (reference.temperature)
        values << QStringLiteral("%1 %2 ±%3 %2")
                      .arg(*reference.temperature)
                      .arg(Celsius)
                      .arg(reference.temperatureUncertainty);
    if (reference.humidity)
        values << QStringLiteral("%1 %2 ±%3 %2")
                      .arg(*reference.humidity)
                      .arg(RelativeHumidity)
                      .arg(reference.humidityUncertainty);
    return CheckReport::tr("an instrument: %1").arg(values.join(QStringLiteral(", ")));
}

QString settleRuleText(const CheckSettings &settings)
{
    return CheckReport::tr(
               "settled when, over %1, the readings of the unit and of the reference have each "
               "stayed within %2 %3 and %4 %5, with a reading at least every %6; unstable when "
               "not settled within %7")
        .arg(duration(settings.settleMs))
        .arg(settings.temperatureBand)
        .arg(Celsius)
        .arg(settings.humidityBand)
        .arg(RelativeHumidity)
        .arg(duration(settings.maxGapMs), duration(settings.unstableLimitMs()));
}

QString toleranceText(const std::optional<double> &set, double Tolerances::*quantity,
                      const QString &unit)
{
    if (set)
        return QStringLiteral("±%1 %2").arg(*set).arg(unit);
    QStringList families;
    for (quint16 code : sensorFamilies())
        families << QStringLiteral("%1 ±%2 %3")
                        .arg(DeviceInfo::sensorTypeName(code))
                        .arg(familyTolerances(code).*quantity)
                        .arg(unit);
    return CheckReport::tr("the sensor family's (%1)").arg(families.join(QStringLiteral(", ")));
}

QString tolerancesText(const CheckSettings &settings)
{
    return CheckReport::tr(
               "temperature %1; humidity %2; a unit passes within the tolerance less the "
               "reference's uncertainty")
        .arg(toleranceText(settings.temperatureTolerance, &Tolerances::temperature, Celsius),
             toleranceText(settings.humidityTolerance, &Tolerances::humidity, RelativeHumidity));
}

QString summaryText(const QList<Verdict> &verdicts)
{
    QStringList counts;
    for (Verdict verdict :
         {Verdict::Pass, Verdict::Fail, Verdict::Settling, Verdict::Unstable, Verdict::NoAnswer}) {
        const int count = int(verdicts.count(verdict));
        if (count > 0)
            counts << CheckReport::tr("%1 %2").arg(count).arg(verdictText(verdict));
    }
    return CheckReport::tr("%1 units: %2")
        .arg(verdicts.size())
        .arg(counts.join(QStringLiteral(", ")));
}

QString verdictCell(const UnitResult &result, Verdict verdict, const QString &attributes = {})
{
    const char *colour = verdict == Verdict::Pass   ? PassColour
                         : verdict == Verdict::Fail ? FailColour
                                                    : OtherColour;
    QString html = QStringLiteral("<b style=\"color:%1\">%2</b>")
                       .arg(QLatin1String(colour), escaped(verdictText(verdict)));
    if (verdict == Verdict::Settling && result.waitingForReference)
        html += QStringLiteral("<br/>") + escaped(CheckReport::tr("waiting for the reference"));
    else if (verdict == Verdict::Settling && result.settleLeftMs)
        html += QStringLiteral("<br/>") +
                escaped(CheckReport::tr("%1 min left")
                            .arg(std::ceil(*result.settleLeftMs / double(MsPerMinute))));
    return cell(html, attributes);
}

// Mean, standard deviation, reference, deviation and tolerance of one quantity; a Tervin-F's
// temperature in °F under the °C.
QString quantityCells(const QuantityFigures &figures, bool fahrenheit)
{
    QString mean = figure(figures.mean);
    QString deviation = figure(figures.deviation, true);
    if (fahrenheit && figures.mean)
        mean += QStringLiteral("<br/>%1 %2")
                    .arg(figure(fahrenheitOfCelsius(*figures.mean)), Fahrenheit);
    if (fahrenheit && figures.deviation)
        deviation += QStringLiteral("<br/>%1 %2")
                         .arg(figure(*figures.deviation * FahrenheitPerCelsius, true), Fahrenheit);
    return cell(mean) + cell(figure(figures.standardDeviation)) +
           cell(figure(figures.referenceMean)) + cell(deviation) +
           cell(QStringLiteral("±") + QString::number(figures.tolerance, 'f', ToleranceDecimals));
}

QString identityCells(const UnitResult &result, int rows)
{
    const QString span = rows > 1 ? QStringLiteral("rowspan=\"%1\"").arg(rows) : QString();
    const UnitIdentity &unit = result.identity;
    const bool known = unit.known;
    return cell(escaped(unit.serial.isEmpty() ? Nothing : unit.serial), span) +
           cell(QString::number(result.address), span) +
           cell(known ? DeviceInfo::deviceTypeName(unit.deviceType) : Nothing, span) +
           cell(known ? DeviceInfo::sensorTypeName(unit.sensorType) : Nothing, span) +
           cell(known ? DeviceInfo::firmwareText(unit.firmware) : Nothing, span);
}

QString pointCells(const UnitResult &result)
{
    return quantityCells(result.temperature, result.fahrenheit) +
           quantityCells(result.humidity, false) + cell(figure(result.dewPoint)) +
           verdictCell(result, result.verdict);
}

QString fitText(const PointFit &fit)
{
    if (!fit.slope)
        return Nothing;
    const QString offset = QString::number(*fit.offset, 'f', FigureDecimals);
    return CheckReport::tr("unit = %1 × reference %2 %3")
        .arg(QString::number(*fit.slope, 'f', SlopeDecimals),
             *fit.offset < 0 ? QStringLiteral("\u2212") : QStringLiteral("+"),
             offset.startsWith(QLatin1Char('-')) ? offset.mid(1) : offset);
}

QString unitRows(const UnitResult &result)
{
    return QStringLiteral("<tr>") + identityCells(result, 1) + pointCells(result) +
           QStringLiteral("</tr>");
}

QString twoPointRows(const TwoPointResult &result)
{
    QString rows = QStringLiteral("<tr>") + identityCells(result.second, 3) +
                   cell(QStringLiteral("1")) + pointCells(result.first) +
                   QStringLiteral("</tr><tr>") + cell(QStringLiteral("2")) +
                   pointCells(result.second) + QStringLiteral("</tr>");
    const QString span = QStringLiteral("colspan=\"5\"");
    return rows + QStringLiteral("<tr>") + cell(escaped(CheckReport::tr("both"))) +
           cell(escaped(fitText(result.temperature)), span) +
           cell(escaped(fitText(result.humidity)), span) + cell(Nothing) +
           verdictCell(result.second, result.verdict) + QStringLiteral("</tr>");
}

QString tableHead(bool twoPoint)
{
    const QString span = QStringLiteral("rowspan=\"2\"");
    QString first;
    static const char *const identity[] = {
        QT_TRANSLATE_NOOP("CheckReport", "Serial"), QT_TRANSLATE_NOOP("CheckReport", "Address"),
        QT_TRANSLATE_NOOP("CheckReport", "Type"), QT_TRANSLATE_NOOP("CheckReport", "Sensor"),
        QT_TRANSLATE_NOOP("CheckReport", "Firmware")};
    static const char *const figures[] = {QT_TRANSLATE_NOOP("CheckReport", "Mean"),
                                          QT_TRANSLATE_NOOP("CheckReport", "SD"),
                                          QT_TRANSLATE_NOOP("CheckReport", "Reference"),
                                          QT_TRANSLATE_NOOP("CheckReport", "Deviation"),
                                          QT_TRANSLATE_NOOP("CheckReport", "Tolerance")};
    for (const char *name : identity)
        first += QStringLiteral("<th %1>%2</th>")
                     .arg(span, escaped(QCoreApplication::translate("CheckReport", name)));
    if (twoPoint)
        first += QStringLiteral("<th %1>%2</th>").arg(span, escaped(CheckReport::tr("Point")));
    first += QStringLiteral("<th colspan=\"5\">%1</th><th colspan=\"5\">%2</th>")
                 .arg(escaped(CheckReport::tr("Temperature (%1)").arg(Celsius)),
                      escaped(CheckReport::tr("Humidity (%1)").arg(RelativeHumidity)));
    first += QStringLiteral("<th %1>%2</th><th %1>%3</th>")
                 .arg(span, escaped(CheckReport::tr("Dew point (%1)").arg(Celsius)),
                      escaped(CheckReport::tr("Verdict")));
    QString second;
    for (int quantity = 0; quantity < 2; ++quantity)
        for (const char *name : figures)
            second += QStringLiteral("<th>%1</th>")
                          .arg(escaped(QCoreApplication::translate("CheckReport", name)));
    return QStringLiteral("<thead><tr>%1</tr><tr>%2</tr></thead>").arg(first, second);
}

} // namespace

namespace Report {

QString checkHtml(const CheckReportContent &content)
{
    const QDateTime time = content.time.toOffsetFromUtc(content.time.offsetFromUtc());
    // "2026-12-07 14:02:17 UTC+01:00"
    const QString when =
        time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + time.timeZoneAbbreviation();
    QString html =
        QStringLiteral("<html><head><style>"
                       "h1 { font-size: 14pt; } td.label { font-weight: bold; padding-right: 8px; }"
                       "table.units th { background-color: #e8e8e8; }"
                       "table.units td { white-space: nowrap; }"
                       "</style></head><body>");
    html += QStringLiteral("<h1>%1</h1><table>").arg(escaped(CheckReport::tr("Production check")));
    html += headerRow(CheckReport::tr("Date and time"), escaped(when));
    html += headerRow(CheckReport::tr("Note"),
                      escaped(content.note.isEmpty() ? Nothing : content.note));
    html += headerRow(CheckReport::tr("Reference"), escaped(referenceText(content)));
    html += headerRow(CheckReport::tr("Settle rule"), escaped(settleRuleText(content.settings)));
    html += headerRow(CheckReport::tr("Tolerances"), escaped(tolerancesText(content.settings)));
    html += headerRow(CheckReport::tr("Result"), escaped(summaryText(content.verdicts())));
    html += QStringLiteral("</table><p/><table class=\"units\" border=\"1\" cellspacing=\"0\" "
                           "cellpadding=\"2\" width=\"100%\">");
    html += tableHead(content.isTwoPoint());
    for (const UnitResult &result : content.units)
        html += unitRows(result);
    for (const TwoPointResult &result : content.twoPoints)
        html += twoPointRows(result);
    return html + QStringLiteral("</table></body></html>");
}

} // namespace Report
