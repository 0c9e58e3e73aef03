// The trend and the readings file through the window: the chart holds the readings the window
// showed, in the device's unit; the lines break where the device fell silent; a partial read adds
// only what it carries; the readings file matches the replies in the capture file; Clear, Export
// CSV and Save image write what they should.
#include "testsupport.h"
#include "view/trendwindow.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QtTest>
#include <qcustomplot.h>

#include <cmath>

using namespace TestSupport;

namespace {
// The number a reading label shows: "Temperature:<font color=red>23.49℃  </font>".
QString shownValue(Bench &bench, const char *label)
{
    return QRegularExpression(">(-?[0-9.]+)").match(bench.label(label)).captured(1);
}

QString stored(float value, int decimals)
{
    return std::isnan(value) ? QString("-") : QString::number(value, 'f', decimals);
}

TrendWindow *trend(Bench &bench)
{
    return child<TrendWindow>(&bench.window, "trendWindow");
}
} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    // Every reading of a drifting device, as the labels showed it; a humidity read adds only the
    // humidity; where the device fell silent the lines break.
    void chartHoldsTheReadingsShown()
    {
        DeviceSettings settings;
        settings.drift = true;
        Bench bench(settings);
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonTrend");
        QVERIFY(trend(bench)->isVisible());
        for (int poll = 1; poll <= 5; ++poll) {
            bench.pollOnce(0);
            QTRY_COMPARE(trend(bench)->data().size(), poll + (poll - 1)); // a break after each Stop
            const TrendData::Sample &last =
                trend(bench)->data().at(trend(bench)->data().size() - 1);
            QCOMPARE(stored(last.value[0], 2) + ' ' + stored(last.value[1], 2) + ' ' +
                         stored(last.value[2], 2),
                     shownValue(bench, "labelTemperature") + ' ' +
                         shownValue(bench, "labelHumidity") + ' ' +
                         shownValue(bench, "labelDewTemp"));
        }
        QCOMPARE(trend(bench)->data().formatAt(0).unit(), "°C");
        bench.pollOnce(2);
        QTRY_COMPARE(trend(bench)->data().size(), 11);
        const TrendData::Sample &humidityOnly = trend(bench)->data().at(10);
        QCOMPARE(stored(humidityOnly.value[0], 2) + stored(humidityOnly.value[1], 2) +
                     stored(humidityOnly.value[2], 2),
                 "-" + shownValue(bench, "labelHumidity") + "-");
        trend(bench)->redraw();
        QCPGraphDataContainer *humidity =
            child<QCustomPlot>(trend(bench), "trendPlot")->graph(1)->data().data();
        int breaks = 0;
        for (const QCPGraphData &point : *humidity)
            breaks += std::isnan(point.value);
        QCOMPARE(breaks, 5); // the Stops between the polls
        QVERIFY(child<QLabel>(trend(bench), "labelVisibleStatistics")
                    ->text()
                    .contains("Humidity: min"));
    }

    // A Tervin-F's readings are in degrees Fahrenheit; a device that falls silent while polling
    // breaks the lines at the timeout.
    void fahrenheitAndSilence()
    {
        DeviceSettings settings;
        settings.deviceType = 2;
        Bench bench(settings);
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(trend(bench)->data().size() >= 3);
        Faults silent;
        silent.noReply = true;
        bench.transmitter.setFaults(silent);
        QTRY_VERIFY(bench.label("labelStatistics").contains("no reply since"));
        const int atSilence = trend(bench)->data().size();
        bench.transmitter.setFaults(Faults());
        QTRY_VERIFY(trend(bench)->data().size() >= atSilence + 3);
        click(bench.window, "pushButtonRead");
        QVERIFY(TrendData::isBreak(trend(bench)->data().at(atSilence - 1)));
        QCOMPARE(trend(bench)->data().formatAt(0).unit(), "°F");
        click(bench.window, "pushButtonTrend");
        QVERIFY(child<QCustomPlot>(trend(bench), "trendPlot")->yAxis->label().endsWith("(°F)"));
    }

    // Each row of the readings file holds what a received frame of the capture file carries.
    void readingsFileMatchesTheCapture()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        child<QCheckBox>(&bench.window, "checkBoxSaveReadings")->setChecked(true);
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(frames(bench.window, "RX").size() >= 10);
        click(bench.window, "pushButtonRead");
        MessageView *log = view(bench.window);
        QTRY_COMPARE(log->lineKind(log->lineCount() - 1), MessageView::Kind::Received);
        const QStringList readingsFiles = QDir("Data").entryList({"Readings*.csv"});
        QCOMPARE(readingsFiles.size(), 1);
        const QByteArray csv = readAll("Data/" + readingsFiles[0]);
        QVERIFY(csv.startsWith("time,temperature,humidity,dew_point,unit\n")); // no BOM, LF
        const QStringList rows = QString::fromUtf8(csv).split('\n', Qt::SkipEmptyParts).mid(1);
        QStringList fromCapture;
        for (const QString &line :
             QDir("Data").entryList({"Log*.txt"}).isEmpty()
                 ? QStringList()
                 : linesOf("Data/" + QDir("Data").entryList({"Log*.txt"})[0])) {
            if (!line.contains("->RX  "))
                continue;
            const QByteArray reply = QByteArray::fromHex(line.section("  ", 1).toLatin1());
            auto word = [&reply](int at) {
                return quint16(quint8(reply[at]) << 8 | quint8(reply[at + 1]));
            };
            fromCapture << QString("%1,%2,%3,°C")
                               .arg(qint16(word(3)) / 100.0, 0, 'f', 2)
                               .arg(word(5) / 100.0, 0, 'f', 2)
                               .arg(qint16(word(7)) / 100.0, 0, 'f', 2);
        }
        QStringList fromReadings;
        for (const QString &row : rows) {
            QVERIFY(QDateTime::fromString(row.section(',', 0, 0), Qt::ISODateWithMs).isValid());
            fromReadings << row.section(',', 1);
        }
        QCOMPARE(fromReadings, fromCapture);
    }

    // Export CSV writes the readings in sight, Save image a picture of the chart, Clear empties
    // it. A readings file that cannot be written is reported once.
    void exportImageClearAndFailures()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonTrend");
        for (int poll = 0; poll < 3; ++poll)
            bench.pollOnce(0);
        QTRY_COMPARE(trend(bench)->data().size(), 5);
        const QString csv = bench.workDir.filePath("export.csv");
        QVERIFY(trend(bench)->exportCsv(csv));
        const QStringList rows = linesOf(csv);
        QCOMPARE(rows.size(), 1 + 3);
        QVERIFY2(rows[1].endsWith(",23.50,45.00,10.88,°C"), qPrintable(rows[1]));
        const QString png = bench.workDir.filePath("trend.png");
        QVERIFY(trend(bench)->saveImage(png));
        QCOMPARE(QImage(png).size(), child<QCustomPlot>(trend(bench), "trendPlot")->size());
        click(*trend(bench), "pushButtonClear");
        QCOMPARE(trend(bench)->data().size(), 0);
        QCOMPARE(child<QLabel>(trend(bench), "labelVisibleStatistics")->text(),
                 "No readings in sight.");
        QFile("Data").open(QIODevice::WriteOnly); // a file where the folder should be
        child<QCheckBox>(&bench.window, "checkBoxSaveReadings")->setChecked(true);
        bench.pollOnce(0);
        bench.pollOnce(0);
        QVERIFY(nextBox().startsWith("Error/Cannot write the readings file "));
        QTRY_COMPARE(trend(bench)->data().size(), 3);
        QVERIFY(boxesSeen.isEmpty());
    }
};

TERVIN_GUI_TEST_MAIN(TestTrend)
#include "tst_trend.moc"
