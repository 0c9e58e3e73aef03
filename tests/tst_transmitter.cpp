// The virtual transmitter: its register map and replies, its baud-rate discipline on the
// pseudo-terminal, and every fault it can inject.
#include "protocol/modbusframe.h"
#include "vectors.h"
#include "virtualtransmitter.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

QByteArray readRequest(quint8 slave, quint16 reg, quint16 count)
{
    return ModbusFrame::buildRequest(slave, 0x03, reg, count);
}

QByteArray writeRequest(quint8 slave, quint16 reg, quint16 value)
{
    return ModbusFrame::buildRequest(slave, 0x06, reg, value);
}

// The tool's end of the line: the slave side of the pty at a given rate.
class Line
{
public:
    Line(const QString &path, int rate)
    {
        port.setPortName(path);
        if (!port.open(QIODevice::ReadWrite))
            qFatal("cannot open %s", qPrintable(path));
        port.setBaudRate(rate);
    }
    // Sends a request and collects what comes back until `expected` bytes have arrived.
    QByteArray exchange(const QByteArray &request, int expected)
    {
        port.write(request);
        QByteArray answer;
        // The transmitter runs on this thread's event loop: wait by spinning it.
        (void)QTest::qWaitFor(
            [&] {
                answer += port.readAll();
                return answer.size() >= expected;
            },
            5000);
        return answer;
    }
    QSerialPort port;
};
} // namespace

class TestTransmitter : public QObject
{
    Q_OBJECT

