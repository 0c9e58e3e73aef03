// One transaction on the line at a time, without a port: the response timeout of each request,
// which replies answer it, the order in which waiting requests go out, skipped polls, timeouts,
// late replies and the counts.
#include "protocol/modbusframe.h"
#include "protocol/requestline.h"

#include <QSignalSpy>
#include <QtTest>

using Transaction::Fit;

namespace {
QByteArray request(quint8 function, quint16 reg, quint16 countOrValue)
{
    return ModbusFrame::buildRequest(1, function, reg, countOrValue);
}

QByteArray reply(const char *hexWithoutCrc)
{
    return ModbusFrame::withCrc(QByteArray::fromHex(hexWithoutCrc));
}
} // namespace

class TestRequestLine : public QObject
{
    Q_OBJECT

    QList<int> written; // the kinds of the requests written, in order
    bool portOpen = true;
    RequestLine line{[this](const RequestLine::Request &r) {
        written << r.kind;
        return portOpen;
    }};

private slots:
    void init()
    {
        written.clear();
        portOpen = true;
        line.abandon();
        line.resetStatistics();
        line.setFixedTimeoutMs(0);
    }

    // Wire time at 10 bits a byte, rounded up, plus the 150 ms turnaround allowance.
    void responseTimeouts()
    {
        QCOMPARE(Transaction::responseTimeoutMs(request(3, 0x100, 8), 9600),
                 31 + 150);                                                          // 8 + 21 bytes
        QCOMPARE(Transaction::responseTimeoutMs(request(3, 0, 4), 1200), 175 + 150); // 8 + 13
        QCOMPARE(Transaction::responseTimeoutMs(request(6, 0x101, 5), 115200), 2 + 150); // 8 + 8
        QCOMPARE(Transaction::longestReplyLength(ModbusFrame::buildRequest(1, 0x2B, 0, 0)), 5);
    }

    void whatAnswersARequest()
    {
        const QByteArray read4 = request(3, 0, 4), write = request(6, 0x101, 5);
        QCOMPARE(Transaction::fit(read4, reply("010308000100020003000400")), Fit::Answer);
        QCOMPARE(Transaction::fit(read4, reply("0103060001000200030000")), Fit::OtherRequest);
        QCOMPARE(Transaction::fit(read4, reply("018302")), Fit::Answer);
        QCOMPARE(Transaction::fit(read4, reply("018602")), Fit::OtherRequest);
        QCOMPARE(Transaction::fit(write, write), Fit::Answer);
        QCOMPARE(Transaction::fit(write, request(6, 0x101, 4)), Fit::OtherRequest);
        QCOMPARE(Transaction::fit(write, request(6, 0x100, 5)), Fit::OtherRequest);
        QCOMPARE(Transaction::fit(write, reply("0103020005")), Fit::OtherRequest);
    }

    // Requests that come while one is outstanding wait their turn; a poll is skipped, and the
    // last one skipped goes when the line frees, after the waiting one-offs.
    void oneTransactionAtATime()
    {
        line.submit({request(3, 0x100, 8), 1});
        QVERIFY(line.isBusy());
        line.submit({request(3, 0x103, 1), 2});
        line.submit({request(3, 0x100, 8), 9}, RequestLine::First);
        QVERIFY(!line.poll({request(3, 0, 4), 3}));
        QVERIFY(!line.poll({request(3, 4, 4), 4}));
        QCOMPARE(written, QList<int>({1}));
        QCOMPARE(line.offer(reply("0103020001")), Fit::OtherRequest); // not its answer: late
        QCOMPARE(line.offer(reply("010310000100040000000000000000000000000000")), Fit::Answer);
        QCOMPARE(written, QList<int>({1})); // the answer is handled before the next goes out
        QTRY_COMPARE(written, QList<int>({1, 9}));
        QCOMPARE(line.lastRequest().kind, 9);
        line.abandon(); // a port opened anew forgets the outstanding request
        QVERIFY(line.poll({request(3, 0, 4), 5}) == false);
        QTRY_COMPARE(written, QList<int>({1, 9}));
        line.offer(reply("0103020001")); // late: nothing outstanding
        portOpen = false;                // a request not written leaves the line free
        line.submit({request(3, 0x107, 1), 6});
        QCOMPARE(written, QList<int>({1, 9, 2, 6, 5}));
        QVERIFY(!line.isBusy());
        const LinkStatistics &s = line.statistics();
        QCOMPARE(QList<int>({s.requests, s.replies, s.late, s.skipped, s.timeouts}),
                 QList<int>({2, 1, 2, 3, 0}));
    }

    void timeoutsFreeTheLine()
    {
        QSignalSpy timeouts(&line, &RequestLine::timedOut);
        line.setBaudRate(115200);
        line.submit({request(3, 0x100, 8), 1});
        line.submit({request(3, 0x103, 1), 2});
        QVERIFY(timeouts.wait(1000));
        QCOMPARE(timeouts.first().at(1).toInt(), 153);
        QCOMPARE(written, QList<int>({1, 2}));
        line.setFixedTimeoutMs(20);
        QCOMPARE(line.timeoutMs(request(3, 0, 4)), 20);
        QTRY_COMPARE(line.statistics().timeouts, 2);
        QCOMPARE(line.offer(reply("018302")), Fit::OtherRequest); // after its timeout: late
        QCOMPARE(line.statistics().meanResponseMs(), -1);
        line.submit({request(3, 0, 4), 3});
        QTest::qWait(5); // some response time
        QCOMPARE(line.offer(reply("018302")), Fit::Answer);
        QVERIFY(line.statistics().lastResponseMs >= 5 && line.statistics().exceptions == 1);
    }
};

QTEST_GUILESS_MAIN(TestRequestLine)
#include "tst_requestline.moc"
