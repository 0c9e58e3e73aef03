// tervin-cli's records as pure functions: every command in every format carries the unit's
// identity, a failure is a row, the CSV header and --no-header. The order in which the lines of
// several ports reach the output is in tst_clioutput.
#include "records.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <functional>

using Printer = std::function<QString(Format)>;
Q_DECLARE_METATYPE(Printer)
Q_DECLARE_METATYPE(Format)
Q_DECLARE_METATYPE(Command)

namespace {
const QDateTime When(QDate(2026, 12, 7), QTime(14, 2, 17, 123), Qt::OffsetFromUTC, 3600);
const char *const WhenText = "2026-12-07T14:02:17.123+01:00";
const char *const Failure = "no answer at address 12, 181 ms"; // a comma: quoted in CSV
const char *const FormatNames[] = {"text", "csv", "json"};     // in the order of Format

// Nothing known of the unit: the port could not be opened, or nothing answered.
template <typename Record> Record bare(Command command, Result result)
{
    Record r;
    r.time = When;
    r.command = command;
    r.port = "ttyUSB0";
    r.result = result;
    if (result != Result::Ok)
        r.error = Failure;
    return r;
}

template <typename Record> Record unit(Command command, Result result = Result::Ok)
{
    Record r = bare<Record>(command, result);
    r.port = "/dev/serial/by-id/usb-FTDI_A1";
    r.address = 12;
    r.baudRate = 19200;
    r.serial = "00ff1020abcd";
    r.tries = 1;
    return r;
}

DeviceRecord identified(Command command, Result result = Result::Ok)
{
    DeviceRecord r = unit<DeviceRecord>(command, result);
    r.identified = true;
    r.deviceType = 2;
    r.sensorType = 1;
    r.firmware = 245;
    return r;
}

Reading reading()
{
    Reading reading;
    reading.temperature = -5.25;
    reading.humidity = 61.5;
    reading.dewPoint = -11.0;
    reading.decimals = 2;
    return reading;
}

// CSV fields, quoted fields unquoted.
QStringList csvFields(const QString &line)
{
    QStringList fields{QString()};
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"')
            fields.last() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields << QString();
        else
            fields.last() += c;
    }
    return fields;
}

QString header(Command command, Format format = Format::Csv, bool noHeader = false)
{
    CliOptions options;
    options.command = command;
    options.format = format;
    options.noHeader = noHeader;
    return Records::header(options);
}

// A Tervin-F that failed at -20 °C, 0.4 °C warm over its window, and the summary of its check.
CheckRecord checked(Result result = Result::OutOfRange)
{
    CheckRecord r;
    static_cast<DeviceRecord &>(r) = identified(Command::Check, result);
    r.unit.address = 12;
    r.unit.fahrenheit = true;
    r.unit.verdict = result == Result::Ok ? Verdict::Pass : Verdict::Fail;
    r.unit.windowStartMs = 60000;
    r.unit.windowEndMs = 660000;
    r.unit.temperature = {-19.6, 0.012, -20.0, 0.4, 0.2, 0.05};
    r.unit.humidity = {44.5, 0.1, 45.0, -0.5, 1.8, 0.5};
    r.unit.dewPoint = -26.4;
    return r;
}

CheckSummaryRecord checkSummary(Result result = Result::OutOfRange)
{
    CheckSummaryRecord r = unit<CheckSummaryRecord>(Command::Check, result);
    r.address = 0;
    r.serial.clear();
    r.asked = {1, 2, 3, 12};
    r.settings.reference.address = 12;
    r.settings.humidityTolerance = 1.5;
    r.referenceUnit.known = true;
    r.referenceUnit.serial = "00ff1020abcd";
    r.verdicts = {Verdict::Pass, Verdict::Fail, Verdict::Pass, Verdict::Settling};
    r.durationMs = 623500;
    r.note = "lot 42, chamber 2";
    r.reportPdf = "lot42.pdf";
    r.reportCsv = "lot42.csv";
    return r;
}

// A commissioned Tervin-F, at 1 and 9600 bit/s before.
CommissionRecord commissioned(Result result = Result::Ok)
{
    CommissionRecord r;
    static_cast<DeviceRecord &>(r) = identified(Command::Commission, result);
    r.previousAddress = 1;
    r.previousBaudRate = 9600;
    r.reading = reading();
    return r;
}

