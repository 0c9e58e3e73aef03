// One request on the line at a time, through the window, against a transmitter with RS-485
// timing: no collisions at the slow rates, timeouts and stale readings, late replies, buttons that
// wait their turn, statistics that match what the transmitter saw, and today's timing at 9600.
#include "testsupport.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {
const LinkStatistics &statistics(Bench &bench)
{
    return child<RequestLine>(&bench.window, "requestLine")->statistics();
}

// Stops polling and waits until the last request is answered or timed out.
void stopPolling(Bench &bench)
{
    click(bench.window, "pushButtonRead");
    QTRY_VERIFY(!child<RequestLine>(&bench.window, "requestLine")->isBusy());
}
} // namespace

class TestLine : public QObject
{
    Q_OBJECT

private slots:
    // At 1200 and 2400 a reply takes longer on the wire than the 100 ms period: ticks are skipped
    // instead of talking over the device, and readings keep arriving as fast as the line allows.
    // The counts are what the transmitter saw and sent.
    void slowRatesDoNotCollide_data()
    {
        QTest::addColumn<int>("code");
        QTest::newRow("1200") << 1;
        QTest::newRow("2400") << 2;
    }

    void slowRatesDoNotCollide()
    {
        QFETCH(int, code);
        DeviceSettings settings;
        settings.baudCode = quint16(code);
        Bench bench(settings);
        bench.transmitter.setWire(true);
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY_WITH_TIMEOUT(statistics(bench).replies >= 12, 10000);
        stopPolling(bench);
        const LinkStatistics &s = statistics(bench);
        QCOMPARE(bench.transmitter.collisions(), 0);
        QVERIFY(s.skipped > 0 && s.timeouts == 0 && s.late == 0 && s.badFrames == 0);
        QCOMPARE(s.requests, bench.transmitter.requests().size());
        QCOMPARE(s.replies, bench.transmitter.replies().size());
        QVERIFY(bench.label("labelTemperature").contains("23.5"));
        QVERIFY(bench.label("labelStatistics")
                    .startsWith(QString("Sent %1, replies %1, timeouts 0").arg(s.requests)));
    }

    // A device that falls silent: each poll times out, the readings turn grey and the statistics
    // say since when; its next reading is fresh again.
    void silenceMakesTheReadingsStale()
    {
        Bench bench;
        bench.transmitter.setWire(true);
        QVERIFY(bench.linkAtDeviceRate());
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>23.5"));
        Faults silent;
        silent.noReply = true;
        bench.transmitter.setFaults(silent);
        const QTime mutedAt = QTime::currentTime();
        const int timers = bench.window.findChildren<QTimer *>().size();
        QTRY_VERIFY(statistics(bench).timeouts >= 5);
        QCOMPARE(bench.window.findChildren<QTimer *>().size(), timers); // none piles up
        QVERIFY(bench.label("labelTemperature").contains("<font color=gray>23.5"));
        QVERIFY(bench.label("labelDewTemp").contains("<font color=gray>"));
        const QString since = bench.label("labelStatistics").section("no reply since ", 1);
        QVERIFY2(qAbs(QTime::fromString(since, "hh:mm:ss").secsTo(mutedAt)) <= 2,
                 qPrintable(since));
        MessageView *log = view(bench.window);
        int note = log->lineCount() - 1;
        while (note > 0 && log->lineKind(note) != MessageView::Kind::NotSent)
            --note;
        // 8 + 13 bytes on the wire at 9600, and 150 ms for the device to answer
        QCOMPARE(log->lineText(note).mid(19), "  no reply within 172 ms");
        bench.transmitter.setFaults(Faults());
        QTRY_VERIFY(bench.label("labelTemperature").contains("<font color=red>23.5"));
        QVERIFY(!bench.label("labelStatistics").contains("no reply since"));
        stopPolling(bench);
        const LinkStatistics &s = statistics(bench);
        QCOMPARE(s.requests, bench.transmitter.requests().size());
        QCOMPARE(s.replies + s.timeouts, s.requests);
    }

    // A button pressed while a poll is outstanding goes out after it; a reply that comes after its
    // request timed out is shown, counted, and not decoded.
    void buttonsWaitAndLateRepliesAreIgnored()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        Faults late;
        late.delayMs = 400; // longer than the poll's 166 ms
        bench.transmitter.setFaults(late);
        bench.pollOnce(2);
        bench.transmitter.setFaults(Faults());
        click(bench.window, "pushButtonTypeRead");
        QCOMPARE(bench.transmitter.requests().size(), 2); // the type read waits for the line
        QTRY_COMPARE(bench.transmitter.requests().size(), 3);
        MessageView *log = view(bench.window);
        QTRY_VERIFY(
            log->lineText(log->lineCount() - 1).endsWith("->RX  0103021194b5bb  (late, ignored)"));
        QCOMPARE(bench.label("labelHumidity"), "Humidity:");
        QCOMPARE(statistics(bench).late, 1);
        QStringList kinds;
        for (int i = 0; i < log->lineCount(); ++i)
            kinds << log->lineText(i).mid(19, 4);
        QCOMPARE(kinds.join(','), "->TX,->RX,->TX,  no,->TX,->RX,->RX");
        QVERIFY(bench.captured().last().endsWith("->RX  0103021194b5bb"));
        QCOMPARE(bench.captured().size(), 4); // the timeout note is not a frame
    }

    // With a prompt device at 9600 and a 100 ms period, every tick writes its request at once.
    void promptDeviceKeepsTheTicks()
    {
        Bench bench;
        bench.transmitter.setWire(true);
        QVERIFY(bench.linkAtDeviceRate());
        QSignalSpy ticks(bench.timer("timerRead"), &QTimer::timeout);
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 15, 10000);
        stopPolling(bench);
        QCOMPARE(statistics(bench).skipped, 0);
        QCOMPARE(bench.transmitter.requests().size(), 1 + ticks.count());
        QCOMPARE(bench.transmitter.collisions(), 0);
    }
};

TERVIN_GUI_TEST_MAIN(TestLine)
#include "tst_line.moc"
