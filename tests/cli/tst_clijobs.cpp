// tervin-cli's jobs on the link session's fake port, in virtual time: a line of simulated units
// that answer after the request's time on the wire and their turnaround, as on RS-485. When
// each request goes out and when each job ends are exact here: garbled replies end the wait at
// once, resends are counted, a silent address costs the request's wire time and the timeout,
// and several units are read in turn, each in its own unit.
#include "collision.h"
#include "linkharness.h"
#include "portjob.h"
#include "protocol/transaction.h"
#include "transmittermodel.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <deque>

using namespace LinkHarness;

namespace {
constexpr int TurnaroundMs = 5;

// Units behind the fake port. Each hears a request at its own rate only, and answers its own
// address and slave 0, its reply starting after the request's time on the wire and the
// turnaround; replies given at once collide. Requests are counted from 1.
class FakeLine
{
public:
    FakeLine(VirtualClock &clock, FakePort &port) : clock(clock), port(port)
    {
        port.onWrite = [this](const QByteArray &request) { heard(request); };
    }

    TransmitterModel &add(quint8 address, quint16 deviceType = 0)
    {
        DeviceSettings settings;
        settings.address = address;
        settings.deviceType = deviceType;
        settings.serialNumber[2] = quint16(0x9abc + units.size());
        units.emplace_back(settings);
        return units.back();
    }

    std::deque<TransmitterModel> units;
    QSet<int> unheard; // requests no unit hears
    QSet<int> garbled; // requests whose reply arrives with a bad CRC
    QList<qint64> writtenAt;

private:
    void heard(const QByteArray &request)
    {
        writtenAt << clock.nowMs();
        const int number = int(writtenAt.size());
        if (unheard.contains(number))
            return;
        QList<QByteArray> replies;
        for (TransmitterModel &unit : units) {
            if (Modbus::baudRateOfCode(unit.settings().baudCode) != port.baudRate())
                continue;
            const QByteArray reply = unit.handle(request);
            unit.applyPendingBaudCode();
            if (!reply.isEmpty())
                replies << reply;
        }
        if (replies.isEmpty())
            return;
        QByteArray reply = replies.size() == 1 ? replies.first() : Collision::overlap(replies);
        if (garbled.contains(number))
            reply[reply.size() - 1] = char(reply.back() ^ 0x40);
        // The first byte as soon as it is on the wire, the rest with the reply's last byte.
        const int rate = port.baudRate();
        const qint64 starts =
            clock.nowMs() + Transaction::wireTimeMs(request.size(), rate) + TurnaroundMs;
        clock.at(starts + Transaction::wireTimeMs(1, rate),
                 [this, reply] { port.deliver(reply.left(1)); });
        clock.at(starts + Transaction::wireTimeMs(int(reply.size()), rate),
                 [this, reply] { port.deliver(reply.mid(1)); });
    }

    VirtualClock &clock;
    FakePort &port;
};

// A command run on the fake line until its job ends: the records as JSON, the messages, and
// the virtual time at which it ended.
struct Run
{
    explicit Run(const QStringList &arguments)
        : options(parseCommandLine(arguments + QStringList{"--format", "json"}).options),
          output({"ttyFAKE"},
                 [this](Stream stream, const QString &line) {
                     if (stream == Stream::Out)
                         records << QJsonDocument::fromJson(line.toUtf8()).object().toVariantMap();
                     else
                         messages << line;
                 }),
          line(clock, port)
    {
        options.ports = QStringList{"ttyFAKE"};
        output.printReadings(options.format, true);
    }

    void run()
    {
        PortJob *job = PortJob::create(options, "ttyFAKE", output.port(0), &port, &clock);
        QObject::connect(job, &PortJob::finished, [this, job] {
            endedAt = clock.nowMs();
            exitCode = job->exitCode();
        });
        job->start();
        clock.runUntil(clock.nowMs() + 600000);
        delete job;
    }

    CliOptions options;
    QList<QVariantMap> records;
    QStringList messages;
    RunOutput output;
    VirtualClock clock;
    FakePort port;
    FakeLine line;
    qint64 endedAt = -1;
    int exitCode = -1;
};
} // namespace

