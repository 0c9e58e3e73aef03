// The production check in virtual time: a line of units in a chamber, each reading through its own
// error, polled every 2 s and fed to the check as the poll cycle would; the verdicts, the settle
// rule, units and references that fall silent, and two points combined.
#include "checkrun.h"
#include "link/twopoint.h"

#include <QtTest>

using namespace CheckRun;

namespace {
constexpr double NotSet = -1;
constexpr qint64 Never = -1;
const Verdict Pass = Verdict::Pass, Fail = Verdict::Fail, Settling = Verdict::Settling;
const Verdict Unstable = Verdict::Unstable, NoAnswer = Verdict::NoAnswer;

// Close enough for a mean of readings in hundredths.
bool near(double value, double expected, double within = 0.006)
{
    return std::abs(value - expected) <= within;
}

// Empty when the settle time left is that many minutes, to within a round; else what it is.
QString leftOtherThan(const UnitResult &result, double minutesLeft)
{
    const qint64 left = result.settleLeftMs.value_or(Never);
    return std::abs(left - minutes(minutesLeft)) <= PollMs ? QString() : QString::number(left);
}

// A silence from one minute to another (NotSet: for good).
QList<Span> silence(double from, double to)
{
    return {{minutes(from), to == NotSet ? Never : minutes(to)}};
}

struct VerdictCase
{
    bool referenceUnit; // or typed values
    double chamber;     // °C; 45 %RH
    int sensorType;
    double tolerance; // set for temperature, or NotSet
    double humidityTolerance;
    double uncertainty; // of the reference, both quantities
    double offset;      // the unit's temperature offset
    double humidityOffset;
    bool tervinF;
    Verdict verdict;
};

struct SettleCase
{
    double noise; // °C
    double humidityNoise;
    double drift;          // °C a minute
    bool ramp;             // the chamber warms by 1 °C over the first 5 min
    double referenceNoise; // of a reference unit, NotSet for typed values
    Verdict verdict;       // at 31 min
    double settledFrom;    // minutes, when judged (pass, fail)
    double settledTo;
    double leftAt5; // minutes left at 5 min, or NotSet
};

// A unit or the reference silent from one minute to another, and the verdict at a moment.
struct SilenceCase
{
    double from; // minutes
    double to;   // minutes, NotSet: for good
    bool reported;
    double at; // minutes
    Verdict verdict;
    double left;            // minutes of settling left, NotSet when none
    double noise = 0;       // of the unit's temperature
    double swapAt = NotSet; // another unit at its address from then (minutes), or NotSet
};

struct TwoPointCase
{
    int address;
    Verdict first;
    Verdict second;
    Verdict both;
    double slope; // humidity; NotSet when none
    double offset;
};
} // namespace

Q_DECLARE_METATYPE(VerdictCase)
Q_DECLARE_METATYPE(SettleCase)
Q_DECLARE_METATYPE(SilenceCase)
Q_DECLARE_METATYPE(TwoPointCase)

class TestProductionCheck : public QObject
{
    Q_OBJECT

