// read: the readings of one unit, or of several in turn.
#include "jobs.h"
#include "requests.h"

void ReadJob::begin()
{
    slaves = options.addresses.isEmpty() ? QList<int>{options.address} : options.addresses;
    units = QVector<std::optional<UnitIdentity>>(slaves.size());
    missed = QVector<bool>(slaves.size(), false);
    find(
        slaves,
        [this](const Outcome &, int slave) {
            identified(int(slaves.indexOf(slave)));
            period = exchange->makeTimer([this] { tick(); });
            period->start(options.periodMs);
            round();
        },
        [this](Result result, const QString &error, int tries) {
            for (int index = 0; index < slaves.size(); ++index)
                reading(index, result, error, tries);
            end();
        });
}

// The port failed: the last record of each unit.
void ReadJob::fail(Result result, const QString &error)
{
    for (int index = 0; index < slaves.size(); ++index)
        reading(index, result, error, 0);
    end();
}

void ReadJob::end()
{
    if (period)
        period->stop();
    finish(worst);
}

// A round still on the line when the next is due delays it.
void ReadJob::tick()
{
    period->start(options.periodMs);
    if (current >= 0)
        owed = true;
    else
        round();
}

void ReadJob::round()
{
    current = -1;
    next();
}

void ReadJob::next()
{
    if (++current == slaves.size()) {
        current = -1;
        if (options.count != 0 && ++rounds >= options.count)
            end();
        else if (std::exchange(owed, false))
            round();
        return;
    }
    if (units[current] && !missed[current])
        poll(current);
    else
        identifyUnit(current);
}

// A unit not heard yet is asked for its device information first: its readings' block and unit
// follow from its type. So is a unit whose last poll went unanswered: it may have been taken
// off the line and another put in its place at its address.
void ReadJob::identifyUnit(int index)
{
    exchange->send(Requests::deviceInfo(slaves[index]), [this, index](const Outcome &outcome) {
        if (outcome.ok()) {
            identified(index);
            poll(index);
            return;
        }
        polled(index, QByteArray(), outcome);
    });
}

// Who answers at the unit's address, as its device information just said.
void ReadJob::identified(int index)
{
    units[index] = exchange->unit();
    output.identified(*units[index]);
}

void ReadJob::poll(int index)
{
    const QByteArray request = Requests::readings(units[index]->address, units[index]->deviceType,
                                                  options.what, options.hundredths);
    exchange->send(request, [this, index, request](const Outcome &outcome) {
        polled(index, request, outcome);
    });
}

void ReadJob::polled(int index, const QByteArray &request, const Outcome &outcome)
{
    missed[index] = !outcome.ok();
    if (outcome.ok())
        reading(index, Result::Ok, QString(), outcome.tries,
                Requests::readingOf(outcome.reply, request, units[index]->deviceType));
    else
        reading(
            index, outcome.result,
            failureText(outcome, Cli::tr("no answer within %1 ms"), Cli::tr("no readable answer")),
            outcome.tries);
    if (outcome.result == Result::PortError)
        end();
    else
        next();
}

void ReadJob::reading(int index, Result result, const QString &error, int tries,
                      const Reading &values)
{
    ReadingRecord r;
    stamp(r, result, error, tries);
    if (units[index]) {
        identify(r, *units[index]);
    } else {
        r.address = slaves[index];
        r.baudRate = period ? exchange->baudRate() : options.baudRate;
    }
    r.reading = values;
    r.unit = units[index];
    output.reading(r);
    if (result != Result::Ok)
        output.message(slaves.size() > 1 ? Cli::tr("address %1: %2").arg(slaves[index]).arg(error)
                                         : error);
    if (exitCodeOf(result) > exitCodeOf(worst))
        worst = result;
}
