// tervin-cli check on the fake line in virtual time: units of the virtual transmitter's model, each
// reading the chamber through its own error, polled by the check's job as the program runs it;
// its records, its exit status, its report (the PDF's text as pdftotext extracts it, the CSV read
// back), units and references that fall silent, two points, and its line time against plain
// polling. A QGuiApplication on the offscreen platform, as tervin-cli makes for --report.
#include "jobrun.h"
#include "protocol/values.h"
#include "report/checkcsv.h"
#include "report/checkreport.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace LinkHarness;

namespace {
constexpr qint64 Minute = 60 * 1000;
const QStringList Typed{"--reference-temperature", "23.5:0.05", "--reference-humidity", "45:0.5"};

// A unit on the line: its address, device type (1 Tervin-C, 2 Tervin-F), and its offsets.
struct UnitSpec
{
    int address = 1;
    quint16 deviceType = 1;
    double temperatureOffset = 0;
    double humidityOffset = 0;
};
using Units = QList<UnitSpec>;

Units batch(int count, const QMap<int, UnitSpec> &special = {})
{
    Units units;
    for (int address = 1; address <= count; ++address)
        units << special.value(address, UnitSpec{address});
    return units;
}

QString serialOf(int address)
{
    return QStringLiteral("12345678%1").arg(0x9a00 + address, 4, 16, QLatin1Char('0'));
}

// The units in a chamber at this temperature and humidity, each reading it through its offsets.
void addUnits(FakeLine &line, const Units &units, double celsius = 23.5, double humidity = 45)
{
    for (const UnitSpec &spec : units) {
        TransmitterModel &unit = line.add(spec.address, spec.deviceType);
        unit.settings().serialNumber[2] = quint16(0x9a00 + spec.address); // serialOf
        unit.settings().temperature = celsius;
        unit.settings().humidity = humidity;
        SensorError error;
        error.temperature.offset = spec.temperatureOffset;
        error.humidity.offset = spec.humidityOffset;
        unit.setSensorError(error);
    }
}

// A check on the line of these units at 9600 bit/s.
struct CheckRun : JobRun
{
    CheckRun(const QStringList &arguments, const Units &units, double celsius = 23.5,
             double humidity = 45)
        : JobRun(QStringList{"check", "ttyFAKE", "--baud", "9600"} + arguments)
    {
        addUnits(line, units, celsius, humidity);
    }

    QVariantMap unit(int address) const
    {
        for (const QVariantMap &record : records)
            if (record["address"].toInt() == address && !record["verdict"].isNull())
                return record;
        return {};
    }
    QVariantMap summary() const { return records.value(records.size() - 1); }
    QStringList verdicts() const
    {
        QStringList all;
        for (int i = 0; i + 1 < records.size(); ++i)
            all << QStringLiteral("%1 %2")
                       .arg(records[i]["address"].toInt())
                       .arg(records[i]["verdict"].toString());
        return all;
    }
};

QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), {"-layout", path, "-"});
    pdftotext.waitForFinished(30000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// The addresses whose line of the report's table, found by serial number, has this verdict.
QList<int> reportedWith(const QString &text, const QString &verdict, const QList<int> &addresses)
{
    QList<int> found;
    for (int address : addresses) {
        const QStringList lines = text.split('\n').filter(serialOf(address));
        if (lines.size() == 1 && lines[0].split(' ', Qt::SkipEmptyParts).contains(verdict))
            found << address;
    }
    return found;
}
} // namespace

Q_DECLARE_METATYPE(Units)

class TestCliCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "pdftotext is missing: scripts/setup.sh installs poppler-utils");
    }

    // Every unit judged once settled, by its family's tolerance less the reference's uncertainty;
    // a record each with its verdict and figures, the summary, the status; the report's PDF names
    // each unit's verdict on its serial's line, and its CSV reads back the same verdicts.
    void aBatchIsJudged_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Units>("units");
        QTest::addColumn<double>("celsius"); // the chamber's
        QTest::addColumn<QStringList>("verdicts");
        QTest::addColumn<int>("exitCode");
        const auto row = [](const char *name, const QStringList &arguments, const Units &units,
                            double celsius, const QStringList &verdicts, int exitCode) {
            QTest::newRow(name) << arguments << units << celsius << verdicts << exitCode;
        };
        row("eight units, two offset beyond the tolerance", Typed,
            batch(8, {{3, {3, 1, 0.5, 0}}, {6, {6, 1, 0, -3}}}), 23.5,
            {"1 pass", "2 pass", "3 fail", "4 pass", "5 pass", "6 fail", "7 pass", "8 pass"}, 1);
        row("a Tervin-F among Tervin-Cs", Typed,
            {{1}, {2, 2, 0.1, 0}, {3, 2, -0.3, 0}, {4, 1, 0, 1.2}}, 23.5,
            {"1 pass", "2 pass", "3 fail", "4 pass"}, 1);
        row("every unit within", Typed, {{1, 1, 0.1, 1.0}, {2, 1, -0.1, -1.4}}, 23.5,
            {"1 pass", "2 pass"}, 0);
        row("against the unit at 9, in a freezer at -20 \u00B0C", {"--reference", "9"},
            {{1}, {2, 1, -0.25, 0}, {3, 2, 0.15, -1.9}, {9}}, -20.0, {"1 pass", "2 fail", "3 pass"},
            1);
    }
    void aBatchIsJudged()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Units, units);
        QFETCH(double, celsius);
        QFETCH(QStringList, verdicts);
        QFETCH(int, exitCode);
        QTemporaryDir folder;
        const QString report = folder.filePath("lot 42.pdf");
        QList<int> addresses, failed;
        for (const QString &verdict : verdicts) {
            addresses << verdict.section(' ', 0, 0).toInt();
            if (verdict.endsWith(" fail"))
                failed << addresses.last();
        }
        arguments << "--settle"
                  << "2m"
                  << "--addresses" << Values::addressListText(addresses);
        CheckRun run(arguments + QStringList{"--report", report, "--note", "lot 42"}, units,
                     celsius);
        run.run();
        QVERIFY2(run.problem.isEmpty(), qPrintable(run.problem));
        QCOMPARE(run.verdicts(), verdicts);
        QCOMPARE(run.exitCode, exitCode);
        const QVariantMap summary = run.summary();
        QCOMPARE(summary["units"].toInt(), verdicts.size());
        QCOMPARE(summary["fail"].toInt(), verdicts.filter("fail").size());
        QCOMPARE(summary["result"].toString(), exitCode == 0 ? "ok" : "out_of_range");
        QCOMPARE(summary["note"].toString(), "lot 42");
        for (const UnitSpec &spec : units) {
            const QVariantMap r = run.unit(spec.address);
            if (r.isEmpty())
                continue; // the reference
            const bool passed = r["verdict"] == "pass";
            QCOMPARE(r["result"].toString(), passed ? "ok" : "out_of_range");
            QCOMPARE(r["serial"].toString(), serialOf(spec.address));
            QVERIFY(qAbs(r["deviation_temperature"].toDouble() - spec.temperatureOffset) < 0.006);
            QVERIFY(qAbs(r["deviation_humidity"].toDouble() - spec.humidityOffset) < 0.006);
            const bool fahrenheit = spec.deviceType == 2;
            QCOMPARE(r["unit"].toString(), fahrenheit ? "\u00B0F" : "\u00B0C");
            QCOMPARE(r["mean_temperature_f"].isNull(), !fahrenheit);
            if (fahrenheit)
                QVERIFY(qAbs(r["mean_temperature_f"].toDouble() -
                             fahrenheitOfCelsius(celsius + spec.temperatureOffset)) < 0.02);
            QCOMPARE(r["mean_dew_point"].toDouble() < 0, celsius < 0);
            const QString said = QStringLiteral("address %1: fail: ").arg(spec.address);
            QCOMPARE(run.messages.filter(said).size(), passed ? 0 : 1);
        }
        const QString text = pdfText(report);
        QCOMPARE(reportedWith(text, "fail", addresses), failed);
        QCOMPARE(reportedWith(text, "pass", addresses).size(), addresses.size() - failed.size());
        QFile csv(folder.filePath("lot 42.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QList<UnitResult> read;
        QCOMPARE(CheckCsv::readFirstPoint(csv.readAll(), read), QString());
        QStringList readBack;
        for (const UnitResult &result : read)
            readBack << QStringLiteral("%1 %2").arg(result.address).arg(verdictKey(result.verdict));
        QCOMPARE(readBack, verdicts);
    }

    // A unit that falls silent has no verdict, and one back from a silence must settle afresh;
    // while the reference is silent every unit waits, and none is judged against its old values; a
    // port lost ends the check with what it has. Units 1 to 3 against the unit at 9, settled over 2
    // min.
    void silences_data()
    {
        QTest::addColumn<int>("silent");    // the address that falls silent; 0: the port is lost
        QTest::addColumn<qint64>("fromMs"); // into the check
        QTest::addColumn<qint64>("toMs");   // -1: for good
        QTest::addColumn<QStringList>("verdicts");
        QTest::addColumn<QString>("result"); // of the summary
        QTest::addColumn<qint64>("endsBy");  // into the check, at the latest
        QTest::addColumn<qint64>("endsAfter");
        // The deadline: one settle time past the unstable limit, three settle times.
        const qint64 deadline = 8 * Minute;
        const auto row = [](const char *name, int silent, qint64 fromMs, qint64 toMs,
                            const QStringList &verdicts, const char *result, qint64 endsBy,
                            qint64 endsAfter) {
            QTest::newRow(name) << silent << fromMs << toMs << verdicts << result << endsBy
                                << endsAfter;
        };
        const QStringList passed{"1 pass", "2 pass", "3 pass"};
        const QStringList settling{"1 settling", "2 settling", "3 settling"};
        row("a unit silent for good", 2, Minute, -1, {"1 pass", "2 no_answer", "3 pass"},
            "no_answer", deadline + 2000, deadline);
        // Silent by the line's rule (three requests unanswered and two seconds), back within the
        // 30 s the gap rule allows: its readings settle afresh all the same.
        row("a unit silent for ten seconds", 2, Minute, Minute + 10000, passed, "ok",
            3 * Minute + 20000, 3 * Minute + 10000);
        row("the reference silent for good", 9, Minute, -1, settling, "not_settled",
            deadline + 2000, deadline);
        row("the reference silent for a while", 9, Minute, 3 * Minute, passed, "ok",
            5 * Minute + 10000, 5 * Minute);
        row("the port lost", 0, Minute, -1, settling, "port_error", Minute + 1000, Minute - 1);
    }
    void silences()
    {
        QFETCH(int, silent);
        QFETCH(qint64, fromMs);
        QFETCH(qint64, toMs);
        QFETCH(QStringList, verdicts);
        QFETCH(QString, result);
        QFETCH(qint64, endsBy);
        QFETCH(qint64, endsAfter);
        CheckRun run({"--addresses", "1-3", "--reference", "9", "--settle", "2m"},
                     {{1}, {2}, {3}, {9}});
        const qint64 start = 100; // the reference found, the first round begins
        const auto mute = [&run, silent](bool muted) {
            run.line.mute(run.line.units[std::size_t(silent == 9 ? 3 : silent - 1)], muted);
        };
        if (silent == 0)
            run.clock.at(start + fromMs, [&run] { run.port.fail(PortFailure::Unplugged); });
        else
            run.clock.at(start + fromMs, [mute] { mute(true); });
        if (silent != 0 && toMs > 0)
            run.clock.at(start + toMs, [mute] { mute(false); });
        run.run();
        QCOMPARE(run.verdicts(), verdicts);
        QCOMPARE(run.summary()["result"].toString(), result);
        QVERIFY2(run.endedAt <= start + endsBy && run.endedAt >= start + endsAfter,
                 qPrintable(QString::number(run.endedAt)));
        for (int address = 1; address <= 3; ++address) {
            const QVariantMap r = run.unit(address);
            const QString verdict = r["verdict"].toString();
            // No deviation without a current reference; none for a unit without an answer.
            QCOMPARE(r["deviation_temperature"].isNull(),
                     verdict == "no_answer" || (silent == 9 && verdict != "pass"));
            QCOMPARE(r["waiting_for_reference"].toBool(), silent == 9 && verdict == "settling");
            if (silent == 0)
                QCOMPARE(r["result"].toString(), "port_error");
        }
        QCOMPARE(run.exitCode, silent == 0 ? 3 : result == "ok" ? 0 : 1);
    }

    // A reference unit that does not answer ends the check before it starts: one request (the
    // rate is given), a summary saying so, status 1.
    void aReferenceThatDoesNotAnswer()
    {
        CheckRun run({"--addresses", "1-3", "--reference", "9"}, {{1}, {2}, {3}});
        run.run();
        QCOMPARE(run.records.size(), 1);
        QCOMPARE(run.summary()["result"].toString(), "no_answer");
        QVERIFY2(run.summary()["error"].toString().startsWith(
                     "the reference at address 9 does not answer"),
                 qPrintable(run.summary()["error"].toString()));
        QCOMPARE(run.port.writes.size(), 1);
        QCOMPARE(run.exitCode, 1);
    }

    // The check asks nothing of its own: over the same minutes its requests are those of read
    // polling the same units in hundredths, each at the same moment.
    void theCheckCostsTheLineTimeOfPolling()
    {
        const Units units = batch(8, {{3, {3, 1, 0.5, 0}}});
        CheckRun check(
            QStringList{"--addresses", "1-8", "--settle", "1m", "--period", "1000"} + Typed, units);
        check.run();
        QCOMPARE(check.verdicts().filter("fail"), QStringList{"3 fail"});
        JobRun read({"read", "ttyFAKE", "--baud", "9600", "--address", "1-8", "--block", "x100",
                     "--period", "1000", "--count", "62"});
        addUnits(read.line, units);
        read.output.printReadings(Format::Json, false); // only its requests are compared
        read.run();
        const int asked = int(check.port.writes.size());
        QVERIFY(asked > 62 * 8);
        QCOMPARE(check.line.collisions, 0);
        QCOMPARE(read.port.writes.mid(0, asked), check.port.writes);
        QCOMPARE(read.line.writtenAt.mid(0, asked), check.line.writtenAt);
    }

    // Two points: over magnesium chloride, then over sodium chloride with the first's CSV. A unit
    // whose slope is wrong passes at 33 %RH and fails at 75 %RH; each record gives the line
    // through both points, and the verdict at both decides (a unit missing at the first point has
    // no answer there).
    void twoPoints()
    {
        QTemporaryDir folder;
        const QString first = folder.filePath("mgcl2.pdf");
        const QStringList common{"--addresses", "1-2",      "--reference-temperature",
                                 "23.5",        "--settle", "2m"};
        auto sloped = [](CheckRun &run) {
            SensorError error;
            error.humidity.slope = 0.857;
            error.humidity.offset = -0.931;
            run.line.units[1].setSensorError(error);
        };
        CheckRun atFirst(common + QStringList{"--reference-humidity", "33:0.2", "--report", first},
                         {{1}, {2}}, 23.5, 33);
        sloped(atFirst);
        atFirst.run();
        QCOMPARE(atFirst.verdicts(), QStringList({"1 pass", "2 pass"}));
        // A third unit joins at the second point: it has no answer at the first.
        CheckRun atSecond(common + QStringList{"--addresses", "1-3", "--reference-humidity",
                                               "75:0.2", "--first-point",
                                               folder.filePath("mgcl2.csv"), "--report",
                                               folder.filePath("nacl.pdf")},
                          {{1}, {2}, {3}}, 23.5, 75);
        sloped(atSecond);
        atSecond.run();
        QVERIFY2(atSecond.problem.isEmpty(), qPrintable(atSecond.problem));
        QCOMPARE(atSecond.verdicts(), QStringList({"1 pass", "2 fail", "3 pass"}));
        QCOMPARE(atSecond.unit(3)["verdict_both"].toString(), "no_answer");
        QCOMPARE(atSecond.unit(3)["result"].toString(), "no_answer");
        QVERIFY(atSecond.messages.contains(
            "tervin-cli: ttyFAKE: address 3: no answer at the first point"));
        const QVariantMap good = atSecond.unit(1), bad = atSecond.unit(2);
        QCOMPARE(good["verdict_both"].toString(), "pass");
        QCOMPARE(bad["verdict_both"].toString(), "fail");
        QCOMPARE(bad["result"].toString(), "out_of_range");
        QVERIFY2(atSecond.messages.contains("tervin-cli: ttyFAKE: address 2: fail: humidity "
                                            "-4.510 %RH beyond ±2 %RH less ±0.2 %RH"),
                 qPrintable(atSecond.messages.join('\n')));
        QVERIFY(qAbs(good["slope_humidity"].toDouble() - 1) < 0.001);
        QVERIFY(qAbs(bad["slope_humidity"].toDouble() - 0.857) < 0.001);
        QVERIFY(qAbs(bad["offset_humidity"].toDouble() - 6.219) < 0.01);
        QVERIFY(good["slope_temperature"].isNull()); // the same temperature at both points
        QCOMPARE(atSecond.exitCode, 1);
        const QString text = pdfText(folder.filePath("nacl.pdf"));
        QVERIFY2(text.contains("unit = 0.8569 \u00D7 reference + 6.2"), qPrintable(text));
    }

    // A report file that cannot be written at the end is named with why; the records and the
    // other file are written all the same, and the status says output was lost.
    void aReportThatCannotBeWritten_data()
    {
        QTest::addColumn<bool>("folderGone"); // or a folder where the PDF goes
        QTest::addColumn<bool>("csvWritten");
        QTest::newRow("the PDF's place taken by a folder") << false << true;
        QTest::newRow("the folder gone") << true << false;
    }
    void aReportThatCannotBeWritten()
    {
        QFETCH(bool, folderGone);
        QFETCH(bool, csvWritten);
        QTemporaryDir folder;
        const QString place = folder.filePath("usb");
        QVERIFY(QDir().mkpath(place));
        const QString pdf = place + "/check.pdf";
        CheckRun run(QStringList{"--addresses", "1-2", "--settle", "1m", "--report", pdf} + Typed,
                     {{1}, {2}});
        run.clock.at(Minute / 2, [&] {
            if (folderGone)
                QDir(place).removeRecursively();
            else
                QDir().mkpath(pdf);
        });
        run.run();
        QCOMPARE(run.verdicts(), QStringList({"1 pass", "2 pass"}));
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(!run.messages.filter("Cannot write the report " + pdf + ": ").isEmpty(),
                 qPrintable(run.messages.join('\n')));
        QCOMPARE(QFileInfo(place + "/check.csv").isFile(), csvWritten);
        QCOMPARE(run.summary()["report_csv"].isNull(), !csvWritten);
        QVERIFY(run.summary()["report_pdf"].isNull());
    }
};

int main(int argc, char *argv[])
{
    Report::useOffscreenPlatform();
    QGuiApplication app(argc, argv);
    TestCliCheck test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_clicheck.moc"
