#pragma once

#include <QtGlobal>

#include <deque>
#include <optional>

// One reading as the check keeps it: the time it came (monotonic milliseconds since the check
// started), temperature and dew point in °C whatever the unit reads in, humidity in %RH.
struct CheckSample
{
    qint64 ms = 0;
    std::optional<double> temperature;
    std::optional<double> humidity;
    std::optional<double> dewPoint;
};

// Readings in tenths or hundredths, and means of them, compared with a limit in the same terms:
// 23.6 - 23.5 must count as 0.1 in a 0.1 band, not as 0.10000000000000142 beyond it.
constexpr double CheckRounding = 1e-9;

// How far a steady unit's readings may wander over the settle window: max − min, °C and %RH.
struct SettleBands
{
    double temperature = 0;
    double humidity = 0;
};

// One quantity over a stretch of readings.
struct SampleStats
{
    int count = 0;
    double mean = 0;
    double standardDeviation = 0; // of the readings about their mean (n − 1); 0 for one reading
};

struct SeriesStats
{
    SampleStats temperature;
    SampleStats humidity;
    SampleStats dewPoint;
};

// A unit's readings over the last settle window, and the runs they form: a run is readings without
// a silence between them and with no gap longer than the check allows. Only a run can settle.
class ReadingSeries
{
public:
    // Readings come in time order. One after a silence starts a new run.
    void add(const CheckSample &sample);
    // The unit stopped answering at this time: the run ends.
    void markSilent(qint64 sinceMs);
    bool isSilent() const { return silence.has_value(); }
    bool isEmpty() const { return samples.empty(); }
    qint64 lastMs() const { return samples.empty() ? 0 : samples.back().ms; }
    // Silent, not heard by atMs, or no reading within maxGapMs before atMs.
    bool isQuiet(qint64 atMs, qint64 maxGapMs) const;

    // Since when, up to atMs, the readings have stayed within the bands in one run: the time of
    // the earliest reading of that stretch. Nothing when the unit is quiet at atMs.
    std::optional<qint64> steadySince(qint64 atMs, const SettleBands &bands, qint64 maxGapMs) const;
    // Since when, up to atMs, the unit has answered without a silence or a gap, whatever its
    // readings; nothing when it is quiet at atMs.
    std::optional<qint64> answeringSince(qint64 atMs, qint64 maxGapMs) const;
    // Each quantity over the readings from fromMs to toMs.
    SeriesStats stats(qint64 fromMs, qint64 toMs) const;
    // Forgets what no window ending at or after ms can reach back to: keeps the last reading at or
    // before ms - windowMs.
    void forgetBefore(qint64 ms, qint64 windowMs);

private:
    std::deque<CheckSample> samples;
    qint64 runStartMs = 0;
    std::optional<qint64> silence;
};
