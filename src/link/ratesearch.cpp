#include "link/ratesearch.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"

RateSearch::RateSearch(LinkSession *session, ApplyRate applyRate, QObject *parent)
    : QObject(parent), session(session), applyRate(std::move(applyRate))
{
    connect(session, &LinkSession::late, this, [this](const QByteArray &) {
        note({baudRate(), HeardInstead::Late, LinkDropReason::Incomplete, 0});
    });
    connect(
        session, &LinkSession::dropped, this,
        [this](const QByteArray &bytes, LinkDropReason reason) {
            if (reason == LinkDropReason::OtherSlave)
                note({baudRate(), HeardInstead::OtherSlave, reason, ModbusFrame::slaveOf(bytes)});
            else if (reason != LinkDropReason::AdapterNoise)
                note({baudRate(), HeardInstead::Garbled, reason, 0});
        });
}

void RateSearch::start(const Plan &searchPlan)
{
    plan = searchPlan;
    ++generation;
    running = !plan.rates.isEmpty() && !plan.passes.isEmpty() && !plan.passes.first().isEmpty();
    passIndex = rateIndex = slaveIndex = 0;
    heardInstead.clear();
    attempt.reset();
    if (!running)
        return;
    if (!applyRate(baudRate())) {
        end(LinkOutcome());
        return;
    }
    ask();
}

void RateSearch::stop()
{
    running = false;
    ++generation;
}

void RateSearch::advance()
{
    if (!running || !attempt)
        return;
    const LinkOutcome last = *attempt;
    if (last.answered() || last.result == LinkOutcome::Lost) {
        end(last);
        return;
    }
    if (!nextCandidate()) {
        end(last);
        return;
    }
    ask();
}

// The next slave of the pass at this rate, else the pass's first at the next rate, else the
// next pass from the first rate. The port is put at a new rate before its first candidate.
bool RateSearch::nextCandidate()
{
    const int previousRate = baudRate();
    if (++slaveIndex == plan.passes[passIndex].size()) {
        slaveIndex = 0;
        if (++rateIndex == plan.rates.size()) {
            rateIndex = 0;
            if (++passIndex == plan.passes.size())
                return false;
        }
    }
    if (baudRate() != previousRate && !applyRate(baudRate())) {
        running = false;
        return false;
    }
    return running;
}

void RateSearch::ask()
{
    attempt.reset();
    emit asking(baudRate(), slave(), passIndex);
    LinkRequest request;
    request.frame = DeviceInfo::request(quint8(slave()));
    request.retries = plan.retries;
    request.timeoutMs = session->timeoutMs(request.frame); // no wait held for a late answer
    const int asked = generation;
    request.done = [this, asked](const LinkOutcome &outcome) {
        if (asked != generation || !running)
            return;
        attempt = outcome;
        emit candidateDone();
    };
    session->submit(request, LinkSession::First);
}

void RateSearch::end(const LinkOutcome &last)
{
    running = false;
    ++generation;
    emit finished(last);
}

void RateSearch::note(const HeardInstead &what)
{
    if (!running)
        return;
    for (const HeardInstead &earlier : heardInstead)
        if (earlier.baudRate == what.baudRate && earlier.kind == what.kind &&
            earlier.reason == what.reason && earlier.slave == what.slave)
            return;
    heardInstead << what;
}
