#include "link/productioncheck.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

struct VerdictName
{
    Verdict verdict;
    const char *key;
    const char *text;
};
const VerdictName VerdictNames[] = {
    {Verdict::Pass, "pass", QT_TRANSLATE_NOOP("Check", "pass")},
    {Verdict::Fail, "fail", QT_TRANSLATE_NOOP("Check", "fail")},
    {Verdict::Settling, "settling", QT_TRANSLATE_NOOP("Check", "settling")},
    {Verdict::Unstable, "unstable", QT_TRANSLATE_NOOP("Check", "unstable")},
    {Verdict::NoAnswer, "no_answer", QT_TRANSLATE_NOOP("Check", "no answer")},
};

// A reading as the check keeps it: temperature and dew point in °C whatever the unit reads in.
CheckSample sampleOf(qint64 ms, const Reading &reading)
{
    auto celsius = [&reading](const std::optional<double> &value) -> std::optional<double> {
        if (!value)
            return std::nullopt;
        return reading.fahrenheit ? celsiusOfFahrenheit(*value) : *value;
    };
    return {ms, celsius(reading.temperature), reading.humidity, celsius(reading.dewPoint)};
}

void takeStats(QuantityFigures &figures, const SampleStats &unit,
               const std::optional<double> &referenceMean)
{
    if (unit.count > 0) {
        figures.mean = unit.mean;
        figures.standardDeviation = unit.standardDeviation;
    }
    figures.referenceMean = referenceMean;
    if (figures.mean && referenceMean)
        figures.deviation = *figures.mean - *referenceMean;
}

std::optional<double> meanOf(const SampleStats &stats)
{
    return stats.count > 0 ? std::optional<double>(stats.mean) : std::nullopt;
}

} // namespace

QString verdictKey(Verdict verdict)
{
    for (const VerdictName &name : VerdictNames)
        if (name.verdict == verdict)
            return QString::fromLatin1(name.key);
    return QString();
}

std::optional<Verdict> verdictOfKey(const QString &key)
{
    for (const VerdictName &name : VerdictNames)
        if (key == QLatin1String(name.key))
            return name.verdict;
    return std::nullopt;
}

QString verdictText(Verdict verdict)
{
    for (const VerdictName &name : VerdictNames)
        if (name.verdict == verdict)
            return Check::tr(name.text);
    return QString();
}

bool isFinal(Verdict verdict)
{
    return verdict == Verdict::Pass || verdict == Verdict::Fail || verdict == Verdict::Unstable;
}

bool QuantityFigures::isWithin() const
{
    return deviation && std::abs(*deviation) <= tolerance - uncertainty + CheckRounding;
}

ProductionCheck::ProductionCheck(const CheckSettings &settings) : setup(settings) {}

SettleBands ProductionCheck::bands() const
{
    return {setup.temperatureBand, setup.humidityBand};
}

ProductionCheck::Unit &ProductionCheck::unitAt(int address, const UnitIdentity &identity)
{
    const bool reference = setup.reference.isUnit() && address == setup.reference.address;
    Unit &unit = reference ? referenceUnit : units[address];
    if (identity.known) {
        if (unit.identity.isOtherUnit(identity))
            unit = Unit(); // another transmitter at this address: nothing of the last one counts
        unit.identity = identity;
    }
    return unit;
}

void ProductionCheck::addReading(int address, const UnitIdentity &identity, qint64 ms,
                                 const Reading &reading)
{
    passLimit(ms);
    Unit &unit = unitAt(address, identity);
    unit.fahrenheit = reading.fahrenheit;
    unit.series.add(sampleOf(ms, reading));
    unit.series.forgetBefore(ms, setup.settleMs);
    if (&unit != &referenceUnit) {
        judge(address, unit, ms);
        return;
    }
    for (auto it = units.begin(); it != units.end(); ++it)
        judge(it.key(), it.value(), ms);
}

void ProductionCheck::unitSilent(int address, qint64 sinceMs)
{
    passLimit(sinceMs);
    unitAt(address, UnitIdentity()).series.markSilent(sinceMs);
}

// The unstable limit is decided once, on the readings up to it, at the first event past it.
void ProductionCheck::passLimit(qint64 ms)
{
    if (limitPassed || ms < setup.unstableLimitMs())
        return;
    limitPassed = true;
    for (auto it = units.begin(); it != units.end(); ++it)
        if (!it->verdict)
            it->verdict = unstableAtLimit(it.key(), it.value());
}

void ProductionCheck::judge(int address, Unit &unit, qint64 ms)
{
    if (unit.verdict)
        return;
    const UnitResult result = evaluate(address, unit, ms);
    if (result.verdict == Verdict::Pass || result.verdict == Verdict::Fail)
        unit.verdict = result;
}