    DeviceSettings factory() const
    {
        DeviceSettings settings;
        settings.sensorType = 1; // as in the reference frames
        return settings;
    }

private slots:
    // The independent implementation's replies, reproduced by the model byte for byte.
    void modelMatchesTheReferenceReplies_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("device information")
            << readRequest(1, 0x100, 8) << hex("01031000010004007b0000123456789abc0001d3ee");
        QTest::newRow("address at slave 0") << readRequest(0, 0x100, 1) << hex("01030200017984");
        QTest::newRow("sensor type") << readRequest(1, 0x107, 1) << hex("01030200017984");
        QTest::newRow("baud code 5 echo") << writeRequest(1, 0x101, 5) << hex("01060101000519f5");
        QTest::newRow("illegal address") << readRequest(1, 0x200, 1) << hex("018302c0f1");
        QTest::newRow("too many registers") << readRequest(1, 0x100, 126) << hex("0183030131");
    }

    void modelMatchesTheReferenceReplies()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        TransmitterModel model(factory());
        QCOMPARE(model.handle(request).toHex(), reply.toHex());
    }

    void readingsFollowDeviceTypeAndScale()
    {
        DeviceSettings settings;
        settings.temperature = -20.0;
        settings.humidity = 45.67;
        TransmitterModel model(settings);
        // Type 0: tenths at 0x0000, hundredths at 0x0004; temperatures signed.
        QCOMPARE(model.handle(readRequest(1, 0, 2)).mid(3, 4).toHex(), QByteArray("ff3801c9"));
        QCOMPARE(model.handle(readRequest(1, 4, 2)).mid(3, 4).toHex(), QByteArray("f83011d7"));
        model.settings().deviceType = 1; // the reverse
        QCOMPARE(model.handle(readRequest(1, 0, 1)).mid(3, 2).toHex(), QByteArray("f830"));
        model.settings().deviceType = 2; // Fahrenheit: -20 C = -4 F
        QCOMPARE(model.handle(readRequest(1, 4, 1)).mid(3, 2).toHex(), QByteArray("ffd8"));
        QCOMPARE(model.handle(readRequest(1, 3, 1)).mid(3, 2).toHex(),
                 QByteArray("0000")); // status
    }

    void dewPointFollowsMagnus_data()
    {
        QTest::addColumn<double>("celsius");
        QTest::addColumn<double>("humidity");
        QTest::addColumn<double>("dewPoint");
        QTest::newRow("20 C 50 %") << 20.0 << 50.0 << 9.3;
        QTest::newRow("30 C 80 %") << 30.0 << 80.0 << 26.2;
        QTest::newRow("0 C 100 %") << 0.0 << 100.0 << 0.0;
        QTest::newRow("-10 C 80 %") << -10.0 << 80.0 << -12.8;
    }

    void dewPointFollowsMagnus()
    {
        QFETCH(double, celsius);
        QFETCH(double, humidity);
        QFETCH(double, dewPoint);
        QVERIFY(qAbs(TransmitterModel::dewPoint(celsius, humidity) - dewPoint) <= 0.1);
        DeviceSettings settings;
        settings.temperature = celsius;
        settings.humidity = humidity;
        TransmitterModel model(settings);
        const QByteArray reply = model.handle(readRequest(1, 6, 1)); // hundredths
        const double shown = qint16((quint8(reply[3]) << 8) | quint8(reply[4])) / 100.0;
        QVERIFY(qAbs(shown - dewPoint) <= 0.1);
    }

    void writesAreCheckedAndReadBack()
    {
        TransmitterModel model;
        QCOMPARE(model.handle(writeRequest(0, 0x100, 17)).toHex(),
                 writeRequest(1, 0x100, 17).toHex());
        QCOMPARE(model.handle(readRequest(17, 0x100, 1)).mid(3, 2).toHex(), QByteArray("0011"));
        QCOMPARE(model.handle(writeRequest(17, 0x103, 2)).size(), 8);
        QCOMPARE(model.settings().deviceType, quint16(2));
        QCOMPARE(quint8(model.handle(writeRequest(17, 0x100, 248)).at(2)), quint8(3));
        QCOMPARE(quint8(model.handle(writeRequest(17, 0x101, 7)).at(2)), quint8(3));
        QCOMPARE(quint8(model.handle(writeRequest(17, 0x107, 2)).at(2)), quint8(3));
        QCOMPARE(quint8(model.handle(writeRequest(17, 0x102, 1)).at(2)), quint8(2)); // read-only
        const QByteArray unknownFunction = ModbusFrame::buildRequest(17, 0x04, 0, 1);
        QCOMPARE(model.handle(unknownFunction).toHex(),
                 TransmitterModel::exceptionReply(17, 4, 1).toHex());
    }

    void silentForOtherSlavesAndBadFrames()
    {
        TransmitterModel model;
        QVERIFY(model.handle(readRequest(2, 0x100, 1)).isEmpty());
        QByteArray corrupt = readRequest(1, 0x100, 1);
        corrupt[7] = char(corrupt[7] ^ 1);
        QVERIFY(model.handle(corrupt).isEmpty());
        QVERIFY(model.handle(readRequest(1, 0x100, 1).left(7)).isEmpty());
    }

    // On the pty: answered at its own rate, silent at every other.
    void answersOnlyAtItsOwnRate_data()
    {
        QTest::addColumn<int>("code");
        for (int code = 1; code <= 6; ++code)
            QTest::newRow(qPrintable(QString::number(TransmitterModel::baudRateOfCode(code))))
                << code;
    }

    void answersOnlyAtItsOwnRate()
    {
        QFETCH(int, code);
        DeviceSettings settings = factory();
        settings.baudCode = quint16(code);
        VirtualTransmitter transmitter(settings);
        QVERIFY(transmitter.start());
        const int rate = TransmitterModel::baudRateOfCode(code);
        const int wrongRate = TransmitterModel::baudRateOfCode(code == 6 ? 1 : code + 1);
        Line line(transmitter.portPath(), wrongRate);
        line.port.write(readRequest(1, 0x100, 8));
        QTRY_COMPARE(transmitter.requests().size(), 1);
        QVERIFY(transmitter.replies().isEmpty());
        line.port.setBaudRate(rate);
        QCOMPARE(transmitter.lineBaudRate(), rate);
        const QByteArray expected = TransmitterModel(settings).handle(readRequest(1, 0x100, 8));
        QCOMPARE(line.exchange(readRequest(1, 0x100, 8), expected.size()).toHex(),
                 expected.toHex());
        QCOMPARE(line.exchange(readRequest(0, 0x100, 1), 7).toHex(), QByteArray("01030200017984"));
    }

    void ignoresOtherSlavesAndBadCrcOnTheLine()
    {
        VirtualTransmitter transmitter(factory());
        QVERIFY(transmitter.start());
        Line line(transmitter.portPath(), 9600);
        QByteArray corrupt = readRequest(1, 0x100, 1);
        corrupt[6] = char(corrupt[6] ^ 0x40);
        line.port.write(readRequest(9, 0x100, 1));
        QTRY_COMPARE(transmitter.requests().size(), 1);
        line.port.write(corrupt);
        QTRY_COMPARE(transmitter.requests().size(), 2);
        QVERIFY(transmitter.replies().isEmpty());
        QCOMPARE(line.exchange(readRequest(1, 0x107, 1), 7).toHex(), QByteArray("01030200017984"));
    }

    void requestInPiecesIsOneFrame()
    {
        VirtualTransmitter transmitter(factory());
        QVERIFY(transmitter.start());
        Line line(transmitter.portPath(), 9600);
        const QByteArray request = readRequest(1, 0x100, 1);
        line.port.write(request.left(3));
        line.port.flush();
        QCOMPARE(line.exchange(request.mid(3), 7).toHex(), QByteArray("01030200017984"));
        QCOMPARE(transmitter.requests().size(), 1);
    }

    void baudChangeTakesEffectAfterTheReply()
    {
        VirtualTransmitter transmitter(factory());
        QVERIFY(transmitter.start());
        Line line(transmitter.portPath(), 9600);
        QCOMPARE(line.exchange(writeRequest(1, 0x101, 5), 8).toHex(),
                 QByteArray("01060101000519f5"));
        line.port.write(readRequest(1, 0x101, 1));
        QTRY_COMPARE(transmitter.requests().size(), 2);
        QCOMPARE(transmitter.replies().size(), 1); // 9600 is no longer heard
        line.port.setBaudRate(19200);
        QCOMPARE(line.exchange(readRequest(1, 0x101, 1), 7).mid(3, 2).toHex(), QByteArray("0005"));
    }

    void faultsProduceExactlyTheirBytes_data()
    {
        const QByteArray reply = hex("01030200017984");
        QByteArray corrupt = reply;
        corrupt[6] = char(corrupt[6] ^ 0xFF);
        QTest::addColumn<int>("fault");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("writes");
        QTest::newRow("split in 3") << 0 << reply << 3;
        QTest::newRow("corrupt CRC") << 1 << corrupt << 1;
        QTest::newRow("delayed") << 2 << reply << 1;
        QTest::newRow("garbage before") << 3 << (hex("a5a5") + reply) << 1;
        QTest::newRow("foreign address") << 4 << ModbusFrame::withCrc(hex("0903020001")) << 1;
        QTest::newRow("exception") << 5 << TransmitterModel::exceptionReply(1, 3, 4) << 1;
        QTest::newRow("double reply") << 6 << (reply + reply) << 1;
        QTest::newRow("zero burst") << 7 << QByteArray(300, '\0') << 1;
    }

    void faultsProduceExactlyTheirBytes()
    {
        QFETCH(int, fault);
        QFETCH(QByteArray, expected);
        QFETCH(int, writes);
        Faults faults;
        switch (fault) {
        case 0:
            faults.splitPieces = 3;
            faults.splitGapMs = 30;
            break;
        case 1:
            faults.corruptCrc = true;
            break;
        case 2:
            faults.delayMs = 150;
            break;
        case 3:
            faults.garbageBefore = hex("a5a5");
            break;
        case 4:
            faults.foreignAddress = 9;
            break;
        case 5:
            faults.exceptionCode = 4;
            break;
        case 6:
            faults.doubleReply = true;
            break;
        case 7:
            faults.zeroBurst = 300;
            break;
        }
        VirtualTransmitter transmitter(factory());
        transmitter.setFaults(faults);
        QVERIFY(transmitter.start());
        Line line(transmitter.portPath(), 9600);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(line.exchange(readRequest(1, 0x107, 1), expected.size()).toHex(),
                 expected.toHex());
        QCOMPARE(transmitter.replies().size(), writes);
        if (fault == 2)
            QVERIFY(clock.elapsed() >= 150);
    }

    void noReplyFault()
    {
        VirtualTransmitter transmitter(factory());
        Faults faults;
        faults.noReply = true;
        transmitter.setFaults(faults);
        QVERIFY(transmitter.start());
        Line line(transmitter.portPath(), 9600);
        line.port.write(readRequest(1, 0x100, 1));
        QTRY_COMPARE(transmitter.requests().size(), 1);
        QVERIFY(transmitter.replies().isEmpty());
    }

    void linkAndCommandLine()
    {
        const QString sim = QStringLiteral(TERVIN_BUILD_DIR "/sim/tervin-sim");
        QProcess bad;
        bad.start(sim, {QStringLiteral("--baud"), QStringLiteral("9601")});
        QVERIFY(bad.waitForFinished(5000));
        QVERIFY(bad.exitCode() != 0);
        QVERIFY(bad.readAllStandardError().contains("--baud"));

        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("port"));
        QProcess good;
        good.start(sim,
                   {QStringLiteral("--baud"), QStringLiteral("19200"), QStringLiteral("--address"),
                    QStringLiteral("7"), QStringLiteral("--link"), link});
        QVERIFY(good.waitForReadyRead(5000));
        const QString path = QString::fromLocal8Bit(good.readLine()).trimmed();
        QVERIFY(path.startsWith(QLatin1String("/dev/pts/")));
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
        {
            Line line(link, 19200);
            QCOMPARE(line.exchange(readRequest(0, 0x100, 1), 7).mid(3, 2).toHex(),
                     QByteArray("0007"));
        }
        good.terminate(); // SIGTERM: ends cleanly and removes the link
        QVERIFY(good.waitForFinished(5000));
        QCOMPARE(good.exitStatus(), QProcess::NormalExit);
        QCOMPARE(good.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestTransmitter)
#include "tst_transmitter.moc"
