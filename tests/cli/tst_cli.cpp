// tervin-cli against virtual transmitters: every command in every format, checked against the
// transmitter's settings and frames; several ports at once, in their order; failures and usage
// errors; output that cannot be written, and a run that is interrupted. The arguments and the
// records themselves are checked without a device (tst_cliarguments, tst_clirecords).
#include "options.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "virtualtransmitter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>

Q_DECLARE_METATYPE(Faults)

namespace {
struct Outcome
{
    int exitCode = -1;
    QStringList out;
    QString err;
};

Outcome finished(QProcess &process)
{
    Outcome outcome;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
        return outcome;
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out =
        QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

// Runs tervin-cli while this event loop serves the transmitters; its standard output goes to
// the file, when one is given.
Outcome cli(const QStringList &arguments, const QString &outputFile = QString())
{
    QProcess process;
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    process.start(TERVIN_CLI, arguments);
    return finished(process);
}

QVariantMap json(const QString &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    return error.error == QJsonParseError::NoError && document.isObject()
               ? document.object().toVariantMap()
               : QVariantMap{{"unparsable", line}};
}

// The record lines of a run in any format, as field maps. Text records are
// "TIME  PORT: a b, c d, ...": their parts are numbered from 0.
QList<QVariantMap> records(const QString &format, QStringList lines)
{
    QList<QVariantMap> maps;
    const QStringList header =
        format == "csv" && !lines.isEmpty() ? lines.takeFirst().split(',') : QStringList();
    for (const QString &line : lines) {
        if (format == "json") {
            maps << json(line);
            continue;
        }
        QVariantMap map;
        QString rest = line;
        if (format == "text") {
            map["time"] = line.section("  ", 0, 0);
            map["port"] = line.section("  ", 1).section(": ", 0, 0);
            rest = line.section(": ", 1);
        }
        const QStringList fields = format == "csv" ? rest.split(',') : rest.split(", ");
        for (int i = 0; i < fields.size(); ++i)
            map[format == "csv" ? header.value(i) : QString::number(i)] = fields[i];
        maps << map;
    }
    return maps;
}

// The ISO 8601 time with milliseconds and the offset from UTC that every record starts with.
bool isRecordTime(const QString &text)
{
    return QRegularExpression(
               "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
        .match(text)
        .hasMatch();
}

struct Transmitter
{
    std::unique_ptr<VirtualTransmitter> device;
    QString port;
};

Transmitter transmitter(const DeviceSettings &settings)
{
    auto device = std::make_unique<VirtualTransmitter>(settings);
    if (!device->start())
        qFatal("no pseudo-terminal");
    const QString port = device->portPath();
    return {std::move(device), port};
}

// A transmitter far from the factory defaults, steady, so that each value checks something.
DeviceSettings unusual()
{
    DeviceSettings settings;
    settings.address = 17;
    settings.baudCode = 5; // 19200
    settings.deviceType = 1;
    settings.sensorType = 1;
    settings.firmwareVersion = 245;
    settings.serialNumber[0] = 0x00ff;
    settings.serialNumber[1] = 0x1020;
    settings.serialNumber[2] = 0xabcd;
    settings.temperature = -5.25;
    settings.humidity = 61.5;
    return settings;
}

QByteArray infoRead(quint8 slave)
{
    return ModbusFrame::buildRequest(slave, 0x03, 0x0100, 8);
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void usageErrorsSendNothing()
    {
        const Transmitter t = transmitter(DeviceSettings());
        QTemporaryDir folder;
        const QString link = folder.filePath("by-id-name");
        QVERIFY(QFile::link(t.port, link));
        for (const QStringList &arguments : {QStringList{"set-address", t.port, "0"},
                                             {"read", t.port, "--period", "1e3"},
                                             {"scan", t.port, "--addresses", "1,,2"},
                                             {"scan", link, t.port},
                                             {"info", t.port, "--bogus"}}) {
            const Outcome outcome = cli(arguments);
            QCOMPARE(outcome.exitCode, 2);
            QVERIFY(outcome.err.contains("tervin-cli: ") && outcome.err.contains("--help"));
        }
        QTest::qWait(300); // anything written would have arrived by now
        QVERIFY(t.device->requests().isEmpty());
        QProcess chinese;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LANG", "zh_CN.UTF-8");
        environment.remove("LC_ALL");
        environment.remove("LC_MESSAGES");
        chinese.setProcessEnvironment(environment);
        chinese.start(TERVIN_CLI, {"scan"});
        QVERIFY(chinese.waitForFinished(10000));
        QVERIFY(QString::fromUtf8(chinese.readAllStandardError()).contains("scan：未给出串口"));
    }

    void everyCommandInEveryFormat_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("format");
        for (const char *command : {"scan", "info", "read", "set-address", "set-baud"})
            for (const char *format : {"text", "csv", "json"})
                QTest::addRow("%s %s", command, format) << command << format;
    }
    // Values against the transmitter's settings, and the --log capture against the frames the
    // transmitter received and sent, byte for byte.
    void everyCommandInEveryFormat()
    {
        QFETCH(QString, command);
        QFETCH(QString, format);
        const Transmitter t = transmitter(unusual());
        QTemporaryDir dir;
        const QString log = dir.filePath("capture.txt");
        QStringList arguments{command, t.port, "--format", format, "--log", log};
        if (command != "scan")
            arguments << "--baud"
                      << "19200";
        if (command == "set-address")
            arguments << "42";
        if (command == "set-baud")
            arguments << "2400";
        const Outcome outcome = cli(arguments);
        QCOMPARE(outcome.exitCode, 0);
        QVERIFY2(outcome.err.isEmpty(), qPrintable(outcome.err));
        const QList<QVariantMap> found = records(format, outcome.out);
        QCOMPARE(found.size(), 1);
        const QVariantMap r = found.first();
        const DeviceSettings &now = t.device->model().settings();
        const int address = command == "set-address" ? 42 : 17;
        const int rate = command == "set-baud" ? 2400 : 19200;
        QCOMPARE(now.address, address); // read and the scans write nothing
        QCOMPARE(Modbus::baudRateOfCode(now.baudCode), rate);
        // Every record says when, where, which unit, and how it went.
        QVERIFY2(isRecordTime(r["time"].toString()), qPrintable(r["time"].toString()));
        QCOMPARE(r["port"], t.port);
        const double dew = std::round(TransmitterModel::dewPoint(-5.25, 61.5) * 10) / 10;
        const QString unit = "\u00B0C";
        if (format == "text") {
            QStringList parts{QString("address %1").arg(address), QString("%1 bit/s").arg(rate)};
            if (command == "set-address")
                parts[0] += " (was 17)";
            if (command == "set-baud")
                parts[1] += " (was 19200)";
            if (command == "read")
                parts << "serial 00ff1020abcd"
                      << "temperature -5.3 " + unit // the device rounds
                      << "humidity 61.5 %" << QString("dew point %1 %2").arg(dew).arg(unit);
            else
                parts << "Tervin-C"
                      << "sensor SHT3X/4X"
                      << "firmware 2.4.5"
                      << "serial 00ff1020abcd";
            if (command.startsWith("set-"))
                parts << "verified";
            for (int i = 0; i < parts.size(); ++i)
                QCOMPARE(r[QString::number(i)].toString(), parts[i]);
            QCOMPARE(r.size(), parts.size() + 2);
        } else {
            QCOMPARE(r["command"], command);
            QCOMPARE(r["result"], "ok");
            QCOMPARE(r["address"].toInt(), address);
            QCOMPARE(r["baud"].toInt(), rate);
            QCOMPARE(r["serial"], "00ff1020abcd");
            QCOMPARE(r["tries"].toInt(), 1);
            QVERIFY(r.contains("error") && r["error"].toString().isEmpty());
        }
        if (format != "text" && command == "read") {
            QCOMPARE(r["temperature"].toDouble(), -5.3);
            QCOMPARE(r["humidity"].toDouble(), 61.5);
            QCOMPARE(r["dew_point"].toDouble(), dew);
            QCOMPARE(r["unit"], unit);
        } else if (format != "text") {
            QCOMPARE(r["device_type"], "Tervin-C");
            QCOMPARE(r["sensor_type"], "SHT3X/4X");
            QCOMPARE(r["firmware"], "2.4.5");
        }
        const QMap<QString, QList<QByteArray>> sent{
            {"scan", {infoRead(0), infoRead(0)}}, // 115200 goes unanswered
            {"info", {infoRead(0)}},
            {"read", {infoRead(0), ModbusFrame::buildRequest(17, 0x03, 0x0004, 4)}},
            {"set-address",
             {infoRead(0), ModbusFrame::buildRequest(0, 0x06, 0x0100, 42), infoRead(42)}},
            {"set-baud",
             {infoRead(0), ModbusFrame::buildRequest(17, 0x06, 0x0101, 2), infoRead(17)}}};
        QCOMPARE(t.device->requests(), sent[command]);
        QStringList frames;
        QList<QByteArray> replies = t.device->replies();
        for (const QByteArray &request : t.device->requests()) {
            frames << "->TX  " + request.toHex();
            if (command != "scan" || frames.size() > 1)
                frames << "->RX  " + replies.takeFirst().toHex();
        }
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList captured;
        const QRegularExpression stamp("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d(->.*)$");
        for (const QString &line :
             QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts))
            captured << stamp.match(line).captured(1);
        QCOMPARE(captured, frames);
    }

    // One port gone mid-scan and one that is not there end with their reasons and exit 3; the
    // others, at other rates and addresses, finish; each record is a whole line of its own, in
    // the order of the ports given, although the slowest port comes first.
    void scansSeveralPortsInTheirOrder()
    {
        DeviceSettings fast, slow, vanishing;
        fast.address = 7;
        fast.baudCode = 6;
        slow.address = 247;
        slow.baudCode = 1;
        slow.deviceType = 2;
        const Transmitter a = transmitter(fast), b = transmitter(slow), c = transmitter(vanishing);
        VirtualTransmitter *gone = c.device.get();
        connect(gone, &VirtualTransmitter::requestReceived, gone,
                [gone] { QTimer::singleShot(0, gone, [gone] { gone->unplug(); }); });
        const QString none = "/dev/tervin-none";
        const Outcome outcome = cli({"scan", b.port, a.port, none, c.port, "--format", "json"});
        QCOMPARE(outcome.exitCode, 3);
        QStringList ports;
        QMap<QString, QVariantMap> byPort;
        for (const QVariantMap &r : records("json", outcome.out)) {
            ports << r["port"].toString();
            byPort[ports.last()] = r;
        }
        QCOMPARE(ports, QStringList({b.port, a.port, none, c.port}));
        QCOMPARE(byPort[a.port]["result"], "ok");
        QCOMPARE(QList<int>({byPort[a.port]["address"].toInt(), byPort[a.port]["baud"].toInt()}),
                 QList<int>({7, 115200}));
        QCOMPARE(byPort[b.port]["result"], "ok");
        QCOMPARE(QList<int>({byPort[b.port]["address"].toInt(), byPort[b.port]["baud"].toInt()}),
                 QList<int>({247, 1200}));
        QCOMPARE(byPort[b.port]["device_type"], "Tervin-F");
        QCOMPARE(byPort[c.port]["result"], "port_error");
        QVERIFY(byPort[c.port]["error"].toString().startsWith("the port went away: "));
        QCOMPARE(byPort[none]["result"], "port_error");
        QCOMPARE(byPort[none]["error"], "cannot open the port: No such file or directory");
        const int noneSaid = int(outcome.err.indexOf("tervin-cli: " + none + ": cannot open"));
        QVERIFY(noneSaid >= 0 && noneSaid < outcome.err.indexOf("tervin-cli: " + c.port + ": "));
    }

    void failuresAreReportedNeverRead_data()
    {
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<QStringList>("arguments"); // after the port
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("error");
        const QStringList info{"info", "--baud", "9600"};
        Faults crc, junk, refuse, foreign, slow, ignore, silent;
        crc.corruptCrc = true;
        junk.garbageBefore = QByteArray::fromHex("ff00");
        refuse.exceptionCode = 2;
        foreign.foreignAddress = 9;
        slow.delayMs = 400;
        ignore.ignoreWrites = true;
        silent.noReply = true;
        QTest::newRow("bad CRC")
            << crc << info << 1 << "no_answer"
            << "no answer at 9600 bit/s within 181 ms (a garbled reply (bad CRC))";
        QTest::newRow("junk before") << junk << info << 1 << "no_answer"
                                     << "(a garbled reply (extra bytes))";
        QTest::newRow("exception") << refuse << info << 1 << "exception"
                                   << "the device refused: exception 0x02 (illegal data address)";
        QTest::newRow("other slave")
            << foreign << info + QStringList{"--address", "1"} << 1 << "no_answer"
            << "(a reply from slave 9)";
        QTest::newRow("slow, waited for")
            << slow << info + QStringList{"--timeout", "1000"} << 0 << "ok"
            << "";
        QTest::newRow("read, silent")
            << silent << QStringList{"read", "--baud", "9600"} << 1 << "no_answer"
            << "no answer at 9600 bit/s within 181 ms";
        QTest::newRow("silent, searched") << silent << QStringList{"info"} << 1 << "no_answer"
                                          << "no answer at any rate";
        QTest::newRow("ignored rate")
            << ignore << QStringList{"set-baud", "2400", "--baud", "9600"} << 1 << "not_verified"
            << "no answer at 2400 bit/s after the change";
        QTest::newRow("ignored address")
            << ignore << QStringList{"set-address", "5"} << 1 << "not_verified"
            << "no answer at address 5 after the change";
    }
    void failuresAreReportedNeverRead()
    {
        QFETCH(Faults, faults);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QFETCH(QString, error);
        const Transmitter t = transmitter(DeviceSettings());
        t.device->setFaults(faults);
        arguments.insert(1, t.port);
        const Outcome outcome = cli(arguments + QStringList{"--format", "json"});
        QCOMPARE(outcome.exitCode, exitCode);
        QCOMPARE(outcome.out.size(), 1);
        const QVariantMap r = json(outcome.out.first());
        QCOMPARE(r["result"], result);
        QVERIFY(r.contains("error")); // null when it did not fail
        QVERIFY2(error.isEmpty() ? r["error"].toString().isEmpty()
                                 : r["error"].toString().endsWith(error),
                 qPrintable(r["error"].toString()));
        QVERIFY(outcome.err.contains(error));
        QCOMPARE(t.device->model().settings().address, 1);
        QCOMPARE(t.device->model().settings().baudCode, 4);
    }

    // A valid reply that answers nothing outstanding is reported, and its values are not taken.
    void lateRepliesAreNotReadings()
    {
        const Transmitter t = transmitter(DeviceSettings());
        VirtualTransmitter *device = t.device.get();
        const QByteArray stray = ModbusFrame::withCrc(QByteArray::fromHex("010308"
                                                                          "03e7000000000000"));
        connect(device, &VirtualTransmitter::replySent, device,
                [device, stray, sent = 0]() mutable {
                    if (++sent == 2) // after the first reading, while the line is idle
                        QTimer::singleShot(50, device, [device, stray] { device->sendRaw(stray); });
                });
        const Outcome outcome = cli({"read", t.port, "--baud", "9600", "--count", "2", "--period",
                                     "300", "--format", "json"});
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out.size(), 2);
        for (const QString &line : outcome.out)
            QCOMPARE(json(line)["temperature"].toDouble(), 23.5);
        QVERIFY2(outcome.err.contains("a late reply, ignored: " + stray.toHex()),
                 qPrintable(outcome.err));
    }