class TestCliJobs : public QObject
{
    Q_OBJECT

private slots:
    // How one request ends, and when: a garbled reply as soon as the silence rule drops it
    // (200 ms after its last byte, long before a 2 s timeout), a silent device after each try's
    // timeout; each resend is counted in tries.
    void resultsAndTries_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after "info ttyFAKE --baud 9600"
        QTest::addColumn<QList<int>>("unheard");
        QTest::addColumn<QList<int>>("garbled");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("tries");
        QTest::addColumn<int>("endedAt");
        // At 9600 bit/s: the request 9 ms on the wire, the reply 22 ms; 181 ms timeout.
        const int replyEnd = 9 + TurnaroundMs + 22;
        const QStringList slowTimeout{"--timeout", "2000"};
        QTest::newRow("answered") << QStringList{} << QList<int>{} << QList<int>{} << "ok" << 1
                                  << replyEnd;
        QTest::newRow("garbled, ended by the silence")
            << slowTimeout << QList<int>{} << QList<int>{1} << "garbled" << 1 << replyEnd + 200;
        QTest::newRow("garbled, sent again")
            << slowTimeout + QStringList{"--retries", "1"} << QList<int>{} << QList<int>{1} << "ok"
            << 2 << replyEnd + 200 + replyEnd;
        QTest::newRow("silent") << QStringList{} << QList<int>{1} << QList<int>{} << "no_answer"
                                << 1 << 181;
        QTest::newRow("silent three times") << QStringList{"--retries", "2"} << QList<int>{1, 2, 3}
                                            << QList<int>{} << "no_answer" << 3 << 3 * 181;
        QTest::newRow("silent, then answered") << QStringList{"--retries", "5"} << QList<int>{1, 2}
                                               << QList<int>{} << "ok" << 3 << 2 * 181 + replyEnd;
        QTest::newRow("--timeout after the request's wire time")
            << QStringList{"--timeout", "20"} << QList<int>{1} << QList<int>{} << "no_answer" << 1
            << 9 + 20;
    }
    void resultsAndTries()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, unheard);
        QFETCH(QList<int>, garbled);
        QFETCH(QString, result);
        QFETCH(int, tries);
        QFETCH(int, endedAt);
        Run run(QStringList{"info", "ttyFAKE", "--baud", "9600"} + arguments);
        run.line.add(1);
        run.line.unheard = QSet<int>(unheard.begin(), unheard.end());
        run.line.garbled = QSet<int>(garbled.begin(), garbled.end());
        run.run();
        QCOMPARE(run.records.size(), 1);
        QCOMPARE(run.records[0]["result"].toString(), result);
        QCOMPARE(run.records[0]["tries"].toInt(), tries);
        QCOMPARE(run.line.writtenAt.size(), tries);
        QCOMPARE(run.endedAt, endedAt);
    }

    // A write's read-back is sent again too: the device that took the address but did not
    // answer at once is verified on the second try.
    void aReadBackIsSentAgain()
    {
        Run run({"set-address", "ttyFAKE", "42", "--baud", "9600", "--retries", "1"});
        run.line.add(1);
        run.line.unheard = {3}; // the device information, the write, the read-back
        run.run();
        QCOMPARE(run.records.size(), 1);
        QCOMPARE(run.records[0]["result"].toString(), "ok");
        QCOMPARE(run.records[0]["address"].toInt(), 42);
        QCOMPARE(run.records[0]["tries"].toInt(), 2);
        QCOMPARE(run.line.writtenAt.size(), 4);
    }

    // Each address that does not answer costs the request's time on the wire and the timeout,
    // nothing more; after a unit's reply the next address is asked at once.
    void aSilentAddressCostsWireTimeAndTimeout_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<QStringList>("timeout");
        QTest::addColumn<int>("silentMs");
        QTest::newRow("9600, --timeout 20") << 9600 << QStringList{"--timeout", "20"} << 9 + 20;
        QTest::newRow("1200, --timeout 20") << 1200 << QStringList{"--timeout", "20"} << 67 + 20;
        QTest::newRow("9600, from the rate") << 9600 << QStringList{} << 181;
        QTest::newRow("115200, from the rate") << 115200 << QStringList{} << 153;
    }
    void aSilentAddressCostsWireTimeAndTimeout()
    {
        QFETCH(int, baud);
        QFETCH(QStringList, timeout);
        QFETCH(int, silentMs);
        Run run(
            QStringList{"scan", "ttyFAKE", "--addresses", "1-6", "--baud", QString::number(baud)} +
            timeout);
        run.line.add(3).settings().baudCode = quint16(Modbus::baudCodeOfRate(baud));
        run.run();
        const int answerMs =
            Transaction::wireTimeMs(8, baud) + TurnaroundMs + Transaction::wireTimeMs(21, baud);
        QList<qint64> gaps;
        for (int i = 1; i < run.line.writtenAt.size(); ++i)
            gaps << run.line.writtenAt[i] - run.line.writtenAt[i - 1];
        QCOMPARE(gaps, QList<qint64>({silentMs, silentMs, answerMs, silentMs, silentMs}));
        QCOMPARE(run.records.size(), 2);
        QCOMPARE(run.records[1]["duration_ms"].toInt(), 5 * silentMs + answerMs);
        QCOMPARE(run.endedAt, 5 * silentMs + answerMs);
    }

    // Several units polled in turn, round after round, each record with its address, its serial
    // number and its reading in its own unit (a Tervin-F reads in °F among units in °C).
    void severalUnitsAreReadInTurn()
    {
        Run run({"read", "ttyFAKE", "--baud", "9600", "--address", "3,7,12", "--count", "2",
                 "--period", "1000"});
        run.line.add(3);
        run.line.add(7, 2);
        run.run();
        QStringList seen;
        for (const QVariantMap &r : run.records)
            seen << QString("%1 %2 %3 %4")
                        .arg(r["address"].toInt())
                        .arg(r["result"].toString(), r["serial"].toString(),
                             r["temperature"].toString() + r["unit"].toString());
        const QString f = "74.3\u00B0F", c = "23.5\u00B0C";
        QCOMPARE(seen, QStringList({"3 ok 123456789abc " + c, "7 ok 123456789abd " + f,
                                    "12 no_answer  ", "3 ok 123456789abc " + c,
                                    "7 ok 123456789abd " + f, "12 no_answer  "}));
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.messages.contains("tervin-cli: ttyFAKE: address 12: no answer within 181 ms"));
        QVERIFY(run.endedAt >= 1000 && run.endedAt < 2000); // the second round a period later
    }
};

QTEST_GUILESS_MAIN(TestCliJobs)
#include "tst_clijobs.moc"
