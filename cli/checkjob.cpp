// check: every unit of a line against a reference, until each has its verdict.
#include "checkfiles.h"
#include "jobs.h"
#include "protocol/reading.h"
#include "protocol/values.h"
#include "recordfields.h"

#include <QTime>

namespace {

// What a unit's record says of how it went, by the verdict that decides.
Result resultOf(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return Result::Ok;
    case Verdict::Fail:
        return Result::OutOfRange;
    case Verdict::Settling:
    case Verdict::Unstable:
        return Result::NotSettled;
    case Verdict::NoAnswer:
        break;
    }
    return Result::NoAnswer;
}

Result worse(Result a, Result b)
{
    return exitCodeOf(b) > exitCodeOf(a) ? b : a;
}

// "temperature +0.412 °C beyond ±0.2 °C", for each quantity that fails.
QString beyondText(const QString &label, const QuantityFigures &q, const QString &unit)
{
    if (!q.isJudged() || q.isWithin())
        return QString();
    const QString deviation = QString::number(*q.deviation, 'f', 3);
    const QString allowed =
        q.uncertainty > 0
            ? Cli::tr("±%1 %2 less ±%3 %2").arg(q.tolerance).arg(unit).arg(q.uncertainty)
            : QStringLiteral("±%1 %2").arg(q.tolerance).arg(unit);
    return Cli::tr("%1 %2 %3 beyond %4")
        .arg(label, *q.deviation >= 0 ? QLatin1Char('+') + deviation : deviation, unit, allowed);
}

} // namespace

CheckJob::CheckJob(const CliOptions &options, const QString &portName, const PortOutput &output,
                   LinkPort *port, LinkClock *clock, QObject *parent)
    : PortJob(options, portName, output, port, clock, parent),
      cycle(new PollCycle(exchange->link(), this))
{
    cycle->setPeriodMs(options.periodMs);
    // Hundredths: a settle band of 0.1 °C is a single step of the tenths block.
    cycle->setReadings(ModbusReply::AllReadings, true);
    cycle->setRetries(options.retries);
    connect(cycle, &PollCycle::polled, this, &CheckJob::polled);
    connect(cycle, &PollCycle::roundEnded, this, &CheckJob::roundEnded);
}

// The rate is found where the reference unit answers (or, against typed values, any unit).
void CheckJob::begin()
{
    const CheckReference &reference = options.check.reference;
    find(
        reference.isUnit() ? QList<int>{reference.address} : options.addresses,
        [this](const Outcome &, int) { startCheck(); }, [this](const Miss &miss) { missed(miss); });
}

void CheckJob::missed(const Miss &miss)
{
    const CheckReference &reference = options.check.reference;
    const QString error = reference.isUnit()
                              ? Cli::tr("the reference at address %1 does not answer: %2")
                                    .arg(reference.address)
                                    .arg(miss.error)
                              : Cli::tr("no unit of %1 answers: %2")
                                    .arg(Values::addressListText(options.addresses), miss.error);
    summary(miss.result, error, miss.tries);
    finish(miss.result);
}

void CheckJob::startCheck()
{
    feed = std::make_unique<CheckFeed>(options.check, options.addresses, exchange->nowMs());
    const CheckSettings &settings = options.check;
    output.message(Cli::tr("checking %n unit(s): each judged once steady for %1, all within %2",
                           nullptr, int(feed->units().size()))
                       .arg(Records::durationText(settings.settleMs),
                            Records::durationText(settings.unstableLimitMs() + settings.settleMs)));
    cycle->setUnits(feed->polledAddresses());
    cycle->start();
}

