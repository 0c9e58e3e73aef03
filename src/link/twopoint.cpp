#include "link/twopoint.h"

#include <QMap>

#include <algorithm>
#include <cmath>

namespace {

// The worse verdict first: a failure at either point fails the unit.
constexpr Verdict Severity[] = {Verdict::Fail, Verdict::Unstable, Verdict::NoAnswer,
                                Verdict::Settling, Verdict::Pass};

Verdict combined(Verdict first, Verdict second)
{
    for (Verdict verdict : Severity)
        if (first == verdict || second == verdict)
            return verdict;
    return Verdict::Settling;
}

QString keyOf(const UnitResult &result)
{
    return result.identity.serial.isEmpty() ? QStringLiteral("address %1").arg(result.address)
                                            : result.identity.serial;
}

UnitResult missing(const UnitResult &present)
{
    UnitResult result;
    result.address = present.address;
    result.identity = present.identity;
    result.fahrenheit = present.fahrenheit;
    result.verdict = Verdict::NoAnswer;
    return result;
}

} // namespace

PointFit fitTwoPoints(const QuantityFigures &first, const QuantityFigures &second,
                      double minimumSpan)
{
    if (!first.mean || !first.referenceMean || !second.mean || !second.referenceMean)
        return {};
    const double span = *second.referenceMean - *first.referenceMean;
    if (std::abs(span) < minimumSpan)
        return {};
    const double slope = (*second.mean - *first.mean) / span;
    return {slope, *first.mean - slope * *first.referenceMean};
}

QList<TwoPointResult> combinePoints(const QList<UnitResult> &first, const QList<UnitResult> &second)
{
    QMap<QString, std::pair<std::optional<UnitResult>, std::optional<UnitResult>>> byUnit;
    for (const UnitResult &result : first)
        byUnit[keyOf(result)].first = result;
    for (const UnitResult &result : second)
        byUnit[keyOf(result)].second = result;
    QList<TwoPointResult> combinedResults;
    for (const auto &[atFirst, atSecond] : byUnit) {
        TwoPointResult result;
        result.first = atFirst ? *atFirst : missing(*atSecond);
        result.second = atSecond ? *atSecond : missing(*atFirst);
        const UnitResult &latest = atSecond ? *atSecond : *atFirst;
        result.address = latest.address;
        result.identity = latest.identity;
        result.temperature = fitTwoPoints(result.first.temperature, result.second.temperature,
                                          MinimumTemperatureSpan);
        result.humidity =
            fitTwoPoints(result.first.humidity, result.second.humidity, MinimumHumiditySpan);
        result.verdict = combined(result.first.verdict, result.second.verdict);
        combinedResults << result;
    }
    std::stable_sort(
        combinedResults.begin(), combinedResults.end(),
        [](const TwoPointResult &a, const TwoPointResult &b) { return a.address < b.address; });
    return combinedResults;
}
