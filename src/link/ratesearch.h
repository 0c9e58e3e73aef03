#pragma once

#include "link/linksession.h"

#include <QList>
#include <QObject>

#include <functional>

// What came back at a rate where no unit answered: said when the search fails.
struct HeardInstead
{
    enum Kind { Late, Garbled, OtherSlave };
    int baudRate = 0;
    Kind kind = Late;
    LinkDropReason reason = LinkDropReason::Incomplete; // Garbled
    int slave = 0;                                      // OtherSlave: where it came from
};

// The search for the rate a unit answers at, for the window's AUTO and for tervin-cli alike: the
// device information is asked from each slave of a pass at each rate in turn, pass after pass,
// until a candidate is answered (an exception reply too: a unit is there). Its owner decides the
// pace: the window moves on every 500 ms, tervin-cli as soon as a candidate has ended.
class RateSearch : public QObject
{
    Q_OBJECT

public:
    struct Plan
    {
        QList<QList<int>> passes; // the slaves asked at every rate, pass after pass
        QList<int> rates;         // in the order tried
        int retries = 0;          // resends of each candidate's request
    };
    // Puts the port at a rate (opening it anew, or setting the open port's rate); false when the
    // port could not be opened, which ends the search.
    using ApplyRate = std::function<bool(int baudRate)>;

    RateSearch(LinkSession *session, ApplyRate applyRate, QObject *parent = nullptr);

    void start(const Plan &plan);
    // The candidate's answer ends the search; otherwise the next candidate is asked, or the
    // search fails when there is none. Nothing happens while the candidate is still on the line.
    void advance();
    void stop();
    bool isRunning() const { return running; }
    bool candidateEnded() const { return attempt.has_value(); }
    int baudRate() const { return plan.rates.value(rateIndex); }
    int slave() const { return plan.passes.value(passIndex).value(slaveIndex); }
    int pass() const { return passIndex; }
    // What came back instead of an answer, in order, once per rate and kind.
    const QList<HeardInstead> &heard() const { return heardInstead; }

signals:
    // A candidate is being asked: this slave at this rate, in this pass.
    void asking(int baudRate, int slave, int pass);
    // The candidate's request has ended (tervin-cli advances at once).
    void candidateDone();
    // The search is over: `last` is the answer when a unit was found, otherwise how the last
    // candidate ended (a lost port ends the search at once).
    void finished(const LinkOutcome &last);

private:
    void ask();
    bool nextCandidate();
    void end(const LinkOutcome &last);
    void note(const HeardInstead &what);

    LinkSession *session;
    ApplyRate applyRate;
    Plan plan;
    bool running = false;
    int generation = 0; // a candidate of an earlier search ends unheard
    int passIndex = 0;
    int rateIndex = 0;
    int slaveIndex = 0;
    std::optional<LinkOutcome> attempt;
    QList<HeardInstead> heardInstead;
};