// Each kind of record as its own function prints it.
struct Print
{
    static QString of(Format f, const DeviceRecord &r) { return Records::device(f, r); }
    static QString of(Format f, const ReadingRecord &r) { return Records::reading(f, r); }
    static QString of(Format f, const CommissionRecord &r) { return Records::commission(f, r); }
    static QString of(Format f, const ScanSummaryRecord &r) { return Records::scanSummary(f, r); }
    static QString of(Format f, const CheckRecord &r) { return Records::check(f, r); }
    static QString of(Format f, const CheckSummaryRecord &r) { return Records::checkSummary(f, r); }
};

// The record in each format, with the values of its command's own as JSON has them.
template <typename Record>
void addRecord(const char *name, const Record &record, const QStringList &values)
{
    for (Format format : {Format::Text, Format::Csv, Format::Json})
        QTest::addRow("%s, %s", name, FormatNames[int(format)])
            << Printer([record](Format f) { return Print::of(f, record); }) << record.command
            << format << resultName(record.result) << values;
}

} // namespace

class TestCliRecords : public QObject
{
    Q_OBJECT

private slots:
    void timesCarryTheirOffset_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("text");
        const QDate day(2026, 12, 7);
        const QTime noon(12, 0, 0, 5);
        QTest::newRow("east") << When << WhenText;
        QTest::newRow("west, half hours")
            << QDateTime(day, noon, Qt::OffsetFromUTC, -(5 * 3600 + 30 * 60))
            << "2026-12-07T12:00:00.005-05:30";
        QTest::newRow("UTC") << QDateTime(day, noon, Qt::UTC) << "2026-12-07T12:00:00.005+00:00";
    }
    void timesCarryTheirOffset()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, text);
        QCOMPARE(Records::isoTime(time), text);
        QVERIFY(QRegularExpression("[+-]\\d\\d:\\d\\d$")
                    .match(Records::isoTime(QDateTime::currentDateTime()))
                    .hasMatch());
    }

    void everyRecordCarriesTheUnit_data()
    {
        QTest::addColumn<Printer>("print");
        QTest::addColumn<Command>("command");
        QTest::addColumn<Format>("format");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("values"); // the command's own, "key=value"
        const QStringList device{"device_type=Tervin-F", "sensor_type=SHT3X/4X", "firmware=2.4.5"};
        const QStringList values{"temperature=-5.25", "humidity=61.5", "unit=\u00B0C"};
        const QStringList renamedValues = device + QStringList{"previous_address=1"};
        const QStringList commissionedValues =
            renamedValues + values + QStringList{"previous_baud=9600"};
        ReadingRecord polled = unit<ReadingRecord>(Command::Read);
        polled.reading = reading();
        DeviceRecord renamed = identified(Command::SetAddress);
        renamed.previousAddress = 1;
        ScanSummaryRecord summary = unit<ScanSummaryRecord>(Command::Scan);
        summary.asked = {1, 2, 3, 4, 5, 9};
        summary.units = 3;
        summary.garbled = {5, 9};
        summary.durationMs = 7012;
        addRecord("scan", identified(Command::Scan), device);
        addRecord("info", identified(Command::Info), device);
        addRecord("info, no answer", unit<DeviceRecord>(Command::Info, Result::NoAnswer), {});
        addRecord("read", polled, values);
        addRecord("read, no answer", unit<ReadingRecord>(Command::Read, Result::NoAnswer), {});
        addRecord("set-address", renamed, renamedValues);
        addRecord("commission", commissioned(), commissionedValues);
        addRecord("commission, not verified", commissioned(Result::NotVerified),
                  commissionedValues);
        addRecord("scan summary", summary,
                  {"addresses=1-5,9", "units=3", "garbled=5,9", "duration_ms=7012"});
        addRecord("check, a Tervin-F that failed", checked(),
                  {"verdict=fail", "unit=\u00B0F", "mean_temperature=-19.6",
                   "reference_temperature=-20.0", "deviation_temperature=0.4",
                   "tolerance_temperature=0.2", "uncertainty_temperature=0.05", "sd_humidity=0.1",
                   "deviation_humidity=-0.5", "mean_dew_point=-26.4", "mean_temperature_f=-3.28",
                   "deviation_temperature_f=0.72", "window_start_s=60", "window_end_s=660"});
    }
    void everyRecordCarriesTheUnit()
    {
        QFETCH(Printer, print);
        QFETCH(Command, command);
        QFETCH(Format, format);
        QFETCH(QString, result);
        QFETCH(QStringList, values);
        const QString line = print(format);
        const bool failed = result != "ok";
        QVariantMap fields;
        if (format == Format::Text) {
            if (failed && command != Command::Check) { // its reason goes to standard error
                QCOMPARE(line, QString());
                return;
            }
            for (const QString part : {QString(WhenText) + "  /dev/serial/by-id/usb-FTDI_A1: ",
                                       QString("address 12"), QString("19200 bit/s")})
                QVERIFY2(line.contains(part), qPrintable(line));
            return;
        }
        if (format == Format::Json) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            fields = object.toVariantMap();
            QCOMPARE(object.value("error").isNull(), !failed);
        } else {
            const QStringList columns = header(command).split(',');
            const QStringList row = csvFields(line);
            QCOMPARE(row.size(), columns.size());
            for (int i = 0; i < columns.size(); ++i)
                if (!row[i].isEmpty())
                    fields[columns[i]] = row[i];
            QCOMPARE(fields.contains("error"), failed);
        }
        QStringList expected{QString("time=") + WhenText,
                             "command=" + commandName(command),
                             "port=/dev/serial/by-id/usb-FTDI_A1",
                             "address=12",
                             "baud=19200",
                             "serial=00ff1020abcd",
                             "result=" + result,
                             "tries=1"};
        if (failed)
            expected << QString("error=") + Failure;
        for (const QString &pair : expected + values) { // numbers as numbers, lists joined by ','
            const QString key = pair.section('=', 0, 0), wanted = pair.section('=', 1);
            const QVariant got = fields.value(key);
            bool number = false;
            const double value = wanted.toDouble(&number);
            if (number)
                QCOMPARE(got.toDouble(), value);
            else
                QCOMPARE(got.userType() == QMetaType::QVariantList ? got.toStringList().join(',')
                                                                   : got.toString(),
                         wanted);
        }
    }

    // JSON: every record of a command has the keys of the command's CSV header, whatever its
    // result and whatever is known of the unit, with null for what is not known and for the
    // values of the command's other kind of record (scan's unit records and its summary).
    void everyRecordOfACommandHasItsKeys_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Command>("command");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("known");
        for (int result = 0; result < resultNames().size(); ++result)
            for (const char *kind : {"check", "check summary"})
                QTest::addRow("%s, %s", kind, qPrintable(resultNames()[result]))
                    << QString(kind) << Command::Check << result << true;
        const auto rows = [](const char *row, const char *kind, Command command) {
            for (int result = 0; result < resultNames().size(); ++result)
                for (bool known : {true, false})
                    QTest::addRow("%s, %s, %s", row, qPrintable(resultNames()[result]),
                                  known ? "the unit known" : "nothing known")
                        << QString(kind) << command << result << known;
        };
        rows("scan, a unit", "device", Command::Scan);
        rows("scan, the summary", "summary", Command::Scan);
        rows("info", "device", Command::Info);
        rows("read", "reading", Command::Read);
        rows("set-address", "device", Command::SetAddress);
        rows("set-baud", "device", Command::SetBaud);
        rows("commission", "commission", Command::Commission);
    }
    void everyRecordOfACommandHasItsKeys()
    {
        QFETCH(QString, kind);
        QFETCH(Command, command);
        QFETCH(int, result);
        QFETCH(bool, known);
        const Result outcome = Result(result);
        QString line;
        if (kind == "check") {
            line = Print::of(Format::Json, checked(outcome));
        } else if (kind == "check summary") {
            line = Print::of(Format::Json, checkSummary(outcome));
        } else if (kind == "device") {
            DeviceRecord r =
                known ? identified(command, outcome) : bare<DeviceRecord>(command, outcome);
            r.previousAddress = known ? 1 : 0;
            r.previousBaudRate = known ? 9600 : 0;
            line = Print::of(Format::Json, r);
        } else if (kind == "reading") {
            ReadingRecord r = known ? unit<ReadingRecord>(command, outcome)
                                    : bare<ReadingRecord>(command, outcome);
            if (known)
                r.reading = reading();
            line = Print::of(Format::Json, r);
        } else if (kind == "commission") {
            line = Print::of(Format::Json, known ? commissioned(outcome)
                                                 : bare<CommissionRecord>(command, outcome));
        } else {
            ScanSummaryRecord r = known ? unit<ScanSummaryRecord>(command, outcome)
                                        : bare<ScanSummaryRecord>(command, outcome);
            r.asked = known ? QList<int>{1, 2, 3} : QList<int>{};
            line = Print::of(Format::Json, r);
        }
        QStringList columns = header(command).split(',');
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        QStringList keys = object.keys();
        columns.sort();
        QCOMPARE(keys, columns);
        if (command == Command::Check)
            return; // what each check record knows: checkRecords
        QStringList nulls;
        for (const QString &key : keys)
            if (object.value(key).isNull())
                nulls << key;
        QStringList expected;
        const QStringList summaryOnly{"addresses", "units", "garbled", "duration_ms", "cut_off"};
        const QStringList unitOnly{"device_type", "sensor_type", "firmware", "previous_address",
                                   "previous_baud"};
        QStringList alwaysKnown{"time", "command", "port", "result", "tries"};
        if (outcome != Result::Ok)
            alwaysKnown << "error";
        if (kind == "summary")
            alwaysKnown += QStringList{"units", "garbled", "duration_ms", "cut_off"};
        for (const QString &key : keys)
            if (!known && !alwaysKnown.contains(key))
                expected << key;
            else if (known && key == "error" && outcome == Result::Ok)
                expected << key;
            else if (command == Command::Scan &&
                     (kind == "summary" ? unitOnly : summaryOnly).contains(key))
                expected << key;
        QCOMPARE(nulls, expected);
    }

    // A check's records for people: each unit's line has its verdict and figures whatever the
    // verdict (a Tervin-F's in both units), the summary counts the verdicts; for scripts, the
    // summary's figures.
    void checkRecords()
    {
        const QString unitLine = Records::check(Format::Text, checked());
        for (const QString part :
             {"address 12, 19200 bit/s, serial 00ff1020abcd, Tervin-F, sensor SHT3X/4X, fail, ",
              "temperature -19.600 \u00B0C = -3.280 \u00B0F (reference -20.000, deviation "
              "+0.400 \u00B0C = +0.720 \u00B0F, tolerance \u00B10.2 less \u00B10.05)",
              "humidity 44.500 %RH (reference 45.000, deviation -0.500, tolerance \u00B11.8 less "
              "\u00B10.5)",
              "dew point -26.400 \u00B0C"})
            QVERIFY2(unitLine.contains(part), qPrintable(unitLine));
        CheckRecord settling = checked(Result::NotSettled);
        settling.unit.verdict = Verdict::Settling;
        settling.unit.settleLeftMs = 200000;
        QVERIFY(Records::check(Format::Text, settling).contains(", settling, 3 min 20 s left, "));
        settling.unit.waitingForReference = true;
        QVERIFY(Records::check(Format::Text, settling)
                    .contains(", settling, waiting for the reference, "));
        QCOMPARE(Records::checkSummary(Format::Text, checkSummary()),
                 QString(WhenText) + "  /dev/serial/by-id/usb-FTDI_A1: addresses 1-3,12, 19200 "
                                     "bit/s, 4 unit(s): 2 pass, 1 fail, 1 settling, in 10 min 24 "
                                     "s, report lot42.pdf, lot42.csv");
        const QJsonObject summary =
            QJsonDocument::fromJson(Records::checkSummary(Format::Json, checkSummary()).toUtf8())
                .object();
        for (const QString pair :
             {"units=4", "pass=2", "fail=1", "settling=1", "unstable=0", "no_answer=0",
              "reference_address=12", "reference_serial=00ff1020abcd", "tolerance_humidity=1.5",
              "settle_s=600", "duration_ms=623500", "note=lot 42, chamber 2",
              "report_csv=lot42.csv"})
            QCOMPARE(summary.value(pair.section('=', 0, 0)).toVariant().toString(),
                     pair.section('=', 1));
        QVERIFY(summary.value("tolerance_temperature").isNull()); // the families'
        QCOMPARE(summary.value("addresses").toArray().size(), 4);
    }

    // Every command's CSV starts with the same columns, so that files can be appended; the
    // header comes only with CSV, and not with --no-header.
    void theHeaderStartsAlike()
    {
        for (Command command : {Command::Scan, Command::Info, Command::Read, Command::SetAddress,
                                Command::SetBaud, Command::Commission, Command::Check}) {
            QVERIFY2(header(command).startsWith(
                         "time,command,port,address,baud,serial,result,error,tries,"),
                     qPrintable(commandName(command)));
            QCOMPARE(header(command, Format::Csv, true), QString());
            QCOMPARE(header(command, Format::Text), QString());
            QCOMPARE(header(command, Format::Json), QString());
        }
    }
};

QTEST_GUILESS_MAIN(TestCliRecords)
#include "tst_clirecords.moc"
