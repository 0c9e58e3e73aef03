// tervin-cli's output: several ports at once, their records in the order of the ports (as a
// function, then against virtual transmitters); a failing read as a CSV row; output that cannot
// be written, a reader that goes away, and a run ended by a signal.
#include "clirun.h"
#include "output.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace CliRun;

namespace {
// tervin-cli run by bash: the script has the program as $0 and the arguments after it.
Outcome shell(const QString &script, const QStringList &arguments)
{
    return Run(QStringList{"-c", script, TERVIN_CLI} + arguments,
               QProcessEnvironment::systemEnvironment(), QString(), "bash")
        .outcome();
}

bool holds(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(text);
}
} // namespace

class TestCliOutput : public QObject
{
    Q_OBJECT

private slots:
    // The order itself, as a function. Events: "P:line" a record of port P, "P!line" a message,
    // "done P", "release".
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
        PortOrder order(ports, [&](Stream stream, const QString &line) {
            lines << (stream == Stream::Out ? "out " : "err ") + line;
        });
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
        // The last port succeeds: the status is the worst of all, not the last one's.
        const Outcome outcome = cli({"scan", b.port, none, c.port, a.port, "--format", "json"});
        QCOMPARE(outcome.exitCode, 3);
        QStringList ports;
        QMap<QString, QVariantMap> byPort;
        for (const QVariantMap &r : records("json", outcome.out)) {
            ports << r["port"].toString();
            byPort[ports.last()] = r;
        }
        QCOMPARE(ports, QStringList({b.port, none, c.port, a.port}));
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
        QCOMPARE(byPort[none]["error"], "cannot open the port: no such port");
        const int noneSaid = int(outcome.err.indexOf("tervin-cli: " + none + ": cannot open"));
        QVERIFY(noneSaid >= 0 && noneSaid < outcome.err.indexOf("tervin-cli: " + c.port + ": "));
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
        QVERIFY2(outcome.err.contains("no answer at 9600 bit/s within 181 ms"),
                 qPrintable(outcome.err));
    }

    // Output that cannot be written ends the run with exit 3 and one message, whatever the
    // command: /dev/full refuses every write with ENOSPC, and a log already at the file size limit
    // (1024 bytes here, its signal ignored) refuses more with EFBIG.
    void lostOutputEndsTheRun_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the port, for a command
        QTest::addColumn<bool>("toFull");           // standard output to /dev/full
        QTest::addColumn<QString>("message");
        const QString out = "tervin-cli: cannot write standard output: ";
        const auto row = [](const char *name, const QStringList &arguments, bool toFull,
                            const QString &message) {
            QTest::newRow(name) << arguments << toFull << message;
        };
        row("--help", {"--help"}, true, out);
        row("-V", {"-V"}, true, out);
        row("info", {"info", "--baud", "9600"}, true, out);
        row("read, endless",
            {"read", "--baud", "9600", "--format", "json", "--count", "0", "--period", "100"}, true,
            out);
        row("a CSV header", {"scan", "--format", "csv"}, true, out);
        row("the log", {"info", "--baud", "9600", "--log", "LOG"}, false,
            "tervin-cli: cannot write the log LOG: ");
    }
    void lostOutputEndsTheRun()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, toFull);
        QFETCH(QString, message);
        const Transmitter t = transmitter(DeviceSettings());
        if (!arguments.first().startsWith('-'))
            arguments.insert(1, t.port);
        QTemporaryDir folder;
        const QString log = folder.filePath("capture.txt");
        QFile atLimit(log);
        QVERIFY(atLimit.open(QIODevice::WriteOnly) && atLimit.write(QByteArray(1024, '#')) == 1024);
        atLimit.close();
        arguments.replaceInStrings("LOG", log);
        message.replace("LOG", log);
        const Outcome outcome = shell(QString("ulimit -f 1; trap '' XFSZ; exec \"$0\" \"$@\"") +
                                          (toFull ? " >/dev/full" : ""),
                                      arguments);
        QCOMPARE(outcome.exitCode, 3);
        QVERIFY2(outcome.err.startsWith(message) && outcome.err.count('\n') == 1,
                 qPrintable(outcome.err));
    }

    // A fifo is a log like a file while something reads it (a live view, or --log >(gzip ...));
    // one that nothing reads is refused at once instead of holding the run, and nothing is sent.
    void aLogFifoNeedsItsReader()
    {
        const Transmitter t = transmitter(DeviceSettings());
        QTemporaryDir folder;
        const QString fifo = folder.filePath("fifo"), capture = folder.filePath("capture.txt");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const Outcome refused = cli({"info", t.port, "--baud", "9600", "--log", fifo});
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains("nothing reads this fifo"), qPrintable(refused.err));
        QVERIFY(t.device->requests().isEmpty());
        QCOMPARE(shell("\"$0\" info \"$1\" --baud 9600 --log >(cat >\"$2\")", {t.port, capture})
                     .exitCode,
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(holds(capture, "->RX"), 10000);
    }

    // With SIGPIPE ignored, a reader that has gone is a failed write like any other: the endless
    // read ends with exit 3 instead of polling on.
    void anEndlessReadEndsWithItsReader()
    {
        const Transmitter t = transmitter(DeviceSettings());
        const Outcome outcome = shell("trap '' PIPE; \"$0\" read \"$1\" --baud 9600 --count 0 "
                                      "--period 100 | head -n 2; echo \"status ${PIPESTATUS[0]}\"",
                                      {t.port});
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
        Run scan({"scan", silent.port, found.port, "--format", "json", "--timeout", "10000",
                  "--log", log});
        // The reply is logged as it is taken, just before its record is made.
        QVERIFY(QTest::qWaitFor([&] { return holds(log, "->RX"); }, 30000));
        scan.process.terminate();
        const Outcome outcome = scan.outcome();
        QCOMPARE(outcome.exitCode, -1); // ended by the signal
        QCOMPARE(outcome.out.size(), 1);
        const QVariantMap r = json(outcome.out.first());
        QCOMPARE(r["port"], found.port);
        QCOMPARE(r["result"], "ok");
    }
};

QTEST_GUILESS_MAIN(TestCliOutput)
#include "tst_clioutput.moc"
