// The production check in virtual time: a line of units in a chamber, each reading through its own
// error, polled every 2 s and fed to the check as the poll cycle would; the verdicts, the settle
// rule, units and references that fall silent, and two points combined.
#include "checkrun.h"
#include "link/twopoint.h"

#include <QtTest>

using namespace CheckRun;

Q_DECLARE_METATYPE(Verdict)

namespace {
constexpr double NotSet = -1;
constexpr qint64 Never = -1;

// Close enough for a mean of readings in hundredths.
bool near(double value, double expected, double within = 0.006)
{
    return std::abs(value - expected) <= within;
}

qint64 settleLeft(const UnitResult &result)
{
    return result.settleLeftMs.value_or(Never);
}
} // namespace

class TestProductionCheck : public QObject
{
    Q_OBJECT

private slots:
    // A steady unit against the reference, a minute after it settled: pass within the tolerance
    // less the reference's uncertainty, fail beyond it; the family's default unless one is set.
    void verdicts_data()
    {
        QTest::addColumn<bool>("referenceUnit"); // or typed values
        QTest::addColumn<double>("chamber");     // °C; 45 %RH
        QTest::addColumn<int>("sensorType");
        QTest::addColumn<double>("tolerance"); // set for temperature, or NotSet
        QTest::addColumn<double>("humidityTolerance");
        QTest::addColumn<double>("uncertainty"); // of the reference, both quantities
        QTest::addColumn<double>("offset");      // the unit's temperature offset
        QTest::addColumn<double>("humidityOffset");
        QTest::addColumn<Verdict>("verdict");
        const Verdict pass = Verdict::Pass, fail = Verdict::Fail;
        QTest::newRow("+0.19 °C, ±0.2")
            << false << 23.5 << 0 << NotSet << NotSet << 0.0 << 0.19 << 0.0 << pass;
        QTest::newRow("+0.20 °C, at ±0.2")
            << false << 23.5 << 0 << NotSet << NotSet << 0.0 << 0.20 << 0.0 << pass;
        QTest::newRow("+0.21 °C, beyond")
            << false << 23.5 << 0 << NotSet << NotSet << 0.0 << 0.21 << 0.0 << fail;
        QTest::newRow("-0.21 °C, beyond")
            << false << 23.5 << 1 << NotSet << NotSet << 0.0 << -0.21 << 0.0 << fail;
        QTest::newRow("+0.15 °C, ±0.2 less ±0.1")
            << false << 23.5 << 0 << NotSet << NotSet << 0.1 << 0.15 << 0.0 << fail;
        QTest::newRow("+0.10 °C, at ±0.2 less ±0.1")
            << false << 23.5 << 0 << NotSet << NotSet << 0.1 << 0.10 << 0.0 << pass;
        QTest::newRow("+0.4 °C, set to ±0.5")
            << false << 23.5 << 0 << 0.5 << NotSet << 0.0 << 0.4 << 0.0 << pass;
        QTest::newRow("+1.9 %RH, SHT2X/3X ±2.0")
            << false << 23.5 << 0 << NotSet << NotSet << 0.0 << 0.0 << 1.9 << pass;
        QTest::newRow("+1.9 %RH, SHT3X/4X ±1.8")
            << false << 23.5 << 1 << NotSet << NotSet << 0.0 << 0.0 << 1.9 << fail;
        QTest::newRow("-1.8 %RH, at SHT3X/4X ±1.8")
            << false << 23.5 << 1 << NotSet << NotSet << 0.0 << 0.0 << -1.8 << pass;
        QTest::newRow("+0.9 %RH, set ±1.0 less ±0.2")
            << false << 23.5 << 0 << NotSet << 1.0 << 0.2 << 0.0 << 0.9 << fail;
        QTest::newRow("reference unit, +0.21 °C")
            << true << 23.5 << 0 << NotSet << NotSet << 0.0 << 0.21 << 0.0 << fail;
        QTest::newRow("reference unit, -1.5 %RH")
            << true << 23.5 << 0 << NotSet << NotSet << 0.0 << 0.0 << -1.5 << pass;
        QTest::newRow("-20 °C, -0.25 °C")
            << false << -20.0 << 0 << NotSet << NotSet << 0.0 << -0.25 << 0.0 << fail;
        QTest::newRow("-20 °C, -0.15 °C")
            << true << -20.0 << 0 << NotSet << NotSet << 0.0 << -0.15 << 0.0 << pass;
    }

