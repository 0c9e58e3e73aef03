// tervin-cli read --mqtt against a real Mosquitto broker that goes away, restarts, hangs or is
// not there yet, that wants a password or TLS: nothing printed is lost, the queue's bound holds,
// and the password never crosses a network unsaid. What a consumer gets from a run is in
// tst_climqtt.
#include "mqttrun.h"

#include <QTemporaryDir>

using namespace MqttRun;

// Each test has the line of two units and a broker of its own, not started yet.
class TestCliMqttBroker : public QObject, public Bench
{
    Q_OBJECT

private slots:
    void init() { begin(); }
    void cleanup() { end(); }

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
};

QTEST_GUILESS_MAIN(TestCliMqttBroker)
#include "tst_climqttbroker.moc"
