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

QStringList readLine(const Transmitter &t, const Broker &broker, const QString &addresses)
{
    return {"read",    t.port,     "--baud", "9600",   "--address",
            addresses, "--format", "json",   "--mqtt", broker.url()};
}

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

// tervin-cli in a process of its own, its records and messages read as they come.
class Run
{
public:
    explicit Run(const QStringList &arguments,
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(environment);
        process.start(TERVIN_CLI, arguments);
    }
    ~Run()
    {
        process.kill();
        process.waitForFinished();
    }

    QList<QVariantMap> records()
    {
        out += process.readAllStandardOutput();
        QList<QVariantMap> found;
        for (const QByteArray &line : out.left(out.lastIndexOf('\n') + 1).split('\n'))
            if (!line.isEmpty())
                found << json(QString::fromUtf8(line));
        return found;
    }
    QList<QVariantMap> recordsOf(const QString &serial)
    {
        QList<QVariantMap> found;
        for (const QVariantMap &r : records())
            if (r["serial"] == serial)
                found << r;
        return found;
    }
    QString errors()
    {
        err += process.readAllStandardError();
        return QString::fromUtf8(err);
    }
    // The exit status once it has ended, -1 when a signal ended it.
    int finished()
    {
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
            return -2;
        records();
        errors();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QProcess process;

private:
    QByteArray out;
    QByteArray err;
};

QStringList timesOf(const QList<QVariantMap> &objects)
{
    QStringList times;
    for (const QVariantMap &object : objects)
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

// Each reading once, in the order first heard: QoS 1 may deliver a message twice.
QStringList firstOfEach(const QStringList &times)
{
    QStringList once;
    for (const QString &time : times)
        if (!once.contains(time))
            once << time;
    return once;
}

bool matches(const Message &message, const QString &topic, const QByteArray &payload)
{
    return message.topic == topic && (payload.isEmpty() || message.payload == payload);
}

int indexOf(const QList<Message> &messages, const QString &topic, const QByteArray &payload = {})
{
    for (int i = 0; i < messages.size(); ++i)
        if (matches(messages[i], topic, payload))
            return i;
    return -1;
}

int lastIndexOf(const QList<Message> &messages, const QString &topic, const QByteArray &payload)
{
    for (int i = int(messages.size()) - 1; i >= 0; --i)
        if (matches(messages[i], topic, payload))
            return i;
    return -1;
}
} // namespace

class TestCliMqtt : public QObject
{
    Q_OBJECT

private slots:
    // Each unit's states (its record's fields and its identity), its availability, the bridge's
    // status, and Home Assistant's discovery for each quantity read; the unit that never
    // answers publishes nothing. A consumer that subscribes later gets each topic's last
    // message, retained.
    void everyKindOfMessage_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QStringList>("quantities"); // discovered
        const QStringList all{"temperature", "humidity", "dew_point"};
        QTest::newRow("defaults") << QStringList{} << "tervin" << all;
        QTest::newRow("a prefix of two levels")
            << QStringList{"--mqtt-prefix", "plant/rack 1"} << "plant/rack 1" << all;
        QTest::newRow("humidity only")
            << QStringList{"--what", "humidity"} << "tervin" << QStringList{"humidity"};
        QTest::newRow("no discovery") << QStringList{"--no-discovery"} << "tervin" << QStringList{};
        QTest::newRow("quiet") << QStringList{"--quiet"} << "tervin" << all;
    }
    void everyKindOfMessage()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, prefix);
        QFETCH(QStringList, quantities);
        Broker broker;
        QVERIFY(broker.start());
        Subscriber live(broker.port());
        QVERIFY(live.subscribed());
        const Transmitter t = line();
        Run run(readLine(t, broker, "3,7,12") + QStringList{"--count", "2", "--period", "200"} +
                options);
        QCOMPARE(run.finished(), 1); // nothing at 12
        QVERIFY(live.waitFor([&] { return live.on(bridgeTopic(prefix)).size() == 2; }));
        const QList<Message> heard = live.messages();
        QCOMPARE(live.payloads(bridgeTopic(prefix)), QStringList({"online", "offline"}));
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
            const QList<QVariantMap> states = jsonOf(live.on(topic(u.serial, "state", prefix)));
            QCOMPARE(states.size(), 2);
            QList<QVariantMap> printed = run.recordsOf(u.serial);
            for (int i = 0; i < states.size(); ++i) {
                const QVariantMap &s = states[i];
                QVERIFY(isRecordTime(s["time"].toString()));
                QCOMPARE(s["port"], t.port);
                QCOMPARE(s["baud"].toInt(), 9600);
                QCOMPARE(s["serial"], u.serial);
                QCOMPARE(s["device_type"], u.type);
                QCOMPARE(s["sensor"], u.sensor);
                QCOMPARE(s["firmware"], u.firmware);
                QCOMPARE(s["unit"], u.unit);
                QCOMPARE(s["result"], "ok");
                QCOMPARE(s["temperature"].isNull(), humidityOnly);
                if (!humidityOnly)
                    QCOMPARE(s["temperature"].toDouble(), u.temperature);
                QVERIFY(!s.contains("mqtt_dropped"));
                if (quiet)
                    continue;
                for (const char *field : {"time", "address", "baud", "port", "serial", "result",
                                          "temperature", "humidity", "dew_point", "unit"})
                    if (printed[i].contains(field))
                        QCOMPARE(s[field], printed[i][field]);
            }
            if (!humidityOnly && u.serial == SerialC)
                QVERIFY(states[0]["dew_point"].toDouble() < 0);
            QCOMPARE(live.payloads(topic(u.serial, "availability", prefix)),
                     QStringList({"online", "offline"}));
            for (const QString &quantity : QStringList{"temperature", "humidity", "dew_point"}) {
                const QList<Message> configs = live.on(discoveryTopic(u.serial, quantity));
                QCOMPARE(configs.size(), quantities.contains(quantity) ? 1 : 0);
                if (configs.isEmpty())
                    continue;
                QVERIFY(indexOf(heard, configs[0].topic) <
                        indexOf(heard, topic(u.serial, "state", prefix)));
                const QVariantMap c = configs[0].json();
                QCOMPARE(c["unique_id"], QString("tervin_%1_%2").arg(u.serial, quantity));
                QCOMPARE(c["device_class"], quantity == "humidity" ? "humidity" : "temperature");
                QCOMPARE(c["unit_of_measurement"], quantity == "humidity" ? "%" : u.unit);
                QCOMPARE(c["state_topic"], topic(u.serial, "state", prefix));
                // The template names the state's field of this quantity.
                QCOMPARE(c["value_template"], QString("{{ value_json.%1 }}").arg(quantity));
                QVERIFY(states[0].contains(quantity) && !states[0][quantity].isNull());
                QStringList availability;
                for (const QVariant &a : c["availability"].toList())
                    availability << a.toMap()["topic"].toString();
                QCOMPARE(availability, QStringList({topic(u.serial, "availability", prefix),
                                                    bridgeTopic(prefix)}));
                QCOMPARE(c["availability_mode"], "all");
                const QVariantMap device = c["device"].toMap();
                QCOMPARE(device["identifiers"].toList().value(0), "tervin_" + u.serial);
                QCOMPARE(device["manufacturer"], "Tervin");
                QCOMPARE(device["model"], u.type + ' ' + u.sensor);
                QCOMPARE(device["sw_version"], u.firmware);
                QCOMPARE(device["serial_number"], u.serial);
            }
        }
        // What a consumer that comes later gets: the last message of each topic.
        Subscriber later(broker.port());
        QVERIFY(later.subscribed());
        QVERIFY(later.waitFor([&] { return !later.on(bridgeTopic(prefix)).isEmpty(); }));
        const Message lastState = live.on(topic(SerialC, "state", prefix)).last();
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
        Broker broker;
        QVERIFY(broker.start());
        Subscriber live(broker.port());
        QVERIFY(live.subscribed());
        const Transmitter t = line();
        Run run(readLine(t, broker, "3,7") + QStringList{"--count", "0", "--period", "100"});
        const QString availability = topic(SerialF, "availability");
        QVERIFY(live.waitFor([&] { return live.on(topic(SerialF, "state")).size() >= 2; }));
        t.device->unit(1).settings().address = 99; // no longer answers at 7
        QVERIFY(live.waitFor([&] { return live.on(availability).size() == 2; }));
        QList<Message> heard = live.messages();
        QStringList results;
        for (const Message &m : heard.mid(0, indexOf(heard, availability, "offline")))
            if (m.topic == topic(SerialF, "state"))
                results << m.json()["result"].toString();
        QCOMPARE(results.mid(results.size() - 4),
                 QStringList({"ok", "no_answer", "no_answer", "no_answer"}));
        t.device->unit(1).settings().address = 7;
        QVERIFY(live.waitFor([&] { return live.on(availability).size() == 3; }));
        QCOMPARE(live.payloads(availability), QStringList({"online", "offline", "online"}));
        QVERIFY(live.waitFor([&] {
            heard = live.messages();
            const int back = lastIndexOf(heard, availability, "online");
            return indexOf(heard.mid(back), topic(SerialF, "state")) >= 0;
        }));
        QCOMPARE(live.on(topic(SerialF, "state")).last().json()["result"], "ok");
        QCOMPARE(live.payloads(topic(SerialC, "availability")), QStringList{"online"});
        run.process.terminate();
        QCOMPARE(run.finished(), -1);
        QVERIFY(live.waitFor([&] { return live.on(bridgeTopic()).size() == 2; }));
        QCOMPARE(live.payloads(topic(SerialC, "availability")), QStringList({"online", "offline"}));
        QCOMPARE(live.payloads(availability).last(), "offline");
        QCOMPARE(live.payloads(bridgeTopic()), QStringList({"online", "offline"}));
    }

    // The adapter pulled under a run that reads until interrupted: every unit goes offline, and
    // online again once the adapter is back and the units answer.
    void aPulledAdapterTakesTheUnitsOffline()
    {
        Broker broker;
        QVERIFY(broker.start());
        Subscriber live(broker.port());
        QVERIFY(live.subscribed());
        Transmitter t = line();
        QTemporaryDir folder;
        t.port = folder.filePath("ttyUSB0"); // a name that follows the adapter back
        QVERIFY(t.device->makeLink(t.port));
        Run run(readLine(t, broker, "3,7") + QStringList{"--count", "0", "--period", "100"});
        QVERIFY(live.waitFor([&] { return live.on(topic(SerialF, "state")).size() >= 2; }));
        t.device->unplug();
        for (const QString &serial : {SerialC, SerialF})
            QVERIFY(live.waitFor([&] {
                return live.payloads(topic(serial, "availability")).endsWith("offline");
            }));
        QCOMPARE(live.on(topic(SerialC, "state")).last().json()["result"], "port_error");
        QVERIFY(t.device->replug());
        for (const QString &serial : {SerialC, SerialF})
            QVERIFY(live.waitFor([&] {
                return live.payloads(topic(serial, "availability")) ==
                       QStringList({"online", "offline", "online"});
            }));
        QCOMPARE(live.on(topic(SerialC, "state")).last().json()["temperature"].toDouble(), -20.5);
    }

    // Another unit at the unit's address, after it went silent there: Home Assistant hears of
    // the new one with its own identity; the old one stays offline.
    void aSwapRepublishesDiscovery()
    {
        Broker broker;
        QVERIFY(broker.start());
        Subscriber live(broker.port());
        QVERIFY(live.subscribed());
        const Transmitter t = line();
        Run run(readLine(t, broker, "3,7") + QStringList{"--count", "0", "--period", "100"});
        QVERIFY(live.waitFor([&] { return !live.on(topic(SerialF, "state")).isEmpty(); }));
        DeviceSettings &unit = t.device->unit(1).settings();
        unit.address = 99; // taken off the line
        QVERIFY(live.waitFor(
            [&] { return live.payloads(topic(SerialF, "availability")).size() == 2; }));
        unit.serialNumber[2] = 0x7777; // a Tervin-C, SHT3X/4X, firmware 3.0.0 put in its place
        unit.deviceType = 1;
        unit.sensorType = 1;
        unit.firmwareVersion = 300;
        unit.address = 7;
        const QString swapped = "123456787777";
        QVERIFY(live.waitFor([&] { return !live.on(topic(swapped, "state")).isEmpty(); }));
        for (const QString &quantity : QStringList{"temperature", "humidity", "dew_point"}) {
            QCOMPARE(live.on(discoveryTopic(SerialF, quantity)).size(), 1);
            const QList<Message> configs = live.on(discoveryTopic(swapped, quantity));
            QCOMPARE(configs.size(), 1);
            const QVariantMap device = configs[0].json()["device"].toMap();
            QCOMPARE(device["serial_number"], swapped);
            QCOMPARE(device["model"], "Tervin-C SHT3X/4X");
            QCOMPARE(device["sw_version"], "3.0.0");
            QCOMPARE(configs[0].json()["unit_of_measurement"],
                     quantity == "humidity" ? "%" : Celsius);
        }
        const QVariantMap state = live.on(topic(swapped, "state")).first().json();
        QCOMPARE(state["address"].toInt(), 7);
        QCOMPARE(state["unit"], Celsius);
        QCOMPARE(live.payloads(topic(swapped, "availability")), QStringList{"online"});
        QCOMPARE(live.payloads(topic(SerialF, "availability")), QStringList({"online", "offline"}));
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
        Broker broker;
        QVERIFY(broker.start());
        Subscriber live(broker.port(), "tervin-test-persistent");
        QVERIFY(live.subscribed());
        QVERIFY(broker.savedAfter(QDateTime::currentDateTime()));
        const Transmitter t = line();
        Run run(readLine(t, broker, "3,7") + QStringList{"--count", "50", "--period", "100"});
        QVERIFY(live.waitFor([&] { return live.on(topic(SerialC, "state")).size() >= 2; }));
        if (hung)
            broker.freeze();
        else
            broker.stop();
        const int before = int(run.records().size());
        QVERIFY(QTest::qWaitFor([&] { return run.records().size() >= before + 10; }, 20000));
        if (hung)
            broker.kill();
        QVERIFY(broker.start());
        const int exitCode = run.finished();
        QVERIFY2(exitCode == 0, qPrintable(run.errors()));
        QVERIFY2(run.errors().contains("connection lost"), qPrintable(run.errors()));
        for (const QString &serial : {SerialC, SerialF}) {
            const QStringList printed = timesOf(run.recordsOf(serial));
            QCOMPARE(printed.size(), 50);
            QVERIFY(live.waitFor([&] {
                return firstOfEach(timesOf(jsonOf(live.on(topic(serial, "state"))))).size() ==
                       printed.size();
            }));
            QCOMPARE(firstOfEach(timesOf(jsonOf(live.on(topic(serial, "state"))))), printed);
        }
    }

    // An unreachable broker at the start: the run polls and queues, says so once, and once the
    // queue is past its bound drops the oldest; the states say how many, and the status is 3.
    void pastTheBoundTheOldestAreDropped()
    {
        Broker broker; // not started yet
        const Transmitter t = line();
        Run run(readLine(t, broker, "3,7") +
                QStringList{"--count", "40", "--period", "100", "--mqtt-queue", "5"});
        QVERIFY(QTest::qWaitFor([&] { return run.errors().contains("queue is full"); }, 20000));
        QVERIFY2(run.errors().contains("the queue is full (5 messages): the oldest are dropped"),
                 qPrintable(run.errors()));
        QVERIFY(broker.start());
        Subscriber live(broker.port());
        QVERIFY(live.subscribed());
        QCOMPARE(run.finished(), 3);
        QCOMPARE(run.errors().count("cannot connect"), 1);
        const QRegularExpression total("(\\d+) messages were dropped in all \\(--mqtt-queue 5\\)");
        const QRegularExpressionMatch said = total.match(run.errors());
        QVERIFY2(said.hasMatch(), qPrintable(run.errors()));
        QList<qint64> counted;
        for (const QVariantMap &s : jsonOf(live.on(topic(SerialC, "state"))))
            counted << s["mqtt_dropped"].toLongLong();
        QVERIFY(!counted.isEmpty() && counted.first() > 0);
        QVERIFY(std::is_sorted(counted.begin(), counted.end()));
        QVERIFY(counted.last() <= said.captured(1).toLongLong());
        QCOMPARE(run.records().size(), 80); // standard output has every reading
    }

    // The password from a file or from the environment, never from an argument; a wrong one or
    // none ends the run at once with the broker's refusal and status 3.
    void credentials_data()
    {
        QTest::addColumn<QString>("file");        // the password file's text; empty: no file
        QTest::addColumn<QString>("environment"); // TERVIN_MQTT_PASSWORD
        QTest::addColumn<int>("exitCode");
        QTest::newRow("from a file") << "s3cret pass\n"
                                     << "" << 0;
        QTest::newRow("from the environment") << ""
                                              << "s3cret pass" << 0;
        QTest::newRow("the file before the environment") << "s3cret pass"
                                                         << "guess" << 0;
        QTest::newRow("a wrong password") << "guess\n"
                                          << "" << 3;
        QTest::newRow("no password") << ""
                                     << "" << 3;
    }
    void credentials()
    {
        QFETCH(QString, file);
        QFETCH(QString, environment);
        QFETCH(int, exitCode);
        Broker broker({"rack1", "s3cret pass"});
        QVERIFY(broker.start());
        const Transmitter t = line();
        QTemporaryDir folder;
        QStringList arguments =
            readLine(t, broker, "3") + QStringList{"--count", "1", "--mqtt-user", "rack1"};
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
        const Transmitter t = line();
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
        Broker broker({QString(), QString(), true});
        QVERIFY(broker.start());
        const Transmitter t = line();
        QStringList arguments = readLine(t, broker, "3") + QStringList{"--count", "1"};
        if (trusted)
            arguments << "--mqtt-cafile" << broker.caFile();
        Run run(arguments);
        if (trusted) {
            QCOMPARE(run.finished(), 0); // every message acknowledged over TLS
            QCOMPARE(run.errors(), QString());
            return;
        }
        QVERIFY(QTest::qWaitFor([&] { return run.errors().contains("TLS"); }, 20000));
        QVERIFY2(run.errors().contains("the TLS handshake failed"), qPrintable(run.errors()));
    }

    // Killed with SIGKILL, the run cannot say goodbye: the broker publishes the bridge's last
    // will, and nothing else changes.
    void theLastWillSaysOffline()
    {
        Broker broker;
        QVERIFY(broker.start());
        Subscriber live(broker.port());
        QVERIFY(live.subscribed());
        const Transmitter t = line();
        Run run(readLine(t, broker, "3,7") + QStringList{"--count", "0", "--period", "100"});
        QVERIFY(live.waitFor([&] { return !live.on(topic(SerialF, "state")).isEmpty(); }));
        run.process.kill();
        QVERIFY(live.waitFor([&] { return live.on(bridgeTopic()).size() == 2; }));
        QCOMPARE(live.payloads(bridgeTopic()), QStringList({"online", "offline"}));
        QCOMPARE(live.payloads(topic(SerialC, "availability")), QStringList{"online"});
    }
};

QTEST_GUILESS_MAIN(TestCliMqtt)
#include "tst_climqtt.moc"