    void verdicts()
    {
        QFETCH(bool, referenceUnit);
        QFETCH(double, chamber);
        QFETCH(int, sensorType);
        QFETCH(double, tolerance);
        QFETCH(double, humidityTolerance);
        QFETCH(double, uncertainty);
        QFETCH(double, offset);
        QFETCH(double, humidityOffset);
        QFETCH(Verdict, verdict);
        CheckSettings settings = referenceUnit
                                     ? unitReference(1, uncertainty, uncertainty)
                                     : typedReference(chamber, 45, uncertainty, uncertainty);
        if (tolerance != NotSet)
            settings.temperatureTolerance = tolerance;
        if (humidityTolerance != NotSet)
            settings.humidityTolerance = humidityTolerance;
        LineUnit unit = unitAt(2, offset, humidityOffset);
        unit.sensorType = quint16(sensorType);
        QList<LineUnit> units = {unit};
        if (referenceUnit)
            units.prepend(unitAt(1));
        Line line(settings, units, steadyChamber(chamber, 45));
        line.runTo(minutes(11));
        const UnitResult result = line.result(2);
        QCOMPARE(verdictKey(result.verdict), verdictKey(verdict));
        QVERIFY(near(*result.temperature.deviation, offset));
        QVERIFY(near(*result.humidity.deviation, humidityOffset));
        QVERIFY(near(*result.temperature.mean, chamber + offset));
        QCOMPARE(result.humidity.tolerance, humidityTolerance != NotSet ? humidityTolerance
                                            : sensorType == 0           ? 2.0
                                                                        : 1.8);
        QCOMPARE(result.temperature.uncertainty, uncertainty);
        QVERIFY(*result.dewPoint < chamber); // reported, in °C, below zero with the chamber
        QCOMPARE(line.check.results(line.nowMs).size(), 1); // the reference unit is not judged
    }

    // Settling with noise and drift (seeded): settled once the readings have stayed within the
    // bands over a whole window, judged then; unstable at the limit when they never did; a unit
    // waits for a reference that never settles.
    void settling_data()
    {
        QTest::addColumn<double>("noise"); // °C
        QTest::addColumn<double>("humidityNoise");
        QTest::addColumn<double>("drift"); // °C a minute
        QTest::addColumn<bool>("ramp");    // the chamber warms by 1 °C over the first 5 min
        QTest::addColumn<double>("referenceNoise"); // of a reference unit, NotSet for typed values
        QTest::addColumn<Verdict>("verdict");       // at 31 min
        QTest::addColumn<double>("settledFrom");    // minutes, when judged (pass, fail)
        QTest::addColumn<double>("settledTo");
        QTest::addColumn<double>("leftAt5"); // minutes left at 5 min
        const Verdict pass = Verdict::Pass;
        QTest::newRow("steady") << 0.0 << 0.0 << 0.0 << false << NotSet << pass << 10.0 << 10.05
                                << 5.0;
        QTest::newRow("noise within the bands")
            << 0.012 << 0.05 << 0.0 << false << NotSet << pass << 10.0 << 12.0 << 5.0;
        QTest::newRow("drift within the band")
            << 0.0 << 0.0 << 0.008 << false << NotSet << pass << 10.0 << 10.05 << 5.0;
        // The last 0.1 °C of the warming counts: 30 s of it.
        QTest::newRow("the chamber warming, then steady")
            << 0.0 << 0.0 << 0.0 << true << NotSet << pass << 14.5 << 14.55 << 9.5;
        QTest::newRow("temperature noise beyond the band")
            << 0.05 << 0.0 << 0.0 << false << NotSet << Verdict::Unstable << 0.0 << 0.0 << NotSet;
        QTest::newRow("humidity noise beyond the band")
            << 0.0 << 0.3 << 0.0 << false << NotSet << Verdict::Unstable << 0.0 << 0.0 << NotSet;
        QTest::newRow("drift beyond the band")
            << 0.0 << 0.0 << 0.02 << false << NotSet << Verdict::Unstable << 0.0 << 0.0 << NotSet;
        QTest::newRow("steady, the reference unit noisy")
            << 0.0 << 0.0 << 0.0 << false << 0.05 << Verdict::Settling << 0.0 << 0.0 << NotSet;
        QTest::newRow("both noisy within the bands")
            << 0.012 << 0.05 << 0.0 << false << 0.012 << pass << 10.0 << 14.0 << NotSet;
    }

