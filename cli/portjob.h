#pragma once

#include "exchange.h"
#include "link/ratesearch.h"
#include "options.h"
#include "output.h"
#include "records.h"

#include <QObject>

#include <functional>

// One port's share of a command, run on the event loop through the port's link session. It opens
// the port, does the command's work one request at a time, prints its records and ends with an
// exit code. Each command's flow is a job of its own (jobs.h); what they share is here: finding
// the unit, the identity every record carries, and the texts of a failed request.
class PortJob : public QObject
{
    Q_OBJECT

public:
    // The job of the command on this port, which it reaches through `port`; the clock times it.
    static PortJob *create(const CliOptions &options, const QString &portName,
                           const PortOutput &output, LinkPort *port, LinkClock *clock,
                           QObject *parent = nullptr);

    void start();
    // SIGINT or SIGTERM: the run ends by the signal once this returns. A job whose records come
    // at its end prints what it has.
    virtual void interrupt() {}
    bool isDone() const { return done; }
    int exitCode() const { return code; }

signals:
    void finished();

protected:
    PortJob(const CliOptions &options, const QString &portName, const PortOutput &output,
            LinkPort *port, LinkClock *clock, QObject *parent);

    // The port is open at the first rate to try.
    virtual void begin() = 0;
    // The port cannot be opened, or went away between requests: the job ends with this.
    virtual void fail(Result result, const QString &error) = 0;

    // A unit found: how its device-information read ended, and the slave it went to.
    using Found = std::function<void(const Outcome &outcome, int slave)>;
    // No unit found: the result, its reason and the tries of the last request. A unit that
    // refused the read (an exception) was heard all the same: the address it answered under and
    // the rate tell where it is.
    struct Miss
    {
        Result result = Result::NoAnswer;
        QString error;
        int tries = 0;
        int address = 0;  // 0: not heard
        int baudRate = 0; // 0: not heard
    };
    using Missed = std::function<void(const Miss &miss)>;
    // Reads the device information from each slave in turn, at the rate given or at each of the
    // six in the window's order, until one answers. A device that refuses ends the search.
    void find(const QList<int> &slaves, Found found, Missed missed);

    // The address write goes to slave 0, and every unit of the line takes it: it is written only
    // when one unit answers there and no other is known on the line; otherwise the job ends,
    // naming them, and nothing is written.
    void guardBroadcastWrite(int newAddress, std::function<void()> write);

    // A record made now, of this command on this port, and how it went.
    void stamp(RecordHead &record, Result result, const QString &error, int tries) const;
    // The unit's identity in a record, where it answers now.
    void identify(RecordHead &record, const UnitIdentity &unit) const;
    void identify(DeviceRecord &record, const UnitIdentity &unit) const;
    // Where the unit of a missed search was heard, for what the record does not know yet.
    static void place(RecordHead &record, const Miss &miss);

    // Why a request failed: a silent device is told with `silent` (its %1 the time waited),
    // garbled replies with `unreadable`; what came instead follows in brackets.
    static QString failureText(const Outcome &outcome, const QString &silent,
                               const QString &unreadable);
    // Prints the record; the reason of a failure goes to standard error.
    void print(const QString &line, Result result, const QString &error);
    // The job ends with the exit code of its worst result, or atLeast when that is higher.
    void finish(Result worst, int atLeast = Success);
    QList<int> rates() const;

    CliOptions options;
    QString portName;
    PortOutput output;
    Exchange *exchange;

private:
    void searched(const LinkOutcome &last);
    QString missedText(const Outcome &last) const;
    static QString heardText(const HeardInstead &heard);

    RateSearch *search;
    QList<int> searchSlaves;
    Found found;
    Missed missed;
    bool done = false;
    int code = Success;
};
