// The soak's account of every frame: the capture file and the link session's reports against the
// transmitter's frame log, in the cases a fault-mix run meets and in the losses it must catch.
#include "comm/capture.h"
#include "frameaudit.h"
#include "protocol/modbusframe.h"

#include <QtTest>

using FrameAudit::ToolEvent;

namespace {
const QByteArray Poll = ModbusFrame::buildRequest(1, 3, 0x0004, 4);
const QByteArray Reply = ModbusFrame::withCrc(QByteArray::fromHex("010308092911d704400000"));
const QByteArray BadCrc = Reply.left(12) + char(Reply.back() ^ 0xFF);
const QString P = QString::fromLatin1(Poll.toHex()), R = QString::fromLatin1(Reply.toHex());
const QString B = QString::fromLatin1(BadCrc.toHex());
const QString R1 = R.left(12), R2 = R.mid(12);

// "W hex", "A hex", "D hex" (written, accepted, dropped) and "L" (the port lost).
QList<ToolEvent> toolEvents(const QStringList &words)
{
    QList<ToolEvent> events;
    for (const QString &word : words) {
        const QByteArray bytes = QByteArray::fromHex(word.mid(2).toLatin1());
        const ToolEvent::Kind kind = word[0] == 'W'   ? ToolEvent::Written
                                     : word[0] == 'A' ? ToolEvent::Accepted
                                     : word[0] == 'D' ? ToolEvent::Dropped
                                                      : ToolEvent::Lost;
        events << ToolEvent{kind, bytes, QStringLiteral("reason")};
    }
    return events;
}

// "TX hex" and "RX hex" as lines of a capture file.
QStringList captureFile(const QStringList &frames)
{
    QStringList lines;
    for (const QString &frame : frames)
        lines << Capture::line(QDateTime::currentDateTime(), frame.startsWith("RX"), frame.mid(3));
    return lines;
}

// One exchange in the frame log: the request heard, the reply in two pieces gapMs apart.
QStringList exchange(int atMs, const QString &reply, const char *tag, int gapMs = 60)
{
    return {QString("%1 RX %2").arg(atMs).arg(P), QString("%1 TX %2 %3").arg(atMs).arg(reply, tag),
            QString("%1 PIECE %2").arg(atMs).arg(reply.left(12)),
            QString("%1 PIECE %2").arg(atMs + gapMs).arg(reply.mid(12))};
}
} // namespace

class TestFrameAudit : public QObject
{
    Q_OBJECT

private slots:
    // Each case: the frame log, the tool's events, the capture file, the counts (captured, bad
    // CRC, long gaps, cut, written as it went, overlapped) and the start of the first problem.
    void account_data()
    {
        QTest::addColumn<QStringList>("simLog");
        QTest::addColumn<QStringList>("tool");
        QTest::addColumn<QStringList>("capture");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QString>("problem");
        const auto row = [](const char *name, const QStringList &simLog, const QStringList &tool,
                            const QStringList &capture, const char *counts,
                            const QString &problem = QString()) {
            QTest::newRow(name) << simLog << tool << capture << QString(counts) << problem;
        };
        const QStringList good = exchange(0, R, "good"), bad = exchange(0, B, "bad-crc");
        const QStringList written = {"TX " + P}, answered = {"TX " + P, "RX " + R};
        row("an exchange", good, {"W " + P, "A " + R}, answered, "1 0 0 0 0 0");
        row("a bad CRC dropped", bad, {"W " + P, "D " + B}, written, "0 1 0 0 0 0");
        row("pieces 250 ms apart dropped", exchange(0, R, "good", 250),
            {"W " + P, "D " + R1, "D " + R2}, written, "0 0 1 0 0 0");
        row("an unplug cuts a reply",
            {"0 RX " + P, "0 TX " + R + " good", "0 PIECE " + R1, "50 UNPLUG",
             "90 REPLUG /dev/pts/9"},
            {"W " + P, "D " + R1, "L"}, written, "0 0 0 1 0 0");
        row("a request written as the line went", {"50 UNPLUG"}, {"W " + P, "L"}, written,
            "0 0 0 0 1 0");
        row("a reply missing from the capture", good, {"W " + P, "A " + R}, written, "1 0 0 0 0 0",
            "the capture holds 0 frames received, the tool accepted them 1");
        row("a capture line twice", good, {"W " + P, "A " + R}, answered + QStringList("RX " + R),
            "1 0 0 0 0 0", "the capture holds 2 frames received");
        row("a good reply dropped", good, {"W " + P, "D " + R1, "D " + R2}, written, "0 0 0 0 0 0",
            "plugged-in stretch 1: the good reply " + R + " was dropped");
        row("a garbled reply accepted", bad, {"W " + P, "A " + B}, {"TX " + P, "RX " + B},
            "0 0 0 0 0 0",
            "plugged-in stretch 1: the reply " + B + ", bad-crc on purpose, was accepted");
        row("bytes from nowhere", good, {"W " + P, "A " + R, "D 00"}, answered, "0 0 0 0 0 0",
            "plugged-in stretch 1: the tool received 14 bytes, the transmitter sent 13");
        row("a request never heard", good, {"W " + P, "W " + P, "A " + R},
            {"TX " + P, "TX " + P, "RX " + R}, "1 0 0 0 0 0",
            "plugged-in stretch 1: the tool wrote 2 frames, the transmitter heard 1");
        const QString talkedOver =
            "the tool wrote " + P + " while the reply " + R + " was on the wire";
        row("talking over a reply",
            {"0 RX " + P, "0 TX " + R + " good", "0 PIECE " + R1, "10 RX " + P, "60 PIECE " + R2},
            {"W " + P, "W " + P, "A " + R}, {"TX " + P, "TX " + P, "RX " + R}, "1 0 0 0 0 0",
            talkedOver);
        row("two replies on the wire at once",
            {"0 RX " + P, "0 TX " + R + " good", "0 PIECE " + R1, "10 RX " + P,
             "10 TX " + R + " good", "10 PIECE " + R1, "60 PIECE " + R2, "70 PIECE " + R2},
            {"W " + P, "W " + P, "D " + R1 + R1 + R2 + R2}, {"TX " + P, "TX " + P}, "0 0 0 0 0 2",
            talkedOver);
        row("an unplug not noticed", {"50 UNPLUG"}, {}, {}, "0 0 0 0 0 0",
            "the transmitter was unplugged 1 times, the tool lost the port 0 times");
    }

    void account()
    {
        QFETCH(QStringList, simLog);
        QFETCH(QStringList, tool);
        QFETCH(QStringList, capture);
        QFETCH(QString, counts);
        QFETCH(QString, problem);
        const FrameAudit::Report report =
            FrameAudit::audit(captureFile(capture), simLog, toolEvents(tool), 200);
        QCOMPARE(QString("%1 %2 %3 %4 %5 %6")
                     .arg(report.captured)
                     .arg(report.badCrc)
                     .arg(report.overlongGaps)
                     .arg(report.cutByUnplug)
                     .arg(report.writtenAtUnplug)
                     .arg(report.overlapped),
                 counts);
        QCOMPARE(report.problems.value(0).left(problem.size()), problem);
        QCOMPARE(report.clean(), problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrameAudit)
#include "tst_frameaudit.moc"
