// The link session on a fake port in virtual time: replies in pieces at every rate, the faults a
// line brings, late replies, the queue of requests, and the read-back after a change. After every
// event the probe checks that there is never more than one request on the wire, and at the end
// that every byte received was taken or reported as dropped exactly once.
#include "fakeline.h"
#include "linkharness.h"
#include "protocol/transaction.h"

#include <QSerialPort>
#include <QtTest>

using namespace LinkHarness;

namespace {
// All readings from the block of hundredths of a Tervin-O: 23.45 °C, 45.67 %RH, 10.88 °C.
const QByteArray Poll = ModbusFrame::buildRequest(1, 3, 0x0004, 4);
const QByteArray PollReply = reply("010308092911d704400000");
const QByteArray Exception = reply("018302");

// Registers 0x0100 to 0x0107 of a unit: address, rate code, firmware 1.2.3, type, serial, sensor.
// The reply comes from slave `from` (by default the address it reports).
QByteArray infoReply(int address, int baudCode, const char *serial = "123456789abc", int type = 1,
                     int from = 0)
{
    const int slave = from ? from : address;
    return reply(qPrintable(QString::asprintf("%02x0310%04x%04x007b%04x%s0000", slave, address,
                                              baudCode, type, serial)));
}

// The bytes a device sent, in pieces at moments after the request was written.
using Pieces = QList<QPair<int, QByteArray>>;
} // namespace