void CheckJob::polled(int address, const LinkOutcome &ended)
{
    if (concluded)
        return;
    const Outcome outcome = exchange->outcomeOf(ended);
    if (outcome.result == Result::PortError) {
        conclude(Result::PortError, outcome.detail);
        return;
    }
    const qint64 now = exchange->nowMs();
    const bool finished = feed->polled(address, ended, exchange->link()->roster(), now);
    const bool reference =
        options.check.reference.isUnit() && address == options.check.reference.address;
    announce(reference ? feed->results(now) : QList<UnitResult>{feed->result(address, now)});
    if (finished)
        conclude();
}

void CheckJob::roundEnded()
{
    if (!concluded && feed->isPastDeadline(exchange->nowMs()))
        conclude();
}

// Each final verdict is said as it comes, for whoever watches a check of an hour.
void CheckJob::announce(const QList<UnitResult> &results)
{
    for (const UnitResult &result : results) {
        if (!isFinal(result.verdict) || announced.contains(result.address))
            continue;
        announced.insert(result.address);
        output.message(
            Cli::tr("address %1: %2").arg(result.address).arg(verdictText(result.verdict)));
    }
}

void CheckJob::fail(Result result, const QString &error)
{
    if (feed) {
        conclude(result, error);
        return;
    }
    summary(result, error, 0);
    finish(result);
}

void CheckJob::interrupt()
{
    if (feed && !concluded)
        conclude(Result::Ok, Cli::tr("interrupted"));
}

void CheckJob::conclude(Result ending, const QString &why)
{
    if (concluded)
        return;
    concluded = true;
    cycle->stop();
    const QList<UnitResult> results = feed->results(exchange->nowMs());
    const QList<TwoPointResult> bothPoints = options.firstPoint.isEmpty()
                                                 ? QList<TwoPointResult>()
                                                 : combinePoints(options.firstPoint, results);
    const Report::Outcome report = writeReport(results, bothPoints);
    Result worst = Result::Ok;
    QList<Verdict> verdicts;
    if (bothPoints.isEmpty())
        for (const UnitResult &unit : results) {
            worst = worse(worst, unitRecord(unit, nullptr, ending, why));
            verdicts << unit.verdict;
        }
    for (const TwoPointResult &unit : bothPoints) {
        worst = worse(worst, unitRecord(unit.second, &unit, ending, why));
        verdicts << unit.verdict;
    }
    worst = worse(worst, ending);
    QString error = why;
    const int notPassed = int(verdicts.size() - verdicts.count(Verdict::Pass));
    if (error.isEmpty() && notPassed > 0)
        error =
            Cli::tr("%1 of %n unit(s) did not pass", nullptr, int(verdicts.size())).arg(notPassed);
    summary(worst, error, exchange->link()->statistics().requests, verdicts, report);
    for (const QString &problem : {report.pdfError, report.csvError})
        if (!problem.isEmpty())
            output.message(problem);
    finish(worst, report.isComplete() ? Success : OutputLost);
}

Report::Outcome CheckJob::writeReport(const QList<UnitResult> &results,
                                      const QList<TwoPointResult> &bothPoints)
{
    if (options.reportFile.isEmpty())
        return {};
    CheckReportContent content;
    content.time = QDateTime::currentDateTime();
    content.note = options.note;
    content.settings = options.check;
    content.referenceUnit = feed->referenceIdentity();
    content.units = bothPoints.isEmpty() ? results : QList<UnitResult>();
    content.twoPoints = bothPoints;
    return Report::writeCheck(content, Report::filesBeside(options.reportFile));
}

