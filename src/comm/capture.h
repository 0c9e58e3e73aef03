#pragma once

#include <QDateTime>
#include <QString>

// The capture file: one line per frame that crossed the wire, appended as it happens.
namespace Capture {

// "2026-12-07 10:11:12->TX  0103010000084439": local time to the second, the direction, the
// frame's hexadecimal text.
QString line(const QDateTime &time, bool received, const QString &frameText);

// Appends the line to the file, opening and closing it so that the line is on disk when this
// returns; a new (empty) file gets the header first, if there is one. Returns the reason it
// failed, or an empty string.
QString appendLine(const QString &path, const QString &header, const QString &line);

} // namespace Capture