    // A failing read is a CSV row like any other; --no-header leaves the header out, so that
    // the records of many runs can be appended to one file.
    void aFailingReadIsARow()
    {
        const Transmitter t = transmitter(DeviceSettings());
        Faults silent;
        silent.noReply = true;
        t.device->setFaults(silent);
        const Outcome outcome =
            cli({"read", t.port, "--baud", "9600", "--format", "csv", "--no-header"});
        QCOMPARE(outcome.exitCode, 1);
        QCOMPARE(outcome.out.size(), 1);
        const QStringList fields = outcome.out.first().split(',');
        QVERIFY(isRecordTime(fields.first()));
        QCOMPARE(fields.mid(1),
                 QStringList({"read", t.port, "", "9600", "", "no_answer",
                              "no answer at 9600 bit/s within 181 ms", "1", "", "", "", ""}));
    }

    // Output that cannot be written ends the run with exit 3 and one message, whatever the
    // command: /dev/full refuses every write with ENOSPC.
    void lostOutputEndsTheRun_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the port, for a command
        QTest::addColumn<bool>("toFull");           // standard output to /dev/full
        QTest::addColumn<QString>("message");
        const QString out = "tervin-cli: cannot write standard output: ";
        QTest::newRow("--help") << QStringList{"--help"} << true << out;
        QTest::newRow("-V") << QStringList{"-V"} << true << out;
        QTest::newRow("info") << QStringList{"info", "--baud", "9600"} << true << out;
        QTest::newRow("read, endless")
            << QStringList{"read",    "--baud", "9600",     "--format", "json",
                           "--count", "0",      "--period", "100"}
            << true << out;
        QTest::newRow("a CSV header") << QStringList{"scan", "--format", "csv"} << true << out;
        QTest::newRow("the log") << QStringList{"info", "--baud", "9600", "--log", "/dev/full"}
                                 << false << "tervin-cli: cannot write the log /dev/full: ";
    }
    void lostOutputEndsTheRun()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, toFull);
        QFETCH(QString, message);
        const Transmitter t = transmitter(DeviceSettings());
        if (!arguments.first().startsWith('-'))
            arguments.insert(1, t.port);
        const Outcome outcome = cli(arguments, toFull ? "/dev/full" : QString());
        QCOMPARE(outcome.exitCode, 3);
        QVERIFY2(outcome.err.startsWith(message) && outcome.err.count('\n') == 1,
                 qPrintable(outcome.err));
    }

    // With SIGPIPE ignored, a reader that has gone is a failed write like any other: the endless
    // read ends with exit 3 instead of polling on.
    void anEndlessReadEndsWithItsReader()
    {
        const Transmitter t = transmitter(DeviceSettings());
        QProcess shell;
        shell.start("bash", {"-c",
                             "trap '' PIPE; \"$0\" read \"$1\" --baud 9600 --count 0 --period 100 "
                             "| head -n 2; echo \"status ${PIPESTATUS[0]}\"",
                             TERVIN_CLI, t.port});
        const Outcome outcome = finished(shell);
        QCOMPARE(outcome.exitCode, 0);
        QCOMPARE(outcome.out.size(), 3);
        QCOMPARE(outcome.out.last(), "status 3");
        QVERIFY2(outcome.err.startsWith("tervin-cli: cannot write standard output: "),
                 qPrintable(outcome.err));
    }

    // SIGTERM while the first port still searches: the second port's record, held back to keep
    // the ports' order, is written before the signal ends the run, as a whole JSON line.
    void anInterruptedScanKeepsWhatItFound()
    {
        DeviceSettings fast;
        fast.baudCode = 6; // found at the first rate tried
        const Transmitter silent = transmitter(DeviceSettings()), found = transmitter(fast);
        Faults mute;
        mute.noReply = true;
        silent.device->setFaults(mute);
        QTemporaryDir folder;
        const QString log = folder.filePath("capture.txt");
        QProcess process;
        process.start(TERVIN_CLI, {"scan", silent.port, found.port, "--format", "json", "--timeout",
                                   "10000", "--log", log});
        // The reply is logged as it is taken, just before its record is made.
        QVERIFY(QTest::qWaitFor(
            [&] {
                QFile file(log);
                return file.open(QIODevice::ReadOnly) && file.readAll().contains("->RX");
            },
            30000));
        process.terminate();
        const Outcome outcome = finished(process);
        QCOMPARE(outcome.exitCode, -1); // ended by the signal
        QCOMPARE(outcome.out.size(), 1);
        const QVariantMap r = json(outcome.out.first());
        QCOMPARE(r["port"], found.port);
        QCOMPARE(r["result"], "ok");
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
