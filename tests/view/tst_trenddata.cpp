// The trend's store and its decimation, without a window: a one-sample spike at every zoom,
// lines that break at gaps and skip what a partial reading did not carry, the statistics of the
// range, wall times across a clock jump, what a reading costs, one unit on the axis across a unit
// change, and the labels of the time axis.
#include "view/trenddata.h"
#include "view/trendticks.h"

#include <QtTest>

#include <cmath>
#include <ctime>

namespace {
Reading all(double temperature, double humidity, double dewPoint)
{
    Reading reading;
    reading.temperature = temperature;
    reading.humidity = humidity;
    reading.dewPoint = dewPoint;
    return reading;
}

Reading fahrenheit(Reading reading)
{
    reading.fahrenheit = true;
    return reading;
}

const qint64 Start = QDateTime(QDate(2026, 12, 7), QTime(14, 0)).toMSecsSinceEpoch();

double seconds(const QDateTime &time)
{
    return time.toMSecsSinceEpoch() / 1000.0;
}
} // namespace

class TestTrendData : public QObject
{
    Q_OBJECT

private slots:
    // Local times below are on a clock that goes back an hour on 2026-10-25 at 03:00.
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }

    // A day at 100 ms with one reading at -40 C: at every zoom and at every place of the range
    // shown, the spike is among the points drawn, and the range's minimum is -40.
    void decimationKeepsASpike()
    {
        TrendData data;
        const int readings = 864000, spike = 432123;
        for (int i = 0; i < readings; ++i)
            data.append(1000 + i * 100LL, Start + i * 100LL,
                        all(i == spike ? -40 : 23 + 0.1 * std::sin(i / 500.0), 45, 11));
        QCOMPARE(data.at(spike).ms, quint32(spike * 100));
        for (double span : {86400e3, 3600e3, 60e3, 1e3}) {
            for (double offset : {0.1, 0.5, 0.9}) {
                const double from = spike * 100.0 - span * offset;
                const Decimated shown =
                    decimate(data, TrendData::Temperature, from, from + span, 1100);
                QVERIFY2(shown.values.contains(-40.0f) && shown.min == -40,
                         qPrintable(QString("span %1 ms").arg(span)));
                QVERIFY(shown.ms.size() <= 4 * 1100 + 2);
            }
        }
        QVERIFY(data.memoryBytes() < 17 * qint64(readings)); // 16 bytes a reading, and the index
    }

    // A break draws a NaN between the lines; a value a reading did not carry is left out, not a
    // break; the statistics count only the range shown.
    void breaksPartialReadingsAndStatistics()
    {
        TrendData data;
        data.addBreak(0); // nothing yet: no break
        data.append(0, Start, all(20, 40, 10));
        data.append(1000, Start + 1000, all(22, 42, 12));
        Reading temperatureOnly;
        temperatureOnly.temperature = 24;
        data.append(2000, Start + 2000, temperatureOnly);
        data.addBreak(2500);
        data.addBreak(2600); // one break is enough
        data.append(3000, Start + 3000, all(26, 46, 16));
        QCOMPARE(data.size(), 5);
        const Decimated temperature = decimate(data, TrendData::Temperature, 0, 3000, 100);
        QCOMPARE(temperature.values.size(), 5);
        QVERIFY(std::isnan(temperature.values[3]) && temperature.ms[3] == 2500);
        QCOMPARE(temperature.count, 4);
        QCOMPARE(temperature.mean, 23.0);
        const Decimated humidity = decimate(data, TrendData::Humidity, 500, 3000, 100);
        QCOMPARE(humidity.ms, QVector<double>({0, 1000, 2500, 3000})); // one beyond the left edge
        QCOMPARE(humidity.min * 100 + humidity.max, 42 * 100 + 46.0);
        QVERIFY(decimate(data, TrendData::DewPoint, 3000, 3000, 100).values.isEmpty());
        data.clear();
        QCOMPARE(data.size(), 0);
    }

    // The wall time of a reading follows the clock it was taken by, across a jump back of an hour;
    // the unit and decimals follow the readings.
    void wallTimeAndFormat()
    {
        TrendData data;
        Reading hundredths = all(1, 2, 3);
        hundredths.decimals = 2;
        data.append(5000, Start, all(1, 2, 3));
        data.append(6000, Start + 1000, all(1, 2, 3));
        data.append(7000, Start + 2000 - 3600000, hundredths); // the clock went back an hour
        data.append(8000, Start + 3000 - 3600000, hundredths);
        QCOMPARE(data.at(3).ms, quint32(3000)); // the monotonic time runs on
        QCOMPARE(data.wallTime(1000).toMSecsSinceEpoch(), Start + 1000);
        QCOMPARE(data.wallTime(3000).toMSecsSinceEpoch(), Start + 3000 - 3600000);
        QCOMPARE(data.formatAt(1).decimals * 10 + data.formatAt(2).decimals, 12);
        // A row of the readings file: what the reading did not carry stays empty; the unit it
        // came from is named.
        Reading humidityOnly = hundredths;
        humidityOnly.temperature = humidityOnly.dewPoint = std::nullopt;
        humidityOnly.fahrenheit = true;
        const QDateTime at(QDate(2026, 12, 7), QTime(14, 2, 17, 5));
        QCOMPARE(ReadingsCsv::row(at, humidityOnly), "2026-12-07T14:02:17.005,,2.00,,°F,,");
        humidityOnly.address = 12;
        humidityOnly.serial = "123456789abc";
        QCOMPARE(ReadingsCsv::row(at, humidityOnly),
                 "2026-12-07T14:02:17.005,,2.00,,°F,12,123456789abc");
    }

    void unitConversion_data()
    {
        QTest::addColumn<bool>("fromFahrenheit");
        QTest::addColumn<bool>("toFahrenheit");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("converted");
        QTest::newRow("C to F") << false << true << 20.0 << 68.0;
        QTest::newRow("F to C") << true << false << 212.0 << 100.0;
        QTest::newRow("C to C") << false << false << 21.5 << 21.5;
        QTest::newRow("F to F") << true << true << 70.7 << 70.7;
        QTest::newRow("-40 is -40") << true << false << -40.0 << -40.0;
    }
    void unitConversion()
    {
        QFETCH(bool, fromFahrenheit);
        QFETCH(bool, toFahrenheit);
        QFETCH(double, value);
        QFETCH(double, converted);
        QCOMPARE(UnitConversion::between(fromFahrenheit, toFahrenheit)(value), converted);
    }

    // Two units in sight (the window moved to another unit of the line): the lines break between
    // them, and the statistics count the newest unit alone, never a mix of both.
    void theStatisticsCountOneUnit()
    {
        TrendData data;
        auto of = [](Reading reading, int address, const char *serial) {
            reading.address = address;
            reading.serial = serial;
            return reading;
        };
        data.append(0, Start, of(all(-20, 30, -30), 7, "123456789a07"));
        data.append(1000, Start + 1000, of(all(-22, 32, -31), 7, "123456789a07"));
        data.startSegment();
        data.append(2000, Start + 2000, of(all(24, 50, 13), 12, "123456789a12"));
        data.append(3000, Start + 3000, of(all(26, 52, 15), 12, "123456789a12"));
        const Decimated temperature = decimate(data, TrendData::Temperature, 0, 3000, 100);
        QVERIFY(std::isnan(temperature.values[2])); // no line from one unit to the other
        QCOMPARE(temperature.count, 2);
        QCOMPARE(temperature.min * 1000 + temperature.max, 24 * 1000 + 26.0);
        QCOMPARE(decimate(data, TrendData::DewPoint, 0, 1500, 100).count, 0);
        QCOMPARE(decimate(data, TrendData::Humidity, 0, 3000, 100).mean, 51.0);
    }

    // A Celsius unit, then a Fahrenheit unit: the lines break where the unit changed, everything
    // is drawn and counted in degrees Fahrenheit (humidity as it is), and each reading still goes
    // to a file in the unit it came in.
    void oneUnitOnTheAxis()
    {
        TrendData data;
        data.append(0, Start, all(20, 40, 10));
        data.append(1000, Start + 1000, all(25, 42, 15));
        data.append(2000, Start + 2000, fahrenheit(all(80, 44, 62)));
        data.append(3000, Start + 3000, fahrenheit(all(86, 46, 64)));
        QVERIFY(data.fahrenheit());
        QCOMPARE(data.size(), 5);
        QVERIFY(TrendData::isBreak(data.at(2)));
        const Decimated temperature = decimate(data, TrendData::Temperature, 0, 3000, 100);
        QCOMPARE(temperature.ms, QVector<double>({0, 1000, 2000, 2000, 3000}));
        QCOMPARE(temperature.values[1], 77.0);
        QVERIFY(std::isnan(temperature.values[2]));
        QCOMPARE(temperature.min * 1000 + temperature.max, 68 * 1000 + 86.0);
        QCOMPARE(temperature.mean, (68 + 77 + 80 + 86) / 4.0);
        QCOMPARE(decimate(data, TrendData::DewPoint, 0, 3000, 100).min, 50.0);
        QCOMPARE(decimate(data, TrendData::Humidity, 0, 3000, 100).mean, 43.0);
        QCOMPARE(data.shownValue(1, TrendData::DewPoint), 59.0);
        const QDateTime at = QDateTime(QDate(2026, 12, 7), QTime(14, 0));
        QCOMPARE(ReadingsCsv::row(at, data.readingAt(1)) + ' ' +
                     ReadingsCsv::row(at, data.readingAt(3)),
                 "2026-12-07T14:00:00.000,25.0,42.0,15.0,°C,, "
                 "2026-12-07T14:00:00.000,80.0,44.0,62.0,°F,,");
    }

    // A new segment breaks the lines after the last reading, once, and the next reading opens a
    // format of its own even in the same unit and block.
    void startSegment()
    {
        TrendData data;
        data.startSegment(); // nothing yet: no break
        data.append(0, Start, all(20, 40, 10));
        data.append(1000, Start + 1000, all(21, 41, 11));
        data.startSegment();
        data.startSegment();
        data.append(5000, Start + 5000, all(30, 60, 21));
        QCOMPARE(data.size(), 4);
        QVERIFY(TrendData::isBreak(data.at(2)) && data.at(2).ms == 1000);
        QCOMPARE(data.formatEnd(0) * 10 + data.formatEnd(3), 3 * 10 + 4);
    }

    // The first label shows what the step needs and nothing more; no label is repeated.
    void timeAxisLabels_data()
    {
        QTest::addColumn<QDateTime>("lower");
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("maxTicks");
        QTest::addColumn<QString>("firstLabel");
        const QDate day(2026, 12, 7);
        QTest::newRow("2 ms") << QDateTime(day, QTime(14, 0, 0, 3)) << 0.02 << 10
                              << "14:00:00.004\n12-07";
        QTest::newRow("5 s") << QDateTime(day, QTime(14, 0, 0, 500)) << 40.0 << 10
                             << "14:00:05\n12-07";
        QTest::newRow("10 min") << QDateTime(day, QTime(13, 58, 10)) << 3600.0 << 10
                                << "14:00\n12-07";
        QTest::newRow("1 day") << QDateTime(day, QTime(14, 0)) << 20 * 86400.0 << 25 << "12-08";
        QTest::newRow("across a new year") << QDateTime(QDate(2026, 12, 30), QTime(12, 0))
                                           << 3 * 86400.0 << 10 << "12:00\n2026-12-30";
        QTest::newRow("the clock goes back")
            << QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC) << 7200.0 << 5
            << "02:30 CEST\n10-25";
    }
    void timeAxisLabels()
    {
        QFETCH(QDateTime, lower);
        QFETCH(double, span);
        QFETCH(int, maxTicks);
        QFETCH(QString, firstLabel);
        const TimeTicks ticks = timeTicks(seconds(lower), seconds(lower) + span, maxTicks);
        QCOMPARE(ticks.labels.value(0), firstLabel);
        QCOMPARE(QSet<QString>(ticks.labels.begin(), ticks.labels.end()).size(),
                 ticks.labels.size());
    }

    // At every zoom from milliseconds to years, and every place: a few ticks, none alike.
    void timeAxisLabelsNeverRepeat()
    {
        const double start = seconds(QDateTime(QDate(2026, 12, 7), QTime(14, 2, 17, 123)));
        for (double span = 0.003; span < 3e8; span *= 1.7)
            for (double offset : {0.0, 0.37, 12345.6789})
                for (int maxTicks : {3, 5, 10}) {
                    const TimeTicks ticks =
                        timeTicks(start + offset, start + offset + span, maxTicks);
                    const QSet<QString> distinct(ticks.labels.begin(), ticks.labels.end());
                    QVERIFY2(ticks.ticks.size() >= 1 && ticks.ticks.size() <= maxTicks + 1 &&
                                 distinct.size() == ticks.labels.size(),
                             qPrintable(QString("span %1 s: %2")
                                            .arg(span)
                                            .arg(QStringList(ticks.labels.toList()).join('|'))));
                }
    }
};

QTEST_APPLESS_MAIN(TestTrendData)
#include "tst_trenddata.moc"
