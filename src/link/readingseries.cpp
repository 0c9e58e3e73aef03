#include "link/readingseries.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The lowest and highest value of one quantity over a stretch.
struct Span
{
    double low = 0;
    double high = 0;
    bool any = false;

    // Whether the stretch, with this value in it, still fits the band.
    bool fits(const std::optional<double> &value, double band) const
    {
        if (!value || !any)
            return true;
        return std::max(high, *value) - std::min(low, *value) <= band + CheckRounding;
    }
    void take(const std::optional<double> &value)
    {
        if (!value)
            return;
        low = any ? std::min(low, *value) : *value;
        high = any ? std::max(high, *value) : *value;
        any = true;
    }
};

// Mean and standard deviation of one quantity, gathered a value at a time (Welford's way, which
// keeps the small spread of a settled unit exact beside its large mean).
struct Accumulator
{
    int count = 0;
    double mean = 0;
    double squares = 0; // sum of squared differences from the mean

    void take(const std::optional<double> &value)
    {
        if (!value)
            return;
        ++count;
        const double before = *value - mean;
        mean += before / count;
        squares += before * (*value - mean);
    }
    SampleStats stats() const
    {
        SampleStats result;
        result.count = count;
        result.mean = mean;
        if (count > 1)
            result.standardDeviation = std::sqrt(squares / (count - 1));
        return result;
    }
};

} // namespace

void ReadingSeries::add(const CheckSample &sample)
{
    if (samples.empty() || silence)
        runStartMs = sample.ms;
    silence.reset();
    samples.push_back(sample);
}

void ReadingSeries::markSilent(qint64 sinceMs)
{
    if (!silence)
        silence = sinceMs;
}

bool ReadingSeries::isQuiet(qint64 atMs, qint64 maxGapMs) const
{
    if (silence)
        return true;
    const auto last = std::find_if(samples.rbegin(), samples.rend(),
                                   [atMs](const CheckSample &sample) { return sample.ms <= atMs; });
    return last == samples.rend() || atMs - last->ms > maxGapMs;
}

std::optional<qint64> ReadingSeries::steadySince(qint64 atMs, const SettleBands &bands,
                                                 qint64 maxGapMs) const
{
    if (isQuiet(atMs, maxGapMs))
        return std::nullopt;
    Span temperature;
    Span humidity;
    std::optional<qint64> since;
    for (auto it = samples.rbegin(); it != samples.rend(); ++it) {
        if (it->ms > atMs)
            continue;
        const bool gap = since && *since - it->ms > maxGapMs;
        if (it->ms < runStartMs || gap || !temperature.fits(it->temperature, bands.temperature) ||
            !humidity.fits(it->humidity, bands.humidity))
            break;
        temperature.take(it->temperature);
        humidity.take(it->humidity);
        since = it->ms;
    }
    return since;
}

std::optional<qint64> ReadingSeries::answeringSince(qint64 atMs, qint64 maxGapMs) const
{
    constexpr double Unbounded = std::numeric_limits<double>::infinity();
    return steadySince(atMs, {Unbounded, Unbounded}, maxGapMs);
}

SeriesStats ReadingSeries::stats(qint64 fromMs, qint64 toMs) const
{
    Accumulator temperature;
    Accumulator humidity;
    Accumulator dewPoint;
    for (const CheckSample &sample : samples) {
        if (sample.ms < fromMs || sample.ms > toMs)
            continue;
        temperature.take(sample.temperature);
        humidity.take(sample.humidity);
        dewPoint.take(sample.dewPoint);
    }
    return {temperature.stats(), humidity.stats(), dewPoint.stats()};
}

void ReadingSeries::forgetBefore(qint64 ms, qint64 windowMs)
{
    const qint64 reach = ms - windowMs;
    while (samples.size() > 1 && samples[1].ms <= reach)
        samples.pop_front();
}
