// The trend and the readings file through the window: the chart holds the readings the window
// showed, in the device's unit; the lines break where the device fell silent; a partial read adds
// only what it carries; the readings file matches the replies in the capture file; Clear, Export
// CSV and Save image write what they should, under the names proposed; the legend and the hover
// read-out tell what is shown.
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

// A readings file, the window's or the trend's export, starts with a UTF-8 byte-order mark (by
// which spreadsheets on a Chinese or a Western system read "°C" right) and the column names.
const QByteArray ByteOrderMark("\xEF\xBB\xBF");
const QByteArray FileStart =
    ByteOrderMark + "time,temperature,humidity,dew_point,unit,address,serial\n";
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
        QTRY_VERIFY(bench.label("labelLinkState").contains("no answer since"));
        const int atSilence = trend(bench)->data().size();
        bench.transmitter.setFaults(Faults());
        QTRY_VERIFY(trend(bench)->data().size() >= atSilence + 3);
        click(bench.window, "pushButtonRead");
        QVERIFY(TrendData::isBreak(trend(bench)->data().at(atSilence - 1)));
        QCOMPARE(trend(bench)->data().formatAt(0).unit(), "°F");
        click(bench.window, "pushButtonTrend");
        QVERIFY(child<QCustomPlot>(trend(bench), "trendPlot")->yAxis->label().endsWith("(\u2109)"));
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
        QVERIFY(csv.startsWith(FileStart));
        QCOMPARE(csv.count(ByteOrderMark), 1);
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
            fromCapture << QString("%1,%2,%3,°C,1,123456789abc")
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
        QVERIFY(readAll(csv).startsWith(FileStart)); // as the readings file
        const QStringList rows = linesOf(csv);
        QCOMPARE(rows.size(), 1 + 3);
        QVERIFY2(rows[1].endsWith(",23.50,45.00,10.88,°C,1,123456789abc"), qPrintable(rows[1]));
        const QString png = bench.workDir.filePath("trend.png");
        QVERIFY(trend(bench)->saveImage(png));
        QCOMPARE(QImage(png).size(), child<QCustomPlot>(trend(bench), "trendPlot")->size());
        auto *plot = child<QCustomPlot>(trend(bench), "trendPlot");
        QVERIFY(plot->xAxis->tickLabels());
        click(*trend(bench), "pushButtonClear");
        QCOMPARE(trend(bench)->data().size(), 0);
        QVERIFY(!plot->xAxis->tickLabels()); // no made-up date on an empty chart
        QCOMPARE(child<QLabel>(trend(bench), "labelVisibleStatistics")->text(),
                 "No readings in sight.");
        QFile("Data").open(QIODevice::WriteOnly); // a file where the folder should be
        child<QCheckBox>(&bench.window, "checkBoxSaveReadings")->setChecked(true);
        QVERIFY(nextBox().startsWith("Error/Cannot write in the folder "));
        bench.pollOnce(0);
        bench.pollOnce(0);
        QTRY_COMPARE(trend(bench)->data().size(), 3);
        QVERIFY(boxesSeen.isEmpty());
    }

    // A click on a legend entry hides its series and greys the entry, text and line; a second
    // click shows it again. The legend stays off the plotted area. The hover read-out shows the
    // reading under the pointer and clears when the pointer leaves.
    void legendAndHover()
    {
        TrendWindow window;
        Reading reading;
        reading.temperature = 23.5;
        reading.humidity = 45;
        const qint64 wall = QDateTime(QDate(2026, 12, 7), QTime(14, 2, 17)).toMSecsSinceEpoch();
        window.addReading(0, wall, reading);
        window.addReading(1000, wall + 1000, reading);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.redraw();
        auto *plot = child<QCustomPlot>(&window, "trendPlot");
        QVERIFY(!plot->axisRect()->rect().intersects(plot->legend->outerRect()));
        QCPAbstractLegendItem *entry = plot->legend->itemWithPlottable(plot->graph(1));
        auto looks = [&] {
            return entry->textColor().name() + plot->graph(1)->pen().color().name();
        };
        const QString shown = looks();
        for (bool visible : {false, true}) {
            QTest::mouseClick(plot, Qt::LeftButton, {}, entry->rect().center());
            QCOMPARE(plot->graph(1)->visible(), visible);
            QCOMPARE(looks() == shown, visible);
        }
        auto *hover = child<QLabel>(&window, "labelHover");
        QTest::mouseMove(plot, plot->axisRect()->rect().center());
        QTRY_COMPARE(hover->text(), "14:02:17.000  Temperature 23.5 \u2103, Humidity 45.0 %");
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(plot, &leave);
        QCOMPARE(hover->text(), "");
    }

    void proposedFileNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("suffix");
        QTest::addColumn<QString>("written");
        QTest::newRow("left out") << "/tmp/run"
                                  << "png"
                                  << "/tmp/run.png";
        QTest::newRow("given") << "/tmp/run.csv"
                               << "csv"
                               << "/tmp/run.csv";
        QTest::newRow("in capitals") << "/tmp/RUN.PNG"
                                     << "png"
                                     << "/tmp/RUN.PNG";
        QTest::newRow("another one") << "/tmp/run.v2"
                                     << "csv"
                                     << "/tmp/run.v2.csv";
    }
    // The dialogs propose Data/Trend-YYYYMMDD-hhmmss.png or .csv under the current folder, and a
    // name typed without the extension gets it.
    void proposedFileNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, suffix);
        QFETCH(QString, written);
        QCOMPARE(TrendWindow::withSuffix(typed, suffix), written);
        const QDateTime at(QDate(2026, 12, 7), QTime(14, 2, 17));
        QCOMPARE(TrendWindow::proposedPath(at, suffix),
                 QDir::current().absoluteFilePath("Data/Trend-20261207-140217." + suffix));
    }
};

TERVIN_GUI_TEST_MAIN(TestTrend)
#include "tst_trend.moc"
