// tervin-cli read --mqtt against a real Mosquitto broker (tests/support/mqttbroker.h) and a line
// of virtual transmitters on this test's event loop: what a consumer of the broker gets, through
// a broker restart, an outage past the queue's bound, a refused password, TLS and a run killed.
// The topics and payloads themselves are built and checked as pure functions in tst_mqttmessages.
#include "clirun.h"
#include "mqttbroker.h"

#include <QSysInfo>
#include <QTemporaryDir>

using namespace CliRun;
using MqttTest::Broker;
using MqttTest::BrokerSetup;
using MqttTest::Message;
using MqttTest::Subscriber;

namespace {
const QString Celsius = "\u00B0C";
const QString Fahrenheit = "\u00B0F";
const QString SerialC = "123456789abc"; // at address 3
const QString SerialF = "123456789abd"; // at address 7

// A line of two units at 9600 bit/s, steady: at 3 a Tervin-C with an SHT3X/4X and firmware
// 2.4.5 in a freezer at -20.5 °C, at 7 a Tervin-F with firmware 1.2.3 reading 70.0 °F.
Transmitter line()
{
    DeviceSettings c;
    c.address = 3;
    c.deviceType = 1;
    c.sensorType = 1;
    c.firmwareVersion = 245;
    c.temperature = -20.5;
    c.humidity = 61.5;
    Transmitter t = transmitter(c);
    DeviceSettings f;
    f.address = 7;
    f.deviceType = 2;
    f.serialNumber[2] = 0x9abd;
    f.temperature = 21.1;
    t.device->addUnit(f);
    return t;
}

const QStringList Endless{"--count", "0", "--period", "100"};

QString topic(const QString &serial, const QString &kind, const QString &prefix = "tervin")
{
    return prefix + '/' + serial + '/' + kind;
}

QString bridgeTopic(const QString &prefix = "tervin")
{
    return prefix + "/bridge/" + QSysInfo::machineHostName() + "/status";
}

QString discoveryTopic(const QString &serial, const QString &quantity)
{
    return QString("homeassistant/sensor/tervin_%1_%2/config").arg(serial, quantity);
}

// The times of the records or states; with `once`, each reading once, in the order first heard:
// QoS 1 may deliver a message twice.
QStringList timesOf(const QList<QVariantMap> &objects, bool once = false)
{
    QStringList times;
    for (const QVariantMap &object : objects)
        if (!once || !times.contains(object["time"].toString()))
            times << object["time"].toString();
    return times;
}

QList<QVariantMap> jsonOf(const QList<Message> &messages)
{
    QList<QVariantMap> objects;
    for (const Message &m : messages)
        objects << m.json();
    return objects;
}

QStringList fields(const QVariantMap &object, const QStringList &keys)
{
    QStringList values;
    for (const QString &key : keys)
        values << object[key].toString();
    return values;
}

// Where the first (or last) message on the topic, with the payload if one is given, was heard.
int indexOf(const QList<Message> &messages, const QString &topic, const QByteArray &payload = {},
            bool last = false)
{
    int found = -1;
    for (int i = 0; i < messages.size(); ++i)
        if (messages[i].topic == topic && (payload.isEmpty() || messages[i].payload == payload) &&
            (found < 0 || last))
            found = i;
    return found;
}
} // namespace

