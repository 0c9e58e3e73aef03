// The virtual transmitter: its register map and replies, every fault it can inject, and the
// tervin-sim program. The window tests see its readings, its Magnus dew point and its baud-rate
// discipline.
#include "protocol/modbusframe.h"
#include "virtualtransmitter.h"

#include <QSerialPort>
#include <QtTest>

namespace {
QByteArray request(quint8 function, quint8 slave, quint16 reg, quint16 countOrValue)
{
    return ModbusFrame::buildRequest(slave, function, reg, countOrValue);
}

QByteArray reply(const char *hexWithoutCrc)
{
    return ModbusFrame::withCrc(QByteArray::fromHex(hexWithoutCrc));
}

// Writes a request on the tool's end of the line and collects `expected` bytes of answer.
QByteArray exchange(QSerialPort &line, const QByteArray &request, int expected)
{
    line.write(request);
    QByteArray answer;
    (void)QTest::qWaitFor([&] { return (answer += line.readAll()).size() >= expected; }, 5000);
    return answer;
}
} // namespace

class TestTransmitter : public QObject
{
    Q_OBJECT

private slots:
    // The independent implementation's replies, byte for byte; writes checked and read back;
    // silence for frames that are not for this device.
    void modelReplies()
    {
        DeviceSettings settings;
        settings.sensorType = 1; // as in the reference frames
        TransmitterModel model(settings);
        const QPair<QByteArray, QByteArray> exchanges[] = {
            {request(3, 1, 0x100, 8), reply("01031000010004007b0000123456789abc0001")},
            {request(3, 0, 0x100, 1), reply("0103020001")},
            {request(3, 1, 0x107, 1), reply("0103020001")},
            {request(6, 1, 0x101, 5), reply("010601010005")},
            {request(3, 1, 0x200, 1), reply("018302")},
            {request(3, 1, 0x100, 126), reply("018303")},
            {request(3, 2, 0x100, 1), {}},
            {request(3, 1, 0x100, 1).left(7), {}},
            {request(3, 1, 0x100, 1).left(7) + '\0', {}},
            {request(6, 0, 0x100, 17),
             reply("010601000011")}, // the echo comes from the old address
            {request(3, 17, 0x100, 1), reply("1103020011")},
            {request(6, 17, 0x103, 2), reply("110601030002")},
            {request(3, 17, 0x103, 1), reply("1103020002")},
            {request(6, 17, 0x100, 248), reply("118603")},
            {request(6, 17, 0x100, 0), reply("118603")},
            {request(6, 17, 0x101, 7), reply("118603")},
            {request(6, 17, 0x107, 2), reply("118603")},
            {request(6, 17, 0x102, 1), reply("118602")}, // read-only
            {request(4, 17, 0, 1), reply("118401")},
        };
        for (const auto &exchange : exchanges)
            QCOMPARE(model.handle(exchange.first).toHex(), exchange.second.toHex());
    }

    // The faults the window tests do not use themselves (they would notice the others failing).
    void faultsProduceExactlyTheirBytes()
    {
        const QByteArray good = reply("0103020001");
        const QByteArray expected[] = {good.left(6) + char(good[6] ^ 0xFF), "\xa5\xa5" + good,
                                       good + good};
        for (int fault = 0; fault < 3; ++fault) {
            Faults faults; // corrupt CRC, garbage before the reply, the reply twice
            faults.corruptCrc = fault == 0;
            faults.garbageBefore = fault == 1 ? "\xa5\xa5" : "";
            faults.doubleReply = fault == 2;
            VirtualTransmitter transmitter;
            transmitter.setFaults(faults);
            QVERIFY(transmitter.start());
            QSerialPort line(transmitter.portPath());
            QVERIFY(line.open(QIODevice::ReadWrite));
            QCOMPARE(exchange(line, request(3, 1, 0x100, 1), expected[fault].size()),
                     expected[fault]);
            QCOMPARE(transmitter.replies().size(), 1);
        }
    }

    // RS-485 timing at 1200: the request takes its wire time to arrive, the reply comes after the
    // turnaround, paced; talking over the reply collides, and the rest of the reply is garbled.
    void wireTiming()
    {
        DeviceSettings settings;
        settings.baudCode = 1;
        VirtualTransmitter transmitter(settings);
        transmitter.setWire(true, 20);
        QVERIFY(transmitter.start());
        QSerialPort line(transmitter.portPath());
        QVERIFY(line.open(QIODevice::ReadWrite) && line.setBaudRate(1200));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exchange(line, request(3, 1, 0x100, 1), 7), reply("0103020001"));
        QVERIFY(clock.elapsed() >= 66 + 20 + 58); // 8 bytes in, the turnaround, 7 bytes out
        QCOMPARE(transmitter.collisions(), 0);
        line.write(request(3, 1, 0x100, 8)); // a reply of 21 bytes, 175 ms on the wire
        QVERIFY(QTest::qWaitFor([&] { return line.bytesAvailable() > 0; })); // the reply has begun
        line.write(request(3, 1, 0x100, 1));
        QVERIFY(exchange(line, QByteArray(), 21) !=
                reply("01031000010004007b0000123456789abc0000"));
        QCOMPARE(transmitter.collisions(), 1);
        QCOMPARE(transmitter.requests().size(), 2); // the device never heard the third
    }

    void commandLineAndLink()
    {
        const QString sim = TERVIN_BUILD_DIR "/sim/tervin-sim";
        QProcess bad;
        bad.start(sim, {"--baud", "9601"});
        QVERIFY(bad.waitForFinished(5000) && bad.exitCode() == 2);
        QVERIFY(bad.readAllStandardError().contains("--baud"));
        QTemporaryDir dir;
        const QString link = dir.filePath("port");
        QProcess good;
        good.start(sim, {"--baud", "19200", "--address", "7", "--link", link, "--wire",
                         "--unplug-after", "1500", "--replug-after", "100"});
        QVERIFY(good.waitForReadyRead(5000));
        QCOMPARE(QFileInfo(link).symLinkTarget(), QString(good.readLine().trimmed()));
        QSerialPort line(link);
        QVERIFY(line.open(QIODevice::ReadWrite) && line.setBaudRate(19200));
        line.write(request(3, 0, 0x100, 1).left(3)); // a request in pieces is still one frame
        line.flush();
        QCOMPARE(exchange(line, request(3, 0, 0x100, 1).mid(3), 7), reply("0703020007"));
        QVERIFY(good.waitForReadyRead(5000)); // unplugged and plugged in again, the link following
        const QString replugged = good.readLine().trimmed();
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(link).symLinkTarget() == replugged; }));
        good.terminate(); // SIGTERM: ends cleanly and removes the link
        QVERIFY(good.waitForFinished(5000));
        QVERIFY(good.exitStatus() == QProcess::NormalExit && good.exitCode() == 0);
        QCOMPARE(good.readAllStandardOutput(), "collisions: 0\n");
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestTransmitter)
#include "tst_transmitter.moc"
