// Link end to end: the settings dialog, port opening, the automatic baud search, open
// failures and an unplugged adapter.
#include "forms/serialportsettingdialog.h"
#include "protocol/modbusframe.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QFile>
#include <QSerialPortInfo>
#include <QtTest>

#include <sys/resource.h>

using namespace TestSupport;

namespace {
// The first read goes to slave 0: the address field is still empty.
const QString DeviceInfoReadAtSlave0 = QStringLiteral("0003010000084421");

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QStringList portsListed(SerialportSettingDialog &dialog)
{
    QStringList names;
    auto *box = child<QComboBox>(&dialog, "comboBoxName");
    for (int i = 0; i < box->count(); ++i)
        names << box->itemText(i);
    return names;
}
} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void autoFindsTheDeviceAtEachRate_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("attempts");
        const int attempts[] = {0, 6, 5, 4, 3, 2, 1}; // by code: 1200 is tried last
        for (int code = 1; code <= 6; ++code)
            QTest::newRow(qPrintable(QString::number(TransmitterModel::baudRateOfCode(code))))
                << code << attempts[code];
    }

    void autoFindsTheDeviceAtEachRate()
    {
        QFETCH(int, code);
        QFETCH(int, attempts);
        DeviceSettings settings;
        settings.baudCode = quint16(code);
        Bench bench(settings);
        const int rate = TransmitterModel::baudRateOfCode(code);
        QElapsedTimer clock;
        onNextDialog([&](QDialog *dialog) {
            child<QComboBox>(dialog, "comboBoxName")->setCurrentText(bench.transmitter.portPath());
            QCOMPARE(child<QComboBox>(dialog, "comboBoxBaud")->currentText(),
                     QStringLiteral("AUTO"));
            clock.start();
            QTest::mouseClick(child<QPushButton>(dialog, "pushButtonOK"), Qt::LeftButton);
        });
        click(bench.window, "pushButtonLink");
        QVERIFY(bench.timer("timerAuto")->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!bench.timer("timerAuto")->isActive(), 10000);
        const qint64 found = clock.elapsed();
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), QString::number(rate));
        QCOMPARE(sent(bench.window), QVector<QString>(attempts, DeviceInfoReadAtSlave0).toList());
        QCOMPARE(received(bench.window).size(), 1);
        QCOMPARE(bench.transmitter.lineBaudRate(), rate);
        QVERIFY(bench.port()->isOpen());
        // The search step after the answering candidate's 500 ms finds the reply.
        QVERIFY2(found >= attempts * 450,
                 qPrintable(QString::number(found))); // Qt timers may fire 5 % early
    }

    void noAnswerAtAnyRate()
    {
        Bench bench;
        Faults silent;
        silent.noReply = true;
        bench.transmitter.setFaults(silent);
        BoxCloser boxes;
        link(bench.window, bench.transmitter.portPath(), QStringLiteral("AUTO"));
        QTRY_COMPARE_WITH_TIMEOUT(boxes.seen.size(), 1, 10000);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes.seen[0].text, QStringLiteral("Communication error!"));
        QCOMPARE(sent(bench.window).size(), 6);
        QCOMPARE(bench.transmitter.requests().size(), 6);
        QVERIFY(!bench.timer("timerAuto")->isActive());
        QVERIFY(bench.port()->isOpen());
        QCOMPARE(bench.transmitter.lineBaudRate(), 1200);
    }

    void fixedRateOpensOnceAndReadsTheDevice()
    {
        DeviceSettings settings;
        settings.baudCode = 5;
        settings.address = 3;
        settings.firmwareVersion = 105;
        settings.deviceType = 1;
        settings.sensorType = 1;
        Bench bench(settings);
        QVERIFY(bench.linkAtDeviceRate());
        QVERIFY(!bench.timer("timerAuto")->isActive());
        QCOMPARE(sent(bench.window), QStringList{DeviceInfoReadAtSlave0});
        QCOMPARE(bench.edit("lineEditAddress")->text(), QStringLiteral("3"));
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), QStringLiteral("19200"));
        QCOMPARE(bench.label("labelVersions"), QStringLiteral("Firmware version:V1.0.5"));
        QCOMPARE(bench.combo("comboBoxDeviceType")->currentText(), QStringLiteral("Tervin-C"));
        QCOMPARE(bench.combo("comboBoxSensorType")->currentText(), QStringLiteral("SHT3X/4X"));
        QCOMPARE(CommState.baudRate, 19200);
        QCOMPARE(CommState.dataBits, 8);
        QCOMPARE(CommState.parity, 0);
        QCOMPARE(CommState.stopBits, 1);
    }

    void cancelLeavesTheLinkClosed()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        CommState.autoBaudIndex = 4;
        onNextDialog([](QDialog *dialog) {
            QCOMPARE(child<QComboBox>(dialog, "comboBoxBaud")->currentIndex(), 0); // "AUTO" again
            QTest::mouseClick(child<QPushButton>(dialog, "pushButtonCancel"), Qt::LeftButton);
        });
        click(bench.window, "pushButtonLink");
        QVERIFY(!bench.port()->isOpen());
        QCOMPARE(CommState.portName, bench.transmitter.portPath());
        QCOMPARE(CommState.baudRate, 9600);
        // Building the dialog reloaded the search table, whatever the user then chose.
        QCOMPARE(CommState.autoBaudIndex, quint8(0));
        QCOMPARE(CommState.autoBaudCount, quint8(6));
        QCOMPARE(CommState.baudCandidates[0], 115200);
        QCOMPARE(CommState.baudCandidates[5], 1200);
        QCOMPARE(sent(bench.window).size(), 1);
    }

    void dialogOffersOnlyOpenablePorts()
    {
        SerialportSettingDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Serial port"));
        QCOMPARE(dialog.size(), QSize(400, 235));
        QVERIFY(child<QComboBox>(&dialog, "comboBoxName")->isEditable());
        const QStringList listed = portsListed(dialog);
        QStringList openable;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            if (listed.contains(info.portName()))
                openable << info.portName();
        QCOMPARE(listed, openable); // in the system's order
        if (listed.isEmpty())
            QSKIP("no openable serial port on this machine to hold busy");
        QCOMPARE(child<QComboBox>(&dialog, "comboBoxName")->currentText(), listed.first());
        QSerialPort holder;
        holder.setPortName(listed.first());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        SerialportSettingDialog whileBusy;
        QVERIFY(!portsListed(whileBusy).contains(listed.first()));
        holder.close();
        SerialportSettingDialog afterwards;
        QCOMPARE(portsListed(afterwards), listed);
    }

    void openFailureIsReportedAndSendsNothing_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing device") << "/dev/tervin-no-such-port"
                                        << "/dev/tervin-no-such-port";
        QTest::newRow("no port chosen") << ""
                                        << "No serial port was chosen.";
    }

    void openFailureIsReportedAndSendsNothing()
    {
        QFETCH(QString, port);
        QFETCH(QString, mentions);
        for (const QString &baud : {QStringLiteral("9600"), QStringLiteral("AUTO")}) {
            Bench bench;
            BoxCloser boxes;
            link(bench.window, port, baud);
            QCOMPARE(boxes.seen.size(), 1);
            QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
            QVERIFY2(boxes.seen[0].text.contains(mentions), qPrintable(boxes.seen[0].text));
            QCOMPARE(view(bench.window)->lineCount(), 0);
            QVERIFY(!bench.timer("timerAuto")->isActive());
            QVERIFY(!bench.timer("timerRead")->isActive());
        }
    }

    void unpluggedAdapterEndsTheLinkOnce()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditPeriod")->setText(QStringLiteral("100"));
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(received(bench.window).size() >= 3);
        BoxCloser boxes;
        bench.transmitter.unplug();
        QTRY_COMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].text,
                 QStringLiteral("USB device error, please reconnect USB device!"));
        QVERIFY(!bench.port()->isOpen());
        // Polling goes on, logged as not sent; no second box and no busy loop.
        const double cpuBefore = cpuSeconds();
        const int linesBefore = view(bench.window)->lineCount();
        QTRY_VERIFY(view(bench.window)->lineCount() >= linesBefore + 5);
        const double cpuUsed = cpuSeconds() - cpuBefore;
        QCOMPARE(boxes.seen.size(), 1);
        MessageView *log = view(bench.window);
        QCOMPARE(log->lineKind(log->lineCount() - 1), MessageView::Kind::NotSent);
        QVERIFY2(cpuUsed < 0.4, qPrintable(QString::number(cpuUsed)));
        click(bench.window, "pushButtonRead");
    }

    // A technician's session: find the device, re-address it, change its rate, link again,
    // poll with capture on, and compare the capture file with the view.
    void technicianSession()
    {
        DeviceSettings settings;
        settings.baudCode = 3; // 4800
        Bench bench(settings);
        link(bench.window, bench.transmitter.portPath(), QStringLiteral("AUTO"));
        QTRY_VERIFY_WITH_TIMEOUT(!bench.timer("timerAuto")->isActive(), 10000);
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), QStringLiteral("4800"));

        bench.edit("lineEditAddress")->clear();
        bench.requestFrom("pushButtonAddressRead");
        QTRY_COMPARE(bench.edit("lineEditAddress")->text(), QStringLiteral("1"));
        bench.edit("lineEditAddress")->setText(QStringLiteral("23"));
        bench.requestFrom("pushButtonAddress");
        QTRY_COMPARE(bench.transmitter.model().settings().address, quint8(23));
        bench.edit("lineEditAddress")->clear();
        bench.requestFrom("pushButtonAddressRead");
        QTRY_COMPARE(bench.edit("lineEditAddress")->text(), QStringLiteral("23"));

        bench.combo("comboBoxBaudRate")->setCurrentText(QStringLiteral("19200"));
        const QByteArray baudWrite = bench.requestFrom("pushButtonBaudRate");
        QCOMPARE(baudWrite.toHex(), ModbusFrame::buildRequest(23, 6, 0x101, 5).toHex());
        QTRY_COMPARE(bench.transmitter.model().settings().baudCode, quint16(5));
        const int repliesBefore = received(bench.window).size();
        link(bench.window, bench.transmitter.portPath(), QStringLiteral("19200"));
        QTRY_COMPARE(received(bench.window).size(), repliesBefore + 1);
        QCOMPARE(bench.combo("comboBoxBaudRate")->currentText(), QStringLiteral("19200"));

        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        const int firstCaptured = view(bench.window)->lineCount();
        bench.edit("lineEditPeriod")->setText(QStringLiteral("100"));
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY_WITH_TIMEOUT(received(bench.window).size() >= repliesBefore + 20, 15000);
        click(bench.window, "pushButtonRead");
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(false);
        QVERIFY(bench.label("labelTemperature").contains(QLatin1String("23.50")));

        const QStringList files = QDir(QStringLiteral("Data")).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile file(QStringLiteral("Data/") + files.first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList capturedLines =
            QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        MessageView *log = view(bench.window);
        QStringList shown;
        for (int i = firstCaptured; i < log->lineCount(); ++i)
            shown << log->lineText(i);
        QCOMPARE(capturedLines, shown);
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
