// How read --mqtt delivers, as pure parts: the bounded queue that keeps each message until the
// broker acknowledged it and drops the oldest past its bound, and the availability each unit's
// polls give it. The broker itself is in tst_climqttbroker.
#include "mqttqueue.h"
#include "unitpresence.h"

#include <QtTest>

Q_DECLARE_METATYPE(Result)

namespace {
MqttMessage numbered(int n)
{
    return {"tervin/00ff1020abcd/state", QByteArray::number(n)};
}

// Hands out every message not sent yet, with ids from firstId on; their payloads.
QStringList unsent(MqttQueue &queue, int firstId = 1001)
{
    QStringList payloads;
    int id = firstId;
    while (const MqttMessage *next = queue.nextUnsent()) {
        payloads << QString::fromUtf8(next->payload);
        queue.sent(id++);
    }
    return payloads;
}
} // namespace

class TestMqttDelivery : public QObject
{
    Q_OBJECT

private slots:
    // Past the bound the oldest go, counted; the newest are kept, in order.
    void theQueueKeepsTheNewest_data()
    {
        QTest::addColumn<int>("bound");
        QTest::addColumn<int>("pushed");
        QTest::addColumn<int>("dropped");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("within") << 5 << 5 << 0 << QStringList{"1", "2", "3", "4", "5"};
        QTest::newRow("past it") << 5 << 8 << 3 << QStringList{"4", "5", "6", "7", "8"};
        QTest::newRow("a bound of one") << 1 << 3 << 2 << QStringList{"3"};
    }
    void theQueueKeepsTheNewest()
    {
        QFETCH(int, bound);
        QFETCH(int, pushed);
        QFETCH(int, dropped);
        QFETCH(QStringList, kept);
        MqttQueue queue(bound);
        int droppingPushes = 0;
        for (int n = 1; n <= pushed; ++n)
            droppingPushes += queue.push(numbered(n));
        QCOMPARE(droppingPushes, dropped);
        QCOMPARE(queue.dropped(), qint64(dropped));
        QCOMPARE(queue.size(), kept.size());
        QCOMPARE(unsent(queue), kept);
    }

    // A message stays until its acknowledgement, whatever order those come in; when the
    // connection ends, what was out goes again, oldest first, before what was never sent.
    void aMessageStaysUntilAcknowledged()
    {
        MqttQueue queue(4);
        for (int n = 1; n <= 4; ++n)
            queue.push(numbered(n));
        queue.sent(11);
        queue.sent(12);
        queue.sent(13);
        QCOMPARE(queue.inFlight(), 3);
        QVERIFY(queue.acknowledge(12));
        QVERIFY(!queue.acknowledge(12)); // once only
        QVERIFY(!queue.acknowledge(99));
        QCOMPARE(queue.size(), 3);
        QCOMPARE(queue.inFlight(), 2);
        queue.resendAll();
        QCOMPARE(queue.inFlight(), 0);
        QVERIFY(!queue.acknowledge(11)); // an id of the connection that ended
        QCOMPARE(unsent(queue), QStringList({"1", "3", "4"}));
        QCOMPARE(queue.dropped(), qint64(0));
        // Full, with messages out: the oldest out goes, and its acknowledgement finds nothing.
        queue.push(numbered(5));
        queue.push(numbered(6));
        QCOMPARE(queue.dropped(), qint64(1));
        QCOMPARE(queue.inFlight(), 2);
        QCOMPARE(unsent(queue, 1004), QStringList({"5", "6"}));
        QVERIFY(!queue.acknowledge(1001)); // was "1"'s
        for (int id : {1002, 1003, 1004, 1005})
            QVERIFY(queue.acknowledge(id));
        QVERIFY(queue.isEmpty());
    }

    // The availability a unit's polls publish: online from a reply on, offline after the third
    // unanswered poll in a row or at once when its port is lost or another unit takes its place;
    // nothing when it does not change.
    void availabilityFollowsReplies_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("published"); // after each event: online, offline or -
        QTest::newRow("heard, then read")
            << QStringList{"heard", "ok", "ok"} << QStringList{"online", "-", "-"};
        QTest::newRow("three misses")
            << QStringList{"heard", "no_answer", "garbled", "no_answer", "no_answer", "ok"}
            << QStringList{"online", "-", "-", "offline", "-", "online"};
        QTest::newRow("a reply between misses")
            << QStringList{"heard", "no_answer", "no_answer", "ok", "no_answer", "no_answer"}
            << QStringList{"online", "-", "-", "-", "-", "-"};
        QTest::newRow("an exception is a reply")
            << QStringList{"heard", "no_answer", "no_answer", "exception", "no_answer"}
            << QStringList{"online", "-", "-", "-", "-"};
        QTest::newRow("the port lost") << QStringList{"ok", "port_error", "port_error", "heard"}
                                       << QStringList{"online", "offline", "-", "online"};
        QTest::newRow("swapped out") << QStringList{"heard", "gone", "no_answer", "ok"}
                                     << QStringList{"online", "offline", "-", "online"};
        QTest::newRow("never answered")
            << QStringList{"other_slave", "no_answer", "no_answer", "no_answer"}
            << QStringList{"-", "-", "offline", "-"};
    }
    void availabilityFollowsReplies()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, published);
        UnitPresence presence;
        QStringList seen;
        for (const QString &event : events) {
            std::optional<bool> change;
            if (event == "heard")
                change = presence.heard();
            else if (event == "gone")
                change = presence.gone();
            else
                change = presence.polled(Result(resultNames().indexOf(event)));
            seen << (change ? (*change ? "online" : "offline") : "-");
        }
        QCOMPARE(seen, published);
    }
};

QTEST_GUILESS_MAIN(TestMqttDelivery)
#include "tst_mqttdelivery.moc"
