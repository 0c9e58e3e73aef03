#pragma once

#include "options.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <utility>

// Lines to the terminal, in UTF-8 whatever the locale, each written whole and at once. Output is
// never lost silently: a line that cannot be written (a full disk, a reader gone with SIGPIPE
// ignored) or a standard output that fails to close ends the run with exit 3 and one message.
namespace Console {
bool out(const QString &line); // false once output has been lost
void err(const QString &line);
// Output is lost: say so on standard error, once for the whole run.
void reportLoss(const QString &message);
bool lost();
// Closes standard output at the end of the run: the exit code, or OutputLost.
int finish(int exitCode);
} // namespace Console

enum class Stream { Out, Err };

// The lines of several ports in the order of the ports: the earliest port not yet done writes
// straight through, the others' lines wait until every port before them is done. So a port's
// records and messages stay together whichever port finishes first.
class PortOrder
{
public:
    using Writer = std::function<void(Stream stream, const QString &line)>;
    PortOrder(int ports, Writer writer);

    void add(int port, Stream stream, const QString &line);
    void done(int port);
    // Writes every line still held, in port order: the run ends before its ports are done.
    void release();

private:
    void writeHeld(int port);

    Writer writer;
    QVector<QList<QPair<Stream, QString>>> held;
    QVector<bool> finished;
    int current = 0;
};

// The --log file: every frame that crossed the wire, in the window's capture format, appended
// a whole line at a time. With several ports in one file, each line ends with its port.
class CaptureLog
{
public:
    CaptureLog() = default;
    CaptureLog(const CaptureLog &) = delete;
    CaptureLog &operator=(const CaptureLog &) = delete;
    ~CaptureLog();

    QString open(const QString &path); // why it cannot be written, or nothing
    bool isOpen() const { return descriptor >= 0; }
    bool write(const QString &line); // false when the line could not be written
    bool close();
    QString path() const { return filePath; }

private:
    QString filePath;
    int descriptor = -1;
};

class PortOutput;
class RecordSink;
struct ReadingRecord;
struct UnitIdentity;

// Where the run's lines go: records to standard output, messages to standard error, frames to
// the --log file. It emits lost() when any of them could not be written; the run then ends.
// Readings are records with sinks besides standard output (recordsink.h): each reading is
// printed, unless --quiet, and handed to every sink.
class RunOutput : public QObject
{
    Q_OBJECT

public:
    // Records and messages go to standard output and standard error, or to the writer given.
    explicit RunOutput(const QStringList &ports, QObject *parent = nullptr);
    RunOutput(const QStringList &ports, PortOrder::Writer writer, QObject *parent = nullptr);

    QString openLog(const QString &path); // why it cannot be written, or nothing
    // How readings are printed on standard output; not at all when `printed` is false.
    void printReadings(Format format, bool printed);
    void addSink(RecordSink *sink); // not owned; it outlives the run's jobs
    PortOutput port(int index);
    void write(int port, Stream stream, const QString &line);
    void frame(int port, bool received, const QString &frameText);
    void identified(const UnitIdentity &unit, int port);
    void reading(const ReadingRecord &record, int port);
    void portDone(int port);
    void release(); // SIGINT or SIGTERM: every held line, now
    bool finish();  // closes the log; false when output was lost

signals:
    void lost();

private:
    void checkLoss();

    QStringList ports;
    PortOrder order;
    CaptureLog log;
    Format readingFormat = Format::Text;
    bool readingsPrinted = true;
    QList<RecordSink *> sinks;
    bool lossSignalled = false;
};

// One port's share of the output, handed to the job that works on the port.
class PortOutput
{
public:
    PortOutput(RunOutput *run, int index, const QString &port)
        : run(run), index(index), portName(port)
    {
    }

    // A record to standard output; false once output is lost (the run is ending: stop work).
    bool record(const QString &line);
    void message(const QString &line); // standard error, after "tervin-cli: PORT: "
    void trace(const QString &line);   // standard error, after "PORT: " (--verbose)
    void frame(bool received, const QString &frameText); // the --log file, if any
    // read: the unit at an address said who it is (first heard, or heard again after silence).
    void identified(const UnitIdentity &unit);
    // read: one poll of a unit, printed as a record and handed to every sink.
    void reading(const ReadingRecord &record);
    void done(); // the port's work is over: later ports may write

private:
    RunOutput *run;
    int index;
    QString portName;
};
