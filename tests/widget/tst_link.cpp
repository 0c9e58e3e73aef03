// Link end to end: the settings dialog, port opening, the automatic baud search, open
// failures, an unplugged adapter, and a technician's whole session.
#include "forms/serialportsettingdialog.h"
#include "link/portfailure.h"
#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "windowsteps.h"

#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QtTest>

#include <ctime>

using namespace TestSupport;

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    // At the last rate tried, and with replies in four pieces, each under 200 ms after the last
    // (at 9600 a reply then takes longer than a search step): the search finds the device and
    // its readings are read. (The search's order and passes are checked in virtual time in
    // tst_line; the window's table of rates in fixedRateThenCancel; 4800 in the technician's
    // session.)
    void autoFindsTheDeviceAtEachRate_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("gap"); // between the pieces of each reply (0: in one piece)
        QTest::newRow("1200") << 1 << 0;
        QTest::newRow("9600, pieces 185 ms apart") << 4 << 185;
        QTest::newRow("115200, pieces 120 ms apart") << 6 << 120;
    }

    void autoFindsTheDeviceAtEachRate()
    {
        QFETCH(int, code);
        QFETCH(int, gap);
        Bench bench(with(&DeviceSettings::baudCode, quint16(code)));
        Faults split = with(&Faults::splitPieces, gap > 0 ? 4 : 1);
        split.splitGapMs = gap;
        bench.transmitter.setFaults(split);
        const int attempts = code == 6 ? 1 : 7 - code; // 115200 first, 1200 last
        const QString rate = QString::number(Modbus::baudRateOfCode(code));
        QElapsedTimer clock;
        clock.start();
        link(bench.window, bench.path, "AUTO");
        QTRY_VERIFY_WITH_TIMEOUT(!bench.timer("timerAuto")->isActive(), 10000);
        // The step after the answering candidate's 500 ms finds the reply (timers may fire early).
        QVERIFY(clock.elapsed() >= attempts * 450);
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), rate);
        QCOMPARE(frames(bench.window, "TX"),
                 QVector<QString>(attempts, "0003010000084421").toList());
        QCOMPARE(frames(bench.window, "RX").size(), 1);
        QCOMPARE(QString::number(bench.transmitter.lineBaudRate()), rate);
        QVERIFY(bench.port()->isOpen());
        bench.pollOnce(0);
        QTRY_VERIFY(bench.label("labelTemperature").contains("23.50"));
    }

    // No valid answer at any rate, the search started while polling: polling stops, nothing of
    // the unit before stays on screen, and the link state names what came back where something
    // did.
    void noAnswerAtAnyRate_data()
    {
        QTest::addColumn<bool>("garbled");
        QTest::addColumn<QString>("state"); // after the port's name
        QTest::newRow("silent") << false << ": no answer at any rate";
        QTest::newRow("bad CRC")
            << true << ": no valid answer at any rate; at 9600: a garbled reply (bad CRC)";
    }

    void noAnswerAtAnyRate()
    {
        QFETCH(bool, garbled);
        QFETCH(QString, state);
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(bench.label("labelTemperature").contains("23.5"));
        bench.edit("lineEditAddress")->clear(); // slave 0 alone: one pass over the rates
        bench.transmitter.setFaults(garbled ? with(&Faults::corruptCrc, true)
                                            : with(&Faults::noReply, true));
        link(bench.window, bench.path, "AUTO");
        QCOMPARE(nextBox(), "Error/Communication error!");
        QVERIFY(!bench.timer("timerAuto")->isActive() && bench.port()->isOpen());
        const QByteArray search = DeviceInfo::request(0); // once at the first link, then each rate
        QCOMPARE(frames(bench.window, "TX").count(QString(search.toHex())), 1 + 6);
        // A poll sent just before the search may reach the transmitter in one frame with the
        // search's first request (a terminal carries bytes at once): counted in the bytes heard.
        QCOMPARE(bench.transmitter.requests().join().count(search), 1 + 6);
        QCOMPARE(bench.transmitter.lineBaudRate(), 1200);
        QCOMPARE(bench.label("labelLinkState"), bench.path + state);
        QCOMPARE(child<QPushButton>(&bench.window, "pushButtonRead")->text(), "Read");
        for (const char *label : {"labelTemperature", "labelHumidity", "labelDewTemp"})
            QVERIFY2(!bench.label(label).contains("23.5"), qPrintable(bench.label(label)));
    }

    // "linked" only once the device has answered at that port and rate, on a port named with
    // Chinese characters and spaces. A port that cannot be opened, or none chosen, is reported
    // naming it exactly, sends nothing, and leaves the tool not linked while the box is up.
    void linkedOnlyOnceTheDeviceAnswers()
    {
        Bench bench;
        const QString named = bench.workDir.filePath("串口 1");
        QVERIFY(bench.transmitter.makeLink(named));
        bench.transmitter.setMuted(true);
        link(bench.window, named, "9600");
        QTRY_VERIFY(notes(bench.window).contains("no reply within 181 ms"));
        QCOMPARE(bench.label("labelLinkState"), named + " at 9600, no answer");
        bench.transmitter.setMuted(false);
        bench.edit("lineEditAddress")->setText("1");
        click(bench.window, "pushButtonTypeRead");
        QTRY_COMPARE(bench.label("labelLinkState"), named + " at 9600, linked");
        QTRY_VERIFY(!session(bench.window)->isBusy());
        bench.timer("timerRead")->stop(); // the one-off's; a failed open must start none
        QString stateWhileBoxOpen;
        whenBoxOpens = [&] { stateWhileBoxOpen = bench.label("labelLinkState"); };
        const int lines = view(bench.window)->lineCount();
        const QString missing = bench.workDir.filePath("串口 2");
        const QString failures[][3] = {
            {missing, "9600", "Cannot open the serial port " + missing + ": no such port"},
            {"", "AUTO", "No serial port was chosen."}};
        for (const auto &[port, baud, box] : failures) {
            stateWhileBoxOpen.clear();
            link(bench.window, port, baud);
            QCOMPARE(nextBox(), "Error/" + box);
            QCOMPARE(stateWhileBoxOpen, "not linked");
            QCOMPARE(view(bench.window)->lineCount(), lines);
            QVERIFY(!bench.timer("timerAuto")->isActive() && !bench.timer("timerRead")->isActive());
        }
        whenBoxOpens = nullptr;
    }

    // The readings on screen stop being current when polling stops, when the port is lost, and
    // when a Link starts (a failed search: noAnswerAtAnyRate).
    void readingsTurnGrey_data()
    {
        QTest::addColumn<QString>("event");
        for (const char *event : {"Stop", "loss", "Link"})
            QTest::newRow(event) << event;
    }

    void readingsTurnGrey()
    {
        QFETCH(QString, event);
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>23.5"));
        if (event == "Stop") {
            click(bench.window, "pushButtonRead");
        } else if (event == "loss") {
            QCOMPARE(unplug(bench), AdapterLost);
        } else {
            link(bench.window, bench.path, "9600");
        }
        // A new Link shows nothing of the unit before; Stop and a loss leave its readings, grey.
        for (const char *label : {"labelTemperature", "labelHumidity", "labelDewTemp"})
            QVERIFY2(event == "Link" ? !bench.label(label).contains("23.5")
                                     : bench.label(label).contains("<font color=gray>"),
                     qPrintable(bench.label(label)));
    }

    // A fixed rate opens the port once, 8N1. Link again offers the last port and rate; Cancel
    // leaves the link as it was, polling on. Building the dialog reloads the search table.
    void fixedRateThenCancel()
    {
        Bench bench(with(&DeviceSettings::baudCode, 5));
        QCOMPARE(bench.label("labelLinkState"), "not linked");
        QVERIFY(bench.linkAtDeviceRate());
        QVERIFY(!bench.timer("timerAuto")->isActive());
        QCOMPARE(bench.transmitter.lineBaudRate(), 19200);
        QCOMPARE(CommState.dataBits * 100 + CommState.parity * 10 + CommState.stopBits, 801);
        QCOMPARE(bench.label("labelLinkState"), bench.path + " at 19200, linked");
        click(bench.window, "pushButtonRead");
        CommState.autoBaudIndex = 4;
        QCOMPARE(offeredByLink(bench.window), "Serial port 19200|" + bench.path);
        QVERIFY(repliesFollow(bench.window, 3)); // still polling
        QCOMPARE(CommState.portName + QString::number(CommState.baudRate), bench.path + "19200");
        QCOMPARE(CommState.autoBaudIndex * 10 + CommState.autoBaudCount, 6);
        QCOMPARE(QVector<qint32>(CommState.baudCandidates, CommState.baudCandidates + 6),
                 QVector<qint32>({115200, 19200, 9600, 4800, 2400, 1200}));
    }

    // The next unit on the bench, at address 3, while the field still holds the last one's 12:
    // no answer from slave 12 at any rate, so the search runs again at slave 0 and finds it.
    void autoFindsTheNextUnitAtSlave0()
    {
        Bench bench(with(&DeviceSettings::address, 3));
        bench.edit("lineEditAddress")->setText("12");
        link(bench.window, bench.path, "AUTO");
        QTRY_COMPARE(bench.label("labelLinkState"), "searching 19200…");
        QTRY_VERIFY_WITH_TIMEOUT(bench.label("labelLinkState").endsWith("at slave 0…"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!bench.timer("timerAuto")->isActive(), 10000);
        QCOMPARE(bench.label("labelLinkState"), bench.path + " at 9600, linked");
        QCOMPARE(bench.edit("lineEditAddress")->text(), "3");
        MessageView *log = view(bench.window);
        QStringList steps; // the slave of each frame, and the notes between them
        for (int i = 0; i < log->lineCount(); ++i) {
            const auto line = Capture::parseLine(log->lineText(i));
            steps << (!line ? log->lineText(i).section("  ", 1, -1).left(6)
                            : (line->received ? "RX " : "TX ") + line->frameText.left(2));
        }
        QCOMPARE(steps.join(',').remove(",no rep"), // each unanswered read times out
                 "TX 0c,TX 0c,TX 0c,TX 0c,TX 0c,TX 0c,no ans,TX 00,TX 00,TX 00,RX 03");
        QVERIFY(boxesSeen.isEmpty());
    }

    // A search ends when Link is pressed (Cancel then leaves the tool not linked, the port
    // closed, never at a rate where nothing answered) or when the adapter is unplugged (one box:
    // the loss, or the port that would not open for the next step). No step follows.
    void aSearchEnds_data()
    {
        QTest::addColumn<bool>("unplugged");
        QTest::newRow("Link, then Cancel") << false;
        QTest::newRow("unplugged") << true;
    }

    void aSearchEnds()
    {
        QFETCH(bool, unplugged);
        Bench bench(with(&DeviceSettings::baudCode, 1)); // found last
        link(bench.window, bench.path, "AUTO");
        QTRY_VERIFY(bench.transmitter.requests().size() >= 2);
        if (unplugged) {
            QVERIFY(unplug(bench).startsWith("Error/"));
            QVERIFY(!bench.timer("timerReconnect")->isActive());
        } else { // the last choice is offered: a search's candidate is no link
            QCOMPARE(offeredByLink(bench.window), "Serial port AUTO|" + bench.path);
            QVERIFY(!bench.port()->isOpen());
            QCOMPARE(bench.label("labelLinkState"), "not linked");
        }
        QVERIFY(!bench.timer("timerAuto")->isActive());
        QSignalSpy steps(bench.timer("timerAuto"), &QTimer::timeout);
        QVERIFY(!steps.wait(1000)); // no further step, and no "Communication error!"
        QVERIFY(boxesSeen.isEmpty());
    }

    // Only ports that open now are listed, in the system's order; the others are named below
    // with the reason (held busy here where there is a port to hold). The box is wide enough for
    // a by-id path. Other tests' dialogs may hold a port for a moment: the lists are compared
    // until they agree.
    void dialogListsOnlyOpenablePorts()
    {
        auto openable = [] {
            QStringList ports;
            for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
                if (QSerialPort(info).open(QIODevice::ReadWrite))
                    ports << info.portName();
            return ports;
        };
        auto listed = [] {
            SerialportSettingDialog dialog;
            return itemsOf(child<QComboBox>(&dialog, "comboBoxName"));
        };
        QTRY_COMPARE(listed(), openable());
        SerialportSettingDialog dialog;
        dialog.show();
        auto *box = child<QComboBox>(&dialog, "comboBoxName");
        QVERIFY(box->width() >
                box->fontMetrics().horizontalAdvance(
                    "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
        auto reason = [](QSerialPort::SerialPortError error, bool exists, bool accessible) {
            return PortFailure{openFailureKind(error, exists, accessible), "File exists"}.text();
        };
        QCOMPARE(reason(QSerialPort::PermissionError, true, false),
                 "permission denied (add your account to the dialout group)");
        QCOMPARE(reason(QSerialPort::PermissionError, true, true), "in use by another program");
        QCOMPARE(reason(QSerialPort::DeviceNotFoundError, true, true), "no such port");
        QCOMPARE(reason(QSerialPort::UnknownError, false, true), "no such port");
        QCOMPARE(reason(QSerialPort::UnsupportedOperationError, true, true),
                 "the system reports: File exists");
        auto loss = [](QSerialPort::SerialPortError error, bool exists) {
            return PortFailure{lossKind(error, exists), QString()}.text();
        };
        QCOMPARE(loss(QSerialPort::ResourceError, false), "the adapter was unplugged");
        QCOMPARE(loss(QSerialPort::ReadError, true), "input/output error");
        const QStringList ports = openable();
        if (ports.isEmpty())
            QSKIP("no serial port here to hold busy");
        QSerialPort holder(ports[0]);
        QVERIFY(QTest::qWaitFor([&] { return holder.open(QIODevice::ReadWrite); }));
        SerialportSettingDialog whileBusy;
        QVERIFY(!itemsOf(child<QComboBox>(&whileBusy, "comboBoxName")).contains(ports[0]));
        QVERIFY(child<QLabel>(&whileBusy, "labelPortHint")->text().contains(ports[0] + ": in use"));
    }

    // A technician's session: find the device; change its rate while polling, then its address,
    // each change verified where the device now listens, the address asked about once when the
    // technician ticks "Don't ask again this session"; Link again offers where the unit is now.
    // Then the adapter is unplugged: one box, the loss logged, polling paused.
    void technicianSession()
    {
        Bench bench(with(&DeviceSettings::baudCode, 3)); // 4800
        link(bench.window, bench.path, "AUTO");
        QTRY_VERIFY_WITH_TIMEOUT(!bench.timer("timerAuto")->isActive(), 10000);
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), "4800");
        QCOMPARE(bench.label("labelLinkState"), bench.path + " at 4800, linked");
        bench.combo("comboBoxRegister")->setCurrentText("*10"); // the choice stays
        click(bench.window, "pushButtonRead");
        bench.combo("comboBoxBaudRate")->setCurrentText("19200");
        click(bench.window, "pushButtonBaudRate");
        QTRY_COMPARE(bench.label("labelLinkState"),
                     bench.path + " at 19200, linked; now at 19200, verified");
        QVERIFY(bench.transmitter.requests().contains(ModbusFrame::buildRequest(1, 6, 0x101, 5)));
        QCOMPARE(bench.transmitter.lineBaudRate(), 19200);
        QVERIFY(notes(bench.window).contains("now at 19200, verified"));
        QCOMPARE(bench.combo("comboBoxRegister")->currentText(), "*10");
        QVERIFY(repliesFollow(bench.window, 3)); // polling goes on
        QVERIFY(stopPolling(bench.window));
        bench.edit("lineEditAddress")->setText("23");
        tickNextCheckBox = true; // "Don't ask again this session"
        click(bench.window, "pushButtonAddress");
        QCOMPARE(nextBox(), AddressConfirmation);
        QTRY_VERIFY(bench.label("labelLinkState").endsWith("; address 23, verified"));
        bench.edit("lineEditAddress")->setText("24");
        click(bench.window, "pushButtonAddress"); // no question this time
        QTRY_VERIFY(bench.label("labelLinkState").endsWith("; address 24, verified"));
        QVERIFY(bench.transmitter.requests().contains(ModbusFrame::buildRequest(23, 3, 0x100, 8)));
        QCOMPARE(bench.transmitter.model().settings().address, quint8(24));
        QCOMPARE(bench.edit("lineEditAddress")->text(), "24");
        // Where the unit is now, not the AUTO chosen last.
        QCOMPARE(offeredByLink(bench.window), "Serial port 19200|" + bench.path);
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>23.5"));
        MessageView *log = view(bench.window);
        QCOMPARE(unplug(bench), AdapterLost);
        QVERIFY(!bench.port()->isOpen());
        QVERIFY(log->lineText(log->lineCount() - 1).contains(bench.path + " lost: "));
        QTRY_COMPARE(bench.label("labelLinkState"),
                     "port lost; waiting for the adapter to come back");
        // Polling waits for the adapter: no lines, no second box, no busy loop.
        const std::clock_t cpuBefore = std::clock();
        const int linesBefore = log->lineCount();
        QSignalSpy attempts(bench.timer("timerReconnect"), &QTimer::timeout);
        QVERIFY(attempts.wait(3000));
        QCOMPARE(log->lineCount(), linesBefore);
        QVERIFY(std::clock() - cpuBefore < CLOCKS_PER_SEC * 4 / 10);
    }
};

TERVIN_GUI_TEST_MAIN(TestLink)
#include "tst_link.moc"
