// Reception through the real window: replies in pieces, pauses, and every kind of bad input.
// Whatever arrives, no value is shown that did not come from a valid reply to the request.
#include "protocol/modbusframe.h"
#include "testsupport.h"

#include <QtTest>

using namespace TestSupport;

using ModbusFrame::withCrc;

class TestReplies : public QObject
{
    Q_OBJECT

    // A linked bench whose next humidity read gets the given treatment.
    static void pollHumidityOnce(Bench &bench)
    {
        bench.combo("comboBoxNum")->setCurrentIndex(2);
        bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead"); // off again: one request
    }

private slots:
    void replyInPiecesIsAcceptedOnceWhole()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults faults;
        faults.splitPieces = 4;
        faults.splitGapMs = 40;
        bench.transmitter.setFaults(faults);
        pollHumidityOnce(bench);
        QTRY_COMPARE(received(bench.window).size(), 2);
        QCOMPARE(bench.transmitter.replies().size(), 1 + 4);
        QCOMPARE(received(bench.window).last(), QStringLiteral("0103021194b5bb"));
        QVERIFY(bench.label("labelHumidity").contains(QLatin1String("45.00%")));
    }

    void replySplitByALongPauseIsLost()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults faults;
        faults.splitPieces = 2;
        faults.splitGapMs = 400; // longer than the 200 ms of silence that drops a partial reply
        bench.transmitter.setFaults(faults);
        pollHumidityOnce(bench);
        QTRY_COMPARE(bench.transmitter.replies().size(), 1 + 2);
        QTRY_VERIFY(CommState.rxBuffer.isEmpty());
        QCOMPARE(received(bench.window).size(), 1);
        QCOMPARE(bench.label("labelHumidity"), QStringLiteral("Humidity:"));
        QCOMPARE(CommState.responseReceived, quint8(0));
    }

    // Each of these arrives as the answer to a humidity read and must change nothing shown.
    void badInputShowsNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = QByteArray::fromHex("0103021194b5bb");
        QByteArray badCrc = good;
        badCrc[6] = char(badCrc[6] ^ 0x10);
        QTest::newRow("junk") << QByteArray::fromHex("5a5a5a5a5a5a5a");
        QTest::newRow("junk before a reply") << QByteArray::fromHex("a5") + good;
        QTest::newRow("truncated") << good.left(5);
        QTest::newRow("bad CRC") << badCrc;
        QTest::newRow("two replies in one chunk") << good + good;
        QTest::newRow("oversize byte count") << QByteArray::fromHex("0103ff1194b5bb");
        QTest::newRow("byte count 0") << withCrc(QByteArray::fromHex("010300"));
        QTest::newRow("block answers a single read")
            << withCrc(QByteArray::fromHex("01030800eb01c9006d0000"));
        QTest::newRow("write echo") << QByteArray::fromHex("01060101000519f5");
        QTest::newRow("exception") << QByteArray::fromHex("018302c0f1");
        QTest::newRow("oversize buffer") << QByteArray(1100, '\x5a');
    }

    void badInputShowsNothing()
    {
        QFETCH(QByteArray, bytes);
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults silent;
        silent.noReply = true;
        bench.transmitter.setFaults(silent);
        pollHumidityOnce(bench);
        QTRY_COMPARE(bench.transmitter.requests().size(), 2);
        BoxCloser boxes;
        bench.transmitter.sendRaw(bytes);
        QTRY_VERIFY(CommState.rxBuffer.isEmpty() && bench.port()->bytesAvailable() == 0);
        QTRY_VERIFY(!bench.timer("timerClear")->isActive()); // buffer dropped after the silence
        QCOMPARE(bench.label("labelHumidity"), QStringLiteral("Humidity:"));
        QCOMPARE(bench.label("labelTemperature"), QStringLiteral("Temperature:"));
        QCOMPARE(CommState.humidityRaw, quint16(0));
        QVERIFY(boxes.seen.isEmpty());
        QVERIFY(bench.port()->isOpen());
        // Still listening: the next good reply is shown.
        bench.transmitter.setFaults(Faults());
        pollHumidityOnce(bench);
        QTRY_VERIFY(bench.label("labelHumidity").contains(QLatin1String("45.00%")));
    }

    // The reply's slave byte is not compared: the address commands go to slave 0 and the
    // device answers under its own address.
    void replyUnderAnotherAddressIsAccepted()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults faults;
        faults.foreignAddress = 9;
        bench.transmitter.setFaults(faults);
        pollHumidityOnce(bench);
        QTRY_COMPARE(received(bench.window).size(), 2);
        QVERIFY(received(bench.window).last().startsWith(QLatin1String("0903")));
    }

    void zeroStormIsAFailingAdapter()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults faults;
        faults.zeroBurst = 1024;
        faults.splitPieces = 8;
        bench.transmitter.setFaults(faults);
        BoxCloser boxes;
        pollHumidityOnce(bench);
        QTRY_COMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(boxes.seen[0].text,
                 QStringLiteral("USB device error, please reconnect USB device!"));
        QVERIFY(!bench.port()->isOpen());
        QVERIFY(CommState.rxBuffer.isEmpty());
        QCOMPARE(received(bench.window).size(), 1);
    }

    void noiseBeyondTheCapIsDroppedSilently()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        BoxCloser boxes;
        bench.transmitter.sendRaw(QByteArray(1100, '\0'));
        QTRY_VERIFY(bench.transmitter.replies().size() == 2);
        QTRY_VERIFY(CommState.rxBuffer.isEmpty() && bench.port()->bytesAvailable() == 0);
        QTRY_VERIFY(!bench.timer("timerClear")->isActive());
        // In one chunk the buffer passes the cap at once and is dropped; the port stays open.
        QVERIFY(boxes.seen.isEmpty());
        QVERIFY(bench.port()->isOpen());
    }

    void lateReplyIsReadAgainstTheLastRequest()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults faults;
        faults.delayMs = 150;
        bench.transmitter.setFaults(faults);
        bench.combo("comboBoxNum")->setCurrentIndex(2);
        bench.requestFrom("pushButtonRead");
        click(bench.window, "pushButtonRead");
        bench.transmitter.setFaults(Faults());
        click(bench.window, "pushButtonTypeRead"); // goes out before the humidity reply arrives
        QTRY_COMPARE(received(bench.window).size(), 3);
        // The humidity reply came while the type read was the last request: not a humidity.
        QCOMPARE(bench.label("labelHumidity"), QStringLiteral("Humidity:"));
    }
};

QTEST_MAIN(TestReplies)
#include "tst_replies.moc"
