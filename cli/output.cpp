#include "output.h"

#include "comm/capture.h"
#include "options.h"
#include "records.h"
#include "recordsink.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr int StandardOutput = 1;
constexpr int StandardError = 2;
constexpr mode_t NewFileMode = 0666; // less the umask, as any program creates a file

bool outputLost = false;
bool standardOutputFailed = false;

// Writes all of the line, waiting where the descriptor is non-blocking and full; the system's
// error number when it cannot (0 on success).
int writeWhole(int descriptor, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    const char *next = bytes.constData();
    size_t left = size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd writable{descriptor, POLLOUT, 0};
            ::poll(&writable, 1, -1);
            continue;
        }
        if (written < 0)
            return errno;
        next += written;
        left -= size_t(written);
    }
    return 0;
}

QString standardOutputLost(int error)
{
    return Cli::tr("tervin-cli: cannot write standard output: %1").arg(qt_error_string(error));
}
} // namespace

namespace Console {
bool out(const QString &line)
{
    if (standardOutputFailed)
        return false;
    const int error = writeWhole(StandardOutput, line);
    if (error == 0)
        return !outputLost;
    standardOutputFailed = true;
    reportLoss(standardOutputLost(error));
    return false;
}

void err(const QString &line)
{
    writeWhole(StandardError, line); // nowhere left to report a failure to
}

void reportLoss(const QString &message)
{
    if (!outputLost)
        err(message);
    outputLost = true;
}

bool lost()
{
    return outputLost;
}

int finish(int exitCode)
{
    if (!standardOutputFailed && ::close(StandardOutput) != 0 && errno != EINTR) {
        standardOutputFailed = true;
        reportLoss(standardOutputLost(errno));
    }
    return outputLost ? OutputLost : exitCode;
}
} // namespace Console

PortOrder::PortOrder(int ports, Writer writer)
    : writer(std::move(writer)), held(ports), finished(ports, false)
{
}

void PortOrder::add(int port, Stream stream, const QString &line)
{
    if (port <= current)
        writer(stream, line);
    else
        held[port].append({stream, line});
}

void PortOrder::done(int port)
{
    finished[port] = true;
    while (current < finished.size() && finished[current]) {
        ++current;
        if (current < finished.size())
            writeHeld(current);
    }
}

void PortOrder::release()
{
    for (int port = current; port < held.size(); ++port)
        writeHeld(port);
    current = int(held.size());
}

void PortOrder::writeHeld(int port)
{
    const QList<QPair<Stream, QString>> lines = std::exchange(held[port], {});
    for (const auto &[stream, line] : lines)
        writer(stream, line);
}

CaptureLog::~CaptureLog()
{
    close();
}

// Without blocking: a fifo that nothing reads would hold the run before its first request. The
// writes wait for a slow reader all the same (writeWhole).
QString CaptureLog::open(const QString &path)
{
    filePath = path;
    descriptor = ::open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, NewFileMode);
    if (descriptor >= 0)
        return QString();
    return errno == ENXIO ? Cli::tr("nothing reads this fifo") : qt_error_string(errno);
}

bool CaptureLog::write(const QString &line)
{
    const int error = writeWhole(descriptor, line);
    if (error != 0)
        Console::reportLoss(Cli::tr("tervin-cli: cannot write the log %1: %2")
                                .arg(filePath, qt_error_string(error)));
    return error == 0;
}

bool CaptureLog::close()
{
    if (descriptor < 0)
        return true;
    const int result = ::close(std::exchange(descriptor, -1));
    if (result != 0 && errno != EINTR)
        Console::reportLoss(Cli::tr("tervin-cli: cannot write the log %1: %2")
                                .arg(filePath, qt_error_string(errno)));
    return result == 0 || errno == EINTR;
}

RunOutput::RunOutput(const QStringList &ports, QObject *parent)
    : RunOutput(
          ports,
          [](Stream stream, const QString &line) {
              if (stream == Stream::Out)
                  Console::out(line);
              else
                  Console::err(line);
          },
          parent)
{
}

RunOutput::RunOutput(const QStringList &ports, PortOrder::Writer writer, QObject *parent)
    : QObject(parent), ports(ports), order(int(ports.size()), std::move(writer))
{
}

QString RunOutput::openLog(const QString &path)
{
    return log.open(path);
}

void RunOutput::printReadings(Format format, bool printed)
{
    readingFormat = format;
    readingsPrinted = printed;
}

void RunOutput::addSink(RecordSink *sink)
{
    sinks << sink;
}

PortOutput RunOutput::port(int index)
{
    return PortOutput(this, index, ports.at(index));
}

void RunOutput::write(int port, Stream stream, const QString &line)
{
    if (Console::lost())
        return;
    order.add(port, stream, line);
    checkLoss();
}

void RunOutput::frame(int port, bool received, const QString &frameText)
{
    if (!log.isOpen() || Console::lost())
        return;
    QString line = Capture::lineNow(received, frameText);
    if (ports.size() > 1)
        line += QStringLiteral("  ") + ports.at(port);
    log.write(line);
    checkLoss();
}

void RunOutput::identified(const UnitIdentity &unit, int port)
{
    for (RecordSink *sink : sinks)
        sink->identified(ports.at(port), unit);
}

void RunOutput::reading(const ReadingRecord &record, int port)
{
    const QString line = readingsPrinted ? Records::reading(readingFormat, record) : QString();
    if (!line.isEmpty())
        write(port, Stream::Out, line);
    for (RecordSink *sink : sinks)
        sink->reading(record);
}

void RunOutput::portDone(int port)
{
    order.done(port);
    checkLoss();
}

void RunOutput::release()
{
    order.release();
}

bool RunOutput::finish()
{
    log.close();
    return !Console::lost();
}

void RunOutput::checkLoss()
{
    if (!Console::lost() || lossSignalled)
        return;
    lossSignalled = true;
    emit lost();
}

bool PortOutput::record(const QString &line)
{
    run->write(index, Stream::Out, line);
    return !Console::lost();
}

void PortOutput::message(const QString &line)
{
    run->write(index, Stream::Err, QStringLiteral("tervin-cli: %1: %2").arg(portName, line));
}

void PortOutput::trace(const QString &line)
{
    run->write(index, Stream::Err, portName + QStringLiteral(": ") + line);
}

void PortOutput::frame(bool received, const QString &frameText)
{
    run->frame(index, received, frameText);
}

void PortOutput::identified(const UnitIdentity &unit)
{
    run->identified(unit, index);
}

void PortOutput::reading(const ReadingRecord &record)
{
    run->reading(record, index);
}

void PortOutput::done()
{
    run->portDone(index);
}
