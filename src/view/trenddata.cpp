#include "view/trenddata.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr float BreakValue = std::numeric_limits<float>::infinity();
// A wall clock that differs this much from where the monotonic clock puts it has jumped.
constexpr qint64 ClockJumpMs = 1000;

float stored(const std::optional<double> &value)
{
    return value ? float(*value) : std::numeric_limits<float>::quiet_NaN();
}
} // namespace

quint32 TrendData::offset(qint64 ms)
{
    if (originMs < 0)
        originMs = ms;
    return quint32(std::clamp<qint64>(ms - originMs, 0, std::numeric_limits<quint32>::max()));
}

void TrendData::append(qint64 ms, qint64 wallMs, const Reading &reading)
{
    const quint32 at = offset(ms);
    const bool jumped =
        !anchors.empty() &&
        std::abs(anchors.back().wallMs + qint64(at - anchors.back().ms) - wallMs) > ClockJumpMs;
    if (anchors.empty() || jumped)
        anchors.push_back({double(at), wallMs});
    if (formats.empty() || formats.back().decimals != reading.decimals ||
        formats.back().fahrenheit != reading.fahrenheit)
        formats.push_back({size(), reading.decimals, reading.fahrenheit});
    samples.push_back(
        {at, {stored(reading.temperature), stored(reading.humidity), stored(reading.dewPoint)}});
}

void TrendData::addBreak(qint64 ms)
{
    if (samples.empty() || isBreak(samples.back()))
        return;
    samples.push_back({offset(ms), {BreakValue, BreakValue, BreakValue}});
}

void TrendData::clear()
{
    samples.clear();
    formats.clear();
    anchors.clear();
    originMs = -1;
}

bool TrendData::isBreak(const Sample &sample)
{
    return std::isinf(sample.value[0]);
}

int TrendData::lowerBound(double ms) const
{
    const auto found = std::lower_bound(samples.begin(), samples.end(), ms,
                                        [](const Sample &s, double t) { return s.ms < t; });
    return int(found - samples.begin());
}

QDateTime TrendData::wallTime(double ms) const
{
    if (anchors.empty())
        return QDateTime();
    auto anchor = std::upper_bound(anchors.begin(), anchors.end(), ms,
                                   [](double t, const Anchor &a) { return t < a.ms; });
    if (anchor != anchors.begin())
        --anchor;
    return QDateTime::fromMSecsSinceEpoch(anchor->wallMs + std::llround(ms - anchor->ms));
}

Reading TrendData::formatAt(int index) const
{
    Reading format;
    for (const Format &f : formats)
        if (f.from <= index) {
            format.decimals = f.decimals;
            format.fahrenheit = f.fahrenheit;
        }
    return format;
}

qint64 TrendData::memoryBytes() const
{
    // A deque keeps its samples in blocks of 512 bytes, with a pointer to each in its map.
    const qint64 perBlock = 512 / sizeof(Sample);
    const qint64 blocks = (qint64(samples.size()) + perBlock - 1) / perBlock;
    return blocks * (512 + qint64(sizeof(void *))) + qint64(formats.capacity() * sizeof(Format)) +
           qint64(anchors.capacity() * sizeof(Anchor));
}

Decimated decimate(const TrendData &data, int series, double fromMs, double toMs, int pixels)
{
    Decimated out;
    if (pixels < 1 || toMs <= fromMs || data.size() == 0)
        return out;
    // One sample beyond each edge, so the line runs on to the border.
    const int begin = std::max(0, data.lowerBound(fromMs) - 1);
    const int end = std::min(data.size(), data.lowerBound(toMs) + 1);
    const double width = (toMs - fromMs) / pixels;
    struct Point
    {
        double ms;
        float value;
    };
    Point column[4]; // first, lowest, highest, last
    bool open = false;
    double columnEnd = -std::numeric_limits<double>::infinity();
    double sum = 0;
    auto flush = [&] {
        if (!open)
            return;
        std::sort(column, column + 4, [](const Point &a, const Point &b) { return a.ms < b.ms; });
        for (int i = 0; i < 4; ++i)
            if (i == 0 || column[i].ms != column[i - 1].ms) {
                out.ms << column[i].ms;
                out.values << column[i].value;
            }
        open = false;
    };
    for (auto it = data.iterator(begin), last = data.iterator(end); it != last; ++it) {
        const TrendData::Sample &sample = *it;
        const float value = sample.value[series];
        if (std::isnan(value))
            continue;            // the reading did not carry this one
        if (std::isinf(value)) { // a break
            flush();
            out.ms << sample.ms;
            out.values << std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const double ms = sample.ms;
        if (ms >= fromMs && ms <= toMs) {
            out.min = out.count ? std::min(out.min, double(value)) : value;
            out.max = out.count ? std::max(out.max, double(value)) : value;
            sum += value;
            ++out.count;
        }
        const Point point{ms, value};
        if (open && ms < columnEnd) {
            if (value < column[1].value)
                column[1] = point;
            if (value > column[2].value)
                column[2] = point;
            column[3] = point;
            continue;
        }
        flush();
        columnEnd = fromMs + (std::floor((ms - fromMs) / width) + 1) * width;
        column[0] = column[1] = column[2] = column[3] = point;
        open = true;
    }
    flush();
    out.mean = out.count ? sum / out.count : 0;
    return out;
}
