#include "view/linecheck.h"

#include "protocol/reading.h"

#include <QColor>
#include <QFont>

#include <algorithm>
#include <cmath>

namespace {

// The verdicts coloured as the report colours them.
const QColor PassColour(0x1a, 0x7f, 0x37);
const QColor FailColour(0xc6, 0x28, 0x28);
const QColor OtherColour(0x66, 0x66, 0x66);
constexpr int DeviationDecimals = 2; // the readings' hundredths
constexpr int FigureDecimals = 3;
constexpr qint64 MsPerSecond = 1000;
constexpr qint64 SecondsPerMinute = 60;
using UnitSymbol::Celsius;
using UnitSymbol::Fahrenheit;
using UnitSymbol::RelativeHumidity;

QString signedText(double value, int decimals = DeviationDecimals)
{
    const QString text = QString::number(value, 'f', decimals);
    return value >= 0 ? QLatin1Char('+') + text : text;
}

QColor verdictColour(Verdict verdict)
{
    return verdict == Verdict::Pass   ? PassColour
           : verdict == Verdict::Fail ? FailColour
                                      : OtherColour;
}

} // namespace

LineCheck::LineCheck(const LineRoster *roster, std::function<qint64()> nowMs)
    : roster(roster), nowMs(std::move(nowMs))
{
}

LineCheck::~LineCheck() = default;

void LineCheck::start(const CheckSettings &settings, const QList<int> &addresses)
{
    feed = std::make_unique<CheckFeed>(settings, addresses, nowMs());
    running = true;
    refresh();
}

void LineCheck::stop()
{
    if (!running)
        return;
    running = false;
    endedMs = nowMs();
    refresh();
}

bool LineCheck::polled(int address, const LinkOutcome &outcome)
{
    if (!running)
        return false;
    const qint64 now = nowMs();
    if (!feed->polled(address, outcome, *roster, now) && !feed->isPastDeadline(now))
        return false;
    stop();
    return true;
}

bool LineCheck::endIfPastDeadline()
{
    if (!running || !feed->isPastDeadline(nowMs()))
        return false;
    stop();
    return true;
}

qint64 LineCheck::atMs() const
{
    return running ? nowMs() : endedMs;
}

QList<UnitResult> LineCheck::results() const
{
    return feed ? feed->results(atMs()) : QList<UnitResult>();
}

QString LineCheck::summary() const
{
    const QList<UnitResult> all = results();
    QStringList counts;
    for (Verdict verdict :
         {Verdict::Pass, Verdict::Fail, Verdict::Settling, Verdict::Unstable, Verdict::NoAnswer}) {
        const auto count = std::count_if(all.begin(), all.end(), [verdict](const UnitResult &r) {
            return r.verdict == verdict;
        });
        if (count > 0)
            counts << tr("%1 %2").arg(count).arg(verdictText(verdict));
    }
    return tr("%n unit(s): %1", nullptr, int(all.size())).arg(counts.join(QStringLiteral(", ")));
}

CheckReportContent LineCheck::reportContent(const QString &note, const QDateTime &time) const
{
    CheckReportContent content;
    content.time = time;
    content.note = note;
    content.settings = feed->settings();
    content.referenceUnit = feed->referenceIdentity();
    content.units = results();
    return content;
}

void LineCheck::refresh()
{
    shown.clear();
    for (const UnitResult &result : results())
        shown.insert(result.address, result);
}

bool LineCheck::isReference(int address) const
{
    return feed && feed->settings().reference.isUnit() &&
           feed->settings().reference.address == address;
}

QString LineCheck::header(int column) const
{
    switch (column) {
    case TemperatureDeviation:
        return tr("Deviation °C");
    case HumidityDeviation:
        return tr("Deviation %RH");
    case Settled:
        return tr("Settled");
    case VerdictColumn:
        return tr("Verdict");
    default:
        return QString();
    }
}

QVariant LineCheck::data(int address, int column, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return column == VerdictColumn || column == Settled
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (isReference(address) && column == VerdictColumn) {
        if (role == Qt::DisplayRole || role == UnitTable::SortRole)
            return tr("reference");
        if (role == Qt::ToolTipRole)
            return tr("The reference: every unit is compared with its readings");
        return QVariant();
    }
    const auto it = shown.find(address);
    return it == shown.end() ? QVariant() : resultData(*it, column, role);
}