    template <typename Case> static void addCase(const char *name, const Case &c)
    {
        QTest::newRow(name) << c;
    }

private slots:
    // A steady unit against the reference, a minute after it settled: pass within the tolerance
    // less the reference's uncertainty, fail beyond it; the family's default unless one is set. A
    // Tervin-F's °F readings are compared in °C, its figures in °C; its neighbour reads in °C.
    void verdicts_data()
    {
        QTest::addColumn<VerdictCase>("c");
        auto row = addCase<VerdictCase>;
        const bool typed = false, unit = true, C = false, F = true;
        row("+0.19 °C, ±0.2", {typed, 23.5, 0, NotSet, NotSet, 0, 0.19, 0, C, Pass});
        row("+0.20 °C, at ±0.2", {typed, 23.5, 0, NotSet, NotSet, 0, 0.20, 0, C, Pass});
        row("+0.21 °C, beyond", {typed, 23.5, 0, NotSet, NotSet, 0, 0.21, 0, C, Fail});
        row("-0.21 °C, beyond", {typed, 23.5, 1, NotSet, NotSet, 0, -0.21, 0, C, Fail});
        row("+0.15 °C, ±0.2 less ±0.1", {typed, 23.5, 0, NotSet, NotSet, 0.1, 0.15, 0, C, Fail});
        row("+0.10 °C, at ±0.2 less ±0.1", {typed, 23.5, 0, NotSet, NotSet, 0.1, 0.1, 0, C, Pass});
        row("+0.4 °C, set to ±0.5", {typed, 23.5, 0, 0.5, NotSet, 0, 0.4, 0, C, Pass});
        row("+1.9 %RH, SHT2X/3X ±2.0", {typed, 23.5, 0, NotSet, NotSet, 0, 0, 1.9, C, Pass});
        row("+1.9 %RH, SHT3X/4X ±1.8", {typed, 23.5, 1, NotSet, NotSet, 0, 0, 1.9, C, Fail});
        row("-1.8 %RH, at SHT3X/4X ±1.8", {typed, 23.5, 1, NotSet, NotSet, 0, 0, -1.8, C, Pass});
        row("+0.9 %RH, set ±1.0 less ±0.2", {typed, 23.5, 0, NotSet, 1.0, 0.2, 0, 0.9, C, Fail});
        row("reference unit, +0.21 °C", {unit, 23.5, 0, NotSet, NotSet, 0, 0.21, 0, C, Fail});
        row("reference unit, -1.5 %RH", {unit, 23.5, 0, NotSet, NotSet, 0, 0, -1.5, C, Pass});
        row("-20 °C, -0.25 °C", {typed, -20, 0, NotSet, NotSet, 0, -0.25, 0, C, Fail});
        row("-20 °C, -0.15 °C", {unit, -20, 0, NotSet, NotSet, 0, -0.15, 0, C, Pass});
        row("Tervin-F, +0.15 °C", {typed, 23.5, 0, NotSet, NotSet, 0, 0.15, 0, F, Pass});
        row("Tervin-F, +0.25 °C", {typed, 23.5, 0, NotSet, NotSet, 0, 0.25, 0, F, Fail});
        row("Tervin-F, -20 °C, -0.15 °C", {unit, -20, 0, NotSet, NotSet, 0, -0.15, 0, F, Pass});
        row("Tervin-F, -20 °C, -0.25 °C", {typed, -20, 0, NotSet, NotSet, 0, -0.25, 0, F, Fail});
    }

    void verdicts()
    {
        QFETCH(VerdictCase, c);
        CheckSettings settings = c.referenceUnit
                                     ? unitReference(1, c.uncertainty, c.uncertainty)
                                     : typedReference(c.chamber, 45, c.uncertainty, c.uncertainty);
        if (c.tolerance != NotSet)
            settings.temperatureTolerance = c.tolerance;
        if (c.humidityTolerance != NotSet)
            settings.humidityTolerance = c.humidityTolerance;
        LineUnit unit = unitAt(2, c.offset, c.humidityOffset);
        unit.sensorType = quint16(c.sensorType);
        unit.deviceType = c.tervinF ? FahrenheitDeviceType : unit.deviceType;
        QList<LineUnit> units = {unit, unitAt(4)};
        if (c.referenceUnit)
            units.prepend(unitAt(1));
        Line line(settings, units, steadyChamber(c.chamber, 45));
        line.runTo(minutes(11));
        const UnitResult result = line.result(2);
        QCOMPARE(result.verdict, c.verdict);
        QCOMPARE(result.fahrenheit, c.tervinF);
        QVERIFY(near(*result.temperature.deviation, c.offset));
        QVERIFY(near(*result.humidity.deviation, c.humidityOffset));
        QVERIFY(near(*result.temperature.mean, c.chamber + c.offset));
        QCOMPARE(result.humidity.tolerance, c.humidityTolerance != NotSet ? c.humidityTolerance
                                            : c.sensorType == 0           ? 2.0
                                                                          : 1.8);
        QCOMPARE(result.temperature.uncertainty, c.uncertainty);
        // Reported in °C, below zero with the chamber.
        const double dewPoint =
            TransmitterModel::dewPoint(c.chamber + c.offset, 45 + c.humidityOffset);
        QVERIFY(near(*result.dewPoint, dewPoint, 0.01));
        QCOMPARE(line.check.results(line.nowMs).size(), 2); // the reference unit is not judged
        QCOMPARE(line.result(4).verdict, Pass);
        QVERIFY(!line.result(4).fahrenheit);
    }

