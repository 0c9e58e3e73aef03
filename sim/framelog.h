#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

// The transmitter's own record of the line, one event a line, for a soak to compare with what the
// tool captured: "1234 RX 01030004000405c8" (a frame heard), "1240 TX <frame> good" (a reply
// decided: good, bad-crc or collision), "1241 PIECE <bytes>" (bytes that went onto the wire),
// "5000 MUTE", "5100 UNMUTE", "9000 UNPLUG", "9300 REPLUG /dev/pts/7". The number is milliseconds
// since the log began, on a monotonic clock.
class FrameLog
{
public:
    // Appends to this file; false (and the reason) when it cannot be opened.
    bool open(const QString &path, QString *error = nullptr);
    bool isOpen() const { return file.isOpen(); }

    void heard(const QByteArray &frame) { write("RX", frame.toHex()); }
    void replying(const QByteArray &frame, const char *tag)
    {
        write("TX", frame.toHex() + ' ' + tag);
    }
    void wrote(const QByteArray &bytes) { write("PIECE", bytes.toHex()); }
    void event(const char *what, const QString &detail = QString())
    {
        write(what, detail.toLocal8Bit());
    }

private:
    void write(const char *kind, const QByteArray &text);

    QFile file;
    QElapsedTimer clock;
};