    void settling()
    {
        QFETCH(double, noise);
        QFETCH(double, humidityNoise);
        QFETCH(double, drift);
        QFETCH(bool, ramp);
        QFETCH(double, referenceNoise);
        QFETCH(Verdict, verdict);
        QFETCH(double, settledFrom);
        QFETCH(double, settledTo);
        QFETCH(double, leftAt5);
        LineUnit unit = unitAt(2);
        unit.error.temperature.noise = noise;
        unit.error.humidity.noise = humidityNoise;
        unit.error.temperature.driftPerMinute = drift;
        QList<LineUnit> units = {unit};
        const bool referenceUnit = referenceNoise != NotSet;
        if (referenceUnit) {
            units.prepend(unitAt(1));
            units.first().error.temperature.noise = referenceNoise;
        }
        Chamber chamber = steadyChamber(23.5, 45);
        if (ramp)
            chamber.temperature = [](qint64 ms) { return 23.5 + std::min(ms, minutes(5)) / 300e3; };
        Line line(referenceUnit ? unitReference(1) : typedReference(ramp ? 24.5 : 23.5, 45), units,
                  chamber);
        line.runTo(minutes(5));
        QCOMPARE(verdictKey(line.result(2).verdict), verdictKey(Verdict::Settling));
        if (leftAt5 != NotSet)
            QVERIFY2(std::abs(settleLeft(line.result(2)) - minutes(leftAt5)) <= PollMs,
                     qPrintable(QString::number(settleLeft(line.result(2)))));
        line.runTo(minutes(31));
        const UnitResult result = line.result(2);
        QCOMPARE(verdictKey(result.verdict), verdictKey(verdict));
        if (isFinal(verdict))
            QVERIFY(result.temperature.mean && result.temperature.standardDeviation);
        if (verdict == Verdict::Pass) {
            QVERIFY2(result.windowEndMs >= minutes(settledFrom) &&
                         result.windowEndMs <= minutes(settledTo),
                     qPrintable(QString::number(result.windowEndMs)));
            QCOMPARE(result.windowEndMs - result.windowStartMs, minutes(10));
        }
        if (verdict == Verdict::Unstable) // the figures up to the limit show why
            QCOMPARE(result.windowEndMs, minutes(30));
        if (noise > 0 && isFinal(verdict))
            QVERIFY(near(*result.temperature.standardDeviation, noise, noise * 0.3));
        QCOMPARE(result.waitingForReference, verdict == Verdict::Settling);
    }

    // A Tervin-F among Tervin-Cs: its °F readings compared in °C, its figures in °C.
    void fahrenheit_data()
    {
        QTest::addColumn<double>("chamber");
        QTest::addColumn<double>("offset"); // °C
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("+0.15 °C") << 23.5 << 0.15 << Verdict::Pass;
        QTest::newRow("+0.25 °C") << 23.5 << 0.25 << Verdict::Fail;
        QTest::newRow("-20 °C, -0.15 °C") << -20.0 << -0.15 << Verdict::Pass;
        QTest::newRow("-20 °C, -0.25 °C") << -20.0 << -0.25 << Verdict::Fail;
    }

    void fahrenheit()
    {
        QFETCH(double, chamber);
        QFETCH(double, offset);
        QFETCH(Verdict, verdict);
        LineUnit tervinF = unitAt(3, offset);
        tervinF.deviceType = FahrenheitDeviceType;
        Line line(typedReference(chamber, 45), {unitAt(2, 0.1), tervinF, unitAt(4, -0.1)},
                  steadyChamber(chamber, 45));
        line.runTo(minutes(11));
        const UnitResult result = line.result(3);
        QCOMPARE(verdictKey(result.verdict), verdictKey(verdict));
        QVERIFY(result.fahrenheit);
        QVERIFY(near(*result.temperature.mean, chamber + offset));
        QVERIFY(near(*result.temperature.deviation, offset));
        QVERIFY(near(*result.dewPoint, TransmitterModel::dewPoint(chamber + offset, 45), 0.01));
        for (int address : {2, 4}) {
            QCOMPARE(verdictKey(line.result(address).verdict), verdictKey(Verdict::Pass));
            QVERIFY(!line.result(address).fahrenheit);
        }
    }

