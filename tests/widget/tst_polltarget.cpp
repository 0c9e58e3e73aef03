// Where the window's polls go when an address is typed, entered or written, in virtual time: a
// poll every 100 ms to the unit the window is on, the technician's steps at their moments, and a
// unit that answers (or not) at each address. No poll may go to a typed address before a unit has
// answered there, or before a write has been echoed and read back.
#include "fakeline.h"
#include "link/broadcastcheck.h"
#include "widget/polltarget.h"

#include <QtTest>

using namespace LinkHarness;

namespace {
constexpr int PollPeriodMs = 100;

// The slaves polled, each run of the same slave once: "7,12".
QString runsOf(const QList<int> &slaves)
{
    QStringList runs;
    for (int slave : slaves)
        if (runs.isEmpty() || runs.last() != QString::number(slave))
            runs << QString::number(slave);
    return runs.join(',');
}
} // namespace

class TestPollTarget : public QObject
{
    Q_OBJECT

private slots:
    // Steps: "enter N" (Return, or the field left), "setting N" (Setting pressed: slave 0 is asked
    // who would take it, and the technician answers), "yes"/"no"; each at "ms:step".
    void addressChanges_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("polled"); // runs of the slaves polled, in order
        QTest::addColumn<QString>("said");   // what the technician was told
        const auto row = [](const char *name, const char *steps, const char *polled,
                            const char *said = "") {
            QTest::newRow(name) << QString(steps).split(", ") << QString(polled) << QString(said);
        };
        const char *verified = "address 12, verified";
        row("type, Return, Setting, Yes", "1000:enter 12, 1050:setting 12, 1100:yes", "7,12",
            verified);
        row("type, Return, Setting, No", "1000:enter 12, 1050:setting 12, 1100:no", "7");
        row("type, Return, a second, Setting, No", "1000:enter 12, 2000:setting 12, 2100:no", "7",
            "no unit at 12; polling 7");
        row("type, Setting at once, Yes", "1000:enter 12, 1000:setting 12, 1000:yes", "7,12",
            verified);
        row("type, Setting at once, No", "1000:enter 12, 1000:setting 12, 1000:no", "7");
        row("type where another unit answers", "1000:enter 9", "7,9");
        row("a stale report after the write", "1000:stale, 1000:setting 20, 1000:yes", "7,20",
            "not verified: the unit at 20 reports address 7");
    }

    void addressChanges()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, polled);
        QFETCH(QString, said);
        Rig rig;
        FakeLine line(rig);
        TransmitterModel &unit = line.add(7);
        if (steps.join(' ').contains("enter 9")) // alone on the line otherwise, for the writes
            line.add(9);
        PollTarget target(&rig.session);
        target.set(7);
        QStringList told;
        QObject::connect(&target, &PollTarget::noUnitAt, [&](int address, int stays) {
            told << QString("no unit at %1; polling %2").arg(address).arg(stays);
        });
        std::function<void()> poll = [&] {
            LinkRequest request = rig.request(ModbusReply::readingsRequest(
                quint8(target.address()), 1, ModbusReply::AllReadings, false));
            rig.session.poll(request);
            rig.clock.at(rig.clock.nowMs() + PollPeriodMs, poll);
        };
        poll();
        int toWrite = 0;
        for (const QString &step : steps) {
            const qint64 at = step.section(':', 0, 0).toLongLong();
            const QString what = step.section(':', 1);
            rig.clock.runUntil(at);
            const int value = what.section(' ', 1).toInt();
            if (what.startsWith("enter")) {
                target.enter(value);
            } else if (what.startsWith("setting")) {
                target.cancelTrial();
                toWrite = value;
                checkBroadcastWrite(&rig.session, 0, [](const BroadcastCheck &) {});
            } else if (what == "yes") {
                target.writeAddress(toWrite, [&](const LinkOutcome &o) {
                    if (o.verification)
                        told << (o.verification->verified()
                                     ? QString("address %1, verified").arg(toWrite)
                                     : "not verified: " + o.verification->reason());
                });
            } else if (what == "stale") {
                line.reportAddress(unit, 7);
            }
        }
        rig.clock.advance(5000);
        QList<int> slaves; // of the polls written, in order
        for (const QByteArray &frame : rig.port.writes)
            if (ModbusFrame::startRegisterOf(frame) < 2 * Reg::BlockSize)
                slaves << ModbusFrame::slaveOf(frame);
        QCOMPARE(runsOf(slaves), polled);
        QCOMPARE(told.join(" | "), said);
        QCOMPARE(rig.session.roster().find(target.address())->health.replies > 0, true);
        QVERIFY2(rig.probe.faults.isEmpty(), qPrintable(rig.probe.faults.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestPollTarget)
#include "tst_polltarget.moc"
