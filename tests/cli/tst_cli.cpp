// tervin-cli against virtual transmitters: every command in every format, checked against the
// transmitter's settings and frames; several ports at once; failures and usage errors. The
// arguments and the texts that list them are checked without a device.
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

Q_DECLARE_METATYPE(Faults)

namespace {
struct Outcome
{
    int exitCode = -1;
    QStringList out;
    QString err;
};

// Runs tervin-cli while this event loop serves the transmitters.
Outcome cli(const QStringList &arguments)
{
    QProcess process;
    process.start(TERVIN_CLI, arguments);
    Outcome outcome;
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
        return outcome;
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out =
        QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    outcome.err = QString::fromUtf8(process.readAllStandardError());
    return outcome;
}

QVariantMap json(const QString &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    return error.error == QJsonParseError::NoError && document.isObject()
               ? document.object().toVariantMap()
               : QVariantMap{{"unparsable", line}};
}

// The record lines of a run in any format, as field maps. Text records are "PORT: a b, c d, ...".
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
        const QStringList fields = format == "csv" ? line.split(',') : line.split(", ");
        for (int i = 0; i < fields.size(); ++i)
            map[format == "csv" ? header.value(i) : QString::number(i)] = fields[i];
        maps << map;
    }
    return maps;
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
    void malformedArgumentsAreNamed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        const QString p = "/dev/ttyUSB0";
        QTest::newRow("no command") << QStringList{} << "no command";
        QTest::newRow("unknown command") << QStringList{"probe", p} << "probe";
        QTest::newRow("unknown option") << QStringList{"scan", "--fast", p} << "--fast";
        QTest::newRow("option of another command")
            << QStringList{"scan", "--baud", "9600", p} << "--baud";
        QTest::newRow("missing value") << QStringList{"info", p, "--baud"} << "--baud";
        QTest::newRow("rate outside the six") << QStringList{"info", p, "--baud", "9601"} << "9601";
        QTest::newRow("address 0") << QStringList{"info", p, "--address=0"} << "--address: 0";
        QTest::newRow("address 248") << QStringList{"set-address", p, "248"} << "248";
        QTest::newRow("new rate") << QStringList{"set-baud", p, "14400"} << "14400";
        QTest::newRow("no new address") << QStringList{"set-address", p} << "no new address";
        QTest::newRow("period 99") << QStringList{"read", p, "--period", "99"} << "99";
        QTest::newRow("count -1") << QStringList{"read", p, "--count", "-1"} << "-1";
        QTest::newRow("block") << QStringList{"read", p, "--block", "x1000"} << "x1000";
        QTest::newRow("what") << QStringList{"read", p, "--what", "pressure"} << "pressure";
        QTest::newRow("format") << QStringList{"scan", p, "--format", "xml"} << "xml";
        QTest::newRow("timeout") << QStringList{"scan", p, "--timeout", "0"} << "--timeout";
        QTest::newRow("no port") << QStringList{"scan"} << "no port";
        QTest::newRow("extra argument") << QStringList{"info", p, "/dev/ttyUSB1"} << "/dev/ttyUSB1";
        QTest::newRow("port twice") << QStringList{"scan", p, p} << "twice";
        QTest::newRow("flag with value") << QStringList{"scan", p, "--verbose=yes"} << "--verbose";
    }
    void malformedArgumentsAreNamed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const ParsedCommandLine parsed = parseCommandLine(arguments);
        QCOMPARE(parsed.outcome, ParsedCommandLine::Usage);
        QVERIFY2(parsed.error.contains(named), qPrintable(parsed.error));
    }

    void wellFormedArgumentsAreRead()
    {
        const ParsedCommandLine read = parseCommandLine(
            {"--format", "json",      "read", "/dev/ttyUSB0", "--block=x100", "--what",
             "dew",      "--count",   "0",    "--period",     "100",          "--baud",
             "1200",     "--address", "247",  "--timeout",    "60000",        "--log",
             "a.txt",    "--verbose"});
        QCOMPARE(read.outcome, ParsedCommandLine::Run);
        const CliOptions &o = read.options;
        QVERIFY(o.command == Command::Read && o.format == Format::Json && o.hundredths &&
                o.what == What::DewPoint && o.verbose);
        QCOMPARE(QList<int>({o.count, o.periodMs, o.baudRate, o.address, o.timeoutMs}),
                 QList<int>({0, 100, 1200, 247, 60000}));
        QCOMPARE(o.ports, QStringList{"/dev/ttyUSB0"});
        QCOMPARE(o.logFile, "a.txt");
        const CliOptions set = parseCommandLine({"set-baud", "--", "-odd-name", "115200"}).options;
        QVERIFY(set.command == Command::SetBaud && set.newValue == 115200 &&
                set.ports == QStringList{"-odd-name"});
        QCOMPARE(parseCommandLine({"scan", "a", "b", "c"}).options.ports.size(), 3);
        QCOMPARE(parseCommandLine({"scan", "a", "-h"}).outcome, ParsedCommandLine::Help);
    }

    // --help, the manual page and the completion name every command, every option, and (the
    // first two) every exit status.
    void everyCommandAndOptionIsDocumented()
    {
        QFile manual(TERVIN_SOURCE_DIR "/cli/tervin-cli.1");
        QFile completion(TERVIN_SOURCE_DIR "/cli/tervin-cli.bash-completion");
        QVERIFY(manual.open(QIODevice::ReadOnly) && completion.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(manual.readAll()).remove("\\");
        const QString completes = QString::fromUtf8(completion.readAll());
        for (const QString &word : commandNames() + optionNames()) {
            QVERIFY2(helpText().contains(word), qPrintable(word));
            QVERIFY2(page.contains(word), qPrintable(word));
            QVERIFY2(completes.contains(word), qPrintable(word));
        }
        QVERIFY(page.contains(".SH EXIT STATUS"));
        for (const QString status : {"0", "1", "2", "3"}) {
            QVERIFY(helpText().contains("\n  " + status + "  "));
            QVERIFY(page.contains(".B " + status + "\n"));
        }
    }

    void usageErrorsSendNothing()
    {
        const Transmitter t = transmitter(DeviceSettings());
        for (const QStringList &arguments : {QStringList{"set-address", t.port, "0"},
                                             {"read", t.port, "--period", "50"},
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
        if (command == "read") {
            QCOMPARE(now.address, 17); // nothing was written
            const double dew = TransmitterModel::dewPoint(-5.25, 61.5);
            const QString unit = "\u00B0C";
            if (format == "text") {
                QCOMPARE(r["0"].toString().section("  ", 1),
                         QString("temperature -5.3 %1").arg(unit)); // tenths, rounded by the device
                QCOMPARE(r["1"], "humidity 61.5 %");
                QCOMPARE(r["2"], QString("dew point %1 %2").arg(dew, 0, 'f', 1).arg(unit));
            } else {
                QCOMPARE(r["temperature"].toDouble(), -5.3);
                QCOMPARE(r["humidity"].toDouble(), 61.5);
                QCOMPARE(r["dew_point"].toDouble(), std::round(dew * 10) / 10);
                QCOMPARE(r["unit"], unit);
            }
        } else {
            const int address = command == "set-address" ? 42 : 17;
            const int rate = command == "set-baud" ? 2400 : 19200;
            QCOMPARE(now.address, address);
            QCOMPARE(Modbus::baudRateOfCode(now.baudCode), rate);
            if (format == "text") {
                QString expected = QString("%1: address %2, %3 bit/s, Tervin-C, sensor SHT3X/4X, "
                                           "firmware 2.4.5, serial 00ff1020abcd")
                                       .arg(t.port)
                                       .arg(address)
                                       .arg(rate);
                if (command == "set-address")
                    expected.replace("42,", "42 (was 17),").append(", verified");
                if (command == "set-baud")
                    expected.replace("2400 bit/s", "2400 bit/s (was 19200)").append(", verified");
                QCOMPARE(outcome.out.join('\n'), expected);
            } else {
                QCOMPARE(r["port"], t.port);
                QCOMPARE(r["command"], command);
                QCOMPARE(r["result"], "ok");
                QCOMPARE(r["address"].toInt(), address);
                QCOMPARE(r["baud"].toInt(), rate);
                QCOMPARE(r["device_type"], "Tervin-C");
                QCOMPARE(r["sensor_type"], "SHT3X/4X");
                QCOMPARE(r["firmware"], "2.4.5");
                QCOMPARE(r["serial"], "00ff1020abcd");
            }
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
    // others, at other rates and addresses, finish; each record is a whole line of its own.
    void scansSeveralPortsAtOnce()
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
        const Outcome outcome =
            cli({"scan", c.port, a.port, "/dev/tervin-none", b.port, "--format", "json"});
        QCOMPARE(outcome.exitCode, 3);
        QMap<QString, QVariantMap> byPort;
        for (const QVariantMap &r : records("json", outcome.out))
            byPort[r["port"].toString()] = r;
        QCOMPARE(byPort.size(), 4);
        QCOMPARE(byPort[a.port]["result"], "ok");
        QCOMPARE(QList<int>({byPort[a.port]["address"].toInt(), byPort[a.port]["baud"].toInt()}),
                 QList<int>({7, 115200}));
        QCOMPARE(byPort[b.port]["result"], "ok");
        QCOMPARE(QList<int>({byPort[b.port]["address"].toInt(), byPort[b.port]["baud"].toInt()}),
                 QList<int>({247, 1200}));
        QCOMPARE(byPort[b.port]["device_type"], "Tervin-F");
        QCOMPARE(byPort[c.port]["result"], "port_error");
        QVERIFY(byPort[c.port]["error"].toString().startsWith("the port went away: "));
        QCOMPARE(byPort["/dev/tervin-none"]["result"], "port_error");
        QCOMPARE(byPort["/dev/tervin-none"]["error"], "cannot open the port: no such port");
        QVERIFY(outcome.err.contains("tervin-cli: /dev/tervin-none: cannot open the port"));
    }

    void failuresAreReportedNeverRead_data()
    {
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<QStringList>("arguments"); // after the port
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("error");
        const QStringList info{"info", "--baud", "9600"};
        Faults crc, junk, refuse, foreign, slow, ignore, silent, pieces;
        crc.corruptCrc = true;
        junk.garbageBefore = QByteArray::fromHex("ff00");
        refuse.exceptionCode = 2;
        foreign.foreignAddress = 9;
        slow.delayMs = 400;
        ignore.ignoreWrites = true;
        silent.noReply = true;
        pieces.splitPieces = 2;
        pieces.splitGapMs = 185; // under the silence that ends a reply, over the response timeout
        QTest::newRow("bad CRC") << crc << info << 1 << "no_answer"
                                 << "no readable answer at 9600 bit/s (a garbled reply (bad CRC))";
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
        QTest::newRow("read, in pieces")
            << pieces << QStringList{"read", "--baud", "9600"} << 0 << "ok"
            << "";
        QTest::newRow("read, silent")
            << silent << QStringList{"read", "--baud", "9600"} << 1 << "no_answer"
            << "no answer at 9600 bit/s within 181 ms";
        QTest::newRow("silent, searched") << silent << QStringList{"info"} << 1 << "no_answer"
                                          << "no answer at any rate";
        QTest::newRow("ignored rate")
            << ignore << QStringList{"set-baud", "2400", "--baud", "9600"} << 1 << "not_verified"
            << "no answer at 2400 bit/s";
        QTest::newRow("ignored address")
            << ignore << QStringList{"set-address", "5"} << 1 << "not_verified"
            << "no answer at address 5";
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
        QVERIFY2(error.isEmpty() ? !r.contains("error") : r["error"].toString().endsWith(error),
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
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