    // Settling with noise and drift (seeded): settled once the readings have stayed within the
    // bands over a whole window, judged then; unstable at the limit when they never did; a unit
    // waits for a reference that never settles.
    void settling_data()
    {
        QTest::addColumn<SettleCase>("c");
        auto row = addCase<SettleCase>;
        row("steady", {0, 0, 0, false, NotSet, Pass, 10, 10.05, 5});
        row("noise within the bands", {0.012, 0.05, 0, false, NotSet, Pass, 10, 12, 5});
        row("drift within the band", {0, 0, 0.008, false, NotSet, Pass, 10, 10.05, 5});
        // The last 0.1 °C of the warming counts: 30 s of it.
        row("the chamber warming, then steady", {0, 0, 0, true, NotSet, Pass, 14.5, 14.55, 9.5});
        row("temperature noise beyond the band",
            {0.05, 0, 0, false, NotSet, Unstable, 0, 0, NotSet});
        row("humidity noise beyond the band", {0, 0.3, 0, false, NotSet, Unstable, 0, 0, NotSet});
        row("drift beyond the band", {0, 0, 0.02, false, NotSet, Unstable, 0, 0, NotSet});
        row("steady, the reference unit noisy", {0, 0, 0, false, 0.05, Settling, 0, 0, NotSet});
        row("both noisy within the bands", {0.012, 0.05, 0, false, 0.012, Pass, 10, 14, NotSet});
    }

    void settling()
    {
        QFETCH(SettleCase, c);
        LineUnit unit = unitAt(2);
        unit.error.temperature.noise = c.noise;
        unit.error.humidity.noise = c.humidityNoise;
        unit.error.temperature.driftPerMinute = c.drift;
        QList<LineUnit> units = {unit};
        const bool referenceUnit = c.referenceNoise != NotSet;
        if (referenceUnit) {
            units.prepend(unitAt(1));
            units.first().error.temperature.noise = c.referenceNoise;
        }
        Chamber chamber = steadyChamber(23.5, 45);
        if (c.ramp)
            chamber.temperature = [](qint64 ms) { return 23.5 + std::min(ms, minutes(5)) / 300e3; };
        Line line(referenceUnit ? unitReference(1) : typedReference(c.ramp ? 24.5 : 23.5, 45),
                  units, chamber);
        line.runTo(minutes(5));
        QCOMPARE(line.result(2).verdict, Settling);
        if (c.leftAt5 != NotSet)
            QVERIFY2(leftOtherThan(line.result(2), c.leftAt5).isEmpty(),
                     qPrintable(leftOtherThan(line.result(2), c.leftAt5)));
        line.runTo(minutes(31));
        const UnitResult result = line.result(2);
        QCOMPARE(result.verdict, c.verdict);
        if (isFinal(c.verdict))
            QVERIFY(result.temperature.mean && result.temperature.standardDeviation);
        if (c.verdict == Pass) {
            QVERIFY2(result.windowEndMs >= minutes(c.settledFrom) &&
                         result.windowEndMs <= minutes(c.settledTo),
                     qPrintable(QString::number(result.windowEndMs)));
            QCOMPARE(result.windowEndMs - result.windowStartMs, minutes(10));
        }
        if (c.verdict == Unstable) // the figures up to the limit show why
            QCOMPARE(result.windowEndMs, minutes(30));
        if (c.noise > 0 && isFinal(c.verdict))
            QVERIFY(near(*result.temperature.standardDeviation, c.noise, c.noise * 0.3));
        QCOMPARE(result.waitingForReference, c.verdict == Settling);
    }

