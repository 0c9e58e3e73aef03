// A line of several units in virtual time: whether the line and each unit answer, the slow unit
// read, the roster and its identities, the fair poll cycle with its backoff, the scan that tells a
// collision from a cut-off reply, the guard before the broadcast address write, and the search for
// the rate. The probe checks the session's rules after every event throughout.
#include "fakeline.h"
#include "link/broadcastcheck.h"
#include "link/linescan.h"
#include "link/pollcycle.h"
#include "link/ratesearch.h"
#include "protocol/deviceinfo.h"

#include <QtTest>

using namespace LinkHarness;

namespace {
// A poll cycle over the line's units, every period, recording each poll's end.
struct Polling
{
    Polling(Rig &rig, const QList<int> &addresses, int periodMs) : cycle(&rig.session)
    {
        cycle.setUnits(addresses);
        cycle.setPeriodMs(periodMs);
        QObject::connect(&cycle, &PollCycle::polled, [this](int address, const LinkOutcome &o) {
            ends << qMakePair(address, o);
        });
    }
    // The polls of this address that ended so, or in any way.
    int polled(int address, std::optional<LinkOutcome::Result> result = std::nullopt) const
    {
        return int(std::count_if(ends.begin(), ends.end(), [&](const auto &end) {
            return end.first == address && (!result || end.second.result == *result);
        }));
    }
    PollCycle cycle;
    QList<QPair<int, LinkOutcome>> ends;
};
} // namespace

class TestLine : public QObject
{
    Q_OBJECT

    std::optional<Rig> rig;
    std::optional<FakeLine> line;
    std::optional<Polling> polling;

    // The line's units polled from now on, every period.
    Polling &poll(const QList<int> &addresses, int periodMs)
    {
        polling.emplace(*rig, addresses, periodMs);
        polling->cycle.start();
        return *polling;
    }

private slots:
    // A line at 9600 bit/s for each test; at its end, the session's rules held throughout.
    void init()
    {
        rig.emplace();
        line.emplace(*rig);
    }

    void cleanup()
    {
        const QString broken = rig->broken(false);
        polling.reset();
        line.reset();
        rig.reset();
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
    }

    // A unit or a line is silent after three requests in a row and two seconds without an
    // answer, whichever comes later, and answering again at the next answer. Steps: "a" an
    // answer, "u<sent>" a request written then that ends unanswered; each step at its time.
    void answerWatch_data()
    {
        QTest::addColumn<QStringList>("steps"); // "time:step"
        QTest::addColumn<QString>("silent");    // after each step: 1 silent, 0 answering
        QTest::addColumn<qint64>("since");      // silent since (at the end), -1: answering
        QTest::newRow("fast polls: two seconds decide")
            << QStringList{"0:a", "300:u100", "500:u300", "700:u500", "1900:u1700", "2300:u2100"}
            << "000001" << qint64(100);
        QTest::newRow("slow polls: the third request decides")
            << QStringList{"0:a", "10200:u10000", "20200:u20000", "30200:u30000"} << "0001"
            << qint64(10000);
        QTest::newRow("one answer makes it answering")
            << QStringList{"0:a", "2500:u100", "2600:u2500", "2700:u2600", "2800:a"} << "00010"
            << qint64(-1);
        QTest::newRow("never answered since the link")
            << QStringList{"1000:u800", "1500:u1300", "2000:u1800"} << "001" << qint64(800);
    }

