#include "view/trendticks.h"

#include <QDateTime>
#include <QSet>

#include <cmath>

namespace {
constexpr double SecondsPerDay = 86400;
constexpr double SecondsPerMinute = 60;
constexpr double MsPerSecond = 1000;
// Consecutive steps differ by 2.5 at most, so with room for three a range always holds a tick.
constexpr int FewestTicks = 3;
// The steps below a day, in seconds: each a whole multiple of what its label resolves.
constexpr double SubDaySteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05,  0.1,   0.2,  0.5,
                                  1,     2,     5,     10,   15,   30,    60,    120,  300,
                                  600,   900,   1800,  3600, 7200, 10800, 21600, 43200};

QDateTime localTime(double seconds)
{
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * MsPerSecond));
}

double secondsOf(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() / MsPerSecond;
}

// The smallest round step that puts at most maxTicks steps into the span.
double stepFor(double span, int maxTicks)
{
    for (double step : SubDaySteps)
        if (span / step <= maxTicks)
            return step;
    for (double days = 1;; days *= 10)
        for (double factor : {1, 2, 5})
            if (span / (factor * days * SecondsPerDay) <= maxTicks)
                return factor * days * SecondsPerDay;
}

// Below a day: whole multiples of the step on the local clock, e.g. 14:00, 14:10, 14:20.
QVector<double> subDayTicks(double lower, double upper, double step)
{
    const double zone = localTime(lower).offsetFromUtc();
    QVector<double> ticks;
    for (double index = std::ceil((lower + zone) / step);; ++index) {
        const double tick = index * step - zone;
        if (tick > upper)
            return ticks;
        ticks << tick;
    }
}

// A day or more: local midnights, on days whose number is a multiple of the step.
QVector<double> dayTicks(double lower, double upper, double step)
{
    const qint64 days = std::llround(step / SecondsPerDay);
    QDate date = localTime(lower).date();
    if (secondsOf(QDateTime(date, QTime(0, 0))) < lower)
        date = date.addDays(1);
    date = date.addDays((days - date.toJulianDay() % days) % days);
    QVector<double> ticks;
    for (; secondsOf(QDateTime(date, QTime(0, 0))) <= upper; date = date.addDays(days))
        ticks << secondsOf(QDateTime(date, QTime(0, 0)));
    return ticks;
}

QVector<QString> labelsOf(const QVector<double> &ticks, const QString &format)
{
    QVector<QString> labels;
    for (double tick : ticks)
        labels << localTime(tick).toString(format);
    return labels;
}

bool hasRepeats(const QVector<QString> &labels)
{
    return QSet<QString>(labels.begin(), labels.end()).size() != labels.size();
}
} // namespace

TimeTicks timeTicks(double lower, double upper, int maxTicks)
{
    TimeTicks out;
    if (!std::isfinite(lower) || !std::isfinite(upper) || upper <= lower)
        return out;
    out.step = stepFor(upper - lower, std::max(FewestTicks, maxTicks));
    const bool days = out.step >= SecondsPerDay;
    out.ticks = days ? dayTicks(lower, upper, out.step) : subDayTicks(lower, upper, out.step);
    if (out.ticks.isEmpty())
        return out;
    const bool years =
        localTime(out.ticks.first()).date().year() != localTime(out.ticks.last()).date().year();
    const QString date = years ? QStringLiteral("yyyy-MM-dd") : QStringLiteral("MM-dd");
    const QString time = out.step < 1                  ? QStringLiteral("hh:mm:ss.zzz")
                         : out.step < SecondsPerMinute ? QStringLiteral("hh:mm:ss")
                                                       : QStringLiteral("hh:mm");
    out.labels = labelsOf(out.ticks, days ? date : time + QLatin1Char('\n') + date);
    if (!days && hasRepeats(out.labels)) // the clock went back: the zone tells the two apart
        out.labels = labelsOf(out.ticks, time + QStringLiteral(" t\n") + date);
    return out;
}

void TimeTicker::generate(const QCPRange &range, const QLocale &, QChar, int,
                          QVector<double> &ticks, QVector<double> *subTicks,
                          QVector<QString> *tickLabels)
{
    const TimeTicks chosen = timeTicks(range.lower, range.upper, tickCount());
    ticks = chosen.ticks;
    if (subTicks)
        subTicks->clear();
    if (tickLabels)
        *tickLabels = chosen.labels;
}