class TestLinkSession : public QObject
{
    Q_OBJECT

private slots:
    // A reply split by a pause under the 200 ms of silence is one reply, however slow the line
    // (its first byte is what the response timeout waits for); a longer pause drops both halves.
    void piecesOfAReply_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("gap");
        for (int baud : {1200, 9600, 115200})
            for (int gap : {0, 50, 150, 165, 185, 199, 201, 400})
                QTest::addRow("%d baud, %d ms", baud, gap) << baud << gap;
    }

    void piecesOfAReply()
    {
        QFETCH(int, baud);
        QFETCH(int, gap);
        Rig rig(baud);
        rig.answerWith({{5, PollReply.left(6)}, {5 + gap, PollReply.mid(6)}});
        QVERIFY(rig.session.poll(rig.request(Poll)));
        rig.clock.advance(5000);
        const QStringList &words = rig.probe.words;
        if (gap < Timing::ReceiveSilenceMs) {
            QCOMPARE(rig.probe.events(), "written 1, answered 1");
            QCOMPARE(rig.session.statistics().lastResponseMs, 5 + gap);
            QCOMPARE(rig.probe.lastOutcome.decoded.reading.temperature.value_or(0), 23.45);
            QCOMPARE(rig.probe.lastOutcome.decoded.reading.dewPoint.value_or(0), 10.88);
        } else {
            QCOMPARE(words.mid(0, 3).join(", "), "written 1, dropped incomplete, garbled 1");
            QVERIFY(words.size() == 4 && words[3].startsWith("dropped "));
        }
        QVERIFY(rig.session.poll(rig.request(Poll))); // the line is free again
        QVERIFY2(rig.broken().isEmpty(), qPrintable(rig.broken()));
    }

    // What one poll at 9600 meets on the line, and how it ends.
    void faultsOnTheLine_data()
    {
        QTest::addColumn<Pieces>("pieces");
        QTest::addColumn<int>("failAtMs"); // the port fails then (0: never)
        QTest::addColumn<QString>("events");
        const QByteArray badCrc = PollReply.chopped(1) + char(PollReply.back() ^ 0x40);
        const QByteArray otherSlave = reply("090308092911d704400000");
        Pieces trickle;
        for (int i = 0; i < 20; ++i) // a byte every 150 ms: the silence never runs out
            trickle << qMakePair(5 + 150 * i, QByteArray(1, char(0x55)));
        const QString noAnswer = "timeout 1 after 172";
        QTest::newRow("bad CRC") << Pieces{{5, badCrc}} << 0
                                 << "written 1, dropped bad CRC, garbled 1";
        QTest::newRow("another slave")
            << Pieces{{5, otherSlave}} << 0 << "written 1, dropped other slave, " + noAnswer;
        QTest::newRow("exception") << Pieces{{5, Exception}} << 0 << "written 1, exception 1";
        QTest::newRow("an answer to another request")
            << Pieces{{5, reply("0103020005")}, {20, reply("010601010005")}} << 0
            << "written 1, late, late, " + noAnswer;
        QTest::newRow("two replies at once") << Pieces{{5, PollReply + PollReply}} << 0
                                             << "written 1, dropped extra bytes, garbled 1";
        QTest::newRow("junk, then the reply after the silence")
            << Pieces{{5, QByteArray::fromHex("a5a5")}, {300, PollReply}} << 0
            << "written 1, dropped incomplete, garbled 1, late";
        QTest::newRow("bytes trickling in for ever")
            << trickle << 0 << "written 1, dropped incomplete, garbled 1, dropped incomplete";
        QTest::newRow("a failing adapter") << Pieces{{5, QByteArray(1024, '\0')}} << 0
                                           << "written 1, dropped noise, lost a storm of 0x00/0xFF "
                                              "bytes, the sign of a failing adapter";
        QTest::newRow("unplugged in the middle of a reply")
            << Pieces{{5, PollReply.left(6)}} << 50
            << "written 1, dropped incomplete, lost the adapter was unplugged";
        QTest::newRow("silence") << Pieces{} << 0 << "written 1, " + noAnswer;
    }

    void faultsOnTheLine()
    {
        QFETCH(Pieces, pieces);
        QFETCH(int, failAtMs);
        QFETCH(QString, events);
        Rig rig;
        rig.answerWith(pieces);
        if (failAtMs > 0)
            rig.clock.at(failAtMs, [&] { rig.port.fail(PortFailure::Unplugged); });
        rig.session.poll(rig.request(Poll));
        rig.clock.advance(60000);
        QCOMPARE(rig.probe.events(), events);
        QVERIFY2(rig.broken().isEmpty(), qPrintable(rig.broken()));
        QVERIFY(!rig.session.isBusy());
        QCOMPARE(rig.port.isOpen(), !events.contains("lost"));
    }

    // The answer bound: a trickle ends where the longest answer must have ended.
    void aTrickleEndsAtItsBound()
    {
        Rig rig;
        rig.port.onWrite = [&](const QByteArray &) {
            for (int i = 0; i < 400; ++i)
                rig.deliverIn(5 + 150 * i, QByteArray(1, '\x55'));
        };
        rig.session.poll(rig.request(Poll));
        const int bound = Transaction::answerBoundMs(Poll, 9600, 172);
        QCOMPARE(bound, 172 + 14 + 200 * 13);
        rig.clock.runUntil(bound - 1);
        QVERIFY(rig.session.isBusy());
        rig.clock.runUntil(bound);
        QVERIFY(!rig.session.isBusy());
        QCOMPARE(rig.probe.words.last(), "garbled 1");
    }

    // A reply that comes after its request timed out: the line waits for it, quiet, and the
    // unit's requests wait longer from then on.
    void lateReplyToThePreviousRequest()
    {
        Rig rig;
        int written = 0;
        rig.port.onWrite = [&](const QByteArray &) {
            if (++written == 1) // the reply begins 300 ms after the request, past its 172 ms
                rig.deliverIn(300, PollReply);
            else
                rig.deliverIn(60, reply("0103020005"));
        };
        QList<int> slow;
        QObject::connect(
            &rig.session, &LinkSession::slowUnit,
            [&](int slave, int startMs, int waitMs) { slow << slave << startMs << waitMs; });
        rig.session.submit(rig.request(Poll));
        rig.session.submit(rig.request(ModbusFrame::buildRequest(1, 3, 0x0101, 1)));
        rig.clock.advance(2000);
        QCOMPARE(rig.probe.events(), "written 1, timeout 1 after 172, late, written 1, answered 1");
        QCOMPARE(slow, QList<int>({1, 300, 450}));
        QCOMPARE(rig.session.timeoutMs(Poll), 450);
        QCOMPARE(rig.session.statistics().late, 1);
        QVERIFY2(rig.broken().isEmpty(), qPrintable(rig.broken()));
    }

    // One-off requests wait their turn in order (the device information first); a poll that
    // finds the line busy is skipped, and the last one skipped goes when the line frees, after
    // the waiting one-offs. A request that cannot be written leaves the line free.
    void requestsWaitTheirTurn()
    {
        Rig rig;
        FakeLine line(rig);
        for (int address : {1, 2, 3, 4, 9})
            line.add(address);
        auto read = [&](int slave) {
            return rig.request(ModbusFrame::buildRequest(quint8(slave), 3, 4, 4));
        };
        rig.session.submit(read(1));
        rig.session.submit(read(2));
        rig.session.submit(read(9), LinkSession::First);
        QVERIFY(!rig.session.poll(read(3)));
        QVERIFY(!rig.session.poll(read(4)));
        rig.clock.advance(1000);
        QCOMPARE(rig.probe.events(), "written 1, answered 1, written 9, answered 9, written 2, "
                                     "answered 2, written 4, answered 4");
        rig.session.close();
        QVERIFY(!rig.session.poll(read(5)));
        QVERIFY(!rig.session.isBusy());
        const LinkStatistics &s = rig.session.statistics();
        QCOMPARE(QList<int>({s.requests, s.replies, s.skipped, s.timeouts, s.lastResponseMs}),
                 QList<int>({4, 4, 2, 0, 9 + 5 + 14}));
        QCOMPARE(rig.probe.outcomes,
                 QStringList({"answered", "answered", "answered", "answered", "not sent"}));
        QVERIFY2(rig.broken().isEmpty(), qPrintable(rig.broken()));
    }

    // A request sent with resends goes out again after no answer or a garbled one, and ends once.
    void resends_data()
    {
        QTest::addColumn<int>("retries");
        QTest::addColumn<int>("silentTries"); // the device answers from this try on
        QTest::addColumn<QString>("outcomes");
        QTest::addColumn<int>("tries");
        QTest::newRow("answered at once") << 2 << 0 << "answered" << 1;
        QTest::newRow("answered at the last try") << 2 << 2 << "answered" << 3;
        QTest::newRow("never answered") << 2 << 9 << "timed out" << 3;
        QTest::newRow("no resends") << 0 << 1 << "timed out" << 1;
    }

    void resends()
    {
        QFETCH(int, retries);
        QFETCH(int, silentTries);
        QFETCH(QString, outcomes);
        QFETCH(int, tries);
        Rig rig;
        int written = 0;
        rig.port.onWrite = [&](const QByteArray &) {
            if (++written > silentTries)
                rig.deliverIn(5, PollReply);
        };
        rig.session.submit(rig.request(Poll, retries));
        rig.clock.advance(10000);
        QCOMPARE(rig.probe.outcomes.join(", "), outcomes);
        QCOMPARE(rig.probe.lastOutcome.tries, tries);
        QCOMPARE(written, tries);
        QVERIFY2(rig.broken().isEmpty(), qPrintable(rig.broken()));
    }

    // After an address or rate write, the device is read back where it should now listen: it
    // must report the value written, and be the same unit.
    void verification_data()
    {
        QTest::addColumn<QByteArray>("write");
        QTest::addColumn<QByteArray>("readBack"); // the device information there, or nothing
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QList<int>>("addresses"); // where the roster knows the unit afterwards
        const QByteArray toAddress42 = ModbusFrame::buildRequest(0, 6, 0x0100, 42);
        const QByteArray to19200 = ModbusFrame::buildRequest(1, 6, 0x0101, 5);
        QTest::newRow("address") << toAddress42 << infoReply(42, 4) << "verified" << QList<int>{42};
        QTest::newRow("address reported otherwise")
            << toAddress42 << infoReply(5, 4, "123456789abc", 1, 42)
            << "not verified: the unit at 42 reports address 5" << QList<int>{42};
        QTest::newRow("address, no answer")
            << toAddress42 << QByteArray() << "not verified: no answer at address 42"
            << QList<int>{1};
        QTest::newRow("rate") << to19200 << infoReply(1, 5) << "verified" << QList<int>{1};
        QTest::newRow("rate reported otherwise")
            << to19200 << infoReply(1, 4)
            << "not verified: the device reports 9600 bit/s, not 19200" << QList<int>{1};
        QTest::newRow("another unit")
            << to19200 << infoReply(1, 5, "0000deadbeef")
            << "not verified: another unit answered: serial 0000deadbeef, Tervin-C"
            << QList<int>{1};
        QTest::newRow("refused") << to19200 << reply("018302")
                                 << "not verified: the device refused the read-back"
                                 << QList<int>{1};
    }

    void verification()
    {
        QFETCH(QByteArray, write);
        QFETCH(QByteArray, readBack);
        QFETCH(QString, outcome);
        QFETCH(QList<int>, addresses);
        Rig rig;
        rig.port.onWrite = [&](const QByteArray &request) {
            const int n =
                int(rig.port.writes.size()); // the device information, the write, its read-back
            const QByteArray answer = n == 1   ? infoReply(1, 4)
                                      : n == 2 ? ModbusFrame::withCrc('\x01' + request.mid(1, 5))
                                               : readBack;
            if (!answer.isEmpty())
                rig.deliverIn(5, answer);
        };
        rig.session.submit(rig.request(ModbusFrame::buildRequest(1, 3, 0x0100, 8)));
        rig.clock.advance(1000);
        QCOMPARE(rig.session.roster().serialAt(1), "123456789abc");
        rig.session.submit(rig.request(write));
        rig.clock.advance(1000);
        QCOMPARE(rig.probe.outcomes.last(), outcome);
        const QByteArray readAt = rig.port.writes.value(2);
        QCOMPARE(readAt, ModbusFrame::buildRequest(quint8(write.at(3) == 0 ? 42 : 1), 3, 0x100, 8));
        QCOMPARE(rig.port.baudRate(), write.at(3) == 0 ? 9600 : 19200);
        QCOMPARE(rig.session.roster().addressesOf("123456789abc"), addresses);
        QVERIFY2(rig.broken().isEmpty(), qPrintable(rig.broken()));
    }

    // On a real port, with the device in a process of its own: a handler that holds the event
    // loop past the response timeout (a busy window) does not turn an answer that has arrived
    // meanwhile into a timeout.
    void aBusyLoopStillSeesTheAnswer()
    {
        QProcess device;
        device.start(TERVIN_BUILD_DIR "/sim/tervin-sim", {"--steady"});
        QVERIFY(device.waitForReadyRead(5000));
        QSerialPort serial;
        SerialLinkPort port(&serial);
        SystemClock clock;
        LinkSession session(&port, &clock);
        QVERIFY(!session.open(QString(device.readLine().trimmed()), 9600).failed());
        QStringList ends;
        QObject::connect(&session, &LinkSession::written, [&] {
            QThread::msleep(2 *
                            Transaction::responseTimeoutMs(Poll, 9600)); // busy, as a slow paint
        });
        QObject::connect(&session, &LinkSession::answered, [&] { ends << "answered"; });
        QObject::connect(&session, &LinkSession::timedOut, [&] { ends << "timeout"; });
        LinkRequest request;
        request.frame = Poll;
        session.submit(request);
        QTRY_VERIFY_WITH_TIMEOUT(!ends.isEmpty(), 5000);
        QCOMPARE(ends, QStringList{"answered"});
        device.terminate();
        QVERIFY(device.waitForFinished(5000));
    }
};

QTEST_GUILESS_MAIN(TestLinkSession)
#include "tst_linksession.moc"
