#include "output.h"

#include "comm/capture.h"
#include "options.h"

#include <QFile>

#include <cstdio>

namespace {
void writeLine(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

namespace Console {
void out(const QString &line)
{
    writeLine(stdout, line);
}

void err(const QString &line)
{
    writeLine(stderr, line);
}
} // namespace Console

void PortOutput::record(const QString &line)
{
    write(false, line);
}

void PortOutput::message(const QString &line)
{
    write(true, QStringLiteral("tervin-cli: %1: %2").arg(portName, line));
}

void PortOutput::trace(const QString &line)
{
    write(true, portName + QStringLiteral(": ") + line);
}

void PortOutput::write(bool toErr, const QString &line)
{
    if (holding)
        held.append({toErr, line});
    else if (toErr)
        Console::err(line);
    else
        Console::out(line);
}

void PortOutput::flush()
{
    for (const auto &[toErr, line] : held)
        toErr ? Console::err(line) : Console::out(line);
    held.clear();
}

QString CaptureLog::check() const
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append) ? QString() : file.errorString();
}

void CaptureLog::frame(const QString &port, bool received, const QString &frameText)
{
    QString line = Capture::line(QDateTime::currentDateTime(), received, frameText);
    if (markPorts)
        line += QStringLiteral("  ") + port;
    const QString failure = Capture::appendLine(path, QString(), line);
    if (failure.isEmpty() || failureReported)
        return;
    failureReported = true;
    Console::err(Cli::tr("tervin-cli: cannot write the log %1: %2").arg(path, failure));
}
