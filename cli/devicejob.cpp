// scan of one unit per port, info, set-address and set-baud.
#include "jobs.h"
#include "requests.h"

void DeviceJob::begin()
{
    record.address = options.address;
    record.baudRate = options.baudRate;
    find(
        {options.address}, [this](const Outcome &outcome, int) { found(outcome); },
        [this](const Miss &miss) {
            place(record, miss);
            end(miss.result, miss.error, miss.tries);
        });
}

void DeviceJob::fail(Result result, const QString &error)
{
    end(result, error, 0);
}

void DeviceJob::found(const Outcome &outcome)
{
    identify(record, outcome.unit);
    switch (options.command) {
    case Command::SetAddress:
        record.previousAddress = record.address;
        guardBroadcastWrite(options.newValue, [this] {
            exchange->send(Requests::writeAddress(options.newValue),
                           [this](const Outcome &outcome) { written(outcome); });
        });
        break;
    case Command::SetBaud:
        record.previousBaudRate = record.baudRate;
        exchange->send(Requests::writeBaudRate(record.address, options.newValue),
                       [this](const Outcome &outcome) { written(outcome); });
        break;
    default:
        end(Result::Ok, QString(), outcome.tries);
        break;
    }
}

// A write the unit echoed has been taken: the record names the new setting from then on, even
// when the port is lost before the read-back tells more.
void DeviceJob::written(const Outcome &outcome)
{
    if (outcome.echoed && options.command == Command::SetAddress)
        record.address = options.newValue;
    if (outcome.echoed && options.command == Command::SetBaud)
        record.baudRate = options.newValue;
    const std::optional<Verification> &check = outcome.verification;
    if (check && !check->unit.serial.isEmpty() && check->outcome != Verification::OtherUnit)
        identify(record, check->unit);
    end(outcome.result,
        failureText(outcome, Cli::tr("no answer to the write within %1 ms"),
                    Cli::tr("no readable answer to the write")),
        outcome.tries);
}

void DeviceJob::end(Result result, const QString &error, int tries)
{
    stamp(record, result, error, tries);
    print(Records::device(options.format, record), result, error);
    finish(result);
}
