#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// The capture file: one line per frame that crossed the wire, appended as it happens.
namespace Capture {

// "2026-12-07 10:11:12->TX  0103010000084439": local time to the second, the direction, the
// frame's hexadecimal text.
QString line(const QDateTime &time, bool received, const QString &frameText);
// The time stamp of a line written now ("2026-12-07 14:02:17"). A busy line logs many frames a
// second: the wall clock is read without a time-zone lookup, and turned into text once a second.
QString stampNow();
// A line written now.
QString lineNow(bool received, const QString &frameText);

// A frame line read back: from the capture file, or from the message view, where a line may
// carry a note after the frame ("  (late, ignored)").
struct FrameLine
{
    QDateTime time;
    bool received = false;
    QString frameText;
    QString note;
};
// Nothing for a line that is not a frame line (a note of the tool's own).
std::optional<FrameLine> parseLine(const QString &line);

// Appends the line to the file, opening and closing it so that the line is on disk when this
// returns; a new (empty) file gets the header first, if there is one. Returns the reason it
// failed, or an empty string.
QString appendLine(const QString &path, const QString &header, const QString &line);

} // namespace Capture