    // A unit that falls silent, reported by the poll cycle or only seen as a gap: no verdict
    // while silent; back, it settles afresh; a verdict already given stands. Its neighbour on the
    // line passes all the same.
    void silentUnit_data()
    {
        QTest::addColumn<SilenceCase>("c");
        auto row = addCase<SilenceCase>;
        row("silent at 5", {5, NotSet, true, 8, NoAnswer, NotSet});
        row("a gap from 5, not reported", {5, NotSet, false, 8, NoAnswer, NotSet});
        row("silent 5 to 6, back", {5, 6, true, 12, Settling, 4});
        row("silent 5 to 6, settled afresh", {5, 6, true, 16.1, Pass, NotSet});
        row("silent for 10 s, back", {5, 5.17, true, 12, Settling, 3.2});
        row("a gap of 20 s, not reported", {5, 5.34, false, 10.1, Pass, NotSet});
        row("a gap of 40 s, not reported", {5, 5.67, false, 12, Settling, 3.7});
        row("silent after its verdict", {12, NotSet, true, 14, Pass, NotSet});
        row("silent through the unstable limit", {25, NotSet, true, 35, NoAnswer, NotSet, 0.05});
        row("silent 5 to 25, not judged at the limit", {5, 25, true, 31, Settling, 4});
        row("another unit at its address at 6", {0, 0, true, 12, Settling, 4, 0, 6});
    }

    void silentUnit()
    {
        QFETCH(SilenceCase, c);
        LineUnit unit = unitAt(2);
        unit.silences = silence(c.from, c.to);
        unit.reported = c.reported;
        unit.error.temperature.noise = c.noise;
        unit.swappedAtMs = c.swapAt == NotSet ? Never : minutes(c.swapAt);
        Line line(typedReference(23.5, 45), {unit, unitAt(3)}, steadyChamber(23.5, 45));
        line.runTo(minutes(c.at));
        const UnitResult result = line.result(2);
        QCOMPARE(result.verdict, c.verdict);
        if (c.left != NotSet)
            QVERIFY2(leftOtherThan(result, c.left).isEmpty(),
                     qPrintable(leftOtherThan(result, c.left)));
        if (c.verdict == NoAnswer)
            QVERIFY(!result.temperature.mean && !result.temperature.deviation);
        QCOMPARE(line.result(3).verdict, c.at > 10 ? Pass : Settling);
        QCOMPARE(line.check.isFinished(line.nowMs), isFinal(c.verdict) && c.at > 10);
    }

    // A reference unit that falls silent: every unit waits, without a deviation; back, the units
    // are judged on a window of the reference's new readings, never its old ones. The chamber
    // warms by 1 °C while the reference is away: a judgement against its old values would fail.
    void silentReference_data()
    {
        QTest::addColumn<SilenceCase>("c");
        auto row = addCase<SilenceCase>;
        row("silent", {5, 8, true, 7, Settling, NotSet});
        row("a gap, not reported", {5, 8, false, 7, Settling, NotSet});
        row("back at 8", {5, 8, true, 12, Settling, 6});
        row("back at 8, settled on new values", {5, 8, true, 18.1, Pass, NotSet});
        row("silent after the verdict", {12, NotSet, true, 14, Pass, NotSet});
        row("silent through the unstable limit", {5, NotSet, true, 40, Settling, NotSet});
    }

