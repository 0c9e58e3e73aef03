// tervin-cli against virtual transmitters: every command in text and in CSV or JSON, checked
// against the transmitter's settings and frames; failures, usage errors and a port in use. Several
// ports and the output are in tst_clioutput; the arguments and the records are checked without a
// device (tst_cliarguments, tst_clirecords).
#include "clirun.h"
#include "options.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QTemporaryDir>

Q_DECLARE_METATYPE(Faults)

using namespace CliRun;

namespace {
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

QProcessEnvironment language(const QString &lang)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LANG", lang);
    environment.remove("LC_ALL");
    environment.remove("LC_MESSAGES");
    return environment;
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    // A usage error found at each stage before the port is opened: the arguments themselves
    // (each rule in tst_cliarguments), the ports named, the --log file, the password file and the
    // check's report (tst_clifiles).
    void usageErrorsSendNothing()
    {
        const Transmitter t = transmitter(DeviceSettings());
        QTemporaryDir folder;
        const QString link = folder.filePath("by-id-name");
        QVERIFY(QFile::link(t.port, link));
        for (const QStringList &arguments :
             {QStringList{"set-address", t.port, "0"},
              {"scan", link, t.port},
              {"info", link, "--log", t.port},
              {"read", t.port, "--mqtt", "mqtt://localhost", "--mqtt-user", "rack1",
               "--mqtt-password-file", folder.filePath("missing")},
              {"check", t.port, "--addresses", "1-8", "--reference", "9", "--report",
               "/nonexistent/lot.pdf"}}) {
            const Outcome outcome = cli(arguments);
            QCOMPARE(outcome.exitCode, 2);
            QVERIFY(outcome.err.contains("tervin-cli: ") && outcome.err.contains("--help"));
        }
        // Anything they wrote would have reached the transmitter before a run that sends.
        QCOMPARE(cli({"info", t.port, "--baud", "9600"}).exitCode, 0);
        QCOMPARE(t.device->requests(), QList<QByteArray>{infoRead(0)});
        QVERIFY(Run({"scan"}, language("zh_CN.UTF-8")).outcome().err.contains("scan：未给出串口"));
    }

