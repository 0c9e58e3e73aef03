// tervin-cli's jobs on the link session's fake port, in virtual time: a line of simulated units
// that answer after the request's time on the wire and their turnaround, as on RS-485. When
// each request goes out and when each job ends are exact here: garbled replies end the wait at
// once, resends are counted, a silent address costs the request's wire time and the timeout, a
// line of units is scanned address by address, and several units are read in turn, each in its
// own unit.
#include "jobrun.h"
#include "protocol/transaction.h"

#include <QtTest>

using namespace LinkHarness;

constexpr int TurnaroundMs = 5; // the fake line's units, as the virtual transmitter's

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
        const auto row = [](const char *name, const QStringList &arguments,
                            const QList<int> &unheard, const QList<int> &garbled,
                            const char *result, int tries, int endedAt) {
            QTest::newRow(name) << arguments << unheard << garbled << result << tries << endedAt;
        };
        row("answered", {}, {}, {}, "ok", 1, replyEnd);
        row("garbled, ended by the silence", slowTimeout, {}, {1}, "garbled", 1, replyEnd + 200);
        row("garbled, sent again", slowTimeout + QStringList{"--retries", "1"}, {}, {1}, "ok", 2,
            replyEnd + 200 + replyEnd);
        row("silent", {}, {1}, {}, "no_answer", 1, 181);
        row("silent three times", {"--retries", "2"}, {1, 2, 3}, {}, "no_answer", 3, 3 * 181);
        row("silent, then answered", {"--retries", "5"}, {1, 2}, {}, "ok", 3, 2 * 181 + replyEnd);
        row("--timeout after the request's wire time", {"--timeout", "20"}, {1}, {}, "no_answer", 1,
            9 + 20);
    }
    void resultsAndTries()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, unheard);
        QFETCH(QList<int>, garbled);
        QFETCH(QString, result);
        QFETCH(int, tries);
        QFETCH(int, endedAt);
        JobRun run(QStringList{"info", "ttyFAKE", "--baud", "9600"} + arguments);
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

    // A unit silent at every rate: one request at each rate of the search, then the record and
    // the message say so.
    void silentAtEveryRate()
    {
        JobRun run({"info", "ttyFAKE"});
        run.line.mute(run.line.add(1), true);
        run.run();
        QCOMPARE(run.port.writes.size(), int(std::size(Modbus::SearchOrder)));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.records.size(), 1);
        QCOMPARE(run.records[0]["result"].toString(), "no_answer");
        QVERIFY2(run.records[0]["error"].toString().endsWith("no answer at any rate"),
                 qPrintable(run.records[0]["error"].toString()));
        QCOMPARE(run.messages.filter("no answer at any rate").size(), 1);
    }

    // A write's read-back is sent again too: the device that took the address but did not
    // answer at once is verified on the second try.
    void aReadBackIsSentAgain()
    {
        JobRun run({"set-address", "ttyFAKE", "42", "--baud", "9600", "--retries", "1"});
        run.line.add(1);
        // the device information, slave 0 asked who would take the address, the write, the
        // read-back
        run.line.unheard = {4};
        run.run();
        QCOMPARE(run.records.size(), 1);
        QCOMPARE(run.records[0]["result"].toString(), "ok");
        QCOMPARE(run.records[0]["address"].toInt(), 42);
        QCOMPARE(run.line.writtenAt.size(), 5);
    }

    // The adapter pulled at each step of commission, set-address and set-baud. A setting the
    // unit has echoed is in the record, verified or not; before its echo the record keeps the
    // old one, and the error says what the unit was given. The unit listens at 1, 115200 bit/s,
    // the first rate searched: commission's requests are the search, slave 0 asked who would take
    // the address, the address write, its read-back at 41, the rate write, its read-back at 9600,
    // and the reading.
    void aLostPortKeepsWhatWasEchoed_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the port
        QTest::addColumn<int>("lostAt");            // the request
        QTest::addColumn<bool>("heard");            // the unit heard it before the port went
        QTest::addColumn<QList<int>>("record");     // address and baud, previous_* too
        QTest::addColumn<QList<int>>("unit");       // where it listens afterwards
        QTest::addColumn<QString>("ends");          // how the error ends
        const QStringList commission{"commission", "ttyFAKE", "--address", "41", "--baud", "9600"};
        const QString givenAddress = "; it was given address 41, 115200 bit/s";
        const QString givenBoth = "; it was given address 41, 9600 bit/s";
        const QList<int> old{1, 115200, 1, 115200}, newAddress{41, 115200, 1, 115200},
            both{41, 9600, 1, 115200};
        const auto row = [](const char *name, const QStringList &arguments, int lostAt, bool heard,
                            const QList<int> &record, const QList<int> &unit, const QString &ends) {
            QTest::newRow(name) << arguments << lostAt << heard << record << unit << ends;
        };
        row("while slave 0 is asked who would take the address", commission, 2, false, old,
            {1, 115200}, "unplugged");
        row("after the find", commission, 3, false, old, {1, 115200}, givenAddress);
        row("the address write heard, its echo lost", commission, 3, true, old, {41, 115200},
            givenAddress);
        row("after the address echo, before its read-back", commission, 4, false, newAddress,
            {41, 115200}, givenAddress);
        row("during the address read-back", commission, 4, true, newAddress, {41, 115200},
            givenAddress);
        row("the rate write heard, its echo lost", commission, 5, true, newAddress, {41, 9600},
            givenBoth);
        row("after the rate echo, before its read-back", commission, 6, false, both, {41, 9600},
            givenBoth);
        row("during the rate read-back", commission, 6, true, both, {41, 9600}, givenBoth);
        row("during the reading", commission, 7, true, both, {41, 9600},
            "; it now listens at address 41, 9600 bit/s");
        const QString unplugged = "the port went away: the adapter was unplugged";
        row("set-address, its echo lost", {"set-address", "ttyFAKE", "41"}, 3, true,
            {1, 115200, 1, 0}, {41, 115200}, unplugged);
        row("set-address, during the read-back", {"set-address", "ttyFAKE", "41"}, 4, true,
            {41, 115200, 1, 0}, {41, 115200}, unplugged);
        row("set-baud, during the read-back", {"set-baud", "ttyFAKE", "9600"}, 3, true,
            {1, 9600, 0, 115200}, {1, 9600}, unplugged);
    }
    void aLostPortKeepsWhatWasEchoed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, lostAt);
        QFETCH(bool, heard);
        QFETCH(QList<int>, record);
        QFETCH(QList<int>, unit);
        QFETCH(QString, ends);
        JobRun run(arguments);
        TransmitterModel &device = run.line.add(1);
        device.settings().baudCode = quint16(Modbus::baudCodeOfRate(115200));
        run.line.lostAt = lostAt;
        run.line.lostAfterHeard = heard;
        run.run();
        QCOMPARE(run.line.writtenAt.size(), lostAt);
        QCOMPARE(run.exitCode, 3);
        QCOMPARE(run.records.size(), 1);
        const QVariantMap &r = run.records[0];
        QCOMPARE(r["result"].toString(), "port_error");
        QCOMPARE(QList<int>({r["address"].toInt(), r["baud"].toInt(), r["previous_address"].toInt(),
                             r["previous_baud"].toInt()}),
                 record);
        QCOMPARE(QList<int>({device.settings().address,
                             Modbus::baudRateOfCode(device.settings().baudCode)}),
                 unit);
        QVERIFY2(r["error"].toString().startsWith("the port went away: the adapter was unplugged"),
                 qPrintable(r["error"].toString()));
        QVERIFY2(r["error"].toString().endsWith(ends), qPrintable(r["error"].toString()));
    }

    // A unit that refuses the search's read (an exception) was heard: its record says where, the
    // address it answered under and the rate it answered at, as a unit that answered would.
    void anExceptionRecordSaysWhere_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the port; the rate searched
        QTest::addColumn<QList<int>>("addresses");  // of the records, each at 9600 bit/s
        QTest::newRow("info") << QStringList{"info"} << QList<int>{5};
        QTest::newRow("scan") << QStringList{"scan"} << QList<int>{5};
        QTest::newRow("read") << QStringList{"read"} << QList<int>{5};
        QTest::newRow("read, two units")
            << QStringList{"read", "--address", "5,7"} << QList<int>{5, 7};
        QTest::newRow("set-baud") << QStringList{"set-baud", "19200"} << QList<int>{5};
        QTest::newRow("commission")
            << QStringList{"commission", "--address", "41"} << QList<int>{5};
    }
    void anExceptionRecordSaysWhere()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, addresses);
        arguments.insert(1, "ttyFAKE");
        JobRun run(arguments);
        run.line.add(5);
        for (int request = 1; request <= 10; ++request)
            run.line.refused << request;
        run.run();
        QList<int> seen;
        for (const QVariantMap &r : run.records) {
            QCOMPARE(r["result"].toString(), "exception");
            QCOMPARE(r["baud"].toInt(), 9600);
            seen << r["address"].toInt();
        }
        QCOMPARE(seen, addresses);
    }

    // Each address that does not answer costs the request's time on the wire and the wait for an
    // answer to begin (--timeout, or the scan's own: 20 ms at 9600, never under 10 ms), nothing
    // more; after a unit's reply the next address is asked at once.
    void aSilentAddressCostsWireTimeAndTimeout_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<QStringList>("timeout");
        QTest::addColumn<int>("silentMs");
        QTest::newRow("9600, --timeout 20") << 9600 << QStringList{"--timeout", "20"} << 9 + 20;
        QTest::newRow("1200, --timeout 20") << 1200 << QStringList{"--timeout", "20"} << 67 + 20;
        QTest::newRow("9600, the scan's wait") << 9600 << QStringList{} << 9 + 20;
        QTest::newRow("1200, the scan's wait") << 1200 << QStringList{} << 67 + 160;
        QTest::newRow("115200, the scan's wait") << 115200 << QStringList{} << 1 + 10;
    }
    void aSilentAddressCostsWireTimeAndTimeout()
    {
        QFETCH(int, baud);
        QFETCH(QStringList, timeout);
        QFETCH(int, silentMs);
        JobRun run(
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

    // The address write goes to slave 0, which every unit of the line takes: it is refused, and
    // nothing written, when slave 0's answer is garbled (several units at once) or more than one
    // unit is known on the line; a lone unit takes it.
    void aBroadcastWriteSeveralWouldTakeIsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after the port
        QTest::addColumn<QList<int>>("units");
        QTest::addColumn<QString>("result");
        QTest::newRow("set-address, three units")
            << QStringList{"set-address", "50", "--address", "100"} << QList<int>{3, 100, 200}
            << "several_units";
        QTest::newRow("commission, two units")
            << QStringList{"commission", "--address", "50"} << QList<int>{3, 7} << "";
        QTest::newRow("set-address, one unit")
            << QStringList{"set-address", "50"} << QList<int>{3} << "ok";
    }
    void aBroadcastWriteSeveralWouldTakeIsRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QList<int>, units);
        QFETCH(QString, result);
        JobRun run(QStringList{arguments.first(), "ttyFAKE"} + arguments.mid(1) +
                   QStringList{"--baud", "9600"});
        for (int address : units)
            run.line.add(quint8(address));
        run.run();
        bool written = false;
        for (const QByteArray &frame : run.port.writes)
            written = written || ModbusFrame::functionOf(frame) == Modbus::WriteSingleRegister;
        QCOMPARE(written, result == "ok");
        QCOMPARE(run.exitCode, result == "ok" ? 0 : 1);
        if (!result.isEmpty()) {
            QCOMPARE(run.records.size(), 1);
            QCOMPARE(run.records[0]["result"].toString(), result);
        }
        if (result == "several_units")
            QVERIFY2(run.records[0]["error"].toString().startsWith(
                         "several units answer on this line at once, every one of them would take "
                         "address 50; nothing written"),
                     qPrintable(run.records[0]["error"].toString()));
        for (int address : units) // none renumbered
            QVERIFY(result == "ok" || std::any_of(run.line.units.begin(), run.line.units.end(),
                                                  [address](const TransmitterModel &unit) {
                                                      return unit.settings().address == address;
                                                  }));
    }

    // A line scanned address by address: a record for each unit that answered, never two merged
    // into one, then the summary. An answer that begins after a short --timeout runs into the next
    // address's wait: the summary names it as cut off, never as a collision there.
    void aLineIsScanned_data()
    {
        QTest::addColumn<QStringList>("units");     // at 19200 bit/s; "late": answers 30 ms late
        QTest::addColumn<bool>("oneSerial");        // every unit with the first's serial number
        QTest::addColumn<QStringList>("arguments"); // after "scan ttyFAKE --addresses 1-12"
        QTest::addColumn<QStringList>("found");     // "address result serial" of each unit's record
        QTest::addColumn<QString>("summary");       // "result units garbled cut_off"
        QTest::addColumn<QString>("said");          // in a message or the summary's error
        const auto row = [](const char *name, const QStringList &units, bool oneSerial,
                            const QStringList &arguments, const QStringList &found,
                            const char *summary, const char *said) {
            QTest::newRow(name) << units << oneSerial << arguments << found << summary << said;
        };
        const QStringList rate{"--baud", "19200"};
        row("three units at three addresses", {"3", "7", "12"}, false, rate,
            {"3 ok 123456789abc", "7 ok 123456789abd", "12 ok 123456789abe"}, "ok 3 - -", "");
        row("two units at one address", {"3", "7", "7"}, false, rate,
            {"3 ok 123456789abc", "7 garbled "}, "garbled 1 7 -", "");
        row("one unit answering at two addresses", {"5", "9"}, true, rate,
            {"5 ok 123456789abc", "9 ok 123456789abc"}, "ok 2 - -",
            "serial 123456789abc answered at addresses 5,9");
        row("the rate searched", {"3", "12"}, false, {},
            {"3 ok 123456789abc", "12 ok 123456789abd"}, "ok 2 - -", "");
        row("an answer cut off by a short --timeout", {"3", "7 late"}, false,
            rate + QStringList{"--timeout", "10"}, {"3 ok 123456789abc"}, "garbled 1 - 7",
            "answers cut off at 7: raise the timeout");
    }
    void aLineIsScanned()
    {
        QFETCH(QStringList, units);
        QFETCH(bool, oneSerial);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, found);
        QFETCH(QString, summary);
        QFETCH(QString, said);
        JobRun run(QStringList{"scan", "ttyFAKE", "--addresses", "1-12"} + arguments);
        for (const QString &unit : units) {
            const int turnaround = unit.endsWith(" late") ? 30 : TurnaroundMs;
            DeviceSettings &added =
                run.line.add(unit.section(' ', 0, 0).toInt(), 0, turnaround).settings();
            added.baudCode = quint16(Modbus::baudCodeOfRate(19200));
            if (oneSerial)
                added.serialNumber[2] = 0x9abc;
        }
        run.run();
        QVERIFY(!run.records.isEmpty());
        const QVariantMap last = run.records.takeLast();
        QStringList seen;
        for (const QVariantMap &r : run.records) {
            seen << QString("%1 %2 %3")
                        .arg(r["address"].toInt())
                        .arg(r["result"].toString(), r["serial"].toString());
            QCOMPARE(
                QStringList({r["command"].toString(), r["port"].toString(), r["baud"].toString()}),
                QStringList({"scan", "ttyFAKE", "19200"}));
        }
        QCOMPARE(seen, found);
        const auto listed = [&last](const char *key) {
            QStringList items;
            for (const QVariant &item : last[key].toList())
                items << item.toString();
            return items.isEmpty() ? QString("-") : items.join(',');
        };
        QCOMPARE(QString("%1 %2 %3 %4")
                     .arg(last["result"].toString())
                     .arg(last["units"].toInt())
                     .arg(listed("garbled"), listed("cut_off")),
                 summary);
        QCOMPARE(QStringList({last["addresses"].toString(), last["baud"].toString()}),
                 QStringList({"1-12", "19200"}));
        QVERIFY(last["duration_ms"].toInt() > 0);
        QCOMPARE(run.exitCode, last["result"] == "ok" ? 0 : 1);
        const QString all = run.messages.join('\n') + '\n' + last["error"].toString();
        QVERIFY2(all.contains(said), qPrintable(all));
        QCOMPARE(all.contains("answered at addresses"), oneSerial);
    }

    // Several units polled in turn, round after round, each record with its address, its serial
    // number and its reading in its own unit (a Tervin-F reads in °F among units in °C).
    void severalUnitsAreReadInTurn()
    {
        JobRun run({"read", "ttyFAKE", "--baud", "9600", "--address", "3,7,12", "--count", "2",
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
