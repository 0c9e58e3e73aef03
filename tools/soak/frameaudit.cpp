#include "frameaudit.h"

#include "comm/capture.h"

#include <QMap>

namespace FrameAudit {

namespace {

// A reply as the transmitter's frame log tells it: the frame decided, and what of it went onto
// the wire before the line went.
struct SimReply
{
    QByteArray frame;
    QString tag; // good, bad-crc, ...
    QByteArray sent;
    int start = -1;         // where its first byte lies in the stretch's bytes
    bool contiguous = true; // no other reply's bytes between its pieces
    qint64 lastPieceMs = -1;
    qint64 longestGapMs = 0;

    bool whole() const { return sent == frame; }
    // Whether these bytes are the next of this reply.
    bool continuesWith(const QByteArray &bytes) const
    {
        return frame.mid(sent.size()).startsWith(bytes);
    }
};

// The line from one plugging-in to the next unplug, as each side saw it.
struct SimStretch
{
    QList<QByteArray> heard;
    QList<SimReply> replies;
    QByteArray wire; // every byte sent, in order
    bool endsInUnplug = false;
};

struct ToolStretch
{
    QList<QByteArray> written;
    QList<ToolEvent> received; // accepted and dropped, in order
};

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// A piece goes to the reply on its way that it continues: two replies may be on their way at
// once when the tool talks over one of them.
void readPiece(SimStretch &stretch, QList<int> &open, qint64 ms, const QByteArray &bytes,
               QStringList &problems)
{
    const auto owner = std::find_if(open.begin(), open.end(), [&](int index) {
        return stretch.replies[index].continuesWith(bytes);
    });
    if (owner == open.end()) {
        problems << QStringLiteral("the transmitter sent %1 outside any reply").arg(hex(bytes));
        stretch.wire += bytes;
        return;
    }
    SimReply &reply = stretch.replies[*owner];
    if (reply.start < 0)
        reply.start = int(stretch.wire.size());
    else if (reply.start + reply.sent.size() != stretch.wire.size())
        reply.contiguous = false;
    if (reply.lastPieceMs >= 0)
        reply.longestGapMs = std::max(reply.longestGapMs, ms - reply.lastPieceMs);
    reply.lastPieceMs = ms;
    reply.sent += bytes;
    stretch.wire += bytes;
    if (reply.whole())
        open.erase(owner);
}

QList<SimStretch> readSimLog(const QStringList &lines, QStringList &problems)
{
    QList<SimStretch> stretches{SimStretch()};
    QList<int> open; // the replies on their way
    for (const QString &line : lines) {
        const QStringList fields = line.split(QLatin1Char(' '));
        const qint64 ms = fields.value(0).toLongLong();
        const QString kind = fields.value(1);
        const QByteArray bytes = QByteArray::fromHex(fields.value(2).toLatin1());
        SimStretch &stretch = stretches.last();
        if (kind == QLatin1String("RX")) {
            if (!open.isEmpty())
                problems << QStringLiteral("the tool wrote %1 while the reply %2 was on the wire")
                                .arg(hex(bytes), hex(stretch.replies[open.first()].frame));
            stretch.heard << bytes;
        } else if (kind == QLatin1String("TX")) {
            stretch.replies << SimReply{bytes, fields.value(3)};
            open << int(stretch.replies.size()) - 1;
        } else if (kind == QLatin1String("PIECE")) {
            readPiece(stretch, open, ms, bytes, problems);
        } else if (kind == QLatin1String("UNPLUG")) {
            stretch.endsInUnplug = true;
            stretches.append(SimStretch());
            open.clear();
        }
    }
    return stretches;
}

QList<ToolStretch> splitAtLosses(const QList<ToolEvent> &events)
{
    QList<ToolStretch> stretches{ToolStretch()};
    for (const ToolEvent &event : events) {
        if (event.kind == ToolEvent::Lost)
            stretches.append(ToolStretch());
        else if (event.kind == ToolEvent::Written)
            stretches.last().written << event.bytes;
        else
            stretches.last().received << event;
    }
    return stretches;
}

int firstDifference(const QList<QByteArray> &a, const QList<QByteArray> &b)
{
    int i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    return i;
}

void auditRequests(const SimStretch &sim, const ToolStretch &tool, const QString &where,
                   Report &report)
{
    report.requests += int(sim.heard.size());
    if (tool.written == sim.heard)
        return;
    // A request written in the instant the line went never reached the transmitter.
    if (sim.endsInUnplug && tool.written.size() == sim.heard.size() + 1 &&
        firstDifference(tool.written, sim.heard) == sim.heard.size()) {
        ++report.writtenAtUnplug;
        return;
    }
    report.problems << QStringLiteral("%1: the tool wrote %2 frames, the transmitter heard %3; "
                                      "they differ from frame %4 on")
                           .arg(where)
                           .arg(tool.written.size())
                           .arg(sim.heard.size())
                           .arg(firstDifference(tool.written, sim.heard) + 1);
}

// Each reply the transmitter sent, against what the tool made of the same bytes.
void auditReplies(const SimStretch &sim, const ToolStretch &tool, int received, int silenceMs,
                  const QString &where, Report &report)
{
    QMap<int, const ToolEvent *> toolAt; // by the offset of its first byte
    int offset = 0;
    for (const ToolEvent &event : tool.received) {
        toolAt.insert(offset, &event);
        offset += int(event.bytes.size());
    }
    QMap<int, int> replyEnds; // the offsets where a whole reply starts, and its end
    for (const SimReply &reply : sim.replies) {
        ++report.replies;
        const int from = reply.start;
        const int to = from + int(reply.sent.size());
        if (!reply.contiguous) { // the tool talked over it, which is reported already
            ++report.overlapped;
            continue;
        }
        if (from < 0 || !reply.whole() || to > received) {
            ++report.cutByUnplug;
            continue;
        }
        replyEnds.insert(from, to);
        const ToolEvent *event = toolAt.value(from);
        const bool accepted = event && event->kind == ToolEvent::Accepted &&
                              event->bytes.size() == reply.frame.size();
        if (reply.tag == QLatin1String("good") && accepted)
            ++report.captured;
        else if (reply.tag == QLatin1String("good") && reply.longestGapMs >= silenceMs)
            ++report.overlongGaps;
        else if (reply.tag == QLatin1String("good"))
            report.problems << QStringLiteral("%1: the good reply %2 was dropped (%3)")
                                   .arg(where, hex(reply.frame),
                                        event ? event->reason : QStringLiteral("mid-frame"));
        else if (accepted)
            report.problems << QStringLiteral("%1: the reply %2, %3 on purpose, was accepted")
                                   .arg(where, hex(reply.frame), reply.tag);
        else
            ++report.badCrc;
    }
    for (auto it = toolAt.cbegin(); it != toolAt.cend(); ++it)
        if ((*it)->kind == ToolEvent::Accepted &&
            replyEnds.value(it.key(), -1) != it.key() + (*it)->bytes.size())
            report.problems << QStringLiteral("%1: the tool accepted %2, which is not one whole "
                                              "reply of the transmitter")
                                   .arg(where, hex((*it)->bytes));
}

void auditStretch(const SimStretch &sim, const ToolStretch &tool, int silenceMs,
                  const QString &where, Report &report)
{
    auditRequests(sim, tool, where, report);
    QByteArray received;
    for (const ToolEvent &event : tool.received)
        received += event.bytes;
    // Bytes sent as the line went may never be read; nothing else may go or come from nowhere.
    const bool whole = received == sim.wire || (sim.endsInUnplug && sim.wire.startsWith(received));
    if (!whole) {
        int at = 0;
        while (at < received.size() && at < sim.wire.size() && received[at] == sim.wire[at])
            ++at;
        report.problems << QStringLiteral("%1: the tool received %2 bytes, the transmitter sent "
                                          "%3; they differ from byte %4 on")
                               .arg(where)
                               .arg(received.size())
                               .arg(sim.wire.size())
                               .arg(at + 1);
        return;
    }
    auditReplies(sim, tool, int(received.size()), silenceMs, where, report);
}

// The capture file against the frames the tool wrote and accepted, in order.
void auditCapture(const QStringList &captureLines, const QList<ToolEvent> &tool, Report &report)
{
    QList<QByteArray> captured[2], reported[2];
    for (const QString &line : captureLines)
        if (const auto frame = Capture::parseLine(line))
            captured[frame->received] << QByteArray::fromHex(frame->frameText.toLatin1());
    for (const ToolEvent &event : tool)
        if (event.kind == ToolEvent::Written || event.kind == ToolEvent::Accepted)
            reported[event.kind == ToolEvent::Accepted] << event.bytes;
    const char *names[] = {"sent", "received"};
    for (int received = 0; received < 2; ++received)
        if (captured[received] != reported[received])
            report.problems << QStringLiteral("the capture holds %1 frames %2, the tool %3 them "
                                              "%4; they differ from frame %5 on")
                                   .arg(captured[received].size())
                                   .arg(QLatin1String(names[received]),
                                        QLatin1String(received ? "accepted" : "wrote"))
                                   .arg(reported[received].size())
                                   .arg(firstDifference(captured[received], reported[received]) +
                                        1);
}

} // namespace

Report audit(const QStringList &captureLines, const QStringList &simLog,
             const QList<ToolEvent> &tool, int silenceMs)
{
    Report report;
    const QList<SimStretch> sim = readSimLog(simLog, report.problems);
    const QList<ToolStretch> seen = splitAtLosses(tool);
    report.unplugs = int(sim.size()) - 1;
    if (seen.size() != sim.size())
        report.problems << QStringLiteral("the transmitter was unplugged %1 times, the tool lost "
                                          "the port %2 times")
                               .arg(sim.size() - 1)
                               .arg(seen.size() - 1);
    for (int i = 0; i < std::min(sim.size(), seen.size()); ++i)
        auditStretch(sim[i], seen[i], silenceMs, QStringLiteral("plugged-in stretch %1").arg(i + 1),
                     report);
    auditCapture(captureLines, tool, report);
    return report;
}

} // namespace FrameAudit
