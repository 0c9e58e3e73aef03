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

std::optional<double> carried(float value)
{
    return std::isnan(value) ? std::nullopt : std::optional<double>(value);
}

Reading withoutValues(Reading reading)
{
    reading.temperature = reading.humidity = reading.dewPoint = std::nullopt;
    return reading;
}
} // namespace

UnitConversion UnitConversion::between(bool fromFahrenheit, bool toFahrenheit)
{
    if (fromFahrenheit == toFahrenheit)
        return {};
    if (toFahrenheit)
        return {FahrenheitPerCelsius, FahrenheitAtZeroCelsius};
    return {1 / FahrenheitPerCelsius, -FahrenheitAtZeroCelsius / FahrenheitPerCelsius};
}

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
    const bool unitChanged =
        !formats.empty() && formats.back().format.fahrenheit != reading.fahrenheit;
    if (unitChanged && !isBreak(samples.back()))
        samples.push_back({at, {BreakValue, BreakValue, BreakValue}});
    const Reading &last = formats.empty() ? reading : formats.back().format;
    const bool otherSource = last.address != reading.address || last.serial != reading.serial;
    if (formats.empty() || newSegment || unitChanged || otherSource ||
        last.decimals != reading.decimals)
        formats.push_back({size(), withoutValues(reading)});
    newSegment = false;
    samples.push_back(
        {at, {stored(reading.temperature), stored(reading.humidity), stored(reading.dewPoint)}});
}

void TrendData::addBreak(qint64 ms)
{
    if (samples.empty() || isBreak(samples.back()))
        return;
    samples.push_back({offset(ms), {BreakValue, BreakValue, BreakValue}});
}

void TrendData::startSegment()
{
    if (samples.empty())
        return;
    if (!isBreak(samples.back()))
        samples.push_back({samples.back().ms, {BreakValue, BreakValue, BreakValue}});
    newSegment = true;
}

void TrendData::clear()
{
    samples.clear();
    formats.clear();
    anchors.clear();
    originMs = -1;
    newSegment = false;
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

int TrendData::formatIndex(int index) const
{
    const auto found = std::upper_bound(formats.begin(), formats.end(), index,
                                        [](int i, const Format &f) { return i < f.from; });
    return std::max(0, int(found - formats.begin()) - 1);
}

Reading TrendData::formatAt(int index) const
{
    return formats.empty() ? Reading() : formats[size_t(formatIndex(index))].format;
}

Reading TrendData::readingAt(int index) const
{
    Reading reading = formatAt(index);
    reading.temperature = carried(at(index).value[Temperature]);
    reading.humidity = carried(at(index).value[Humidity]);
    reading.dewPoint = carried(at(index).value[DewPoint]);
    return reading;
}

bool TrendData::ofNewestUnit(int index) const
{
    if (formats.empty())
        return true;
    const Reading &newest = formats.back().format;
    const Reading here = formatAt(index);
    return here.address == newest.address && here.serial == newest.serial;
}

int TrendData::formatEnd(int index) const
{
    const size_t next = size_t(formatIndex(index)) + 1;
    return next < formats.size() ? formats[next].from : size();
}

double TrendData::shownValue(int index, int series) const
{
    const double value = at(index).value[series];
    if (series == Humidity)
        return value;
    return UnitConversion::between(formatAt(index).fahrenheit, fahrenheit())(value);
}

qint64 TrendData::memoryBytes() const
{
    // A deque keeps its samples in blocks of 512 bytes, with a pointer to each in its map.
    const qint64 perBlock = 512 / sizeof(Sample);
    const qint64 blocks = (qint64(samples.size()) + perBlock - 1) / perBlock;
    return blocks * (512 + qint64(sizeof(void *))) + qint64(formats.capacity() * sizeof(Format)) +
           qint64(anchors.capacity() * sizeof(Anchor));
}

// Values are compared as stored and converted to the unit of the axis only as a column or a run of
// one unit is done: a change of unit comes after a break, so no column holds two units, and the
// conversion keeps the order of values. Kept in one function, so that the per-sample state stays
// in registers.
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
    UnitConversion convert;
    double total = 0; // of the values in the range, converted
    auto flush = [&] {
        if (!open)
            return;
        std::sort(column, column + 4, [](const Point &a, const Point &b) { return a.ms < b.ms; });
        for (int i = 0; i < 4; ++i)
            if (i == 0 || column[i].ms != column[i - 1].ms) {
                out.ms << column[i].ms;
                out.values << convert(column[i].value);
            }
        open = false;
    };
    for (int run = begin; run < end;) {
        const int runEnd = std::min(end, data.formatEnd(run));
        flush();
        convert = series == TrendData::Humidity
                      ? UnitConversion()
                      : UnitConversion::between(data.formatAt(run).fahrenheit, data.fahrenheit());
        // The statistics of the run, as stored.
        double low = 0, high = 0, sum = 0;
        int count = 0;
        for (auto it = data.iterator(run), last = data.iterator(runEnd); it != last; ++it) {
            const float value = it->value[series];
            if (std::isnan(value))
                continue;            // the reading did not carry this one
            if (std::isinf(value)) { // a break
                flush();
                out.ms << it->ms;
                out.values << std::numeric_limits<double>::quiet_NaN();
                continue;
            }
            const double ms = it->ms;
            if (ms >= fromMs && ms <= toMs) {
                low = count ? std::min(low, double(value)) : value;
                high = count ? std::max(high, double(value)) : value;
                sum += value;
                ++count;
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
        if (count > 0 && data.ofNewestUnit(run)) { // the statistics count one unit
            out.min = out.count ? std::min(out.min, convert(low)) : convert(low);
            out.max = out.count ? std::max(out.max, convert(high)) : convert(high);
            total += sum * convert.scale + convert.offset * count;
            out.count += count;
        }
        run = runEnd;
    }
    flush();
    out.mean = out.count ? total / out.count : 0;
    return out;
}
