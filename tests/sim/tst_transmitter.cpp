// The virtual transmitter: its register map and replies, RS-485 timing, several units on one
// line, and the tervin-sim program (its faults: tst_transmitterfaults). The window tests see its
// readings, its Magnus dew point and its baud-rate discipline.
#include "collision.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "simsupport.h"
#include "virtualtransmitter.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

using namespace SimSupport;

namespace {
// Unit `index` of a test line: its serial number names its address and index.
DeviceSettings unitAt(int address, int index)
{
    DeviceSettings settings;
    settings.address = quint8(address);
    settings.serialNumber[0] = 0x5e00;
    settings.serialNumber[1] = quint16(address);
    settings.serialNumber[2] = quint16(index);
    return settings;
}

QByteArray serialReply(int address, int index)
{
    QByteArray frame;
    for (int value : {address, 3, 6, 0x5e, 0, 0, address, 0, index})
        frame.append(char(value));
    return ModbusFrame::withCrc(frame);
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

    // Replies that go out together, each unit a little after the one before: a space beats a
    // mark, the receiver frames bytes on the start bits it finds, and no collision passes the CRC.
    void overlap_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QByteArray>("received");
        const QByteArray good = reply("0103020001");
        QTest::newRow("alone") << QList<QByteArray>{"\x0f"} << QByteArray("\x0f");
        QTest::newRow("a start bit in a byte")
            << QList<QByteArray>{"\xff\xff\xff", "\xff"} << QByteArray("\xff\xef\xff");
        QTest::newRow("framed on start bits")
            << QList<QByteArray>{QByteArray(1, 0), QByteArray(1, 0)} << QByteArray(2, 0);
        // 0xff's only space, its start bit, meets a space of the good reply's function code.
        QTest::newRow("whole by chance")
            << QList<QByteArray>{good, "\xff"} << good.left(6) + char(good[6] ^ 0xFF);
    }