    // A unit that falls silent, reported by the poll cycle or only seen as a gap: no verdict
    // while silent; back, it settles afresh; a verdict already given stands. Its neighbour on the
    // line passes all the same.
    void silentUnit_data()
    {
        QTest::addColumn<double>("from"); // minutes
        QTest::addColumn<double>("to");   // minutes, NotSet: for good
        QTest::addColumn<bool>("reported");
        QTest::addColumn<double>("noise");
        QTest::addColumn<double>("swapAt"); // another unit at its address from then, or NotSet
        QTest::addColumn<double>("at");     // minutes
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<double>("left"); // minutes left, NotSet when none
        const Verdict noAnswer = Verdict::NoAnswer;
        QTest::newRow("silent at 5")
            << 5.0 << NotSet << true << 0.0 << NotSet << 8.0 << noAnswer << NotSet;
        QTest::newRow("a gap from 5, not reported")
            << 5.0 << NotSet << false << 0.0 << NotSet << 8.0 << noAnswer << NotSet;
        QTest::newRow("silent 5 to 6, back")
            << 5.0 << 6.0 << true << 0.0 << NotSet << 12.0 << Verdict::Settling << 4.0;
        QTest::newRow("silent 5 to 6, settled afresh")
            << 5.0 << 6.0 << true << 0.0 << NotSet << 16.1 << Verdict::Pass << NotSet;
        QTest::newRow("silent for 10 s, back")
            << 5.0 << 5.17 << true << 0.0 << NotSet << 12.0 << Verdict::Settling << 3.2;
        QTest::newRow("a gap of 20 s, not reported")
            << 5.0 << 5.34 << false << 0.0 << NotSet << 10.1 << Verdict::Pass << NotSet;
        QTest::newRow("a gap of 40 s, not reported")
            << 5.0 << 5.67 << false << 0.0 << NotSet << 12.0 << Verdict::Settling << 3.7;
        QTest::newRow("silent after its verdict")
            << 12.0 << NotSet << true << 0.0 << NotSet << 14.0 << Verdict::Pass << NotSet;
        QTest::newRow("silent through the unstable limit")
            << 25.0 << NotSet << true << 0.05 << NotSet << 35.0 << noAnswer << NotSet;
        QTest::newRow("silent 5 to 25, not judged at the limit")
            << 5.0 << 25.0 << true << 0.0 << NotSet << 31.0 << Verdict::Settling << 4.0;
        QTest::newRow("another unit at its address at 6")
            << 0.0 << 0.0 << true << 0.0 << 6.0 << 12.0 << Verdict::Settling << 4.0;
    }

