// The command set driven through the real window against the virtual transmitter: frames
// byte for byte, address checks, Read/Stop, register selection and what the labels show.
#include "protocol/modbusframe.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QtTest>

using namespace TestSupport;

namespace {
QString frameHex(quint8 slave, quint8 function, quint16 reg, quint16 value)
{
    return ModbusFrame::hexText(ModbusFrame::buildRequest(slave, function, reg, value));
}
} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void buttonsSendTheirFrames_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("expected");
        auto row = [](const char *name, const char *button, const char *address, QString frame) {
            QTest::newRow(name) << button << address << frame;
        };
        row("address read ignores the field", "pushButtonAddressRead", "5", "0003010000018427");
        row("address write goes to slave 0", "pushButtonAddress", "5", "00060100000549e4");
        row("baud write at slave 5", "pushButtonBaudRate", "5", frameHex(5, 6, 0x101, 4));
        row("device type read", "pushButtonTypeRead", "1", frameHex(1, 3, 0x103, 1));
        row("device type read, empty address", "pushButtonTypeRead", "", frameHex(0, 3, 0x103, 1));
        row("sensor read", "pushButtonSensorTypeRead", "247", frameHex(247, 3, 0x107, 1));
        row("sensor read, address 248", "pushButtonSensorTypeRead", "248",
            frameHex(0, 3, 0x107, 1));
        row("sensor read, address 0", "pushButtonSensorTypeRead", "0", frameHex(0, 3, 0x107, 1));
        row("sensor read, not a number", "pushButtonSensorTypeRead", "abc",
            frameHex(0, 3, 0x107, 1));
    }

    void buttonsSendTheirFrames()
    {
        QFETCH(QString, button);
        QFETCH(QString, address);
        QFETCH(QString, expected);
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditAddress")->setText(address);
        QCOMPARE(bench.requestFrom(qPrintable(button)).toHex(), expected.toLatin1());
        QCOMPARE(sent(bench.window).last(), expected);
        // A one-off request moves the next periodic read one second away.
        QCOMPARE(bench.timer("timerRead")->interval(), 1000);
        QVERIFY(bench.timer("timerRead")->isActive());
    }

    void baudWriteSendsTheChosenCode()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditAddress")->setText(QStringLiteral("5"));
        bench.combo("comboBoxBaudRate")->setCurrentText(QStringLiteral("19200"));
        QCOMPARE(bench.requestFrom("pushButtonBaudRate").toHex(),
                 QByteArray("050601010005") +
                     ModbusFrame::buildRequest(5, 6, 0x101, 5).right(2).toHex());
    }

    void addressWriteChecksTheField_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "The address is empty!";
        QTest::newRow("248") << "248"
                             << "The address is between 1 and 247!";
        QTest::newRow("0") << "0"
                           << "The address is between 1 and 247!";
        QTest::newRow("text") << "abc"
                              << "The address is between 1 and 247!";
    }

    void addressWriteChecksTheField()
    {
        QFETCH(QString, address);
        QFETCH(QString, message);
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        const int linesBefore = view(bench.window)->lineCount();
        bench.edit("lineEditAddress")->setText(address);
        BoxCloser boxes;
        click(bench.window, "pushButtonAddress");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes.seen[0].text, message);
        QCOMPARE(view(bench.window)->lineCount(), linesBefore); // nothing sent
    }

    void addressWriteThenReadBack()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditAddress")->setText(QStringLiteral("42"));
        bench.requestFrom("pushButtonAddress");
        QTRY_COMPARE(received(bench.window).size(), 2);
        QCOMPARE(bench.transmitter.model().settings().address, quint8(42));
        QCOMPARE(CommState.deviceAddress, quint16(42));
        bench.edit("lineEditAddress")->clear();
        bench.requestFrom("pushButtonAddressRead");
        QTRY_COMPARE(bench.edit("lineEditAddress")->text(), QStringLiteral("42"));
    }

    void readStopWithTheShortestPeriod()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditPeriod")->setText(QStringLiteral("50"));
        auto *read = child<QPushButton>(&bench.window, "pushButtonRead");
        bench.transmitter.clearHistory();
        click(bench.window, "pushButtonRead");
        QCOMPARE(bench.edit("lineEditPeriod")->text(), QStringLiteral("100"));
        QCOMPARE(read->text(), QStringLiteral("Stop"));
        QCOMPARE(bench.timer("timerRead")->interval(), 100);
        QTRY_VERIFY_WITH_TIMEOUT(bench.transmitter.requests().size() >= 5, 10000);
        click(bench.window, "pushButtonRead");
        QCOMPARE(read->text(), QStringLiteral("Read"));
        QVERIFY(!bench.timer("timerRead")->isActive());
        QCOMPARE(bench.transmitter.requests().first().toHex(), frameHex(1, 3, 4, 4).toLatin1());
    }

    void periodicReadWithEmptyAddressStops()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditAddress")->clear();
        bench.edit("lineEditPeriod")->setText(QStringLiteral("100"));
        BoxCloser boxes;
        const int linesBefore = view(bench.window)->lineCount();
        click(bench.window, "pushButtonRead");
        QTRY_COMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].text, QStringLiteral("The address is empty!"));
        QCOMPARE(child<QPushButton>(&bench.window, "pushButtonRead")->text(),
                 QStringLiteral("Read"));
        QVERIFY(!bench.timer("timerRead")->isActive());
        QCOMPARE(view(bench.window)->lineCount(), linesBefore);
    }

    // Every "Magnification:"/measurement combination, for a device of type 1 ("*10" first).
    void registerSelection_data()
    {
        QTest::addColumn<int>("magnification");
        QTest::addColumn<int>("measurement");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("count");
        const int firstRegister[] = {0, 0, 1, 2, 3};
        for (int item = 0; item < 5; ++item)
            for (int index = 0; index < 2; ++index)
                QTest::addRow("index %d item %d", index, item)
                    << index << item << (index == 0 ? 4 : 0) + firstRegister[item]
                    << (item == 0 ? 4 : 1);
    }

    void registerSelection()
    {
        QFETCH(int, magnification);
        QFETCH(int, measurement);
        QFETCH(int, reg);
        QFETCH(int, count);
        DeviceSettings settings;
        settings.deviceType = 1;
        Bench bench(settings);
        QVERIFY(bench.linkAtDeviceRate());
        bench.combo("comboBoxRegister")->setCurrentIndex(magnification);
        bench.combo("comboBoxNum")->setCurrentIndex(measurement);
        bench.edit("lineEditPeriod")->setText(QStringLiteral("100"));
        const QByteArray frame = bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead");
        QCOMPARE(frame.toHex(), frameHex(1, 3, quint16(reg), quint16(count)).toLatin1());
    }

    void labelsShowTheReadings_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<int>("magnification");
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<QString>("humidity");
        QTest::addColumn<QString>("dewPoint");
        const QString c = QString(QChar(0x2103)), f = QString(QChar(0x2109));
        auto reading = [](const QString &value, const QString &unit) {
            return QStringLiteral("<font color=red>") + value + unit + QStringLiteral("  </font>");
        };
        // -12.34 C, 45.67 %: dew point -21.69 C; in Fahrenheit 9.79 F and -7.04 F.
        QTest::newRow("type 0 hundredths")
            << 0 << 0 << reading("-12.34", c) << reading("45.67", "%") << reading("-21.69", c);
        QTest::newRow("type 0 tenths")
            << 0 << 1 << reading("-12.3", c) << reading("45.7", "%") << reading("-21.7", c);
        QTest::newRow("type 1 tenths")
            << 1 << 0 << reading("-12.3", c) << reading("45.7", "%") << reading("-21.7", c);
        QTest::newRow("type 2 hundredths")
            << 2 << 1 << reading("9.79", f) << reading("45.67", "%") << reading("-7.04", f);
    }

    void labelsShowTheReadings()
    {
        QFETCH(int, deviceType);
        QFETCH(int, magnification);
        QFETCH(QString, temperature);
        QFETCH(QString, humidity);
        QFETCH(QString, dewPoint);
        DeviceSettings settings;
        settings.deviceType = quint16(deviceType);
        settings.temperature = -12.34;
        settings.humidity = 45.67;
        Bench bench(settings);
        QVERIFY(bench.linkAtDeviceRate());
        bench.combo("comboBoxRegister")->setCurrentIndex(magnification);
        bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead");
        QTRY_COMPARE(bench.label("labelTemperature"), QStringLiteral("Temperature:") + temperature);
        QCOMPARE(bench.label("labelHumidity"), QStringLiteral("Humidity:") + humidity);
        QCOMPARE(bench.label("labelDewTemp"), QStringLiteral("DewTemp:") + dewPoint);
    }

    void singleReadingDashesTheOthers()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.combo("comboBoxNum")->setCurrentIndex(2); // Humidity
        bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(bench.label("labelHumidity")
                        .startsWith(QLatin1String("Humidity:<font color=red>45.00%")));
        QCOMPARE(bench.label("labelTemperature"), QStringLiteral("Temperature:---"));
        QCOMPARE(bench.label("labelDewTemp"), QStringLiteral("DewTemp:---"));
        bench.combo("comboBoxNum")->setCurrentIndex(4); // Status
        bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead");
        QTRY_COMPARE(bench.label("labelHumidity"), QStringLiteral("Humidity:---"));
    }

    void deviceInformationFillsTheDeviceGroup_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<QString>("registerItems");
        QTest::newRow("Tervin-O") << 0 << "*100,*10";
        QTest::newRow("Tervin-C") << 1 << "*10,*100";
        QTest::newRow("Tervin-F") << 2 << "*10,*100";
    }

    void deviceInformationFillsTheDeviceGroup()
    {
        QFETCH(int, deviceType);
        QFETCH(QString, registerItems);
        DeviceSettings settings;
        settings.address = 17;
        settings.baudCode = 5;
        settings.firmwareVersion = 204;
        settings.deviceType = quint16(deviceType);
        settings.sensorType = 1;
        Bench bench(settings);
        bench.combo("comboBoxRegister")->setCurrentIndex(1);
        QVERIFY(bench.linkAtDeviceRate());
        QCOMPARE(bench.edit("lineEditAddress")->text(), QStringLiteral("17"));
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), QStringLiteral("19200"));
        QCOMPARE(bench.label("labelVersions"), QStringLiteral("Firmware version:V2.0.4"));
        QCOMPARE(bench.combo("comboBoxDeviceType")->currentIndex(), deviceType);
        QCOMPARE(bench.combo("comboBoxSensorType")->currentText(), QStringLiteral("SHT3X/4X"));
        auto *magnification = bench.combo("comboBoxRegister");
        QCOMPARE(magnification->itemText(0) + QLatin1Char(',') + magnification->itemText(1),
                 registerItems);
        QCOMPARE(magnification->currentIndex(), 0);
        QCOMPARE(sent(bench.window), QStringList({frameHex(0, 3, 0x100, 8)}));
    }

    void typeAndSensorReadsUpdateTheirBoxes()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.transmitter.model().settings().deviceType = 2;
        bench.transmitter.model().settings().sensorType = 1;
        bench.requestFrom("pushButtonTypeRead");
        QTRY_COMPARE(bench.combo("comboBoxDeviceType")->currentText(), QStringLiteral("Tervin-F"));
        bench.requestFrom("pushButtonSensorTypeRead");
        QTRY_COMPARE(bench.combo("comboBoxSensorType")->currentIndex(), 1);
    }

    // The log never claims traffic that did not reach the wire.
    void requestOnAClosedPortIsMarkedNotSent()
    {
        Bench bench;
        bench.edit("lineEditAddress")->setText(QStringLiteral("1"));
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        click(bench.window, "pushButtonTypeRead");
        MessageView *log = view(bench.window);
        QCOMPARE(log->lineCount(), 1);
        QCOMPARE(log->lineKind(0), MessageView::Kind::NotSent);
        QVERIFY2(log->lineText(0).endsWith(frameHex(1, 3, 0x103, 1) +
                                           QStringLiteral("  (not sent: port closed)")),
                 qPrintable(log->lineText(0)));
        QVERIFY(MessageView::colorOf(MessageView::Kind::NotSent) !=
                MessageView::colorOf(MessageView::Kind::Sent));
        QVERIFY(QDir(QStringLiteral("Data")).entryList(QDir::Files).isEmpty()); // not captured
        QCOMPARE(CommState.responseReceived, quint8(0));
        QCOMPARE(bench.timer("timerRead")->interval(), 1000); // bookkeeping as usual
    }

    void exceptionReplyIsShownNotDecoded()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        Faults faults;
        faults.exceptionCode = 2;
        bench.transmitter.setFaults(faults);
        bench.combo("comboBoxNum")->setCurrentIndex(2);
        bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead");
        QTRY_COMPARE(received(bench.window).size(), 2);
        MessageView *log = view(bench.window);
        const QString line = log->lineText(log->lineCount() - 1);
        QVERIFY2(
            line.endsWith(QLatin1String("->RX  018302c0f1  exception 0x02 (illegal data address)")),
            qPrintable(line));
        QCOMPARE(bench.label("labelHumidity"), QStringLiteral("Humidity:"));
        QCOMPARE(CommState.responseReceived, quint8(1));
        const QStringList files = QDir(QStringLiteral("Data")).entryList(QDir::Files);
        QFile file(QStringLiteral("Data/") + files.value(0));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().endsWith("->RX  018302c0f1\n"));
    }
};

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
