// tervin-cli's flows over several requests against the virtual transmitter: a unit commissioned
// in one call, and a batch checked against the simulator. A line of units scanned, and the timing
// of these flows, are checked in virtual time (tst_clijobs); an adapter pulled under a read in
// tst_climqtt.
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
        const auto row = [&room](const char *name, const DeviceSettings &settings,
                                 const Faults &faults, int exitCode, const char *result,
                                 const char *error, const QList<int> &now) {
            QTest::newRow(name) << settings << faults << room << exitCode << result << error << now;
        };
        row("pass", plain, none, 0, "ok", "", {12, 19200, 12, 19200});
        row("70 \u00B0F passes 5:40 \u00B0C", fahrenheit, none, 0, "ok", "",
            {12, 19200, 12, 19200});
        row("out of range", hot, none, 1, "out_of_range",
            "temperature 45.0 \u00B0C is outside 5 to 40 \u00B0C; it now listens at address 12, "
            "19200 bit/s",
            {12, 19200, 12, 19200});
        row("not verified", plain, ignoring, 1, "not_verified",
            "no answer at address 12; it was given address 12, 9600 bit/s", {12, 9600, 1, 9600});
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
        QCOMPARE(QStringList({r["port"].toString(), r["command"].toString(), r["result"].toString(),
                              r["error"].toString(), r["serial"].toString(),
                              r["previous_address"].toString(), r["previous_baud"].toString()}),
                 QStringList({t.port, "commission", result, error, "123456789abc", "1", "9600"}));
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

    // The program and the simulator as a production line runs them: eight units, two offset
    // beyond the tolerance, checked with a report. A minute of settling is too long for the suite,
    // so the check is ended by SIGTERM after a few rounds, as an operator ends it with Ctrl+C: it
    // first prints a record for each unit as it stands (settling, its deviation so far) and writes
    // the report, drawn on the offscreen platform of its own QGuiApplication. The verdicts in time
    // are checked in virtual time (tst_clicheck).
    void aBatchCheckedAgainstTheSimulator()
    {
        Run sim({"--units", "1,2,3,4,5,6,7,8", "--device-type", "1", "--steady", "--offset",
                 "3:+0.5", "--offset", "6:0:-3", "--verbose"},
                QProcessEnvironment::systemEnvironment(), QString(), TERVIN_SIM);
        QVERIFY(QTest::qWaitFor([&] { return !sim.lines().isEmpty(); }, 10000));
        const QString port = sim.lines().first().trimmed();
        QTemporaryDir folder;
        const QString report = folder.filePath("lot 42.pdf");
        Run check({"check", port, "--addresses", "1-8", "--baud", "9600", "--reference-temperature",
                   "23.5:0.05", "--reference-humidity", "45:0.5", "--settle", "1m", "--report",
                   report, "--note", "lot 42", "--format", "json"});
        const int readingRounds = 3, units = 8;
        QVERIFY(QTest::qWaitFor(
            [&] { return sim.errors().count("-> reply 0") >= units * (1 + readingRounds); },
            20000));
        check.process.terminate();
        const Outcome outcome = check.outcome();
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