// Each test has the line of two units and a broker of its own, not started yet.
class TestCliMqtt : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        t = line();
        broker = std::make_unique<Broker>();
    }
    void cleanup()
    {
        live.reset();
        broker.reset();
        t = Transmitter();
    }

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

    // Offline right after the third unanswered poll in a row, online at the next reply; the
    // other unit stays online. SIGTERM ends the run with both units and the bridge offline.
    void anUnansweredUnitGoesOfflineAndComesBack()
    {
        QVERIFY(startLive());
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
        run.process.terminate();
        QCOMPARE(run.finished(), -1);
        QVERIFY(heard(bridgeTopic(), 2));
        QCOMPARE(live->payloads(topic(SerialC, "availability")),
                 QStringList({"online", "offline"}));
        QCOMPARE(live->payloads(availability).last(), "offline");
        QCOMPARE(live->payloads(bridgeTopic()), QStringList({"online", "offline"}));
    }

    // The adapter pulled under a run that reads until interrupted: every unit goes offline, and
    // online again once the adapter is back and the units answer.
    void aPulledAdapterTakesTheUnitsOffline()
    {
        QVERIFY(startLive());
        QTemporaryDir folder;
        t.port = folder.filePath("ttyUSB0"); // a name that follows the adapter back
        QVERIFY(t.device->makeLink(t.port));
        Run run(reading("3,7", Endless));
        QVERIFY(heard(topic(SerialF, "state"), 2));
        t.device->unplug();
        for (const QString &serial : {SerialC, SerialF})
            QVERIFY(live->waitFor(
                [&] { return live->payloads(topic(serial, "availability")).endsWith("offline"); }));
        QCOMPARE(live->on(topic(SerialC, "state")).last().json()["result"], "port_error");
        QVERIFY(t.device->replug());
        for (const QString &serial : {SerialC, SerialF})
            QVERIFY(live->waitFor([&] {
                return live->payloads(topic(serial, "availability")) ==
                       QStringList({"online", "offline", "online"});
            }));
        QCOMPARE(live->on(topic(SerialC, "state")).last().json()["temperature"].toDouble(), -20.5);
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

    // The broker restarted (SIGTERM, which saves its state), or hung and then killed, mid-run:
    // every reading printed meanwhile reaches a subscriber once the broker is back, in the order
    // taken. A hung broker acknowledges nothing: what was sent to it then goes again. The
    // subscriber's session is persistent and saved by the broker before it goes, so that it
    // gets what was published while it was reconnecting.
    void nothingIsLostWhenTheBrokerRestarts_data()
    {
        QTest::addColumn<bool>("hung");
        QTest::newRow("restarted") << false;
        QTest::newRow("hung, then killed") << true;
    }
    void nothingIsLostWhenTheBrokerRestarts()
    {
        QFETCH(bool, hung);
        QVERIFY(startLive("tervin-test-persistent"));
        QVERIFY(broker->savedAfter(QDateTime::currentDateTime()));
        Run run(reading("3,7", {"--count", "30", "--period", "100"}));
        QVERIFY(heard(topic(SerialC, "state"), 2));
        if (hung)
            broker->freeze();
        else
            broker->stop();
        const int before = int(run.records().size());
        QVERIFY(QTest::qWaitFor([&] { return run.records().size() >= before + 10; }, 20000));
        if (hung)
            broker->kill();
        QVERIFY(broker->start());
        const int exitCode = run.finished();
        QVERIFY2(exitCode == 0, qPrintable(run.errors()));
        QVERIFY2(run.errors().contains("connection lost"), qPrintable(run.errors()));
        for (const QString &serial : {SerialC, SerialF}) {
            const QStringList printed = timesOf(run.records("serial", serial));
            QCOMPARE(printed.size(), 30);
            const auto published = [&] {
                return timesOf(jsonOf(live->on(topic(serial, "state"))), true);
            };
            QVERIFY(live->waitFor([&] { return published().size() == printed.size(); }));
            QCOMPARE(published(), printed);
        }
    }

    // An unreachable broker at the start: the run polls and queues, says so once, and once the
    // queue is past its bound drops the oldest; the states say how many, and the status is 3.
    void pastTheBoundTheOldestAreDropped()
    {
        Run run(reading("3,7", {"--count", "20", "--period", "100", "--mqtt-queue", "5"}));
        QVERIFY(QTest::qWaitFor([&] { return run.errors().contains("queue is full"); }, 20000));
        QVERIFY2(run.errors().contains("the queue is full (5 messages): the oldest are dropped"),
                 qPrintable(run.errors()));
        QVERIFY(startLive());
        QCOMPARE(run.finished(), 3);
        QCOMPARE(run.errors().count("cannot connect"), 1);
        const QRegularExpression total("(\\d+) messages were dropped in all \\(--mqtt-queue 5\\)");
        const QRegularExpressionMatch said = total.match(run.errors());
        QVERIFY2(said.hasMatch(), qPrintable(run.errors()));
        QList<qint64> counted;
        for (const QVariantMap &s : jsonOf(live->on(topic(SerialC, "state"))))
            counted << s["mqtt_dropped"].toLongLong();
        QVERIFY(!counted.isEmpty() && counted.first() > 0);
        QVERIFY(std::is_sorted(counted.begin(), counted.end()));
        QVERIFY(counted.last() <= said.captured(1).toLongLong());
        QCOMPARE(run.records().size(), 40); // standard output has every reading
    }

    // The password from a file or from the environment, never from an argument; a wrong one or
    // none ends the run at once with the broker's refusal and status 3.
    void credentials_data()
    {
        QTest::addColumn<QString>("file");        // the password file's text; empty: no file
        QTest::addColumn<QString>("environment"); // TERVIN_MQTT_PASSWORD
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char *name, const char *file, const char *environment,
                            int exitCode) {
            QTest::newRow(name) << file << environment << exitCode;
        };
        row("from a file", "s3cret pass\n", "", 0);
        row("from the environment", "", "s3cret pass", 0);
        row("the file before the environment", "s3cret pass", "guess", 0);
        row("a wrong password", "guess\n", "", 3);
        row("no password", "", "", 3);
    }
    void credentials()
    {
        QFETCH(QString, file);
        QFETCH(QString, environment);
        QFETCH(int, exitCode);
        broker = std::make_unique<Broker>(BrokerSetup{"rack1", "s3cret pass"});
        QVERIFY(broker->start());
        QTemporaryDir folder;
        QStringList arguments = reading("3", {"--count", "1", "--mqtt-user", "rack1"});
        if (!file.isEmpty()) {
            QFile passwordFile(folder.filePath("password"));
            QVERIFY(passwordFile.open(QIODevice::WriteOnly));
            passwordFile.write(file.toUtf8());
            arguments << "--mqtt-password-file" << passwordFile.fileName();
        }
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.remove("TERVIN_MQTT_PASSWORD");
        if (!environment.isEmpty())
            variables.insert("TERVIN_MQTT_PASSWORD", environment);
        Run run(arguments, variables);
        QCOMPARE(run.finished(), exitCode);
        QCOMPARE(run.errors().contains("the broker refused the user name or password"),
                 exitCode != 0);
        QVERIFY(!run.errors().contains("clear text")); // the broker is on this PC
        if (exitCode == 0)                             // every message acknowledged
            QCOMPARE(run.records().size(), 1);
    }

    // A password that would cross the network in clear text is warned of.
    void aPasswordInClearTextIsWarnedOf()
    {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.insert("TERVIN_MQTT_PASSWORD", "s3cret");
        Run run({"read", t.port, "--baud", "9600", "--address", "3", "--count", "0", "--mqtt",
                 "mqtt://192.0.2.1:1", "--mqtt-user", "rack1"},
                variables);
        QVERIFY(QTest::qWaitFor([&] { return run.errors().contains("clear text"); }, 20000));
        QVERIFY2(run.errors().contains("warning: the password goes to 192.0.2.1 in clear text"),
                 qPrintable(run.errors()));
    }

    // mqtts:// with the authority that signed the broker's certificate; without it the
    // handshake fails and says why.
    void tls_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("--mqtt-cafile") << true;
        QTest::newRow("the system's authorities") << false;
    }
    void tls()
    {
        QFETCH(bool, trusted);
        broker = std::make_unique<Broker>(BrokerSetup{QString(), QString(), true});
        QVERIFY(broker->start());
        QStringList arguments = reading("3", {"--count", "1"});
        if (trusted)
            arguments << "--mqtt-cafile" << broker->caFile();
        Run run(arguments);
        if (trusted) {
            QCOMPARE(run.finished(), 0); // every message acknowledged over TLS
            QCOMPARE(run.errors(), QString());
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return run.errors().contains("TLS"); }, 20000));
        QVERIFY2(run.errors().contains("the TLS handshake failed"), qPrintable(run.errors()));
    }

private:
    // The broker started, and a consumer subscribed to every topic (persistent with a client id).
    bool startLive(const QString &clientId = QString())
    {
        if (!broker->start())
            return false;
        live = std::make_unique<Subscriber>(broker->port(), clientId);
        return live->subscribed();
    }
    // Waits until the consumer has heard at least `count` messages on the topic.
    bool heard(const QString &topic, int count)
    {
        return live->waitFor([&] { return live->on(topic).size() >= count; });
    }
    QStringList reading(const QString &addresses, const QStringList &options) const
    {
        return QStringList{"read",    t.port,     "--baud", "9600",   "--address",
                           addresses, "--format", "json",   "--mqtt", broker->url()} +
               options;
    }

    Transmitter t;
    std::unique_ptr<Broker> broker;
    std::unique_ptr<Subscriber> live;
};

QTEST_GUILESS_MAIN(TestCliMqtt)
#include "tst_climqtt.moc"