    // Each command in text, whose values only this test reads back, and in CSV or JSON, whose
    // fields each kind of record has in tst_clirecords; read, printed by the run's output rather
    // than by its job, in all three.
    void everyCommandAndEveryFormat_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("format");
        for (const char *row :
             {"scan text", "scan json", "info text", "info csv", "read text", "read csv",
              "read json", "set-address text", "set-address json", "set-baud text", "set-baud csv"})
            QTest::newRow(row) << QString(row).section(' ', 0, 0) << QString(row).section(' ', 1);
    }
    // Values against the transmitter's settings, and the --log capture against the frames the
    // transmitter received and sent, byte for byte.
    void everyCommandAndEveryFormat()
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
        const QList<QVariantMap> printed = records(format, outcome.out);
        QCOMPARE(printed.size(), 1);
        const QVariantMap r = printed.first();
        const DeviceSettings &now = t.device->model().settings();
        const int address = command == "set-address" ? 42 : 17;
        const int rate = command == "set-baud" ? 2400 : 19200;
        QCOMPARE(now.address, address); // read and the scans write nothing
        QCOMPARE(Modbus::baudRateOfCode(now.baudCode), rate);
        // Every record says when, where, which unit, and how it went.
        QVERIFY2(isRecordTime(r["time"].toString()), qPrintable(r["time"].toString()));
        QCOMPARE(r["port"], t.port);
        const QString dew =
            QString::number(std::round(TransmitterModel::dewPoint(-5.25, 61.5) * 10) / 10);
        const QString serial = "00ff1020abcd", unit = "\u00B0C";
        const bool read = command == "read";
        QStringList expected, found;
        if (format == "text") {
            expected =
                QStringList{QString("address %1").arg(address), QString("%1 bit/s").arg(rate)};
            if (command == "set-address")
                expected[0] += " (was 17)";
            if (command == "set-baud")
                expected[1] += " (was 19200)";
            expected += read ? QStringList{"serial " + serial, "temperature -5.3 " + unit,
                                           "humidity 61.5 %", "dew point " + dew + ' ' + unit}
                             : QStringList{"Tervin-C", "sensor SHT3X/4X", "firmware 2.4.5",
                                           "serial " + serial}; // the device rounds to tenths
            if (command.startsWith("set-"))
                expected << "verified";
            for (int i = 0; i + 2 < r.size(); ++i)
                found << r[QString::number(i)].toString();
        } else {
            expected = QStringList{"command=" + command,
                                   "result=ok",
                                   QString("address=%1").arg(address),
                                   QString("baud=%1").arg(rate),
                                   "serial=" + serial,
                                   "tries=1",
                                   "error="};
            expected += read ? QStringList{"temperature=-5.3", "humidity=61.5", "dew_point=" + dew,
                                           "unit=" + unit}
                             : QStringList{"device_type=Tervin-C", "sensor_type=SHT3X/4X",
                                           "firmware=2.4.5"};
            for (const QString &pair : expected)
                found << pair.section('=', 0, 0) + '=' + r[pair.section('=', 0, 0)].toString();
            QVERIFY(r.contains("error"));
        }
        QCOMPARE(found, expected);
        const QMap<QString, QList<QByteArray>> sent{
            {"scan", {infoRead(0), infoRead(0)}}, // 115200 goes unanswered
            {"info", {infoRead(0)}},
            {"read", {infoRead(0), ModbusFrame::buildRequest(17, 0x03, 0x0004, 4)}},
            {"set-address",
             {infoRead(0), infoRead(0), ModbusFrame::buildRequest(0, 0x06, 0x0100, 42),
              infoRead(42)}},
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

    void failuresAreReportedNeverRead_data()
    {
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<QStringList>("arguments"); // after the port
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("error");
        const QStringList info{"info", "--baud", "9600"};
        Faults crc, junk, refuse, foreign, slow, ignore, pieces;
        crc.corruptCrc = true;
        junk.garbageBefore = QByteArray::fromHex("ff00");
        refuse.exceptionCode = 2;
        foreign.foreignAddress = 9;
        slow.delayMs = 400;
        ignore.ignoreWrites = true;
        pieces.splitPieces = 2;
        pieces.splitGapMs = 185; // under the silence that ends a reply, over the response timeout
        const auto row = [](const char *name, const Faults &faults, const QStringList &arguments,
                            int exitCode, const char *result, const char *error) {
            QTest::newRow(name) << faults << arguments << exitCode << result << error;
        };
        row("bad CRC", crc, info, 1, "garbled",
            "no readable answer at 9600 bit/s (a garbled reply (bad CRC))");
        row("junk before", junk, info, 1, "garbled", "(a garbled reply (extra bytes))");
        row("exception", refuse, info, 1, "exception",
            "the device refused: exception 0x02 (illegal data address)");
        row("other slave", foreign, info + QStringList{"--address", "1"}, 1, "other_slave",
            "no answer at 9600 bit/s within 181 ms (a reply from slave 9)");
        row("slow, waited for", slow, info + QStringList{"--timeout", "1000"}, 0, "ok", "");
        row("read, in pieces", pieces, {"read", "--baud", "9600"}, 0, "ok", "");
        row("ignored rate", ignore, {"set-baud", "2400", "--baud", "9600"}, 1, "not_verified",
            "no answer at 2400 bit/s");
        row("ignored address", ignore, {"set-address", "5"}, 1, "not_verified",
            "no answer at address 5");
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

    // Two programs on one line: the second is refused under whichever name it gives the device
    // (the path, or a name relative to its folder, in Chinese; every pair of names is in
    // tst_linkport), sends nothing, and the first, which gave a symlink, reads on. The tests run
    // as root, whom the terminal's exclusive mode does not stop.
    void aPortInUseIsRefused()
    {
        const Transmitter t = transmitter(DeviceSettings());
        QTemporaryDir folder;
        QVERIFY(QFile::link(t.port, folder.filePath("link")));
        // Three seconds of readings, ended by their count (a signal would leave the serial port
        // library's lock file behind).
        Run first({"read", folder.filePath("link"), "--baud", "9600", "--count", "30", "--period",
                   "100"});
        QTRY_VERIFY_WITH_TIMEOUT(t.device->requests().size() >= 2, 10000); // found, reading
        const QList<QStringList> refusals{
            {t.port, "C.UTF-8", "cannot open the port: in use by another program"},
            {QFileInfo(t.port).fileName(), "zh_CN.UTF-8", "正被其他程序占用"}};
        for (const QStringList &refusal : refusals) {
            Run next({"info", refusal[0], "--baud", "9600"}, language(refusal[1]),
                     QFileInfo(t.port).path());
            QCOMPARE(next.finished(), 3);
            QVERIFY2(next.errors().contains(refusal[2]), qPrintable(next.errors()));
            QVERIFY(next.lines().isEmpty());
        }
        QCOMPARE(first.finished(), 0);
        QVERIFY2(first.errors().isEmpty(), qPrintable(first.errors()));
        QCOMPARE(first.lines().size(), 30);
        QCOMPARE(t.device->requests().size(), 31);
        QCOMPARE(t.device->requests().count(infoRead(0)), 1); // the first's search only
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
