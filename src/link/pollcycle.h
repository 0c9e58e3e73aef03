#pragma once

#include "link/linksession.h"
#include "protocol/modbusreply.h"

#include <QList>
#include <QObject>

#include <map>
#include <memory>

// Polling the units of a line: round after round, every unit once a round in address order, one
// request on the line at a time. A round starts every period, or at once when the last one took
// longer (the line's limit). A unit not identified yet, or back after a request it did not answer,
// is asked its device information first, so that its readings are read from the right block, in
// its own unit, and under its own serial. A unit that stops
// answering is asked ever more rarely, at last every tenth round, so that it costs at most one
// timeout in ten rounds; each of its misses is reported, and it is never dropped.
class PollCycle : public QObject
{
    Q_OBJECT

public:
    explicit PollCycle(LinkSession *session, QObject *parent = nullptr);

    // The addresses polled; each joins the session's roster.
    void setUnits(const QList<int> &addresses);
    const QList<int> &units() const { return order; }
    void setPeriodMs(int ms) { periodMs = ms; }
    void setReadings(ModbusReply::Selector what, bool hundredths);
    void setRetries(int count) { retries = count; }

    void start();
    void stop();
    bool isRunning() const { return running; }
    int rounds() const { return round; } // rounds begun

    // How many rounds a unit sits out after this many unanswered requests in a row.
    static int roundsToSkip(int missedInARow);

signals:
    // A unit's readings, or why there are none (its device information unanswered included).
    void polled(int address, const LinkOutcome &outcome);
    void roundEnded(int round);
    // The port failed under a request: the cycle has stopped; start() resumes it.
    void interrupted(const LinkOutcome &outcome);

private:
    void beginRound();
    void periodPassed();
    void next();
    void ask(int address);
    void read(int address);
    void send(int address, const QByteArray &frame, std::function<void(const LinkOutcome &)> then);
    void finishUnit(int address, const LinkOutcome &outcome);

    LinkSession *session;
    std::unique_ptr<LinkTimer> periodTimer;
    QList<int> order;
    int periodMs = 1000;
    ModbusReply::Selector what = ModbusReply::AllReadings;
    bool hundredths = false;
    int retries = 0;
    bool running = false;
    bool inRound = false;
    bool owed = false; // the period passed during a round
    int round = 0;
    int index = -1;
    int generation = 0;          // requests of a stopped cycle end unheard
    std::map<int, int> dueRound; // a unit backing off is asked again in this round
};