// A unit's record; returns its result. With two points the verdict at both decides.
Result CheckJob::unitRecord(const UnitResult &unit, const TwoPointResult *bothPoints, Result ending,
                            const QString &why)
{
    const Verdict deciding = bothPoints ? bothPoints->verdict : unit.verdict;
    const bool lost = ending == Result::PortError && !isFinal(unit.verdict);
    const Result result = lost ? Result::PortError : resultOf(deciding);
    const LineUnit *onLine = exchange->link()->roster().find(unit.address);
    const bool heard = onLine && onLine->health.replies > 0;
    CheckRecord record;
    QString error = lost ? why : unitProblem(unit, bothPoints);
    stamp(record, result, error, onLine ? onLine->health.requests : 0);
    const UnitIdentity &identity = bothPoints ? bothPoints->identity : unit.identity;
    record.address = unit.address;
    record.baudRate = heard ? exchange->baudRate() : 0;
    record.serial = identity.serial;
    record.identified = identity.known;
    record.deviceType = identity.deviceType;
    record.sensorType = identity.sensorType;
    record.firmware = identity.firmware;
    record.unit = unit;
    if (bothPoints)
        record.bothPoints = *bothPoints;
    const QString line = Records::check(options.format, record);
    if (!line.isEmpty())
        output.record(line);
    if (result != Result::Ok)
        output.message(Cli::tr("address %1: %2").arg(unit.address).arg(error));
    return result;
}

// Why a unit did not pass, in words: at this point, or at the first.
QString CheckJob::unitProblem(const UnitResult &unit, const TwoPointResult *bothPoints) const
{
    const CheckSettings &settings = options.check;
    const Verdict deciding = bothPoints ? bothPoints->verdict : unit.verdict;
    if (deciding != unit.verdict) // decided by the first point
        return Cli::tr("%1 at the first point").arg(verdictText(deciding));
    switch (deciding) {
    case Verdict::Pass:
        return QString();
    case Verdict::Fail: {
        QStringList beyond{
            beyondText(Cli::tr("temperature"), unit.temperature, UnitSymbol::Celsius),
            beyondText(Cli::tr("humidity"), unit.humidity, UnitSymbol::RelativeHumidity)};
        beyond.removeAll(QString());
        return Cli::tr("fail: %1").arg(beyond.join(QStringLiteral(", ")));
    }
    case Verdict::Unstable:
        return Cli::tr("unstable: its readings did not stay within %1 °C and %2 %RH over "
                       "%3 before %4")
            .arg(settings.temperatureBand)
            .arg(settings.humidityBand)
            .arg(Records::durationText(settings.settleMs),
                 Records::durationText(settings.unstableLimitMs()));
    case Verdict::Settling:
        if (unit.waitingForReference)
            return Cli::tr("still waiting for the reference when the check ended");
        return Cli::tr("still settling when the check ended (%1 left)")
            .arg(Records::durationText(unit.settleLeftMs.value_or(settings.settleMs)));
    case Verdict::NoAnswer:
        break;
    }
    const LineUnit *onLine = exchange->link()->roster().find(unit.address);
    if (!onLine || onLine->health.replies == 0)
        return Cli::tr("no answer during the check");
    if (const std::optional<qint64> since = onLine->watch.silentSinceMs()) {
        const QTime wall = QTime::currentTime().addMSecs(int(*since - exchange->nowMs()));
        return Cli::tr("no answer since %1").arg(wall.toString(QStringLiteral("HH:mm:ss")));
    }
    return Cli::tr("no answer: too few readings to judge");
}

void CheckJob::summary(Result result, const QString &error, int tries,
                       const QList<Verdict> &verdicts, const Report::Outcome &report)
{
    CheckSummaryRecord record;
    stamp(record, result, error, tries);
    record.baudRate = feed ? exchange->baudRate() : options.baudRate;
    record.asked = options.addresses;
    record.settings = options.check;
    record.verdicts = verdicts;
    record.note = options.note;
    if (feed) {
        record.referenceUnit = feed->referenceIdentity();
        record.durationMs = feed->elapsedMs(exchange->nowMs());
    }
    if (!options.reportFile.isEmpty()) {
        const Report::Files paths = Report::filesBeside(options.reportFile);
        record.reportPdf = report.pdfError.isEmpty() && feed ? paths.pdf : QString();
        record.reportCsv = report.csvError.isEmpty() && feed ? paths.csv : QString();
    }
    print(Records::checkSummary(options.format, record), result, error);
}
