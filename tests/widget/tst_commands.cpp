// The command set and reception through the real window against the virtual transmitter:
// frames byte for byte, the address checks, Read/Stop, register selection, what the window
// shows (the trend's unit and its break at a silence too), and every kind of bad reply.
#include "protocol/modbusframe.h"
#include "view/trendwindow.h"
#include "windowsteps.h"

#include <QSet>
#include <QSignalSpy>
#include <QtTest>
#include <qcustomplot.h>

using namespace TestSupport;

namespace {
// The frame a button sends for an address field, or the box it shows instead.
struct ButtonRow
{
    const char *button, *address, *expected;
} const buttonRows[] = {
    {"pushButtonAddressRead", "5", "0003010000018427"}, // always to slave 0
    // slave 0 asked who would take the address, then the write
    {"pushButtonAddress", "5", "0003010000084421 00060100000549e4"},
    {"pushButtonAddress", "", "The address is empty!"},
    {"pushButtonAddress", "248", "The address is between 1 and 247!"},
    {"pushButtonAddress", "0", "The address is between 1 and 247!"},
    {"pushButtonAddress", "x", "The address is between 1 and 247!"},
    {"pushButtonBaudRate", "5", "050601010004d9b1"},
    {"pushButtonTypeRead", "", "0003010300017427"},
    {"pushButtonSensorTypeRead", "247", "f7030107000120a1"},
    {"pushButtonSensorTypeRead", "248", "00030107000135e6"},
    {"pushButtonSensorTypeRead", "1", "0103010700013437"},
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    // A one-off request also moves the next periodic read one second away.
    void buttons()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        for (const ButtonRow &row : buttonRows) {
            const QString expected = row.expected, before = row.button + QString(" ") + row.address;
            QTRY_VERIFY(!session(bench.window)->isBusy());
            bench.edit("lineEditAddress")->setText(row.address);
            bench.timer("timerRead")->stop();
            const int lines = view(bench.window)->lineCount();
            const int requests = bench.transmitter.requests().size();
            const int sent = frames(bench.window, "TX").size();
            click(bench.window, row.button);
            if (expected.endsWith('!')) {
                QCOMPARE(before + " " + nextBox(), before + " Error/" + expected);
                QCOMPARE(view(bench.window)->lineCount(), lines); // nothing sent
                continue;
            }
            if (QString(row.button) == "pushButtonAddress")
                QCOMPARE(nextBox(), AddressConfirmation);
            const int count = int(expected.count(' ')) + 1;
            QTRY_VERIFY(bench.transmitter.requests().size() >= requests + count);
            QStringList heard;
            for (const QByteArray &request : bench.transmitter.requests().mid(requests, count))
                heard << request.toHex();
            QCOMPARE(before + " " + heard.join(' '), before + " " + expected);
            QCOMPARE(frames(bench.window, "TX").mid(sent, count).join(' '), expected);
            QCOMPARE(bench.timer("timerRead")->isActive() ? bench.timer("timerRead")->interval()
                                                          : 0,
                     1000);
        }
    }

