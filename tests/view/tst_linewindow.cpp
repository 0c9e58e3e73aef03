// The Line window as a technician uses it, against a virtual line of three units: a scan, a unit
// chosen, the line polled, a unit swapped at one address and a unit that falls silent; the
// readings file never puts one unit's readings under another; bad input sends nothing.
#include "testsupport.h"
#include "view/linewindow.h"

using namespace TestSupport;

namespace {
// The text of a column in the row of an address, as the table shows it.
QString cell(QTableView *table, int address, int column)
{
    return table->model()->index(rowOfUnit(table->model(), address), column).data().toString();
}

enum Column { Address, Serial, Type, Sensor, Firmware, Temperature, State = 14 };
} // namespace

class TestLineWindow : public QObject
{
    Q_OBJECT

private slots:
    void aLineOfThreeUnits()
    {
        Bench bench;
        VirtualTransmitter &line = bench.transmitter;
        DeviceSettings fahrenheit = line.model().settings();
        fahrenheit.address = 5;
        fahrenheit.deviceType = 2;
        fahrenheit.temperature = -20;
        fahrenheit.serialNumber[2] = 0x0005;
        line.addUnit(fahrenheit);
        const int nine = line.addUnit(quint8(9));
        bench.edit("lineEditAddress")->setText("1"); // slave 0 would be answered by all three
        QVERIFY(bench.linkAtDeviceRate());
        child<QCheckBox>(&bench.window, "checkBoxSaveReadings")->setChecked(true);
        click(bench.window, "pushButtonLine");
        auto *lineWindow = child<LineWindow>(&bench.window, "lineWindow");
        auto *table = child<QTableView>(lineWindow, "tableViewUnits");
        child<QLineEdit>(lineWindow, "lineEditScanAddresses")->setText("1-10");
        click(*lineWindow, "pushButtonScan");
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(lineWindow, "pushButtonScan")->isEnabled(),
                                 10000);
        QCOMPARE(child<QProgressBar>(lineWindow, "progressBarScan")->value(), 10);
        QCOMPARE(table->model()->rowCount(), 3);
        QCOMPARE(cell(table, 5, Serial), "123456780005");
        QCOMPARE(cell(table, 5, Type), "Tervin-F");
        QVERIFY(lineWindow->findChild<QLabel *>("labelLineNote")->text().startsWith("3 unit(s)"));

        // The unit chosen in the table is the window's unit: its address and identity.
        table->selectRow(rowOfUnit(table->model(), 5));
        QCOMPARE(bench.edit("lineEditAddress")->text(), "5");
        QCOMPARE(bench.label("labelSerialNumber"), "Serial number:123456780005");
        child<QLineEdit>(lineWindow, "lineEditLinePeriod")->setText("100");
        click(*lineWindow, "pushButtonPollLine");
        QTRY_VERIFY(cell(table, 9, Temperature).endsWith("°C"));
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>-4.0"));
        QCOMPARE(cell(table, 5, Temperature), "-4.0 °F");
        QTRY_VERIFY(bench.label("labelStatistics").startsWith("Address 5: "));

        // A different unit at address 9 (the old one out, a new one in): said, and listed under
        // its own serial. Meanwhile the unit at 1 falls silent: reported, never dropped.
        const int misses = session(bench.window)->roster().find(9)->health.timeouts;
        line.unit(nine).settings().baudCode = 1; // out: it hears nothing at 9600 any more
        line.unit(0).settings().baudCode = 1;    // it now listens at 1200 bit/s
        QTRY_VERIFY(session(bench.window)->roster().find(9)->health.timeouts > misses);
        line.unit(nine).settings().serialNumber[2] = 0xbeef;
        line.unit(nine).settings().baudCode = 4;
        QTRY_VERIFY_WITH_TIMEOUT(cell(table, 9, Serial) == "12345678beef", 10000);
        QVERIFY(notes(bench.window)
                    .contains("a different unit is at address 9 on " + bench.path +
                              " now: serial 12345678beef, Tervin-O"));
        QTRY_VERIFY_WITH_TIMEOUT(cell(table, 1, State).startsWith("silent since "), 15000);
        QCOMPARE(table->model()->rowCount(), 3);
        click(*lineWindow, "pushButtonPollLine");

        // Each row of the readings file names the unit it came from.
        const QStringList files = QDir("Data").entryList({"Readings*.csv"});
        QCOMPARE(files.size(), 1);
        QMap<QString, QSet<QString>> serialsAt;
        for (const QString &row : linesOf("Data/" + files[0]).mid(1))
            serialsAt[row.section(',', 5, 5)] << row.section(',', 6);
        QCOMPARE(serialsAt["5"], QSet<QString>{"123456780005"});
        QVERIFY(!serialsAt["9"].contains("123456780005"));
        QVERIFY(serialsAt["9"].contains("12345678beef"));
    }

    // A list or a period that is not one: said in a box, nothing sent. (Each way a list or a
    // number can be wrong is the value parser's, tried in tst_cliarguments; here, each field.)
    void badInputSendsNothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("box");
        QTest::newRow("an address past 247") << "lineEditScanAddresses"
                                             << "1-300"
                                             << "pushButtonScan"
                                             << "Error/Addresses: 300 is out of range (1 to 247)";
        QTest::newRow("a short period") << "lineEditLinePeriod"
                                        << "50"
                                        << "pushButtonPollLine"
                                        << "Error/Period: 50 is out of range (100 to 86400000 ms)";
    }

    void badInputSendsNothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, button);
        QFETCH(QString, box);
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        auto *lineWindow = child<LineWindow>(&bench.window, "lineWindow");
        click(bench.window, "pushButtonLine");
        const int requests = bench.transmitter.requests().size();
        child<QLineEdit>(lineWindow, qPrintable(field))->setText(text);
        click(*lineWindow, qPrintable(button));
        QCOMPARE(nextBox(), box);
        QCOMPARE(bench.transmitter.requests().size(), requests);
        QVERIFY(!lineWindow->isPolling());
    }
};

TERVIN_GUI_TEST_MAIN(TestLineWindow)
#include "tst_linewindow.moc"
