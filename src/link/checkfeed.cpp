#include "link/checkfeed.h"

#include <algorithm>

namespace {

// A unit asked and never heard: no reading, no verdict; it is held to the loosest promise, as
// nothing says which sensor it carries.
UnitResult neverHeard(int address, const CheckSettings &settings)
{
    UnitResult result;
    result.address = address;
    result.identity.address = address;
    result.verdict = Verdict::NoAnswer;
    const Tolerances tolerances = settings.tolerancesFor(0, false);
    result.temperature.tolerance = tolerances.temperature;
    result.temperature.uncertainty = settings.reference.temperatureUncertainty;
    result.humidity.tolerance = tolerances.humidity;
    result.humidity.uncertainty = settings.reference.humidityUncertainty;
    return result;
}

} // namespace

CheckFeed::CheckFeed(const CheckSettings &settings, const QList<int> &addresses, qint64 startMs)
    : check(settings), startMs(startMs)
{
    for (int address : addresses)
        if (!judged.contains(address) && address != settings.reference.address)
            judged << address;
    std::sort(judged.begin(), judged.end());
}

QList<int> CheckFeed::polledAddresses() const
{
    QList<int> polled = judged;
    if (settings().reference.isUnit()) {
        polled << settings().reference.address;
        std::sort(polled.begin(), polled.end());
    }
    return polled;
}

bool CheckFeed::isReferenceUnit(int address) const
{
    return settings().reference.isUnit() && address == settings().reference.address;
}

bool CheckFeed::isUnderCheck(int address) const
{
    return judged.contains(address) || isReferenceUnit(address);
}

bool CheckFeed::polled(int address, const LinkOutcome &outcome, const LineRoster &roster,
                       qint64 nowMs)
{
    const LineUnit *unit = roster.find(address);
    if (!isUnderCheck(address) || !unit)
        return false;
    if (outcome.ok() && !outcome.decoded.reading.isEmpty())
        check.addReading(address, unit->identity, elapsedMs(nowMs), outcome.decoded.reading);
    else if (const std::optional<qint64> since = unit->watch.silentSinceMs())
        check.unitSilent(address, std::max<qint64>(0, elapsedMs(*since)));
    if (!isReferenceUnit(address) && !isFinal(result(address, nowMs).verdict))
        return false;
    return isFinished(nowMs);
}

UnitResult CheckFeed::result(int address, qint64 nowMs) const
{
    const std::optional<UnitResult> result = check.result(address, elapsedMs(nowMs));
    return result ? *result : neverHeard(address, settings());
}

QList<UnitResult> CheckFeed::results(qint64 nowMs) const
{
    QList<UnitResult> all;
    for (int address : judged)
        all << result(address, nowMs);
    return all;
}

bool CheckFeed::isFinished(qint64 nowMs) const
{
    const QList<UnitResult> all = results(nowMs);
    return !all.isEmpty() && std::all_of(all.begin(), all.end(), [](const UnitResult &result) {
        return isFinal(result.verdict);
    });
}

qint64 CheckFeed::deadlineMs() const
{
    return startMs + settings().unstableLimitMs() + settings().settleMs;
}

bool CheckFeed::isReferenceQuiet(qint64 nowMs) const
{
    return check.isReferenceQuiet(elapsedMs(nowMs));
}
