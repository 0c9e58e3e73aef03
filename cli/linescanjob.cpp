// scan --addresses: the units of a multi-drop line, one address after another.
#include "jobs.h"
#include "protocol/protocol.h"
#include "requests.h"
#include "values.h"

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
    addressIndex = 0;
    if (exchange->baudRate() != lineRates.at(index))
        exchange->setBaudRate(lineRates.at(index));
    ask();
}

void LineScanJob::ask()
{
    exchange->send(Requests::deviceInfo(options.addresses.at(addressIndex)),
                   [this](const Outcome &outcome) { answered(outcome); });
}

// A unit's record for each address that answered, failures included: two units at one address
// garble their replies, and a unit at two addresses answers at both; neither is merged.
void LineScanJob::answered(const Outcome &outcome)
{
    const int address = options.addresses.at(addressIndex);
    if (outcome.result == Result::PortError) {
        summary(outcome.result, outcome.detail);
        return;
    }
    if (outcome.result != Result::NoAnswer) {
        DeviceRecord record;
        const QString error =
            failureText(outcome, Cli::tr("no answer at address %1 within %2 ms").arg(address),
                        Cli::tr("no readable answer at address %1").arg(address));
        stamp(record, outcome.result, error, outcome.tries);
        if (outcome.ok()) {
            identify(record, exchange->unit());
            ++units;
            addressesOf[record.serial] << address;
        }
        record.address = address; // where it answered, whatever it reports
        record.baudRate = exchange->baudRate();
        if (outcome.result == Result::Garbled)
            garbled << address;
        if (exitCodeOf(outcome.result) > exitCodeOf(worst))
            worst = outcome.result;
        print(Records::device(options.format, record), outcome.result, error);
    }
    if (++addressIndex < options.addresses.size())
        ask();
    else if (rateIndex + 1 < lineRates.size())
        scanRate(rateIndex + 1);
    else if (!garbled.isEmpty())
        summary(Result::Garbled, Cli::tr("garbled replies at %1 (two units at one address?)")
                                     .arg(Values::addressListText(garbled)));
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
    record.durationMs = exchange->nowMs() - startMs;
    print(Records::scanSummary(options.format, record), result, error);
    finish(exitCodeOf(result) > exitCodeOf(worst) ? result : worst);
}