UnitResult ProductionCheck::withFigures(UnitResult result, const Unit &unit, qint64 fromMs,
                                        qint64 toMs) const
{
    result.windowStartMs = fromMs;
    result.windowEndMs = toMs;
    const SeriesStats own = unit.series.stats(fromMs, toMs);
    std::optional<double> referenceTemperature = setup.reference.temperature;
    std::optional<double> referenceHumidity = setup.reference.humidity;
    if (setup.reference.isUnit()) {
        const bool current = !referenceUnit.series.isQuiet(toMs, setup.maxGapMs);
        const SeriesStats reference = referenceUnit.series.stats(fromMs, toMs);
        referenceTemperature = current ? meanOf(reference.temperature) : std::nullopt;
        referenceHumidity = current ? meanOf(reference.humidity) : std::nullopt;
    }
    takeStats(result.temperature, own.temperature, referenceTemperature);
    takeStats(result.humidity, own.humidity, referenceHumidity);
    result.dewPoint = meanOf(own.dewPoint);
    return result;
}

UnitResult ProductionCheck::evaluate(int address, const Unit &unit, qint64 atMs) const
{
    UnitResult result;
    result.address = address;
    result.identity = unit.identity;
    result.fahrenheit = unit.fahrenheit;
    const Tolerances tolerances =
        setup.tolerancesFor(unit.identity.sensorType, unit.identity.known);
    result.temperature.tolerance = tolerances.temperature;
    result.temperature.uncertainty = setup.reference.temperatureUncertainty;
    result.humidity.tolerance = tolerances.humidity;
    result.humidity.uncertainty = setup.reference.humidityUncertainty;
    const std::optional<qint64> unitSince = unit.series.steadySince(atMs, bands(), setup.maxGapMs);
    if (!unitSince) {
        result.verdict = Verdict::NoAnswer;
        return result;
    }
    result.verdict = Verdict::Settling;
    if (isReferenceQuiet(atMs)) {
        result.waitingForReference = true;
        return withFigures(result, unit, *unitSince, atMs);
    }
    const qint64 referenceSince =
        setup.reference.isUnit() ? *referenceUnit.series.steadySince(atMs, bands(), setup.maxGapMs)
                                 : *unitSince;
    const qint64 steadyMs = atMs - std::max(*unitSince, referenceSince);
    if (steadyMs < setup.settleMs) {
        result.settleLeftMs = setup.settleMs - steadyMs;
        result.waitingForReference = atMs - *unitSince >= setup.settleMs;
        return withFigures(result, unit, atMs - steadyMs, atMs);
    }
    result = withFigures(result, unit, atMs - setup.settleMs, atMs);
    const bool judged = result.temperature.isJudged() || result.humidity.isJudged();
    if (!judged) { // nothing in common with the reference: nothing to judge on
        result.settleLeftMs = 0;
        result.waitingForReference = true;
        return result;
    }
    const bool within = (!result.temperature.isJudged() || result.temperature.isWithin()) &&
                        (!result.humidity.isJudged() || result.humidity.isWithin());
    result.verdict = within ? Verdict::Pass : Verdict::Fail;
    return result;
}

std::optional<UnitResult> ProductionCheck::unstableAtLimit(int address, const Unit &unit) const
{
    const qint64 limit = setup.unstableLimitMs();
    const std::optional<qint64> answering = unit.series.answeringSince(limit, setup.maxGapMs);
    if (unit.verdict || !answering || limit - *answering < setup.settleMs)
        return std::nullopt; // not heard for a whole window: nothing says it moves
    const std::optional<qint64> since = unit.series.steadySince(limit, bands(), setup.maxGapMs);
    if (since && limit - *since >= setup.settleMs)
        return std::nullopt; // steady on its own: it waits for the reference
    UnitResult result = evaluate(address, unit, limit);
    result.verdict = Verdict::Unstable;
    result.settleLeftMs.reset();
    result.waitingForReference = false;
    return withFigures(result, unit, limit - setup.settleMs, limit);
}

UnitResult ProductionCheck::resultAt(int address, const Unit &unit, qint64 nowMs) const
{
    if (unit.verdict)
        return *unit.verdict;
    if (!limitPassed && nowMs >= setup.unstableLimitMs())
        if (const std::optional<UnitResult> unstable = unstableAtLimit(address, unit))
            return *unstable;
    UnitResult result = evaluate(address, unit, nowMs);
    if (result.verdict == Verdict::Pass || result.verdict == Verdict::Fail) {
        // Judged at readings only: between two, a unit about to settle is shown as settling.
        result.verdict = Verdict::Settling;
        result.settleLeftMs = 0;
    }
    return result;
}

QList<UnitResult> ProductionCheck::results(qint64 nowMs) const
{
    QList<UnitResult> all;
    for (auto it = units.begin(); it != units.end(); ++it)
        all << resultAt(it.key(), it.value(), nowMs);
    return all;
}

std::optional<UnitResult> ProductionCheck::result(int address, qint64 nowMs) const
{
    const auto it = units.find(address);
    if (it == units.end())
        return std::nullopt;
    return resultAt(address, it.value(), nowMs);
}

bool ProductionCheck::isFinished(qint64 nowMs) const
{
    const QList<UnitResult> all = results(nowMs);
    return !all.isEmpty() && std::all_of(all.begin(), all.end(), [](const UnitResult &result) {
        return isFinal(result.verdict);
    });
}

bool ProductionCheck::isReferenceQuiet(qint64 nowMs) const
{
    return setup.reference.isUnit() && referenceUnit.series.isQuiet(nowMs, setup.maxGapMs);
}
