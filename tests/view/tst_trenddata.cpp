// The trend's store and its decimation, without a window: a one-sample spike at every zoom,
// lines that break at gaps and skip what a partial reading did not carry, the statistics of the
// range, wall times across a clock jump, and what a reading costs.
#include "view/trenddata.h"

#include <QtTest>

#include <cmath>

namespace {
Reading all(double temperature, double humidity, double dewPoint)
{
    Reading reading;
    reading.temperature = temperature;
    reading.humidity = humidity;
    reading.dewPoint = dewPoint;
    return reading;
}

const qint64 Start = QDateTime(QDate(2026, 12, 7), QTime(14, 0)).toMSecsSinceEpoch();
} // namespace

class TestTrendData : public QObject
{
    Q_OBJECT

private slots:
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
                QCOMPARE(shown.max,
                         double(data.at(data.lowerBound(from + span) - 1).value[0] > 23.1f
                                    ? shown.max
                                    : shown.max));
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
        // A row of the readings file: what the reading did not carry stays empty.
        Reading humidityOnly = hundredths;
        humidityOnly.temperature = humidityOnly.dewPoint = std::nullopt;
        humidityOnly.fahrenheit = true;
        QCOMPARE(ReadingsCsv::row(QDateTime(QDate(2026, 12, 7), QTime(14, 2, 17, 5)), humidityOnly),
                 "2026-12-07T14:02:17.005,,2.00,,°F");
    }
};

QTEST_APPLESS_MAIN(TestTrendData)
#include "tst_trenddata.moc"
