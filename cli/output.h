#pragma once

#include <QString>
#include <QStringList>

// Lines to the terminal, in UTF-8 whatever the locale, each written through at once.
namespace Console {
void out(const QString &line);
void err(const QString &line);
} // namespace Console

// Where one port's lines go. With several ports at work at once, each port's lines are held
// until that port is done and then written together, so that records never interleave.
class PortOutput
{
public:
    PortOutput(const QString &port, bool hold) : portName(port), holding(hold) {}

    void record(const QString &line);  // standard output
    void message(const QString &line); // standard error, after "tervin-cli: PORT: "
    void trace(const QString &line);   // standard error, after "PORT: " (--verbose)
    void flush();

private:
    void write(bool toErr, const QString &line);

    QString portName;
    bool holding;
    QList<QPair<bool, QString>> held;
};

// The --log file: every frame that crossed the wire, in the window's capture format, appended
// and on disk line by line. With several ports in one file, each line ends with its port.
class CaptureLog
{
public:
    CaptureLog(const QString &path, bool markPorts) : path(path), markPorts(markPorts) {}

    // Whether the file can be written; the reason when it cannot.
    QString check() const;
    void frame(const QString &port, bool received, const QString &frameText);

private:
    QString path;
    bool markPorts;
    bool failureReported = false;
};
