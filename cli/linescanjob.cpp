// scan --addresses: the units of a multi-drop line, one address after another.
#include "jobs.h"
#include "protocol/protocol.h"
#include "protocol/values.h"
#include "requests.h"

LineScanJob::LineScanJob(const CliOptions &options, const QString &portName,
                         const PortOutput &output, LinkPort *port, LinkClock *clock,
                         QObject *parent)
    : PortJob(options, portName, output, port, clock, parent),
      scan(new LineScan(exchange->link(), this))
{
    connect(scan, &LineScan::answered, this, &LineScanJob::answered);
    connect(scan, &LineScan::collision, this, &LineScanJob::collided);
    connect(scan, &LineScan::cutOff, this, [this](int address) {
        if (!cutOff.contains(address))
            cutOff << address;
    });
    connect(scan, &LineScan::finished, this, &LineScanJob::rateScanned);
}

void LineScanJob::begin()
{
    startMs = exchange->nowMs();
    if (options.baudRate != 0) {
        lineRates = {options.baudRate};
        scanRate(0);
    } else {
        probe(0);
    }
}

void LineScanJob::fail(Result result, const QString &error)
{
    scan->cancel();
    summary(result, error);
}

// Every unit answers slave 0: where nothing does, no unit listens at that rate, and its
// addresses need not be asked. Several units answer at once, garbled, but they are heard.
void LineScanJob::probe(int index)
{
    if (index > 0)
        exchange->setBaudRate(rates().at(index));
    exchange->sendExpectingCollisions(
        Requests::deviceInfo(Modbus::BroadcastAddress), [this, index](const Outcome &outcome) {
            if (outcome.result == Result::PortError) {
                summary(outcome.result, outcome.detail);
                return;
            }
            if (outcome.result != Result::NoAnswer)
                lineRates << exchange->baudRate();
            if (index + 1 < rates().size())
                probe(index + 1);
            else if (lineRates.isEmpty())
                summary(Result::NoAnswer, Cli::tr("no answer at any rate, not even at slave 0"));
            else
                scanRate(0);
        });
}

void LineScanJob::scanRate(int index)
{
    rateIndex = index;
    if (exchange->baudRate() != lineRates.at(index))
        exchange->setBaudRate(lineRates.at(index));
    scan->start(options.addresses, exchange->fixedTimeoutMs(), options.retries);
}

// A record for each address that answered, a refusal included.
void LineScanJob::answered(int address, const LinkOutcome &ended)
{
    const Outcome outcome = exchange->outcomeOf(ended);
    DeviceRecord record;
    const QString error = failureText(outcome, QString(), QString());
    stamp(record, outcome.result, error, outcome.tries);
    if (outcome.ok()) {
        identify(record, outcome.unit);
        ++units;
        addressesOf[record.serial] << address;
    }
    record.address = address; // where it answered, whatever it reports
    record.baudRate = exchange->baudRate();
    note(outcome.result);
    print(Records::device(options.format, record), outcome.result, error);
}

// Garbled answers at an address that look like several replies at once: never merged, never
// read as a unit.
void LineScanJob::collided(int address, const LinkOutcome &ended)
{
    const Outcome outcome = exchange->outcomeOf(ended);
    DeviceRecord record;
    const QString error =
        Cli::tr("garbled answers at address %1: two units at one address?").arg(address);
    stamp(record, Result::Garbled, error, outcome.tries);
    record.address = address;
    record.baudRate = exchange->baudRate();
    garbled << address;
    note(Result::Garbled);
    print(Records::device(options.format, record), Result::Garbled, error);
}

void LineScanJob::note(Result result)
{
    if (exitCodeOf(result) > exitCodeOf(worst))
        worst = result;
}

void LineScanJob::rateScanned(bool cancelled)
{
    if (cancelled)
        return;
    if (rateIndex + 1 < lineRates.size()) {
        scanRate(rateIndex + 1);
        return;
    }
    QStringList problems;
    if (!garbled.isEmpty())
        problems << Cli::tr("garbled replies at %1 (two units at one address?)")
                        .arg(Values::addressListText(garbled));
    if (!cutOff.isEmpty())
        problems << Cli::tr("answers cut off at %1: raise the timeout (--timeout)")
                        .arg(Values::addressListText(cutOff));
    if (!problems.isEmpty())
        summary(Result::Garbled, problems.join(QStringLiteral("; ")));
    else if (units == 0)
        summary(Result::NoAnswer,
                Cli::tr("no unit answered at %1").arg(Values::addressListText(options.addresses)));
    else
        summary(Result::Ok, QString());
}

void LineScanJob::summary(Result result, const QString &error)
{
    for (auto unit = addressesOf.cbegin(); unit != addressesOf.cend(); ++unit)
        if (unit.value().size() > 1)
            output.message(Cli::tr("serial %1 answered at addresses %2")
                               .arg(unit.key(), Values::addressListText(unit.value())));
    ScanSummaryRecord record;
    stamp(record, result, error, 0);
    record.baudRate = lineRates.size() == 1 ? lineRates.first() : 0;
    record.asked = options.addresses;
    record.units = units;
    record.garbled = garbled;
    record.cutOff = cutOff;
    record.durationMs = exchange->nowMs() - startMs;
    print(Records::scanSummary(options.format, record), result, error);
    finish(exitCodeOf(result) > exitCodeOf(worst) ? result : worst);
}