    void overlap()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QByteArray, received);
        QCOMPARE(Collision::overlap(replies).toHex(), received.toHex());
    }

    // Units on one line: each answers its own slave with its own serial number; where several
    // answer one request (slave 0, a shared address) the replies collide, with or without wire
    // timing, into bytes whose CRC fails, one collision for each unit beyond the first.
    void multiDrop_data()
    {
        QTest::addColumn<QList<int>>("addresses");
        QTest::addColumn<bool>("wire");
        QTest::addColumn<int>("slave");
        QTest::addColumn<int>("answering"); // the unit whose reply arrives whole, -1 for none
        QTest::addColumn<int>("collisions");
        const QList<int> three = {3, 7, 12};
        QTest::newRow("slave 3 of three") << three << false << 3 << 0 << 0;
        QTest::newRow("slave 7 of three") << three << false << 7 << 1 << 0;
        QTest::newRow("slave 12 of three, wire") << three << true << 12 << 2 << 0;
        QTest::newRow("slave 0, three units") << three << false << 0 << -1 << 2;
        QTest::newRow("slave 0, three units, wire") << three << true << 0 << -1 << 2;
        QTest::newRow("two units at one address") << QList<int>{5, 9, 5} << false << 5 << -1 << 1;
        QTest::newRow("two at one address, wire") << QList<int>{5, 5} << true << 5 << -1 << 1;
        QTest::newRow("one unit, slave 0") << QList<int>{3} << false << 0 << 0 << 0;
        QTest::newRow("one unit, slave 0, wire") << QList<int>{3} << true << 0 << 0 << 0;
    }

    void multiDrop()
    {
        QFETCH(QList<int>, addresses);
        QFETCH(bool, wire);
        QFETCH(int, slave);
        QFETCH(int, answering);
        QFETCH(int, collisions);
        VirtualTransmitter transmitter(unitAt(addresses[0], 0));
        for (int i = 1; i < addresses.size(); ++i)
            QCOMPARE(transmitter.addUnit(unitAt(addresses[i], i)), i);
        QCOMPARE(transmitter.unitCount(), addresses.size());
        transmitter.setWire(wire);
        QVERIFY(transmitter.start());
        QSerialPort line(transmitter.portPath());
        QVERIFY(line.open(QIODevice::ReadWrite));
        line.write(request(3, quint8(slave), Reg::SerialNumber, Reg::SerialNumberCount));
        QTRY_COMPARE(transmitter.replies().size(), 1);
        const QByteArray answer = exchange(line, QByteArray(), transmitter.replies()[0].size());
        QCOMPARE(answer.toHex(), transmitter.replies()[0].toHex());
        if (answering >= 0)
            QCOMPARE(answer.toHex(), serialReply(addresses[answering], answering).toHex());
        else
            QVERIFY2(!crcFits(answer), answer.toHex().constData());
        QCOMPARE(transmitter.collisions(), collisions);
    }

    // A rate written to one unit moves that unit alone: it no longer hears the others' rate.
    void baudWriteMovesOneUnit()
    {
        VirtualTransmitter transmitter(unitAt(3, 0));
        transmitter.addUnit(unitAt(7, 1));
        QVERIFY(transmitter.start());
        QSerialPort line(transmitter.portPath());
        QVERIFY(line.open(QIODevice::ReadWrite) && line.setBaudRate(9600));
        QCOMPARE(exchange(line, request(6, 7, Reg::BaudCode, 5), 8), reply("070601010005"));
        QCOMPARE(exchange(line, request(3, 0, Reg::Address, 1), 7), reply("0303020003"));
        QVERIFY(line.setBaudRate(19200));
        QCOMPARE(exchange(line, request(3, 0, Reg::Address, 1), 7), reply("0703020007"));
        QCOMPARE(transmitter.collisions(), 0);
    }

    // --units: one unit per address, serial numbers counting up from --serial in the last word;
    // malformed lists, and --address with it, are usage errors.
    void unitsOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // empty when the simulator starts
        QTest::addColumn<int>("slave");
        QTest::addColumn<QByteArray>("answer"); // that slave's serial number, without the CRC
        QTest::newRow("three") << QStringList{"--units", "3,7,12"} << "" << 12
                               << QByteArray("0c0306123456789abe");
        QTest::newRow("repeated, own serial")
            << QStringList{"--units", "5,5,9", "--serial", "1:2:ffff"} << "" << 9
            << QByteArray("090306000100020001");
        QTest::newRow("one") << QStringList{"--units", "247"} << "" << 247
                             << QByteArray("f70306123456789abc");
        const QString list = "--units wants slave addresses from 1 to 247";
        for (const char *bad : {"", "3,,7", "3,", "0", "7,248", "x", "1-5"})
            QTest::addRow("\"%s\"", bad)
                << QStringList{"--units", bad} << list << 0 << QByteArray();
        QTest::newRow("with --address")
            << QStringList{"--units", "3,7", "--address", "3"}
            << "--address and --units do not go together" << 0 << QByteArray();
    }

    void unitsOption()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(int, slave);
        QFETCH(QByteArray, answer);
        if (!error.isEmpty()) {
            QVERIFY2(refuses(arguments, error), qPrintable(error));
            return;
        }
        SimProgram sim(arguments);
        QSerialPort line(sim.port);
        QVERIFY(line.open(QIODevice::ReadWrite) && line.setBaudRate(9600));
        QCOMPARE(exchange(line, request(3, quint8(slave), Reg::SerialNumber, 3), 11).toHex(),
                 reply(answer).toHex());
    }

    // Every option at once; a request in pieces is one frame; unplugged and plugged in again, the
    // link following; SIGTERM ends it cleanly and removes the link.
    void commandLineAndLink()
    {
        QVERIFY(refuses({"--baud", "9601"}, "--baud"));
        QTemporaryDir dir;
        const QString link = dir.filePath("port");
        SimProgram sim(QString("--baud 19200 --address 7 --wire --unplug-every 1500 --replug-after "
                               "100 --seed 3 --split-gap 5-9 --corrupt-rate 0.5 --mute-every 5000 "
                               "--mute-for 10")
                           .split(' ') +
                       QStringList{"--link", link, "--frame-log", dir.filePath("frames.log")});
        QCOMPARE(QFileInfo(link).symLinkTarget(), sim.port);
        QSerialPort line(link);
        QVERIFY(line.open(QIODevice::ReadWrite) && line.setBaudRate(19200));
        line.write(request(3, 0, 0x100, 1).left(3));
        line.flush();
        QCOMPARE(exchange(line, request(3, 0, 0x100, 1).mid(3), 7), reply("0703020007"));
        QVERIFY(sim.process.waitForReadyRead(5000));
        const QString replugged = sim.process.readLine().trimmed();
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo(link).symLinkTarget() == replugged; }));
        sim.process.terminate();
        QVERIFY(sim.process.waitForFinished(5000));
        QVERIFY(sim.process.exitStatus() == QProcess::NormalExit && sim.process.exitCode() == 0);
        QCOMPARE(sim.process.readAllStandardOutput(), "collisions: 0\n");
        QVERIFY(!QFileInfo(link).isSymLink());
        QCOMPARE(logged(dir.filePath("frames.log"), "SEED").value(0).value(2), "3");
        QCOMPARE(logged(dir.filePath("frames.log"), "RX").size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTransmitter)
#include "tst_transmitter.moc"