    void answerWatch()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, silent);
        QFETCH(qint64, since);
        AnswerWatch watch;
        watch.restart(0);
        QString seen;
        for (const QString &step : steps) {
            const qint64 now = step.section(':', 0, 0).toLongLong();
            const QString what = step.section(':', 1);
            if (what == "a")
                watch.answered(now);
            else
                watch.unanswered(what.mid(1).toLongLong(), now);
            seen += watch.isSilent() ? '1' : '0';
        }
        QCOMPARE(seen, silent);
        QCOMPARE(watch.silentSinceMs().value_or(-1), since);
    }

    // The line's state follows the same rule at every period: a unit falls silent (a mute), and
    // answers again.
    void lineFallsSilentAndAnswersAgain_data()
    {
        QTest::addColumn<int>("periodMs");
        for (int period : {100, 1000, 5000})
            QTest::addRow("every %d ms", period) << period;
    }

    void lineFallsSilentAndAnswersAgain()
    {
        QFETCH(int, periodMs);
        TransmitterModel &unit = line->add(1);
        Polling &polling = poll({1}, periodMs);
        QList<qint64> flips;
        QObject::connect(&rig->session, &LinkSession::answeringChanged,
                         [&] { flips << rig->clock.nowMs(); });
        rig->clock.advance(3 * periodMs);
        const qint64 lastAnswer = rig->clock.nowMs();
        line->mute(unit, true);
        rig->clock.advance(20 * periodMs + 4000);
        QCOMPARE(flips.size(), 1);
        const int missedAtFlip = rig->session.lineWatch().missedInARow();
        QVERIFY(flips[0] - lastAnswer >= AnswerWatch::SilentAfterMs);
        QVERIFY(flips[0] - lastAnswer <= AnswerWatch::SilentAfterMs + periodMs + 1000 ||
                missedAtFlip >= AnswerWatch::SilentAfterRequests);
        QVERIFY(rig->session.lineWatch().silentSinceMs().value_or(0) >= lastAnswer);
        line->mute(unit, false);
        rig->clock.advance(12 * periodMs + 1000); // a silent unit is asked again within ten rounds
        QCOMPARE(flips.size(), 2);
        QVERIFY(!rig->session.lineWatch().isSilent());
    }

    // A unit that begins its reply after its request timed out is read: the line stays quiet for
    // its late answer once, learns to wait longer for it, and never talks over a reply.
    void slowUnitIsRead_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("turnaroundMs");
        for (int baud : {1200, 9600, 115200})
            for (int turnaround : {150, 250, 400})
                QTest::addRow("%d baud, %d ms", baud, turnaround) << baud << turnaround;
    }

    void slowUnitIsRead()
    {
        QFETCH(int, baud);
        QFETCH(int, turnaroundMs);
        rig->session.setBaudRate(baud);
        line->add(1, 1, turnaroundMs);
        QList<int> learnt;
        QObject::connect(&rig->session, &LinkSession::slowUnit,
                         [&](int, int, int waitMs) { learnt << waitMs; });
        Polling &polling = poll({1}, 100);
        rig->clock.advance(20000);
        const QByteArray request =
            ModbusReply::readingsRequest(1, 1, ModbusReply::AllReadings, false);
        const int ownTimeout = Transaction::responseTimeoutMs(request, baud);
        const int answerStart =
            Transaction::wireTimeMs(8, baud) + turnaroundMs + Transaction::wireTimeMs(1, baud);
        QCOMPARE(learnt.size(), answerStart > ownTimeout ? 1 : 0);
        QCOMPARE(line->collisions, 0);
        QVERIFY(rig->session.timeoutMs(request) >= answerStart);
        QVERIFY(rig->session.timeoutMs(request) <=
                std::max(ownTimeout, Timing::LateAnswerCeilingMs));
        // After at most the first exchange, every poll is answered.
        QVERIFY(polling.polled(1) > 10);
        QVERIFY(polling.polled(1, LinkOutcome::Answered) >= polling.polled(1) - 1);
    }

    // Every unit once a round, back to back when the period is shorter than a round, each
    // reading decoded with its own unit's type: a Tervin-F among Tervin-Cs reads in °F.
    void fairRoundsInEachUnitsOwnUnit()
    {
        line->add(3, 1);
        line->add(7, 2); // a Tervin-F
        line->add(12, 1).settings().temperature = -20.0;
        Polling &polling = poll({3, 7, 12}, 10);
        qint64 lastEnd = -1;
        qint64 idle = 0;
        QObject::connect(&rig->session, &LinkSession::written, [&] {
            if (lastEnd >= 0)
                idle += rig->clock.nowMs() - lastEnd;
        });
        QObject::connect(&rig->session, &LinkSession::answered,
                         [&] { lastEnd = rig->clock.nowMs(); });
        rig->clock.advance(10000);
        QCOMPARE(idle, 0);
        const LineRoster &roster = rig->session.roster();
        const int rounds = polling.cycle.rounds();
        for (int address : {3, 7, 12}) {
            QVERIFY(std::abs(polling.polled(address) - rounds) <= 1);
            const UnitHealth &health = roster.find(address)->health;
            QVERIFY(health.requests - health.replies <= 1); // the last may be on the line
        }
        const std::tuple<int, double, QString> shown[] = {
            {3, 23.5, "°C"}, {7, 74.3, "°F"}, {12, -20.0, "°C"}};
        for (const auto &[address, temperature, unit] : shown) {
            const Reading &reading = *roster.find(address)->reading;
            QCOMPARE(reading.temperature.value_or(0), temperature);
            QCOMPARE(reading.unit(), unit);
            QCOMPARE(reading.serial, roster.serialAt(address));
        }
        QVERIFY(*roster.find(12)->reading->dewPoint < 0);
    }

    // A unit that stops answering costs at most one timeout every ten rounds, is reported at
    // every request, and is never dropped.
    void silentUnitBacksOff()
    {
        line->add(1);
        TransmitterModel &silent = line->add(2);
        line->add(3);
        Polling &polling = poll({1, 2, 3}, 10);
        rig->clock.advance(2000);
        line->mute(silent, true);
        const int roundsBefore = polling.cycle.rounds();
        const int askedBefore = polling.polled(2);
        rig->clock.advance(60000);
        const int rounds = polling.cycle.rounds() - roundsBefore;
        const int asked = polling.polled(2) - askedBefore;
        QVERIFY2(asked <= rounds / 10 + 4, qPrintable(QString("%1 in %2").arg(asked).arg(rounds)));
        QVERIFY(asked >= rounds / 10);
        QCOMPARE(rig->session.roster().find(2)->health.timeouts,
                 polling.polled(2, LinkOutcome::TimedOut));
        QCOMPARE(rig->session.roster().find(2)->state(), LineUnit::State::Silent);
        QCOMPARE(polling.cycle.units(), QList<int>({1, 2, 3}));
    }

    // A new serial at one address is that address's new unit: its history starts anew and it is
    // said; the unit at another address is untouched.
    void swapAtOneAddress()
    {
        TransmitterModel &seven = line->add(7);
        line->add(12);
        QStringList swaps;
        QObject::connect(&rig->session, &LinkSession::identified,
                         [&](int address, const UnitIdentity &unit, const UnitIdentity &before) {
                             if (unit.isOtherUnit(before))
                                 swaps << QString("%1: %2").arg(address).arg(unit.serial);
                         });
        Polling &polling = poll({7, 12}, 100);
        rig->clock.advance(3000);
        seven.settings().deviceType = 2; // another transmitter, a Tervin-F, in its place
        seven.settings().serialNumber[2] = 0xbeef;
        rig->session.submit(rig->request(DeviceInfo::request(7)));
        rig->clock.advance(1000);
        QCOMPARE(swaps, QStringList{"7: 12345678beef"});
        const LineRoster &roster = rig->session.roster();
        QVERIFY(roster.find(7)->health.replies < roster.find(12)->health.replies / 2);
        QCOMPARE(roster.find(7)->reading->serial, QString("12345678beef"));
        QVERIFY(roster.find(7)->reading->fahrenheit);
        QCOMPARE(roster.serialAt(12), QString("123456789abd"));
    }

    // Two units at one address garble every answer there: flagged, never read as a reading.
    void twoUnitsAtOneAddress()
    {
        line->add(5);
        line->add(5).settings().temperature = -5;
        line->add(6);
        Polling &polling = poll({5, 6}, 100);
        rig->clock.advance(3000);
        const LineRoster &roster = rig->session.roster();
        QCOMPARE(roster.find(5)->state(), LineUnit::State::Conflict);
        QVERIFY(!roster.find(5)->reading);
        QVERIFY(!roster.find(5)->identity.known);
        QCOMPARE(polling.polled(5, LinkOutcome::Answered), 0);
        QVERIFY(roster.find(6)->reading.has_value());
    }

    // The scan waits only for an answer to begin: a reply that began too late is put down to the
    // address it came from, never taken for a collision, and that address is asked again with the
    // whole response timeout at the end; only overlapping replies from the slave asked count as a
    // collision. A late reply that the next request talked over, left without a readable slave,
    // puts the address asked before it to the same second look. A second scan merges.
    void scanTellsCollisionFromCutOff_data()
    {
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("the late reply names its slave") << false;
        QTest::newRow("the late reply talked over, unreadable") << true;
    }

    void scanTellsCollisionFromCutOff()
    {
        QFETCH(bool, unreadable);
        line->talkingOverSpoilsAll = unreadable;
        line->add(3);
        line->add(30, 1, 40); // begins 40 ms after the request: past the scan's wait
        line->add(40);
        line->add(40);
        line->add(47, 2);
        LineScan scan(&rig->session);
        QList<int> found, cutOff, collided;
        QObject::connect(&scan, &LineScan::answered,
                         [&](int address, const LinkOutcome &) { found << address; });
        QObject::connect(&scan, &LineScan::cutOff, [&](int address) { cutOff << address; });
        QObject::connect(&scan, &LineScan::collision,
                         [&](int address, const LinkOutcome &) { collided << address; });
        QList<int> addresses;
        for (int a = 1; a <= 50; ++a)
            addresses << a;
        scan.start(addresses);
        rig->clock.advance(60000);
        QCOMPARE(found, QList<int>({3, 47, 30})); // 30 at the second look
        QCOMPARE(cutOff, QList<int>{});
        QCOMPARE(collided, QList<int>{40});
        const int size = rig->session.roster().size();
        scan.start(addresses, 100); // a longer wait finds the slow one at once, merged
        rig->clock.advance(60000);
        QCOMPARE(found, QList<int>({3, 47, 30, 3, 30, 47}));
        QCOMPARE(rig->session.roster().size(), size);
    }

    // Before the address write, which every unit takes: slave 0 is asked, and the roster says
    // who else has answered on the line.
    void guardBeforeTheBroadcastWrite_data()
    {
        QTest::addColumn<QList<int>>("units");
        QTest::addColumn<QList<int>>("known"); // polled first, so that the roster knows them
        QTest::addColumn<bool>("several");
        QTest::addColumn<QString>("names");
        QTest::newRow("one unit") << QList<int>{7} << QList<int>{7} << false
                                  << "7 (serial 123456789abc)";
        QTest::newRow("two known") << QList<int>{7} << QList<int>{7, 9} << true
                                   << "7 (serial 123456789abc), 9 (serial 123456789abd)";
        QTest::newRow("three answer at once") << QList<int>{7, 8, 9} << QList<int>{} << true << "";
    }

    void guardBeforeTheBroadcastWrite()
    {
        QFETCH(QList<int>, units);
        QFETCH(QList<int>, known);
        QFETCH(bool, several);
        QFETCH(QString, names);
        for (int address : units)
            line->add(address);
        if (known.contains(9) && !units.contains(9)) { // a unit that answered, then left the line
            TransmitterModel &gone = line->add(9);
            rig->session.submit(rig->request(DeviceInfo::request(9)));
            rig->clock.advance(500);
            line->mute(gone, true);
        }
        for (int address : known)
            rig->session.submit(rig->request(DeviceInfo::request(quint8(address))));
        rig->clock.advance(1000);
        std::optional<BroadcastCheck> check;
        checkBroadcastWrite(&rig->session, 0, [&](const BroadcastCheck &c) { check = c; });
        rig->clock.advance(1000);
        QVERIFY(check.has_value());
        QCOMPARE(check->several(), several);
        QCOMPARE(check->names(), names);
        QCOMPARE(check->garbled, units.size() > 1);
    }

    // The rate search, for both programs: the field's address at every rate, then slave 0.
    void rateSearchFindsTheUnit()
    {
        line->add(5).settings().baudCode = 5; // 19200
        QStringList asked;
        RateSearch search(&rig->session, [&](int rate) {
            rig->probe.givenUp();
            rig->session.setBaudRate(rate);
            return true;
        });
        QObject::connect(&search, &RateSearch::asking, [&](int rate, int slave, int) {
            asked << QString("%1@%2").arg(slave).arg(rate);
        });
        QObject::connect(&search, &RateSearch::candidateDone, &search, &RateSearch::advance);
        std::optional<LinkOutcome> last;
        QObject::connect(&search, &RateSearch::finished, [&](const LinkOutcome &o) { last = o; });
        search.start({{{12}, {0}}, {115200, 19200, 9600}, 0});
        rig->clock.advance(10000);
        QCOMPARE(asked, QStringList({"12@115200", "12@19200", "12@9600", "0@115200", "0@19200"}));
        QVERIFY(last && last->answered());
        QCOMPARE(last->unit.address, 5);
        QCOMPARE(rig->session.baudRate(), 19200);
    }
};

QTEST_GUILESS_MAIN(TestLine)
#include "tst_line.moc"
