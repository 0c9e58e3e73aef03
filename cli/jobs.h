#pragma once

#include "link/checkfeed.h"
#include "link/linescan.h"
#include "link/linkfollower.h"
#include "link/pollcycle.h"
#include "portjob.h"
#include "report/checkreport.h"

#include <QMap>
#include <QSet>
#include <QVector>

#include <memory>
#include <optional>

// scan (one unit per port), info, set-address and set-baud: find the unit, write the setting
// and let the session verify it where the unit now listens; one record.
class DeviceJob : public PortJob
{
public:
    using PortJob::PortJob;

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void found(const Outcome &outcome);
    void written(const Outcome &outcome);
    void end(Result result, const QString &error, int tries);

    DeviceRecord record;
};

// read: the readings of one unit, or of several (--address A,B,...), polled round after round
// every period by the line's poll cycle; a record for each unit each time it is asked, carrying
// its address. With --count 0 it runs until interrupted, and follows a pulled adapter back.
class ReadJob : public PortJob
{
public:
    ReadJob(const CliOptions &options, const QString &portName, const PortOutput &output,
            LinkPort *port, LinkClock *clock, QObject *parent);

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void found(const Outcome &outcome);
    void polled(int address, const LinkOutcome &outcome);
    void roundEnded(int round);
    void portGone(const QString &error);
    void portBack();
    void reading(int address, Result result, const QString &error, int tries,
                 const Reading &values = Reading(), const Miss &search = Miss());
    void end();

    PollCycle *cycle;
    LinkFollower *follower = nullptr;
    QList<int> slaves; // as asked: 0 for whichever unit is on the line
    bool away = false; // the adapter is gone; it is waited for
    Result worst = Result::Ok;
};

// commission: find the unit as scan does, write the address and then the rate, each verified
// where the unit now listens, take one reading and check it; one record with the identity, the
// old and new settings and the reading. A failure after the writes tells where the unit listens.
class CommissionJob : public PortJob
{
public:
    using PortJob::PortJob;

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void found(const Outcome &outcome);
    void addressWritten(const Outcome &outcome);
    void rateWritten(const Outcome &outcome);
    void takeReading();
    void readingTaken(const QByteArray &request, const Outcome &outcome);
    bool written(const Outcome &outcome);
    QString whereNow() const;
    void end(Result result, const QString &error, int tries);

    CommissionRecord record;
    int writesGiven = 0;    // writes that went out and were not refused: the unit may have them
    int writesVerified = 0; // of those, the ones read back where the unit now listens
    bool rateSent = false;
};

// scan --addresses: every unit of a multi-drop line, asking each address in turn at the rate
// given, or at each rate where slave 0 (which every unit answers) got any reply; a record for
// each address that answered, then a summary.
class LineScanJob : public PortJob
{
public:
    LineScanJob(const CliOptions &options, const QString &portName, const PortOutput &output,
                LinkPort *port, LinkClock *clock, QObject *parent);

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void probe(int rateIndex);
    void scanRate(int index);
    void answered(int address, const LinkOutcome &outcome);
    void collided(int address, const LinkOutcome &outcome);
    void rateScanned(bool cancelled);
    void note(Result result);
    void summary(Result result, const QString &error);

    LineScan *scan;
    qint64 startMs = 0;
    QList<int> lineRates; // where units answer
    int rateIndex = 0;
    int units = 0;
    QList<int> garbled;
    QList<int> cutOff;
    QMap<QString, QList<int>> addressesOf; // serial number: the addresses it answered at
    Result worst = Result::Ok;
};

// check: every unit of a line against a reference, polled round after round by the line's poll
// cycle (the reference unit among them) and fed to the production check, until every unit has its
// verdict or the deadline passes; then a record for each unit, a summary, and with --report the
// PDF and the CSV. Interrupted, it ends the same way with what it has.
class CheckJob : public PortJob
{
public:
    CheckJob(const CliOptions &options, const QString &portName, const PortOutput &output,
             LinkPort *port, LinkClock *clock, QObject *parent);

    void interrupt() override;

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void missed(const Miss &miss);
    void startCheck();
    void polled(int address, const LinkOutcome &outcome);
    void roundEnded();
    void announce(const QList<UnitResult> &results);
    // The check ends: a port lost (PortError) makes every unit without a final verdict a port
    // error; `why` says why it ended early.
    void conclude(Result ending = Result::Ok, const QString &why = QString());
    Report::Outcome writeReport(const QList<UnitResult> &results,
                                const QList<TwoPointResult> &bothPoints);
    Result unitRecord(const UnitResult &unit, const TwoPointResult *bothPoints, Result ending,
                      const QString &why);
    QString unitProblem(const UnitResult &unit, const TwoPointResult *bothPoints) const;
    void summary(Result result, const QString &error, int tries,
                 const QList<Verdict> &verdicts = {}, const Report::Outcome &report = {});

    PollCycle *cycle;
    std::unique_ptr<CheckFeed> feed;
    QSet<int> announced; // the addresses whose final verdict was said on standard error
    bool concluded = false;
};
