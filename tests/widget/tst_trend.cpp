// The trend and the readings file through the window: the chart holds the readings the window
// showed (its unit and its break at a silence: tst_commands); a partial read adds only what it
// carries; the readings file and Export CSV match the replies in the capture file; Save image and
// Clear do their part, under the names proposed; the legend and the hover read-out tell what is
// shown.
#include "view/trendwindow.h"
#include "windowsteps.h"

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

// A sample's three values as the labels show them, "-" where it has none: "23.49 45.00 10.88".
QString stored(const TrendData::Sample &sample)
{
    QStringList values;
    for (float value : sample.value)
        values << (std::isnan(value) ? QString("-") : QString::number(value, 'f', 2));
    return values.join(' ');
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
        Bench bench(with(&DeviceSettings::drift, true));
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonTrend");
        QVERIFY(trend(bench)->isVisible());
        for (int poll = 1; poll <= 5; ++poll) {
            bench.pollOnce(0);
            QTRY_COMPARE(trend(bench)->data().size(), poll + (poll - 1)); // a break after each Stop
            QCOMPARE(stored(trend(bench)->data().at(trend(bench)->data().size() - 1)),
                     shownValue(bench, "labelTemperature") + ' ' +
                         shownValue(bench, "labelHumidity") + ' ' +
                         shownValue(bench, "labelDewTemp"));
        }
        QCOMPARE(trend(bench)->data().formatAt(0).unit(), "°C");
        bench.pollOnce(2);
        QTRY_COMPARE(trend(bench)->data().size(), 11);
        QCOMPARE(stored(trend(bench)->data().at(10)),
                 "- " + shownValue(bench, "labelHumidity") + " -");
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

    // Each row of the readings file holds what a received frame of the capture file carries, and
    // Export CSV writes the same (the readings in sight); Save image writes a picture of the
    // chart, Clear empties it. A readings file that cannot be written is reported once.
    void readingsFileExportAndClear()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        tick(bench.window, "checkBoxSaveToFile");
        tick(bench.window, "checkBoxSaveReadings");
        click(bench.window, "pushButtonTrend");
        click(bench.window, "pushButtonRead");
        QVERIFY(repliesFollow(bench.window, 10));
        QVERIFY(stopPolling(bench.window));
        const QStringList readingsFiles = QDir("Data").entryList({"Readings*.csv"});
        QCOMPARE(readingsFiles.size(), 1);
        const QByteArray csv = readAll("Data/" + readingsFiles[0]);
        QVERIFY(csv.startsWith(FileStart));
        QCOMPARE(csv.count(ByteOrderMark), 1);
        QStringList fromCapture;
        const QString captureFile = "Data/" + QDir("Data").entryList({"Log*.txt"}).value(0);
        for (const QString &line : linesOf(captureFile).filter("->RX  ")) {
            const QByteArray reply = QByteArray::fromHex(line.section("  ", 1).toLatin1());
            auto word = [&reply](int at) {
                return quint16(quint8(reply[at]) << 8 | quint8(reply[at + 1]));
            };
            fromCapture << QString("%1,%2,%3,°C,1,123456789abc")
                               .arg(qint16(word(3)) / 100.0, 0, 'f', 2)
                               .arg(word(5) / 100.0, 0, 'f', 2)
                               .arg(qint16(word(7)) / 100.0, 0, 'f', 2);
        }
        auto valuesOf = [](const QStringList &rows) { // after each row's valid time
            QStringList values;
            for (const QString &row : rows)
                values
                    << (QDateTime::fromString(row.section(',', 0, 0), Qt::ISODateWithMs).isValid()
                            ? row.section(',', 1)
                            : "no time: " + row);
            return values;
        };
        QCOMPARE(valuesOf(QString::fromUtf8(csv).split('\n', Qt::SkipEmptyParts).mid(1)),
                 fromCapture);
        const QString exported = bench.workDir.filePath("export.csv");
        QVERIFY(trend(bench)->exportCsv(exported));
        QVERIFY(readAll(exported).startsWith(FileStart));
        QCOMPARE(valuesOf(linesOf(exported).mid(1)), fromCapture);
        const QString png = bench.workDir.filePath("trend.png");
        QVERIFY(trend(bench)->saveImage(png));
        auto *plot = child<QCustomPlot>(trend(bench), "trendPlot");
        QCOMPARE(QImage(png).size(), plot->size());
        QVERIFY(plot->xAxis->tickLabels());
        click(*trend(bench), "pushButtonClear");
        QCOMPARE(trend(bench)->data().size(), 0);
        QVERIFY(!plot->xAxis->tickLabels()); // no made-up date on an empty chart
        QCOMPARE(child<QLabel>(trend(bench), "labelVisibleStatistics")->text(),
                 "No readings in sight.");
        tick(bench.window, "checkBoxSaveToFile", false);
        tick(bench.window, "checkBoxSaveReadings", false);
        QVERIFY(QDir("Data").removeRecursively() && QFile("Data").open(QIODevice::WriteOnly));
        tick(bench.window, "checkBoxSaveReadings"); // a file where the folder should be
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
        const char *rows[][4] = {{"left out", "/tmp/run", "png", "/tmp/run.png"},
                                 {"given", "/tmp/run.csv", "csv", "/tmp/run.csv"},
                                 {"in capitals", "/tmp/RUN.PNG", "png", "/tmp/RUN.PNG"},
                                 {"another one", "/tmp/run.v2", "csv", "/tmp/run.v2.csv"}};
        for (const auto &row : rows)
            QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
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