    void silentUnit()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(bool, reported);
        QFETCH(double, noise);
        QFETCH(double, swapAt);
        QFETCH(double, at);
        QFETCH(Verdict, verdict);
        QFETCH(double, left);
        LineUnit unit = unitAt(2);
        unit.silences = {{minutes(from), to == NotSet ? Never : minutes(to)}};
        unit.reported = reported;
        unit.error.temperature.noise = noise;
        unit.swappedAtMs = swapAt == NotSet ? Never : minutes(swapAt);
        Line line(typedReference(23.5, 45), {unit, unitAt(3)}, steadyChamber(23.5, 45));
        line.runTo(minutes(at));
        const UnitResult result = line.result(2);
        QCOMPARE(verdictKey(result.verdict), verdictKey(verdict));
        if (left != NotSet)
            QVERIFY2(std::abs(settleLeft(result) - minutes(left)) <= PollMs,
                     qPrintable(QString::number(settleLeft(result))));
        if (verdict == Verdict::NoAnswer)
            QVERIFY(!result.temperature.mean && !result.temperature.deviation);
        QCOMPARE(verdictKey(line.result(3).verdict),
                 verdictKey(at > 10 ? Verdict::Pass : Verdict::Settling));
        QCOMPARE(line.check.isFinished(line.nowMs), isFinal(verdict) && at > 10);
    }

    // A reference unit that falls silent: every unit waits, without a deviation; back, the units
    // are judged on a window of the reference's new readings, never its old ones. The chamber
    // warms by 1 °C while the reference is away: a judgement against its old values would fail.
    void silentReference_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<bool>("reported");
        QTest::addColumn<double>("at");
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<bool>("waiting");
        QTest::addColumn<double>("left"); // minutes, NotSet when none
        QTest::newRow("silent") << 5.0 << 8.0 << true << 7.0 << Verdict::Settling << true << NotSet;
        QTest::newRow("a gap, not reported")
            << 5.0 << 8.0 << false << 7.0 << Verdict::Settling << true << NotSet;
        QTest::newRow("back at 8")
            << 5.0 << 8.0 << true << 12.0 << Verdict::Settling << false << 6.0;
        QTest::newRow("back at 8, settled on new values")
            << 5.0 << 8.0 << true << 18.1 << Verdict::Pass << false << NotSet;
        QTest::newRow("silent after the verdict")
            << 12.0 << NotSet << true << 14.0 << Verdict::Pass << false << NotSet;
        QTest::newRow("silent through the unstable limit")
            << 5.0 << NotSet << true << 40.0 << Verdict::Settling << true << NotSet;
    }

    void silentReference()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(bool, reported);
        QFETCH(double, at);
        QFETCH(Verdict, verdict);
        QFETCH(bool, waiting);
        QFETCH(double, left);
        LineUnit reference = unitAt(1);
        reference.silences = {{minutes(from), to == NotSet ? Never : minutes(to)}};
        reference.reported = reported;
        Chamber chamber = steadyChamber(23.5, 45);
        if (from < 10) // a step while the reference is silent
            chamber.temperature = [](qint64 ms) { return ms < minutes(6) ? 23.5 : 24.5; };
        Line line(unitReference(1), {reference, unitAt(2), unitAt(3, 0.1)}, chamber);
        line.runTo(minutes(at));
        for (int address : {2, 3}) {
            const UnitResult result = line.result(address);
            QCOMPARE(verdictKey(result.verdict), verdictKey(verdict));
            QCOMPARE(result.waitingForReference, waiting);
            QCOMPARE(result.temperature.deviation.has_value(), !waiting);
            if (left != NotSet)
                QVERIFY(std::abs(settleLeft(result) - minutes(left)) <= PollMs);
            if (waiting)
                QVERIFY(!result.settleLeftMs);
            if (verdict == Verdict::Pass)
                QVERIFY(near(*result.temperature.deviation, address == 3 ? 0.1 : 0));
        }
        const bool away = at >= from && (to == NotSet || at < to);
        QCOMPARE(line.check.isReferenceQuiet(line.nowMs), away);
    }

    // Two points, over MgCl2 (33 %RH) then NaCl (75 %RH): each unit's line through them and its
    // verdict at both. Unit 3 reads 34.5 and 70.5: it passes at the first point on its offset
    // alone, and its slope fails it at the second.
    void twoPoints_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<Verdict>("first");
        QTest::addColumn<Verdict>("second");
        QTest::addColumn<Verdict>("both");
        QTest::addColumn<double>("slope"); // humidity; NotSet when none
        QTest::addColumn<double>("offset");
        const Verdict pass = Verdict::Pass, fail = Verdict::Fail;
        QTest::newRow("right") << 2 << pass << pass << pass << 1.0 << 0.0;
        QTest::newRow("slope 0.857") << 3 << pass << fail << fail << 0.857 << 6.219;
        QTest::newRow("offset +2.5") << 4 << fail << fail << fail << 1.0 << 2.5;
        QTest::newRow("fails at the first only") << 6 << fail << pass << fail << 1.0595 << -4.463;
        QTest::newRow("missing at the second")
            << 5 << pass << Verdict::NoAnswer << Verdict::NoAnswer << NotSet << NotSet;
    }

    void twoPoints()
    {
        QFETCH(int, address);
        QFETCH(Verdict, first);
        QFETCH(Verdict, second);
        QFETCH(Verdict, both);
        QFETCH(double, slope);
        QFETCH(double, offset);
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
            std::find_if(combined.begin(), combined.end(), [address](const TwoPointResult &result) {
                return result.address == address;
            });
        QVERIFY(found != combined.end());
        QCOMPARE(verdictKey(found->first.verdict), verdictKey(first));
        QCOMPARE(verdictKey(found->second.verdict), verdictKey(second));
        QCOMPARE(verdictKey(found->verdict), verdictKey(both));
        QCOMPARE(found->humidity.slope.has_value(), slope != NotSet);
        if (slope != NotSet) {
            QVERIFY(near(*found->humidity.slope, slope, 0.001));
            QVERIFY(near(*found->humidity.offset, offset, 0.02));
        }
        QVERIFY(!found->temperature.slope); // both points at 25 °C
    }
};

QTEST_GUILESS_MAIN(TestProductionCheck)
#include "tst_productioncheck.moc"