    // Read polls at the period, 100 ms at the least, until Stop; a one-off request puts the next
    // poll a second away. Each scale and item polls its registers; an emptied address stops Read.
    void readStopWithTheShortestPeriod()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditPeriod")->setText("50");
        auto *read = child<QPushButton>(&bench.window, "pushButtonRead");
        click(bench.window, "pushButtonRead");
        QCOMPARE(bench.edit("lineEditPeriod")->text() + read->text(), "100Stop");
        QCOMPARE(bench.timer("timerRead")->interval(), 100);
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(bench.transmitter.requests().size() >= 6, 10000);
        QVERIFY(clock.elapsed() >= 450);
        QCOMPARE(bench.transmitter.requests().last().toHex(), "01030004000405c8");
        // A one-off request puts the next poll a second away; later ones follow the period.
        click(bench.window, "pushButtonTypeRead");
        QCOMPARE(bench.timer("timerRead")->interval(), 1000);
        QTRY_COMPARE_WITH_TIMEOUT(bench.timer("timerRead")->interval(), 100, 3000);
        click(bench.window, "pushButtonRead");
        QCOMPARE(read->text(), "Read");
        QVERIFY(!bench.timer("timerRead")->isActive());
        // Each scale and measurement item polls its registers (whatever the device type), as
        // Read's tooltip says; Status dashes all three readings.
        auto *scale = bench.combo("comboBoxRegister");
        for (int index : {0, 1}) {
            scale->setCurrentIndex(index);
            const int firstRegister[] = {0, 0, 1, 2, 3};
            for (int item = 0; item < 5; ++item) {
                const int first = (index ? 0 : 4) + firstRegister[item];
                QCOMPARE(bench.pollOnce(item),
                         ModbusFrame::buildRequest(1, 3, quint16(first), item ? 1 : 4));
                const QString asked =
                    item ? QString("register 0x000%1 (").arg(first)
                         : QString("registers 0x000%1 to 0x000%2 (").arg(first).arg(first + 3);
                QVERIFY(read->toolTip().startsWith("Reads " + asked));
            }
            QTRY_COMPARE(bench.label("labelTemperature") + bench.label("labelHumidity") +
                             bench.label("labelDewTemp"),
                         "Temperature:---Humidity:---DewTemp:---");
        }
        // With the address field emptied (and Return pressed), the next poll stops reading.
        QTRY_COMPARE(frames(bench.window, "TX").size(), frames(bench.window, "RX").size());
        bench.edit("lineEditAddress")->clear();
        QTest::keyClick(bench.edit("lineEditAddress"), Qt::Key_Return);
        const int linesBefore = view(bench.window)->lineCount();
        click(bench.window, "pushButtonRead");
        QCOMPARE(nextBox(), "Error/The address is empty!");
        QCOMPARE(read->text(), "Read");
        QVERIFY(!bench.timer("timerRead")->isActive());
        QCOMPARE(view(bench.window)->lineCount(), linesBefore);
    }

    // At each device type: the device information, the "Magnification:" items, and the labels
    // of both blocks at -12.34 C and 45.67 %RH (a single reading dashes the other two), the trend
    // in the device's unit; then the reads that update the Device group.
    void eachDeviceType_data()
    {
        QTest::addColumn<int>("type");
        for (int type : {0, 1, 2})
            QTest::addRow("type %d", type) << type;
    }

    void eachDeviceType()
    {
        QFETCH(int, type);
        DeviceSettings settings = with(&DeviceSettings::deviceType, type);
        settings.address = 17;
        settings.baudCode = 5;
        settings.firmwareVersion = 204;
        settings.sensorType = type == 0 ? 1 : 0; // and the other one, read later
        settings.temperature = -12.34;
        settings.humidity = 45.67;
        Bench bench(settings);
        auto *scale = bench.combo("comboBoxRegister");
        scale->setCurrentIndex(1);
        QVERIFY(bench.linkAtDeviceRate());
        QCOMPARE(frames(bench.window, "TX"), QStringList{"0003010000084421"});
        QCOMPARE(bench.edit("lineEditAddress")->text() +
                     bench.combo("comboBoxBaudRate")->currentText() + bench.label("labelVersions") +
                     bench.label("labelSerialNumber") +
                     bench.combo("comboBoxSensorType")->currentText(),
                 QString("1719200Firmware version:V2.0.4Serial number:123456789abc") +
                     (type == 0 ? "SHT3X/4X" : "SHT2X/3X"));
        QCOMPARE(bench.combo("comboBoxDeviceType")->currentIndex(), type);
        QCOMPARE(scale->currentIndex(), 0);
        QCOMPARE(itemsOf(scale).join(','), type == 0 ? "*100,*10" : "*10,*100");
        const char *values[2][2][3] = {{{"-12.3", "45.7", "-21.7"}, {"-12.34", "45.67", "-21.69"}},
                                       {{"9.8", "45.7", "-7.0"}, {"9.79", "45.67", "-7.04"}}};
        const QString unit = QString(QChar(type == 2 ? 0x2109 : 0x2103)) + "  </font>";
        for (int index : {0, 1}) {
            scale->setCurrentIndex(index);
            const char *const *shown = values[type == 2][scale->currentText() == "*100"];
            const QString humidity = QString("Humidity:<font color=red>") + shown[1] + "%  </font>";
            bench.pollOnce(2);
            QTRY_COMPARE(bench.label("labelHumidity") + bench.label("labelTemperature") +
                             bench.label("labelDewTemp"),
                         humidity + "Temperature:---DewTemp:---");
            bench.pollOnce(0);
            QTRY_COMPARE(bench.label("labelTemperature"),
                         QString("Temperature:<font color=red>") + shown[0] + unit);
            QCOMPARE(bench.label("labelHumidity") + bench.label("labelDewTemp"),
                     humidity + "DewTemp:<font color=red>" + shown[2] + unit);
        }
        click(bench.window, "pushButtonTrend"); // the trend in the device's unit too
        auto *trend = child<TrendWindow>(&bench.window, "trendWindow");
        QCOMPARE(trend->data().formatAt(0).unit(), type == 2 ? "°F" : "°C");
        QVERIFY(
            child<QCustomPlot>(trend, "trendPlot")->yAxis->label().endsWith(unit.left(1) + ')'));
        bench.transmitter.model().settings().deviceType = quint16((type + 1) % 3);
        bench.transmitter.model().settings().sensorType = type == 0 ? 0 : 1;
        bench.requestFrom("pushButtonTypeRead");
        QTRY_COMPARE(bench.combo("comboBoxDeviceType")->currentIndex(), (type + 1) % 3);
        bench.requestFrom("pushButtonSensorTypeRead");
        QTRY_COMPARE(bench.combo("comboBoxSensorType")->currentIndex(), type == 0 ? 0 : 1);
        bench.edit("lineEditAddress")->clear();
        bench.requestFrom("pushButtonAddressRead");
        QTRY_COMPARE(bench.edit("lineEditAddress")->text(), "17");
    }

    // The log never claims traffic that did not reach the wire, and the capture holds only what
    // did. An exception is shown with its meaning and decoded as nothing. A 0x00 storm past the
    // receive cap is dropped; one that fills it is a failing adapter.
    void replyHandling()
    {
        Bench bench;
        bench.edit("lineEditAddress")->setText("1");
        tick(bench.window, "checkBoxSaveToFile");
        click(bench.window, "pushButtonTypeRead");
        MessageView *log = view(bench.window);
        QCOMPARE(log->lineKind(1), MessageView::Kind::NotSent); // after the capture's note
        QVERIFY(log->lineText(1).endsWith("->TX  01030103000175f6  (not sent: port closed)"));
        QCOMPARE(bench.timer("timerRead")->interval(), 1000); // bookkeeping as usual
        QVERIFY(bench.linkAtDeviceRate());
        bench.pollOnce(2);
        QTRY_VERIFY(bench.label("labelHumidity").contains("45.00%"));
        // Bytes from another slave, or with a bad CRC: shown grey with the reason; an exception
        // with its meaning. None is decoded.
        bench.transmitter.model().settings().humidity = 50;
        const std::pair<Faults, QString> bad[] = {
            {with(&Faults::foreignAddress, 9), "->RX  090302138854d3  (from slave 9)"},
            {with(&Faults::corruptCrc, true), "->RX  0103021388b5ed  (bad CRC)"},
            {with(&Faults::exceptionCode, 2),
             "->RX  018302c0f1  exception 0x02 (illegal data address)"}};
        for (const auto &[faults, line] : bad) {
            bench.transmitter.setFaults(faults);
            bench.pollOnce(2);
            QTRY_VERIFY2(log->lineText(log->lineCount() - 1).endsWith(line), qPrintable(line));
            QCOMPARE(log->lineKind(log->lineCount() - 1), faults.exceptionCode
                                                              ? MessageView::Kind::Received
                                                              : MessageView::Kind::Dropped);
            QVERIFY(bench.label("labelHumidity").contains("45.00%"));
        }
        QCOMPARE(frames(bench.window, "RX").size(), 3);
        QCOMPARE(CommState.responseReceived, quint8(1));
        const QStringList captured = bench.captured(); // frames that crossed the wire, no others
        QCOMPARE(captured.size(), 8);
        QCOMPARE(captured.filter("->RX").size(), 3);
        QVERIFY(captured.last().endsWith("->RX  018302c0f1"));
        QTRY_VERIFY(!bench.timer("timerClear")->isActive());
        QSignalSpy dropped(bench.timer("timerClear"), &QTimer::timeout);
        bench.transmitter.sendRaw(QByteArray(1100, '\0'));
        QVERIFY(dropped.wait(2000));
        QVERIFY(bench.port()->isOpen());
        Faults storm = with(&Faults::zeroBurst, 1024);
        storm.splitPieces = 8;
        bench.transmitter.setFaults(storm);
        bench.pollOnce(2);
        QCOMPARE(nextBox(), AdapterLost);
        QVERIFY(!bench.port()->isOpen() && CommState.rxBuffer.isEmpty());
        QCOMPARE(frames(bench.window, "RX").size(), 3);
    }

    // Typing in the address field redirects no poll: the polls take the address once it is
    // entered (Return, or the focus leaves the field), and an address that is not one changes
    // nothing. An empty one stops polling with one box, whatever else meets it meanwhile.
    void addressTakesEffectWhenEntered()
    {
        Bench bench(with(&DeviceSettings::address, 42));
        QLineEdit *field = bench.edit("lineEditAddress");
        field->setText("42");
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        auto slaves = [&] {
            QSet<int> seen;
            for (const QByteArray &request : bench.transmitter.requests())
                seen << quint8(request.at(0));
            return seen;
        };
        field->selectAll();
        QTest::keyClicks(field, "4"); // on the way to 43
        QVERIFY(repliesFollow(bench.window, 3));
        QTest::keyClicks(field, "3");
        QVERIFY(repliesFollow(bench.window, 3));
        for (const char *notAnAddress : {"300", "abc"}) {
            field->setText(notAnAddress);
            QTest::keyClick(field, Qt::Key_Return);
            QVERIFY(repliesFollow(bench.window, 3));
        }
        QCOMPARE(slaves(), QSet<int>({42}));
        field->setText("7");
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_COMPARE(quint8(bench.transmitter.requests().last().at(0)), quint8(7));
        leaveBoxesOpen = true;
        whenBoxOpens = [&] { // Setting pressed while the poll's box is up
            QTimer::singleShot(0, [&] {
                leaveBoxesOpen = false;
                QMetaObject::invokeMethod(&bench.window, "PushButtonAddressSlot");
            });
        };
        field->clear();
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(nextBox(), "Error/The address is empty!");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        whenBoxOpens = nullptr;
        QVERIFY(boxesSeen.isEmpty());
        QCOMPARE(child<QPushButton>(&bench.window, "pushButtonRead")->text(), "Read");
    }

    // A device that falls silent: each poll times out, the readings turn grey and the link state
    // says since when; its next reading is fresh again. A reply that comes after its request timed
    // out is shown as late and never decoded, and the unit gets a longer wait from then on.
    void staleReadingsAndLateReplies()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>23.5"));
        bench.transmitter.setMuted(true);
        const QTime mutedAt = QTime::currentTime();
        QTRY_VERIFY(session(bench.window)->statistics().timeouts >= 3);
        QVERIFY(bench.label("labelTemperature").contains("<font color=gray>23.5"));
        QVERIFY(bench.label("labelDewTemp").contains("<font color=gray>"));
        QTRY_VERIFY(bench.label("labelLinkState").contains(", no answer since "));
        auto *trend = child<TrendWindow>(&bench.window, "trendWindow"); // its lines break there
        QVERIFY(TrendData::isBreak(trend->data().at(trend->data().size() - 1)));
        const QString since = bench.label("labelLinkState").section("no answer since ", 1);
        QVERIFY2(qAbs(QTime::fromString(since, "hh:mm:ss").secsTo(mutedAt)) <= 2,
                 qPrintable(since));
        QVERIFY(!bench.label("labelStatistics").contains("since")); // counters only
        bench.transmitter.setMuted(false);
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>23.5"));
        QTRY_VERIFY(bench.label("labelLinkState").endsWith(" at 9600, linked"));
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(!session(bench.window)->isBusy());
        // The humidity reply comes after the request timed out, while the type read is answered.
        bench.transmitter.model().settings().humidity = 50;
        bench.transmitter.setFaults(with(&Faults::delayMs, 400));
        bench.pollOnce(2);
        bench.transmitter.setFaults(Faults());
        click(bench.window, "pushButtonTypeRead");
        MessageView *log = view(bench.window);
        QTRY_VERIFY(log->plainText().contains("->RX  0103021388"));
        QVERIFY(log->plainText().contains(
            QRegularExpression("->RX  0103021388\\S*  \\(late, ignored\\)")));
        QVERIFY(!bench.label("labelHumidity").contains("50.0")); // never decoded
        const QStringList slow = notes(bench.window).filter("the unit answers after ");
        QCOMPARE(slow.size(), 1);
        QVERIFY2(slow[0].contains(QRegularExpression("after 4\\d\\d ms: waiting up to \\d+ ms$")),
                 qPrintable(slow[0]));
    }
};

TERVIN_GUI_TEST_MAIN(TestCommands)
#include "tst_commands.moc"
