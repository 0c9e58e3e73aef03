// tervin-cli's records as pure functions: every command in every format carries the unit's
// identity, a failure is a row, the CSV header and --no-header; and the order in which the
// lines of several ports reach the output.
#include "output.h"
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

template <typename Record> Record unit(Command command, Result result = Result::Ok)
{
    Record r;
    r.time = When;
    r.command = command;
    r.port = "/dev/serial/by-id/usb-FTDI_A1";
    r.address = 12;
    r.baudRate = 19200;
    r.serial = "00ff1020abcd";
    r.result = result;
    r.tries = 1;
    if (result != Result::Ok)
        r.error = Failure;
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

const char *formatName(Format format)
{
    return format == Format::Text ? "text" : format == Format::Csv ? "csv" : "json";
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

QString written(Stream stream, const QString &line)
{
    return (stream == Stream::Out ? "out " : "err ") + line;
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
        QTest::addColumn<QVariantMap>("values"); // the command's own, as JSON has them
        const QVariantMap device{
            {"device_type", "Tervin-F"}, {"sensor_type", "SHT3X/4X"}, {"firmware", "2.4.5"}};
        const QVariantMap values{{"temperature", -5.25}, {"humidity", 61.5}, {"unit", "\u00B0C"}};
        QVariantMap changed = device;
        changed.insert("previous_address", 1);
        changed.insert("previous_baud", 9600);
        QVariantMap commissioned = changed;
        for (auto value = values.cbegin(); value != values.cend(); ++value)
            commissioned.insert(value.key(), *value);
        struct Kind
        {
            const char *name;
            Command command;
            Result result;
            Printer print;
            QVariantMap values;
        };
        ReadingRecord polled = unit<ReadingRecord>(Command::Read);
        polled.reading = reading();
        CommissionRecord commission;
        static_cast<DeviceRecord &>(commission) = identified(Command::Commission);
        commission.previousAddress = 1;
        commission.previousBaudRate = 9600;
        commission.reading = reading();
        CommissionRecord unverified = commission;
        unverified.result = Result::NotVerified;
        unverified.error = Failure;
        DeviceRecord renamed = identified(Command::SetAddress);
        renamed.previousAddress = 1;
        QVariantMap renamedValues = device;
        renamedValues.insert("previous_address", 1);
        ScanSummaryRecord summary = unit<ScanSummaryRecord>(Command::Scan);
        summary.asked = {1, 2, 3, 4, 5, 9};
        summary.units = 3;
        summary.garbled = {5, 9};
        summary.durationMs = 7012;
        const QList<Kind> kinds{
            {"scan", Command::Scan, Result::Ok,
             [r = identified(Command::Scan)](Format f) { return Records::device(f, r); }, device},
            {"info", Command::Info, Result::Ok,
             [r = identified(Command::Info)](Format f) { return Records::device(f, r); }, device},
            {"info, no answer",
             Command::Info,
             Result::NoAnswer,
             [r = unit<DeviceRecord>(Command::Info, Result::NoAnswer)](Format f) {
                 return Records::device(f, r);
             },
             {}},
            {"read", Command::Read, Result::Ok,
             [polled](Format f) { return Records::reading(f, polled); }, values},
            {"read, no answer",
             Command::Read,
             Result::NoAnswer,
             [r = unit<ReadingRecord>(Command::Read, Result::NoAnswer)](Format f) {
                 return Records::reading(f, r);
             },
             {}},
            {"set-address", Command::SetAddress, Result::Ok,
             [renamed](Format f) { return Records::device(f, renamed); }, renamedValues},
            {"commission", Command::Commission, Result::Ok,
             [commission](Format f) { return Records::commission(f, commission); }, commissioned},
            {"commission, not verified", Command::Commission, Result::NotVerified,
             [unverified](Format f) { return Records::commission(f, unverified); }, commissioned},
            {"scan summary",
             Command::Scan,
             Result::Ok,
             [summary](Format f) { return Records::scanSummary(f, summary); },
             {{"addresses", "1-5,9"},
              {"units", 3},
              {"garbled", QVariantList{5, 9}},
              {"duration_ms", 7012}}},
            {"check, a Tervin-F that failed",
             Command::Check,
             Result::OutOfRange,
             [](Format f) { return Records::check(f, checked()); },
             {{"verdict", "fail"},
              {"unit", "\u00B0F"},
              {"mean_temperature", -19.6},
              {"reference_temperature", -20.0},
              {"deviation_temperature", 0.4},
              {"tolerance_temperature", 0.2},
              {"uncertainty_temperature", 0.05},
              {"sd_humidity", 0.1},
              {"deviation_humidity", -0.5},
              {"mean_dew_point", -26.4},
              {"mean_temperature_f", -3.28},
              {"deviation_temperature_f", 0.72},
              {"window_start_s", 60.0},
              {"window_end_s", 660.0}}},
        };
        for (const Kind &kind : kinds)
            for (Format format : {Format::Text, Format::Csv, Format::Json})
                QTest::addRow("%s, %s", kind.name, formatName(format))
                    << kind.print << kind.command << format << resultName(kind.result)
                    << kind.values;
    }
    void everyRecordCarriesTheUnit()
    {
        QFETCH(Printer, print);
        QFETCH(Command, command);
        QFETCH(Format, format);
        QFETCH(QString, result);
        QFETCH(QVariantMap, values);
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
            CliOptions options;
            options.command = command;
            options.format = Format::Csv;
            const QStringList header = Records::header(options).split(',');
            const QStringList row = csvFields(line);
            QCOMPARE(row.size(), header.size());
            for (int i = 0; i < header.size(); ++i)
                if (!row[i].isEmpty())
                    fields[header[i]] = row[i];
            QCOMPARE(fields.contains("error"), failed);
        }
        QCOMPARE(fields.value("time").toString(), WhenText);
        QCOMPARE(fields.value("command").toString(), commandName(command));
        QCOMPARE(fields.value("port").toString(), "/dev/serial/by-id/usb-FTDI_A1");
        QCOMPARE(fields.value("address").toInt(), 12);
        QCOMPARE(fields.value("baud").toInt(), 19200);
        QCOMPARE(fields.value("serial").toString(), "00ff1020abcd");
        QCOMPARE(fields.value("result").toString(), result);
        QCOMPARE(fields.value("tries").toInt(), 1);
        if (failed)
            QCOMPARE(fields.value("error").toString(), Failure);
        for (auto value = values.cbegin(); value != values.cend(); ++value) {
            const QVariant got = fields.value(value.key());
            if (value->userType() == QMetaType::QVariantList)
                QCOMPARE(format == Format::Csv ? got.toString() : got.toStringList().join(','),
                         value->toStringList().join(','));
            else if (value->userType() == QMetaType::Double)
                QCOMPARE(got.toDouble(), value->toDouble());
            else
                QCOMPARE(got.toString(), value->toString());
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
        struct Kind
        {
            const char *row;
            const char *kind;
            Command command;
        };
        const QList<Kind> kinds{{"scan, a unit", "device", Command::Scan},
                                {"scan, the summary", "summary", Command::Scan},
                                {"info", "device", Command::Info},
                                {"read", "reading", Command::Read},
                                {"set-address", "device", Command::SetAddress},
                                {"set-baud", "device", Command::SetBaud},
                                {"commission", "commission", Command::Commission}};
        for (const Kind &kind : kinds)
            for (int result = 0; result < resultNames().size(); ++result)
                for (bool known : {true, false})
                    QTest::addRow("%s, %s, %s", kind.row, qPrintable(resultNames()[result]),
                                  known ? "the unit known" : "nothing known")
                        << QString(kind.kind) << kind.command << result << known;
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
            line = Records::check(Format::Json, checked(outcome));
        } else if (kind == "check summary") {
            line = Records::checkSummary(Format::Json, checkSummary(outcome));
        } else if (kind == "device") {
            DeviceRecord r =
                known ? identified(command, outcome) : bare<DeviceRecord>(command, outcome);
            r.previousAddress = known ? 1 : 0;
            r.previousBaudRate = known ? 9600 : 0;
            line = Records::device(Format::Json, r);
        } else if (kind == "reading") {
            ReadingRecord r = known ? unit<ReadingRecord>(command, outcome)
                                    : bare<ReadingRecord>(command, outcome);
            if (known)
                r.reading = reading();
            line = Records::reading(Format::Json, r);
        } else if (kind == "commission") {
            CommissionRecord r = bare<CommissionRecord>(command, outcome);
            if (known) {
                static_cast<DeviceRecord &>(r) = identified(command, outcome);
                r.previousAddress = 1;
                r.previousBaudRate = 9600;
                r.reading = reading();
            }
            line = Records::commission(Format::Json, r);
        } else {
            ScanSummaryRecord r = known ? unit<ScanSummaryRecord>(command, outcome)
                                        : bare<ScanSummaryRecord>(command, outcome);
            r.asked = known ? QList<int>{1, 2, 3} : QList<int>{};
            line = Records::scanSummary(Format::Json, r);
        }
        CliOptions options;
        options.command = command;
        options.format = Format::Csv;
        QStringList header = Records::header(options).split(',');
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        QStringList keys = object.keys();
        header.sort();
        QCOMPARE(keys, header);
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
            alwaysKnown << "units"
                        << "garbled"
                        << "duration_ms"
                        << "cut_off";
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
        const QVariantMap expected{{"units", 4},
                                   {"pass", 2},
                                   {"fail", 1},
                                   {"settling", 1},
                                   {"unstable", 0},
                                   {"no_answer", 0},
                                   {"reference_address", 12},
                                   {"reference_serial", "00ff1020abcd"},
                                   {"tolerance_humidity", 1.5},
                                   {"settle_s", 600},
                                   {"duration_ms", 623500},
                                   {"note", "lot 42, chamber 2"},
                                   {"report_csv", "lot42.csv"}};
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QCOMPARE(summary.value(it.key()).toVariant().toString(), it.value().toString());
        QVERIFY(summary.value("tolerance_temperature").isNull()); // the families'
        QCOMPARE(summary.value("addresses").toArray().size(), 4);
    }

    // Every command's CSV starts with the same columns, so that files can be appended; the
    // header comes only with CSV, and not with --no-header.
    void theHeaderStartsAlike_data()
    {
        QTest::addColumn<Command>("command");
        for (Command command : {Command::Scan, Command::Info, Command::Read, Command::SetAddress,
                                Command::SetBaud, Command::Commission, Command::Check})
            QTest::newRow(qPrintable(commandName(command))) << command;
    }
    void theHeaderStartsAlike()
    {
        QFETCH(Command, command);
        CliOptions options;
        options.command = command;
        options.format = Format::Csv;
        QVERIFY(Records::header(options).startsWith(
            "time,command,port,address,baud,serial,result,error,tries,"));
        options.noHeader = true;
        QCOMPARE(Records::header(options), QString());
        options.noHeader = false;
        for (Format other : {Format::Text, Format::Json}) {
            options.format = other;
            QCOMPARE(Records::header(options), QString());
        }
    }

    // Events: "P:line" a record of port P, "P!line" a message, "done P", "release".
    void portsWriteInTheirOrder_data()
    {
        QTest::addColumn<int>("ports");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("the first port streams")
            << 2 << QStringList{"0:a", "1:x", "0:b", "done 0", "1:y", "done 1"}
            << QStringList{"out a", "out b", "out x", "out y"};
        QTest::newRow("the last port done first")
            << 3 << QStringList{"2:z", "done 2", "1:y", "done 1", "0:a", "done 0"}
            << QStringList{"out a", "out y", "out z"};
        QTest::newRow("messages stay with their port")
            << 2 << QStringList{"1!m", "1:y", "0!e", "0:a", "done 1", "done 0"}
            << QStringList{"err e", "out a", "err m", "out y"};
        QTest::newRow("a middle port waits for the first")
            << 3 << QStringList{"1:y", "done 1", "2:z", "0:a", "done 0", "2:w"}
            << QStringList{"out a", "out y", "out z", "out w"};
        QTest::newRow("released when interrupted")
            << 3 << QStringList{"2:z", "1:y", "0:a", "release", "1:v"}
            << QStringList{"out a", "out y", "out z", "out v"};
    }
    void portsWriteInTheirOrder()
    {
        QFETCH(int, ports);
        QFETCH(QStringList, events);
        QFETCH(QStringList, written);
        QStringList lines;
        PortOrder order(ports, [&](Stream s, const QString &line) { lines << ::written(s, line); });
        for (const QString &event : events) {
            if (event == "release")
                order.release();
            else if (event.startsWith("done "))
                order.done(event.mid(5).toInt());
            else
                order.add(event.left(1).toInt(), event[1] == ':' ? Stream::Out : Stream::Err,
                          event.mid(2));
        }
        QCOMPARE(lines, written);
    }
};

QTEST_GUILESS_MAIN(TestCliRecords)
#include "tst_clirecords.moc"
