#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The soak's account of every frame: the capture file against the virtual transmitter's frame
// log (sim/framelog.h) and the link session's own reports, in order. The line is cut into
// stretches at each unplug; within each, the tool must have written exactly the frames the
// transmitter heard, and received exactly the bytes it sent, each byte once, in an accepted
// frame or reported dropped. Every good reply must be captured whole, once; replies garbled on
// purpose must be dropped; frames cut off by an unplug may go, and nothing else. Pure: no files.
namespace FrameAudit {

// What the link session reported, in order.
struct ToolEvent
{
    enum Kind { Written, Accepted, Dropped, Lost };
    Kind kind;
    QByteArray bytes; // the frame written, the frame accepted (an answer or a late one), or the
                      // bytes dropped
    QString reason;   // why the bytes were dropped
};

struct Report
{
    int requests = 0;        // frames the tool wrote and the transmitter heard
    int replies = 0;         // replies the transmitter began to send
    int captured = 0;        // good replies captured whole, once
    int badCrc = 0;          // replies garbled on purpose, dropped by the tool
    int overlongGaps = 0;    // good replies sent in pieces 200 ms or more apart, dropped
    int cutByUnplug = 0;     // replies the unplug cut off, dropped or never read
    int overlapped = 0;      // replies whose pieces another reply's came between
    int writtenAtUnplug = 0; // requests written as the line went, never heard
    int unplugs = 0;
    QStringList problems; // frames missing, duplicated or invented, each a sentence

    bool clean() const { return problems.isEmpty(); }
};

// captureLines: the capture file; simLog: the transmitter's frame log; tool: the session's
// reports. silenceMs: the gap within a reply after which the tool must drop it.
Report audit(const QStringList &captureLines, const QStringList &simLog,
             const QList<ToolEvent> &tool, int silenceMs);

} // namespace FrameAudit
