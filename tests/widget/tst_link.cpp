// Link end to end: the settings dialog, port opening, the automatic baud search, open
// failures, an unplugged adapter, and a technician's whole session.
#include "forms/serialportsettingdialog.h"
#include "protocol/modbusframe.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QtTest>

#include <ctime>

using namespace TestSupport;

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void autoFindsTheDeviceAtEachRate_data()
    {
        QTest::addColumn<int>("code");
        for (int code = 1; code <= 6; ++code)
            QTest::newRow(qPrintable(QString::number(Modbus::baudRateOfCode(code)))) << code;
    }

    void autoFindsTheDeviceAtEachRate()
    {
        QFETCH(int, code);
        DeviceSettings settings;
        settings.baudCode = quint16(code);
        Bench bench(settings);
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
    }

    void noAnswerAtAnyRate()
    {
        Bench bench;
        Faults silent;
        silent.noReply = true;
        bench.transmitter.setFaults(silent);
        link(bench.window, bench.path, "AUTO");
        QCOMPARE(nextBox(), "Error/Communication error!");
        QVERIFY(!bench.timer("timerAuto")->isActive() && bench.port()->isOpen());
        QCOMPARE(frames(bench.window, "TX").size() + bench.transmitter.requests().size(), 12);
        QCOMPARE(bench.transmitter.lineBaudRate(), 1200);
    }

    // A fixed rate opens the port once, 8N1; Link again closes it, and Cancel leaves it closed.
    // Building the dialog reloads the search table, whatever the user then chooses.
    void fixedRateThenCancel()
    {
        DeviceSettings settings;
        settings.baudCode = 5;
        Bench bench(settings);
        QVERIFY(bench.linkAtDeviceRate());
        QVERIFY(!bench.timer("timerAuto")->isActive());
        QCOMPARE(bench.transmitter.lineBaudRate(), 19200);
        QCOMPARE(CommState.dataBits * 100 + CommState.parity * 10 + CommState.stopBits, 801);
        CommState.autoBaudIndex = 4;
        QString shown;
        onNextDialog([&shown](QDialog *dialog) {
            shown = dialog->windowTitle() + child<QComboBox>(dialog, "comboBoxBaud")->currentText();
            click(*dialog, "pushButtonCancel");
        });
        click(bench.window, "pushButtonLink");
        QVERIFY(!bench.port()->isOpen());
        QCOMPARE(shown, "Serial portAUTO");
        QCOMPARE(CommState.portName + QString::number(CommState.baudRate), bench.path + "19200");
        QCOMPARE(CommState.autoBaudIndex * 10 + CommState.autoBaudCount, 6);
        QCOMPARE(QVector<qint32>(CommState.baudCandidates, CommState.baudCandidates + 6),
                 QVector<qint32>({115200, 19200, 9600, 4800, 2400, 1200}));
    }

    // Only ports that open now are listed, in the system's order; the others are named below
    // with the reason (held busy here where there is a port to hold).
    void dialogListsOnlyOpenablePorts()
    {
        QStringList openable;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            if (QSerialPort(info).open(QIODevice::ReadWrite))
                openable << info.portName();
        SerialportSettingDialog dialog;
        QCOMPARE(dialog.size(), QSize(400, 235));
        QCOMPARE(itemsOf(child<QComboBox>(&dialog, "comboBoxName")), openable);
        QCOMPARE(portProblem(QSerialPort::PermissionError, false, "Permission denied"),
                 "permission denied (add your account to the dialout group)");
        QCOMPARE(portProblem(QSerialPort::DeviceNotFoundError, true, "No such file"),
                 "No such file");
        if (openable.isEmpty())
            QSKIP("no serial port here to hold busy");
        QSerialPort holder(openable[0]);
        QVERIFY(holder.open(QIODevice::ReadWrite));
        SerialportSettingDialog whileBusy;
        QCOMPARE(itemsOf(child<QComboBox>(&whileBusy, "comboBoxName")), openable.mid(1));
        QVERIFY(
            child<QLabel>(&whileBusy, "labelPortHint")->text().contains(openable[0] + ": in use"));
    }

    void openFailureIsReportedAndSendsNothing()
    {
        const char *failures[][3] = {
            {"/dev/tervin-none", "9600", "Error/Cannot open the serial port /dev/tervin-none"},
            {"", "AUTO", "Error/No serial port was chosen."}};
        for (const auto &failure : failures) {
            Bench bench;
            link(bench.window, failure[0], failure[1]);
            QVERIFY(nextBox().startsWith(failure[2]));
            QCOMPARE(view(bench.window)->lineCount(), 0);
            QVERIFY(!bench.timer("timerAuto")->isActive() && !bench.timer("timerRead")->isActive());
        }
    }

    // A technician's session: find the device, re-address it and change its rate (each change
    // verified where the device now listens), poll with capture on, and compare the capture file
    // with the view. Then the adapter is unplugged: one box, the loss logged, polling paused.
    void technicianSession()
    {
        DeviceSettings settings;
        settings.baudCode = 3; // 4800
        Bench bench(settings);
        link(bench.window, bench.path, "AUTO");
        QTRY_VERIFY_WITH_TIMEOUT(!bench.timer("timerAuto")->isActive(), 10000);
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), "4800");
        bench.edit("lineEditAddress")->setText("23");
        click(bench.window, "pushButtonAddress");
        QTRY_VERIFY(bench.label("labelStatistics").endsWith(" | address 23, verified"));
        QCOMPARE(bench.transmitter.model().settings().address, quint8(23));
        bench.combo("comboBoxBaudRate")->setCurrentText("19200");
        QCOMPARE(bench.requestFrom("pushButtonBaudRate"),
                 ModbusFrame::buildRequest(23, 6, 0x101, 5));
        QTRY_VERIFY(bench.label("labelStatistics").endsWith(" | now at 19200, verified"));
        QCOMPARE(bench.transmitter.lineBaudRate(), 19200);
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        MessageView *log = view(bench.window);
        const int firstCaptured = log->lineCount();
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY_WITH_TIMEOUT(log->lineCount() >= firstCaptured + 40, 15000);
        click(bench.window, "pushButtonRead");
        QTRY_COMPARE(log->lineKind(log->lineCount() - 1), MessageView::Kind::Received);
        QVERIFY(bench.label("labelTemperature").contains("23.50"));
        QStringList shown;
        for (int i = firstCaptured; i < log->lineCount(); ++i)
            shown << log->lineText(i);
        QCOMPARE(bench.captured(), shown);
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(frames(bench.window, "RX").size() >= 30);
        bench.transmitter.unplug();
        QCOMPARE(nextBox(), "Error/USB device error, please reconnect USB device!");
        QVERIFY(!bench.port()->isOpen());
        QVERIFY(log->lineText(log->lineCount() - 1).contains(bench.path + " lost: "));
        QVERIFY(bench.label("labelStatistics").endsWith(" | waiting for the adapter to come back"));
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
