#pragma once

#include "protocol/reading.h"

#include <QDateTime>
#include <QVector>

#include <deque>
#include <vector>

// The readings a trend plots, packed at 16 bytes each: the time on a monotonic clock and the
// three values, each in the unit its device gave it. Appending never moves what is stored. Times
// run on the monotonic clock, so a clock that jumps (daylight saving, NTP) bends nothing; the
// wall time of each reading is kept through the few moments the wall clock and the monotonic
// clock parted.
//
// One axis shows one unit: the unit of the newest reading. Older temperatures are converted to it
// as they are read out (decimate(), shownValue()), never in the store. A change of unit, or a new
// segment asked for (another unit behind the same port), breaks the lines.
class TrendData
{
public:
    enum Series { Temperature, Humidity, DewPoint };
    static constexpr int SeriesCount = 3;

    struct Sample
    {
        quint32 ms;     // since the first reading (49 days at most)
        float value[3]; // NaN where the reading did not carry it; +inf in all three: a break
    };

    // ms: the monotonic clock's milliseconds; wallMs: the wall clock at that moment, in
    // milliseconds since the epoch.
    void append(qint64 ms, qint64 wallMs, const Reading &reading);
    // Polls timed out or polling stopped: the lines do not bridge this moment.
    void addBreak(qint64 ms);
    // Another unit from here on: the lines break after the last reading, and the next reading's
    // unit, block and identity are taken afresh even when they look the same.
    void startSegment();
    void clear();

    int size() const { return int(samples.size()); }
    const Sample &at(int i) const { return samples[size_t(i)]; }
    std::deque<Sample>::const_iterator iterator(int i) const { return samples.begin() + i; }
    static bool isBreak(const Sample &sample);
    // The first sample at or after this time (size() when none is).
    int lowerBound(double ms) const;
    double lastMs() const { return samples.empty() ? 0 : samples.back().ms; }
    QDateTime wallTime(double ms) const;
    // The reading at this index without its values: the unit and decimals it came with.
    Reading formatAt(int index) const;
    // The reading at this index as it came, in its own unit (for a file of readings).
    Reading readingAt(int index) const;
    // Whether the reading at this index came from the unit of the newest reading (its address and
    // serial): the statistics of a trend count that unit alone.
    bool ofNewestUnit(int index) const;
    // Where the format holding at this index ends: the next format's first index, or size().
    int formatEnd(int index) const;
    // The unit of the axis: the newest reading's (Celsius before the first).
    bool fahrenheit() const { return !formats.empty() && formats.back().format.fahrenheit; }
    // A stored value in the unit of the axis (NaN where the reading did not carry it).
    double shownValue(int index, int series) const;
    qint64 memoryBytes() const;

private:
    struct Format
    {
        int from;
        Reading format; // without values
    };
    struct Anchor
    {
        double ms;
        qint64 wallMs;
    };
    quint32 offset(qint64 ms);
    int formatIndex(int index) const;

    std::deque<Sample> samples;
    std::vector<Format> formats; // from which index a unit and block held
    std::vector<Anchor> anchors; // where the wall clock stood, at the start and after each jump
    qint64 originMs = -1;
    bool newSegment = false;
};

// Takes a temperature from one unit to the other as value * scale + offset.
struct UnitConversion
{
    double scale = 1, offset = 0;

    static UnitConversion between(bool fromFahrenheit, bool toFahrenheit);
    double operator()(double value) const { return value * scale + offset; }
};

// What one series shows over a time range drawn on `pixels` columns, in the unit of the axis: for
// each column the first, lowest, highest and last value in time order, so a one-sample spike stays
// at any zoom; NaN where the line breaks. And the minimum, maximum and mean of the values in the
// range that came from the newest reading's unit.
struct Decimated
{
    QVector<double> ms;
    QVector<double> values;
    double min = 0, max = 0, mean = 0;
    int count = 0;
};
Decimated decimate(const TrendData &data, int series, double fromMs, double toMs, int pixels);
