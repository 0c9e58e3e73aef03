// read: the readings of one unit, or of several, round after round.
#include "jobs.h"
#include "requests.h"

#include <limits>

namespace {
// An unattended reader waits for its adapter for as long as it runs.
constexpr int WaitForeverMs = std::numeric_limits<int>::max();
} // namespace

ReadJob::ReadJob(const CliOptions &options, const QString &portName, const PortOutput &output,
                 LinkPort *port, LinkClock *clock, QObject *parent)
    : PortJob(options, portName, output, port, clock, parent),
      cycle(new PollCycle(exchange->link(), this))
{
    cycle->setPeriodMs(options.periodMs);
    cycle->setReadings(Requests::selectorOf(options.what), options.hundredths);
    cycle->setRetries(options.retries);
    connect(cycle, &PollCycle::polled, this, &ReadJob::polled);
    // Whoever answers at an address of the poll, as its device information says (first heard, or
    // heard again after a miss): the sinks tell a new unit and a swap apart.
    connect(exchange->link(), &LinkSession::identified, this,
            [this](int address, const UnitIdentity &unit) {
                if (slaves.contains(address) || slaves == QList<int>{0})
                    this->output.identified(unit);
            });
    connect(cycle, &PollCycle::roundEnded, this, &ReadJob::roundEnded);
    if (options.count == 0) {
        follower = new LinkFollower(exchange->link(), this);
        follower->setReconnectLimit(WaitForeverMs);
        connect(follower, &LinkFollower::back, this, &ReadJob::portBack);
    }
}

void ReadJob::begin()
{
    slaves = options.addresses.isEmpty() ? QList<int>{options.address} : options.addresses;
    find(
        slaves, [this](const Outcome &outcome, int) { found(outcome); },
        [this](const Miss &miss) {
            for (int slave : slaves)
                reading(slave, miss.result, miss.error, miss.tries, Reading(), miss);
            end();
        });
}

// The rate is found: polling starts. Whichever unit answered slave 0 is polled at its address.
void ReadJob::found(const Outcome &outcome)
{
    if (slaves == QList<int>{0})
        slaves = {outcome.unit.address};
    cycle->setUnits(slaves);
    cycle->start();
}

// The port failed: the last record of each unit; with --count 0 the adapter is waited for.
void ReadJob::fail(Result result, const QString &error)
{
    if (follower && cycle->rounds() > 0 && result == Result::PortError) {
        portGone(error);
        return;
    }
    for (int slave : slaves)
        reading(slave, result, error, 0);
    end();
}

void ReadJob::portGone(const QString &error)
{
    if (away)
        return;
    away = true;
    cycle->stop();
    for (int slave : slaves)
        reading(slave, Result::PortError, error, 0);
    output.message(Cli::tr("waiting for the adapter to come back"));
    follower->startWaiting(portName, exchange->baudRate());
}

void ReadJob::portBack()
{
    away = false;
    follower->resumePolls();
    output.message(Cli::tr("the adapter is back"));
    cycle->start();
}

void ReadJob::end()
{
    cycle->stop();
    if (follower)
        follower->stopWaiting();
    finish(worst);
}

void ReadJob::polled(int address, const LinkOutcome &ended)
{
    const Outcome outcome = exchange->outcomeOf(ended);
    if (outcome.ok())
        reading(address, Result::Ok, QString(), outcome.tries, ended.decoded.reading);
    else if (outcome.result == Result::PortError && follower)
        portGone(outcome.detail);
    else
        reading(
            address, outcome.result,
            failureText(outcome, Cli::tr("no answer within %1 ms"), Cli::tr("no readable answer")),
            outcome.tries);
    if (outcome.result == Result::PortError && !follower)
        end();
}

void ReadJob::roundEnded(int round)
{
    if (options.count != 0 && round >= options.count)
        end();
}

void ReadJob::reading(int address, Result result, const QString &error, int tries,
                      const Reading &values, const Miss &search)
{
    ReadingRecord r;
    stamp(r, result, error, tries);
    const LineUnit *unit = exchange->link()->roster().find(address);
    if (unit && unit->identity.known) {
        identify(r, unit->identity);
    } else {
        r.address = address;
        r.baudRate = cycle->rounds() > 0 ? exchange->baudRate() : options.baudRate;
        place(r, search);
    }
    r.reading = values;
    if (unit && unit->identity.known)
        r.unit = unit->identity;
    output.reading(r);
    if (result != Result::Ok)
        output.message(slaves.size() > 1 ? Cli::tr("address %1: %2").arg(address).arg(error)
                                         : error);
    if (exitCodeOf(result) > exitCodeOf(worst))
        worst = result;
}
