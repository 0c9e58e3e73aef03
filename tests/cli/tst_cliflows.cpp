// tervin-cli's flows over several requests against the virtual transmitter: a unit commissioned
// in one call, two ports read while an adapter is pulled, and a batch checked against the
// simulator. A line of units scanned, and the timing of these flows, are checked in virtual time
// (tst_clijobs).
#include "clirun.h"
#include "protocol/protocol.h"

#include <QTemporaryDir>

Q_DECLARE_METATYPE(DeviceSettings)
Q_DECLARE_METATYPE(Faults)

using namespace CliRun;

class TestCliFlows : public QObject
{
    Q_OBJECT

private slots:
    // One record with the identity, the old and new settings and the reading; exit 0 only when
    // all passed. A unit that fails after its writes says where it now listens.
    void commission_data()
    {
        QTest::addColumn<DeviceSettings>("settings");
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<QStringList>("limits");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QList<int>>("now"); // the record's address and rate, then the unit's
        const QStringList room{"--expect-temperature", "5:40", "--expect-humidity", "20:80"};
        DeviceSettings plain, fahrenheit, hot;
        fahrenheit.deviceType = 2;
        fahrenheit.temperature = 21.1; // 70.0 °F
        hot.temperature = 45;
        Faults none, ignoring;
        ignoring.ignoreWrites = true;
        QTest::newRow("pass") << plain << none << room << 0 << "ok"
                              << "" << QList<int>{12, 19200, 12, 19200};
        QTest::newRow("70 \u00B0F passes 5:40 \u00B0C") << fahrenheit << none << room << 0 << "ok"
                                                        << "" << QList<int>{12, 19200, 12, 19200};
        QTest::newRow("out of range")
            << hot << none << room << 1 << "out_of_range"
            << "temperature 45.0 \u00B0C is outside 5 to 40 \u00B0C; it now listens at address "
               "12, 19200 bit/s"
            << QList<int>{12, 19200, 12, 19200};
        QTest::newRow("not verified") << plain << ignoring << room << 1 << "not_verified"
                                      << "no answer at address 12; it was given address 12, "
                                         "9600 bit/s"
                                      << QList<int>{12, 9600, 1, 9600};
    }
    void commission()
    {
        QFETCH(DeviceSettings, settings);
        QFETCH(Faults, faults);
        QFETCH(QStringList, limits);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QFETCH(QString, error);
        QFETCH(QList<int>, now);
        settings.drift = false;
        const Transmitter t = transmitter(settings);
        t.device->setFaults(faults);
        const Outcome outcome = cli(QStringList{"commission", t.port, "--address", "12", "--baud",
                                                "19200", "--format", "json"} +
                                    limits);
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.out.size(), 1);
        const QVariantMap r = json(outcome.out.first());
        QVERIFY(isRecordTime(r["time"].toString()));
        QCOMPARE(r["port"], t.port);
        QCOMPARE(r["command"], "commission");
        QCOMPARE(r["result"], result);
        QCOMPARE(r["error"].toString(), error);
        QCOMPARE(r["serial"], "123456789abc");
        QCOMPARE(QList<int>({r["previous_address"].toInt(), r["previous_baud"].toInt()}),
                 QList<int>({1, 9600}));
        const DeviceSettings &unit = t.device->model().settings();
        QCOMPARE(QList<int>({r["address"].toInt(), r["baud"].toInt(), unit.address,
                             Modbus::baudRateOfCode(unit.baudCode)}),
                 now);
        if (result != "not_verified") {
            const bool f = settings.deviceType == 2;
            QCOMPARE(r["temperature"].toDouble(), f ? 70.0 : settings.temperature);
            QCOMPARE(r["unit"], f ? "\u00B0F" : "\u00B0C");
            QCOMPARE(r["humidity"].toDouble(), 45.0);
        }
        if (!error.isEmpty())
            QVERIFY2(outcome.err.contains(error), qPrintable(outcome.err));
    }

    // read on two ports at once; with --count 0 a pulled adapter is waited for: each unit's record
    // says port_error, and the readings go on once it is back. The records come in the order of
    // the ports, each port's together.
    void readTwoPortsFollowingAnAdapterBack()
    {
        QTemporaryDir folder;
        DeviceSettings unit;
        unit.temperature = -20;
        const Transmitter a = transmitter(unit);
        unit.address = 7;
        const Transmitter b = transmitter(unit);
        const QString portA = folder.filePath("ttyA"), portB = folder.filePath("ttyB");
        QVERIFY(a.device->makeLink(portA) && b.device->makeLink(portB));
        QProcess run;
        run.start(TERVIN_CLI, {"read", portA, portB, "--baud", "9600", "--count", "0", "--period",
                               "200", "--format", "json"});
        QStringList lines;
        auto seen = [&](const QString &result) { // port A's records with this result
            lines += QString::fromUtf8(run.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
            return int(std::count_if(lines.begin(), lines.end(), [&](const QString &line) {
                const QVariantMap r = json(line);
                return r["port"] == portA && r["result"] == result;
            }));
        };
        QVERIFY(QTest::qWaitFor([&] { return seen("ok") >= 2; }, 10000));
        a.device->unplug();
        QVERIFY(QTest::qWaitFor([&] { return seen("port_error") >= 1; }, 10000));
        const int before = seen("ok");
        QVERIFY(a.device->replug());
        QVERIFY(QTest::qWaitFor([&] { return seen("ok") >= before + 2; }, 15000));
        run.terminate();
        QVERIFY(run.waitForFinished(10000));
        seen("");
        QStringList order;
        for (const QString &line : lines) {
            const QVariantMap r = json(line);
            if (order.isEmpty() || order.last() != r["port"].toString())
                order << r["port"].toString();
            QVERIFY(r["result"] == "port_error" || r["temperature"].toDouble() == -20.0);
        }
        QCOMPARE(order, QStringList({portA, portB}));
        QVERIFY(QString::fromUtf8(run.readAllStandardError()).contains("the adapter is back"));
    }

    // The program and the simulator as a production line runs them: eight units, two offset
    // beyond the tolerance, checked with a report. A minute of settling is too long for the suite,
    // so the check is ended by SIGTERM after a few rounds, as an operator ends it with Ctrl+C: it
    // first prints a record for each unit as it stands (settling, its deviation so far) and writes
    // the report, drawn on the offscreen platform of its own QGuiApplication. The verdicts in time
    // are checked in virtual time (tst_clicheck).
    void aBatchCheckedAgainstTheSimulator()
    {
        QProcess sim;
        sim.start(TERVIN_SIM, {"--units", "1,2,3,4,5,6,7,8", "--device-type", "1", "--steady",
                               "--offset", "3:+0.5", "--offset", "6:0:-3", "--verbose"});
        QVERIFY(sim.waitForReadyRead(10000));
        const QString port = QString::fromUtf8(sim.readLine()).trimmed();
        QTemporaryDir folder;
        const QString report = folder.filePath("lot 42.pdf");
        QProcess check;
        check.start(TERVIN_CLI,
                    {"check", port, "--addresses", "1-8", "--baud", "9600",
                     "--reference-temperature", "23.5:0.05", "--reference-humidity", "45:0.5",
                     "--settle", "1m", "--report", report, "--note", "lot 42", "--format", "json"});
        QByteArray answered;
        const int readingRounds = 3, units = 8;
        QVERIFY(QTest::qWaitFor(
            [&] {
                answered += sim.readAllStandardError();
                return answered.count("-> reply 0") >= units * (1 + readingRounds);
            },
            20000));
        check.terminate();
        const Outcome outcome = finished(check);
        sim.terminate();
        sim.waitForFinished(5000);
        QCOMPARE(outcome.exitCode, -1); // ended by the signal, after its records
        QList<QVariantMap> records = CliRun::records("json", outcome.out);
        QCOMPARE(records.size(), units + 1);
        const QVariantMap summary = records.takeLast();
        QCOMPARE(summary["error"].toString(), "interrupted");
        QCOMPARE(summary["settling"].toInt(), units);
        QCOMPARE(summary["report_pdf"].toString(), report);
        const QMap<int, QPair<double, double>> offsets{{3, {0.5, 0}}, {6, {0, -3}}};
        for (const QVariantMap &r : records) {
            const int address = r["address"].toInt();
            QCOMPARE(r["verdict"].toString(), "settling");
            QCOMPARE(r["result"].toString(), "not_settled");
            QVERIFY(qAbs(r["deviation_temperature"].toDouble() - offsets[address].first) < 0.006);
            QVERIFY(qAbs(r["deviation_humidity"].toDouble() - offsets[address].second) < 0.006);
        }
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", report, "-"});
        QVERIFY(pdftotext.waitForFinished(30000));
        const QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\n');
        for (const QVariantMap &r : records)
            QVERIFY2(lines.filter(r["serial"].toString()).filter("settling").size() == 1,
                     qPrintable(r["serial"].toString()));
        QFile csv(folder.filePath("lot 42.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\n"), units + 1);
    }
};

QTEST_GUILESS_MAIN(TestCliFlows)
#include "tst_cliflows.moc"
