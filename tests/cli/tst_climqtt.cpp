// tervin-cli read --mqtt against a real Mosquitto broker and a line of virtual transmitters: what
// a consumer of the broker gets from a run, as units fall silent, an adapter is pulled, a unit is
// swapped, and the run is killed. The broker away, refusing or on TLS is in tst_climqttbroker;
// the topics and payloads themselves are built and checked as pure functions in
// tst_mqttmessages.
#include "mqttrun.h"

#include <QTemporaryDir>

using namespace MqttRun;

// Each test has the line of two units and a broker of its own, not started yet.
class TestCliMqtt : public QObject, public Bench
{
    Q_OBJECT

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

    // Each unit's states (its record's fields and its identity), its availability, the bridge's
    // status, and Home Assistant's discovery for each quantity read, before the unit's first
    // state; the unit that never answers publishes nothing. A consumer that subscribes later
    // gets each topic's last message, retained.
    void everyKindOfMessage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("quantities"); // discovered
        const QStringList all{"temperature", "humidity", "dew_point"};
        QTest::newRow("defaults") << QStringList{} << "tervin" << all;
        QTest::newRow("a prefix of two levels, quiet")
            << QStringList{"--mqtt-prefix", "plant/rack 1", "--quiet"} << "plant/rack 1" << all;
        QTest::newRow("humidity only")
            << QStringList{"--what", "humidity"} << "tervin" << QStringList{"humidity"};
        QTest::newRow("no discovery") << QStringList{"--no-discovery"} << "tervin" << QStringList{};
    }
    void everyKindOfMessage()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, prefix);
        QFETCH(QStringList, quantities);
        QVERIFY(startLive());
        Run run(reading("3,7,12", QStringList{"--count", "2", "--period", "200"} + options));
        QCOMPARE(run.finished(), 1); // nothing at 12
        QVERIFY(live->waitFor([&] { return live->on(bridgeTopic(prefix)).size() == 2; }));
        const QList<Message> heard = live->messages();
        QCOMPARE(live->payloads(bridgeTopic(prefix)), QStringList({"online", "offline"}));
        QSet<QString> stateTopics;
        for (const Message &m : heard)
            if (m.topic.endsWith("/state"))
                stateTopics << m.topic;
        QCOMPARE(stateTopics.size(), 2);
        const bool quiet = options.contains("--quiet");
        QCOMPARE(run.records().isEmpty(), quiet);
        const bool humidityOnly = quantities == QStringList{"humidity"};
        struct Unit
        {
            QString serial, type, sensor, firmware, unit;
            double temperature;
        };
        for (const Unit &u : {Unit{SerialC, "Tervin-C", "SHT3X/4X", "2.4.5", Celsius, -20.5},
                              Unit{SerialF, "Tervin-F", "SHT2X/3X", "1.2.3", Fahrenheit, 70.0}}) {
            const QString stateTopic = topic(u.serial, "state", prefix);
            const QList<QVariantMap> states = jsonOf(live->on(stateTopic));
            QCOMPARE(states.size(), 2);
            const QList<QVariantMap> printed = run.records("serial", u.serial);
            for (int i = 0; i < states.size(); ++i) {
                const QVariantMap &s = states[i];
                QVERIFY(isRecordTime(s["time"].toString()));
                QCOMPARE(fields(s, {"port", "baud", "serial", "device_type", "sensor", "firmware",
                                    "unit", "result"}),
                         QStringList({t.port, "9600", u.serial, u.type, u.sensor, u.firmware,
                                      u.unit, "ok"}));
                QCOMPARE(s["temperature"].isNull(), humidityOnly);
                if (!humidityOnly)
                    QCOMPARE(s["temperature"].toDouble(), u.temperature);
                QVERIFY(!s.contains("mqtt_dropped"));
                for (const char *field : {"time", "address", "baud", "port", "serial", "result",
                                          "temperature", "humidity", "dew_point", "unit"})
                    if (!quiet && printed[i].contains(field))
                        QCOMPARE(s[field], printed[i][field]);
            }
            if (!humidityOnly && u.serial == SerialC)
                QVERIFY(states[0]["dew_point"].toDouble() < 0);
            QCOMPARE(live->payloads(topic(u.serial, "availability", prefix)),
                     QStringList({"online", "offline"}));
            // What each config holds is in tst_mqttmessages; here, that it is this unit's and
            // this prefix's, and that its quantity is in the state.
            for (const QString &quantity : QStringList{"temperature", "humidity", "dew_point"}) {
                const QList<Message> configs = live->on(discoveryTopic(u.serial, quantity));
                QCOMPARE(configs.size(), quantities.contains(quantity) ? 1 : 0);
                if (configs.isEmpty())
                    continue;
                QVERIFY(indexOf(heard, configs[0].topic) < indexOf(heard, stateTopic));
                const QVariantMap c = configs[0].json();
                QCOMPARE(c["state_topic"], stateTopic);
                QVERIFY(!states[0][quantity].isNull());
                QStringList availability;
                for (const QVariant &a : c["availability"].toList())
                    availability << a.toMap()["topic"].toString();
                QCOMPARE(availability, QStringList({topic(u.serial, "availability", prefix),
                                                    bridgeTopic(prefix)}));
                QCOMPARE(fields(c["device"].toMap(), {"model", "sw_version", "serial_number"}),
                         QStringList({u.type + ' ' + u.sensor, u.firmware, u.serial}));
            }
        }
        // What a consumer that comes later gets: the last message of each topic.
        Subscriber later(broker->port());
        QVERIFY(later.subscribed());
        QVERIFY(later.waitFor([&] { return !later.on(bridgeTopic(prefix)).isEmpty(); }));
        const Message lastState = live->on(topic(SerialC, "state", prefix)).last();
        QVERIFY(later.waitFor([&] { return !later.on(lastState.topic).isEmpty(); }));
        QCOMPARE(later.on(lastState.topic).first().payload, lastState.payload);
        QVERIFY(later.on(lastState.topic).first().retained);
        QCOMPARE(later.payloads(topic(SerialF, "availability", prefix)), QStringList{"offline"});
        QCOMPARE(later.payloads(bridgeTopic(prefix)), QStringList{"offline"});
        if (!quantities.isEmpty())
            QVERIFY(later.waitFor(
                [&] { return !later.on(discoveryTopic(SerialF, quantities.first())).isEmpty(); }));
    }

    // A unit that stops answering goes offline right after the third unanswered poll in a row,
    // online at its next reply; the other unit stays online. The adapter pulled: every unit goes
    // offline, and online again once the adapter is back and the units answer. SIGTERM ends the
    // run with both units and the bridge offline.
    void unitsGoOfflineAndComeBack()
    {
        QVERIFY(startLive());
        QTemporaryDir folder;
        t.port = folder.filePath("ttyUSB0"); // a name that follows the adapter back
        QVERIFY(t.device->makeLink(t.port));
        Run run(reading("3,7", Endless));
        const QString availability = topic(SerialF, "availability");
        QVERIFY(heard(topic(SerialF, "state"), 2));
        t.device->unit(1).settings().address = 99; // no longer answers at 7
        QVERIFY(heard(availability, 2));
        QList<Message> messages = live->messages();
        QStringList results;
        for (const Message &m : messages.mid(0, indexOf(messages, availability, "offline")))
            if (m.topic == topic(SerialF, "state"))
                results << m.json()["result"].toString();
        QCOMPARE(results.mid(results.size() - 4),
                 QStringList({"ok", "no_answer", "no_answer", "no_answer"}));
        t.device->unit(1).settings().address = 7;
        QVERIFY(heard(availability, 3));
        QCOMPARE(live->payloads(availability), QStringList({"online", "offline", "online"}));
        QVERIFY(live->waitFor([&] {
            messages = live->messages();
            const int back = indexOf(messages, availability, "online", true);
            return indexOf(messages.mid(back), topic(SerialF, "state")) >= 0;
        }));
        QCOMPARE(live->on(topic(SerialF, "state")).last().json()["result"], "ok");
        QCOMPARE(live->payloads(topic(SerialC, "availability")), QStringList{"online"});
        t.device->unplug();
        for (const QString &serial : {SerialC, SerialF})
            QVERIFY(live->waitFor(
                [&] { return live->payloads(topic(serial, "availability")).endsWith("offline"); }));
        QCOMPARE(live->on(topic(SerialC, "state")).last().json()["result"], "port_error");
        QVERIFY(t.device->replug());
        const QStringList back{"online", "offline", "online"};
        QVERIFY(live->waitFor([&] {
            return live->payloads(topic(SerialC, "availability")) == back &&
                   live->payloads(availability) == back + back.mid(1);
        }));
        QCOMPARE(live->on(topic(SerialC, "state")).last().json()["temperature"].toDouble(), -20.5);
        QVERIFY2(run.errors().contains("the adapter is back"), qPrintable(run.errors()));
        run.process.terminate();
        QCOMPARE(run.finished(), -1);
        QVERIFY(heard(bridgeTopic(), 2));
        QCOMPARE(live->payloads(topic(SerialC, "availability")), back + QStringList{"offline"});
        QCOMPARE(live->payloads(availability).last(), "offline");
        QCOMPARE(live->payloads(bridgeTopic()), QStringList({"online", "offline"}));
    }

    // Another unit at the unit's address, after it went silent there: Home Assistant hears of
    // the new one with its own identity; the old one stays offline. Then the run is killed with
    // SIGKILL and cannot say goodbye: the broker publishes the bridge's last will, and nothing
    // else changes.
    void aSwapRepublishesDiscoveryAndTheLastWillSaysOffline()
    {
        QVERIFY(startLive());
        Run run(reading("3,7", Endless));
        QVERIFY(heard(topic(SerialF, "state"), 1));
        DeviceSettings &unit = t.device->unit(1).settings();
        unit.address = 99; // taken off the line
        QVERIFY(heard(topic(SerialF, "availability"), 2));
        unit.serialNumber[2] = 0x7777; // a Tervin-C, SHT3X/4X, firmware 3.0.0 put in its place
        unit.deviceType = 1;
        unit.sensorType = 1;
        unit.firmwareVersion = 300;
        unit.address = 7;
        const QString swapped = "123456787777";
        QVERIFY(heard(topic(swapped, "state"), 1));
        for (const QString &quantity : QStringList{"temperature", "humidity", "dew_point"}) {
            QCOMPARE(live->on(discoveryTopic(SerialF, quantity)).size(), 1);
            const QList<Message> configs = live->on(discoveryTopic(swapped, quantity));
            QCOMPARE(configs.size(), 1);
            QCOMPARE(fields(configs[0].json()["device"].toMap(),
                            {"serial_number", "model", "sw_version"}),
                     QStringList({swapped, "Tervin-C SHT3X/4X", "3.0.0"}));
            QCOMPARE(configs[0].json()["unit_of_measurement"],
                     quantity == "humidity" ? "%" : Celsius);
        }
        const QVariantMap state = live->on(topic(swapped, "state")).first().json();
        QCOMPARE(state["address"].toInt(), 7);
        QCOMPARE(state["unit"], Celsius);
        QCOMPARE(live->payloads(topic(swapped, "availability")), QStringList{"online"});
        QCOMPARE(live->payloads(topic(SerialF, "availability")),
                 QStringList({"online", "offline"}));
        run.process.kill();
        QVERIFY(heard(bridgeTopic(), 2));
        QCOMPARE(live->payloads(bridgeTopic()), QStringList({"online", "offline"}));
        QCOMPARE(live->payloads(topic(SerialC, "availability")), QStringList{"online"});
        QCOMPARE(live->payloads(topic(swapped, "availability")), QStringList{"online"});
    }
};

QTEST_GUILESS_MAIN(TestCliMqtt)
#include "tst_climqtt.moc"