QVariant LineCheck::resultData(const UnitResult &result, int column, int role) const
{
    const bool final = isFinal(result.verdict);
    switch (role) {
    case Qt::DisplayRole:
        return text(result, column);
    case UnitTable::SortRole:
        return sortValue(result, column);
    case Qt::ToolTipRole:
        return toolTip(result, column);
    case Qt::ForegroundRole:
        if (column == VerdictColumn)
            return verdictColour(result.verdict);
        return final ? QVariant() : QVariant(OtherColour); // deviations so far: grey
    case Qt::FontRole:
        if (column == VerdictColumn && final) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

QString LineCheck::text(const UnitResult &result, int column) const
{
    switch (column) {
    case TemperatureDeviation: {
        const std::optional<double> &deviation = result.temperature.deviation;
        if (!deviation)
            return QString();
        QString text = signedText(*deviation) + QLatin1Char(' ') + Celsius;
        if (result.fahrenheit) // a Tervin-F in its own unit too
            text += QStringLiteral(" (%1 %2)")
                        .arg(signedText(*deviation * FahrenheitPerCelsius), Fahrenheit);
        return text;
    }
    case HumidityDeviation:
        return result.humidity.deviation
                   ? signedText(*result.humidity.deviation) + QLatin1Char(' ') + RelativeHumidity
                   : QString();
    case Settled:
        switch (result.verdict) {
        case Verdict::Pass:
        case Verdict::Fail:
            return tr("yes");
        case Verdict::Unstable:
            return tr("no");
        case Verdict::NoAnswer:
            return QString();
        case Verdict::Settling:
            break;
        }
        if (result.waitingForReference)
            return tr("waiting for the reference");
        if (result.settleLeftMs) {
            const qint64 seconds =
                qint64(std::ceil(double(*result.settleLeftMs) / double(MsPerSecond)));
            return seconds < SecondsPerMinute ? tr("%1 s left").arg(seconds)
                                              : tr("%1 min %2 s left")
                                                    .arg(seconds / SecondsPerMinute)
                                                    .arg(seconds % SecondsPerMinute);
        }
        return QString();
    case VerdictColumn:
        return verdictText(result.verdict);
    default:
        return QString();
    }
}

QVariant LineCheck::sortValue(const UnitResult &result, int column) const
{
    auto number = [](const std::optional<double> &v) { return v ? QVariant(*v) : QVariant(); };
    switch (column) {
    case TemperatureDeviation:
        return number(result.temperature.deviation);
    case HumidityDeviation:
        return number(result.humidity.deviation);
    case Settled:
        return result.settleLeftMs ? QVariant(*result.settleLeftMs) : QVariant();
    case VerdictColumn:
        return int(result.verdict);
    default:
        return QVariant();
    }
}

QString LineCheck::toolTip(const UnitResult &result, int column) const
{
    const bool temperature = column == TemperatureDeviation;
    if (!temperature && column != HumidityDeviation)
        return column == VerdictColumn && result.verdict == Verdict::NoAnswer
                   ? tr("No reading to judge: the unit is silent, or has given none for 30 s")
                   : QString();
    const QuantityFigures &q = temperature ? result.temperature : result.humidity;
    const QString unit = temperature ? Celsius : RelativeHumidity;
    if (!q.mean)
        return QString();
    QStringList parts{tr("mean %1 %2").arg(QString::number(*q.mean, 'f', FigureDecimals), unit)};
    if (q.referenceMean)
        parts << tr("reference %1 %2")
                     .arg(QString::number(*q.referenceMean, 'f', FigureDecimals), unit);
    parts << (q.uncertainty > 0
                  ? tr("tolerance ±%1 %2 less ±%3 %2").arg(q.tolerance).arg(unit).arg(q.uncertainty)
                  : tr("tolerance ±%1 %2").arg(q.tolerance).arg(unit));
    return parts.join(QStringLiteral(", "));
}
