// The virtual transmitter's faults: each one's bytes, the random ones drawn from a seed, the mute
// device, the unplug, the outages on a timetable, the frame log, and their options in tervin-sim.
#include "faultschedule.h"
#include "simsupport.h"
#include "virtualtransmitter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace SimSupport;

class TestTransmitterFaults : public QObject
{
    Q_OBJECT

private slots:
    // Each fault's bytes in place of a good reply.
    void faultsProduceExactlyTheirBytes()
    {
        const QByteArray good = reply("0103020001");
        Faults corrupt, garbage, twice, exception, foreign, zeros;
        corrupt.corruptCrc = true;
        twice.doubleReply = true;
        garbage.garbageBefore = "\xa5\xa5";
        exception.exceptionCode = 2;
        foreign.foreignAddress = 9;
        zeros.zeroBurst = 5;
        QCOMPARE(corrupt.applyTo(good), good.left(6) + char(good[6] ^ 0xFF));
        QCOMPARE(garbage.applyTo(good), "\xa5\xa5" + good);
        QCOMPARE(twice.applyTo(good), good + good);
        QCOMPARE(exception.applyTo(good), reply("018302"));
        QCOMPARE(foreign.applyTo(good), reply("0903020001"));
        QCOMPARE(zeros.applyTo(good), QByteArray(5, '\0'));
    }

    // Faults drawn at random for each reply, from a seed: a share of bad CRCs, and gaps between
    // the pieces anywhere in a range. The frame log has every frame heard, every reply with its
    // tag, and every piece that went onto the wire, in order.
    void randomFaultsAndTheFrameLog()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("frames.log");
        Faults faults;
        faults.splitPieces = 2;
        faults.splitGapMs = 20;
        faults.splitGapMaxMs = 40;
        faults.corruptPercent = 50;
        VirtualTransmitter transmitter;
        transmitter.setFaults(faults);
        QVERIFY(transmitter.openFrameLog(log));
        transmitter.setSeed(7);
        QVERIFY(transmitter.start());
        QSerialPort line(transmitter.portPath());
        QVERIFY(line.open(QIODevice::ReadWrite));
        constexpr int Requests = 20;
        QByteArray answers;
        for (int i = 0; i < Requests; ++i)
            answers += exchange(line, request(3, 1, 0x100, 1), 7);
        QCOMPARE(logged(log, "RX").size(), Requests);
        const QList<QStringList> replies = logged(log, "TX"), pieces = logged(log, "PIECE");
        QCOMPARE(replies.size(), Requests);
        QCOMPARE(pieces.size(), 2 * Requests);
        int bad = 0;
        for (int i = 0; i < Requests; ++i) {
            const QByteArray frame = QByteArray::fromHex(replies[i][2].toLatin1());
            QCOMPARE(frame, answers.mid(7 * i, 7));
            QCOMPARE(replies[i][3], crcFits(frame) ? "good" : "bad-crc");
            bad += !crcFits(frame);
            QCOMPARE(pieces[2 * i][2] + pieces[2 * i + 1][2], replies[i][2]);
            QVERIFY(pieces[2 * i + 1][0].toInt() - pieces[2 * i][0].toInt() >= 19);
        }
        QVERIFY2(bad > 0 && bad < Requests, qPrintable(QString::number(bad)));
        QCOMPARE(logged(log, "SEED").value(0).value(2), "7");
    }

    // A mute device hears requests and records them, and answers none; a request that has
    // reached the line when it is unplugged is recorded as heard.
    void muteAndUnplugged()
    {
        VirtualTransmitter transmitter;
        QVERIFY(transmitter.start());
        QSerialPort line(transmitter.portPath());
        QVERIFY(line.open(QIODevice::ReadWrite));
        transmitter.setMuted(true);
        line.write(request(3, 1, 0x100, 1));
        QTRY_COMPARE(transmitter.requests().size(), 1);
        QVERIFY(transmitter.replies().isEmpty());
        transmitter.setMuted(false);
        QCOMPARE(exchange(line, request(3, 1, 0x100, 1), 7), reply("0103020001"));
        line.write(request(3, 1, 0x101, 1));
        QVERIFY(line.waitForBytesWritten(1000));
        transmitter.unplug();
        QCOMPARE(transmitter.requests().value(2), request(3, 1, 0x101, 1));
    }

    // Outages on a timetable: mute for a while at every period, unplugged at every period and
    // plugged in again on a new pseudo-terminal a little later, the link following.
    void outagesOnATimetable()
    {
        QTemporaryDir dir;
        VirtualTransmitter transmitter;
        QVERIFY(transmitter.openFrameLog(dir.filePath("frames.log")));
        QVERIFY(transmitter.start() && transmitter.makeLink(dir.filePath("port")));
        FaultSchedule schedule(transmitter);
        QSignalSpy replugged(&schedule, &FaultSchedule::replugged);
        schedule.muteEvery(200, 50);
        schedule.unplugEvery(500, 100);
        QVERIFY(replugged.wait(5000));
        QCOMPARE(replugged.first().first().toString(), transmitter.portPath());
        QCOMPARE(QFileInfo(dir.filePath("port")).symLinkTarget(), transmitter.portPath());
        QVERIFY(replugged.wait(5000));
        QVERIFY(logged(dir.filePath("frames.log"), "MUTE").size() >= 2);
        QVERIFY(logged(dir.filePath("frames.log"), "UNMUTE").size() >= 2);
        QCOMPARE(logged(dir.filePath("frames.log"), "UNPLUG").size(), 2);
        QCOMPARE(logged(dir.filePath("frames.log"), "REPLUG").size(), 2);
    }

    // The options of the random faults and the timetable: malformed or alone, a usage error.
    void faultOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        const QString gap = "--split-gap wants milliseconds from 0 to 60000, or a range";
        for (const char *value : {"190-50", "a-b", "1-2-3", "-5", "70000"})
            QTest::addRow("split gap %s", value) << QStringList{"--split-gap", value} << gap;
        QTest::newRow("corrupt rate") << QStringList{"--corrupt-rate", "101"} << "--corrupt-rate";
        QTest::newRow("mute alone")
            << QStringList{"--mute-every", "100"} << "--mute-every and --mute-for go together";
        QTest::newRow("unplug every alone")
            << QStringList{"--unplug-every", "100"} << "--unplug-every goes with --replug-after";
        QTest::newRow("both unplugs")
            << QStringList{"--unplug-every", "100", "--unplug-after", "5", "--replug-after", "1"}
            << "--unplug-after and --unplug-every do not go together";
    }

    void faultOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QVERIFY2(refuses(arguments, error), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestTransmitterFaults)
#include "tst_transmitterfaults.moc"
