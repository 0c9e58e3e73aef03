#pragma once

#include "portjob.h"

#include <QMap>
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

// read: the readings of one unit, or of several (--address A,B,...) in turn, a round of them
// every period; a record for each unit in each round, carrying its address. Each unit is asked
// who it is before its first reading, and again after a poll it did not answer (it may have
// been swapped). Two calls reach the output's sinks (recordsink.h): identified() when a unit's
// device information is read, reading() for every poll.
class ReadJob : public PortJob
{
public:
    using PortJob::PortJob;

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void tick();
    void round();
    void next();
    void identifyUnit(int index);
    void identified(int index);
    void poll(int index);
    void polled(int index, const QByteArray &request, const Outcome &outcome);
    void reading(int index, Result result, const QString &error, int tries,
                 const Reading &values = Reading());
    void end();

    QList<int> slaves; // as asked: 0 for whichever unit is on the line
    QVector<std::optional<UnitIdentity>> units;
    QVector<bool> missed; // the unit's last poll went unanswered
    std::unique_ptr<LinkTimer> period;
    int current = -1;  // the unit asked in this round; -1 between rounds
    bool owed = false; // the period passed during a round: the next starts when it ends
    int rounds = 0;
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
    void found();
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
    using PortJob::PortJob;

private:
    void begin() override;
    void fail(Result result, const QString &error) override;
    void probe(int rateIndex);
    void scanRate(int index);
    void ask();
    void answered(const Outcome &outcome);
    void summary(Result result, const QString &error);

    qint64 startMs = 0;
    QList<int> lineRates; // where units answer
    int rateIndex = 0;
    int addressIndex = 0;
    int units = 0;
    QList<int> garbled;
    QMap<QString, QList<int>> addressesOf; // serial number: the addresses it answered at
    Result worst = Result::Ok;
};