    void silentReference()
    {
        QFETCH(SilenceCase, c);
        LineUnit reference = unitAt(1);
        reference.silences = silence(c.from, c.to);
        reference.reported = c.reported;
        Chamber chamber = steadyChamber(23.5, 45);
        if (c.from < 10) // a step while the reference is silent
            chamber.temperature = [](qint64 ms) { return ms < minutes(6) ? 23.5 : 24.5; };
        Line line(unitReference(1), {reference, unitAt(2), unitAt(3, 0.1)}, chamber);
        line.runTo(minutes(c.at));
        // Away, it keeps every unit waiting that has no verdict yet.
        const bool away = c.at >= c.from && (c.to == NotSet || c.at < c.to);
        const bool waiting = away && c.verdict == Settling;
        for (int address : {2, 3}) {
            const UnitResult result = line.result(address);
            QCOMPARE(result.verdict, c.verdict);
            QCOMPARE(result.waitingForReference, waiting);
            QCOMPARE(result.temperature.deviation.has_value(), !waiting);
            if (c.left != NotSet)
                QVERIFY2(leftOtherThan(result, c.left).isEmpty(),
                         qPrintable(leftOtherThan(result, c.left)));
            if (waiting)
                QVERIFY(!result.settleLeftMs);
            if (c.verdict == Pass)
                QVERIFY(near(*result.temperature.deviation, address == 3 ? 0.1 : 0));
        }
        QCOMPARE(line.check.isReferenceQuiet(line.nowMs), away);
    }

    // Two points, over MgCl2 (33 %RH) then NaCl (75 %RH): each unit's line through them and its
    // verdict at both. Unit 3 reads 34.5 and 70.5: it passes at the first point on its offset
    // alone, and its slope fails it at the second.
    void twoPoints_data()
    {
        QTest::addColumn<TwoPointCase>("c");
        auto row = addCase<TwoPointCase>;
        row("right", {2, Pass, Pass, Pass, 1.0, 0.0});
        row("slope 0.857", {3, Pass, Fail, Fail, 0.857, 6.219});
        row("offset +2.5", {4, Fail, Fail, Fail, 1.0, 2.5});
        row("fails at the first only", {6, Fail, Pass, Fail, 1.0595, -4.463});
        row("missing at the second", {5, Pass, NoAnswer, NoAnswer, NotSet, NotSet});
    }

    void twoPoints()
    {
        QFETCH(TwoPointCase, c);
        LineUnit sloped = unitAt(3, 0, -0.931);
        sloped.error.humidity.slope = 0.857;
        LineUnit low = unitAt(6, 0, -1.488); // -2.5 %RH at 33 %RH, right at 75 %RH
        low.error.humidity.slope = 1.0595;
        const QList<LineUnit> units = {unitAt(2), sloped, unitAt(4, 0, 2.5), low, unitAt(5)};
        QList<UnitResult> points[2];
        for (int point : {0, 1}) {
            const double humidity = point == 0 ? 33 : 75;
            Line line(typedReference(25, humidity), point == 0 ? units : units.mid(0, 4),
                      steadyChamber(25, humidity));
            line.runTo(minutes(11));
            points[point] = line.check.results(line.nowMs);
        }
        const QList<TwoPointResult> combined = combinePoints(points[0], points[1]);
        QCOMPARE(combined.size(), 5);
        const auto found =
            std::find_if(combined.begin(), combined.end(),
                         [&c](const TwoPointResult &r) { return r.address == c.address; });
        QVERIFY(found != combined.end());
        QCOMPARE(found->first.verdict, c.first);
        QCOMPARE(found->second.verdict, c.second);
        QCOMPARE(found->verdict, c.both);
        QCOMPARE(found->humidity.slope.has_value(), c.slope != NotSet);
        if (c.slope != NotSet) {
            QVERIFY(near(*found->humidity.slope, c.slope, 0.001));
            QVERIFY(near(*found->humidity.offset, c.offset, 0.02));
        }
        QVERIFY(!found->temperature.slope); // both points at 25 °C
    }
};

QTEST_GUILESS_MAIN(TestProductionCheck)
#include "tst_productioncheck.moc"
