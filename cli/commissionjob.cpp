// commission: a unit set up and checked on one opening of the port.
#include "jobs.h"
#include "protocol/protocol.h"
#include "requests.h"

void CommissionJob::begin()
{
    find(
        {Modbus::BroadcastAddress}, [this](const Outcome &outcome, int) { found(outcome); },
        [this](const Miss &miss) {
            place(record, miss);
            end(miss.result, miss.error, miss.tries);
        });
}

void CommissionJob::fail(Result result, const QString &error)
{
    end(result, error + whereNow(), 0);
}

void CommissionJob::found(const Outcome &outcome)
{
    identify(record, outcome.unit);
    record.previousAddress = record.address;
    record.previousBaudRate = record.baudRate;
    guardBroadcastWrite(options.newAddress, [this] {
        exchange->send(Requests::writeAddress(options.newAddress),
                       [this](const Outcome &outcome) { addressWritten(outcome); });
    });
}

// The address first, at slave 0 as set-address sends it; then the rate, to the new address.
void CommissionJob::addressWritten(const Outcome &outcome)
{
    if (outcome.echoed)
        record.address = options.newAddress;
    if (!written(outcome))
        return;
    if (options.newBaudRate == 0) {
        takeReading();
        return;
    }
    rateSent = true;
    exchange->send(Requests::writeBaudRate(record.address, options.newBaudRate),
                   [this](const Outcome &outcome) { rateWritten(outcome); });
}

void CommissionJob::rateWritten(const Outcome &outcome)
{
    if (outcome.echoed)
        record.baudRate = options.newBaudRate;
    if (written(outcome))
        takeReading();
}

// How a write came out: true when it was verified; otherwise the job ends, saying why.
bool CommissionJob::written(const Outcome &outcome)
{
    if (outcome.result != Result::Exception && outcome.tries > 0)
        ++writesGiven;
    const std::optional<Verification> &check = outcome.verification;
    if (outcome.ok() && check)
        identify(record, check->unit);
    if (outcome.ok()) {
        ++writesVerified;
        return true;
    }
    end(outcome.result,
        failureText(outcome, Cli::tr("no answer to the write within %1 ms"),
                    Cli::tr("no readable answer to the write")) +
            whereNow(),
        outcome.tries);
    return false;
}

void CommissionJob::takeReading()
{
    const QByteArray request =
        Requests::readings(record.address, record.deviceType, What::All, false);
    exchange->send(request,
                   [this, request](const Outcome &outcome) { readingTaken(request, outcome); });
}

// The reading is checked in °C whatever unit the transmitter reads in.
void CommissionJob::readingTaken(const QByteArray &request, const Outcome &outcome)
{
    if (!outcome.ok()) {
        end(outcome.result,
            failureText(outcome, Cli::tr("no answer to the reading within %1 ms"),
                        Cli::tr("no readable answer to the reading")) +
                whereNow(),
            outcome.tries);
        return;
    }
    record.reading = Requests::readingOf(outcome.reply, request, record.deviceType);
    const QString problem =
        limitsProblem(record.reading, options.expectTemperature, options.expectHumidity);
    if (problem.isEmpty())
        end(Result::Ok, QString(), outcome.tries);
    else
        end(Result::OutOfRange, problem + whereNow(), outcome.tries);
}

// Once the unit has been given new settings, a failure says where it listens now, or, where a
// write could not be verified, what it was given.
QString CommissionJob::whereNow() const
{
    if (writesGiven == 0)
        return QString();
    const QString settings = Cli::tr("address %1, %2 bit/s")
                                 .arg(options.newAddress)
                                 .arg(rateSent ? options.newBaudRate : record.previousBaudRate);
    return writesVerified == writesGiven ? Cli::tr("; it now listens at %1").arg(settings)
                                         : Cli::tr("; it was given %1").arg(settings);
}

void CommissionJob::end(Result result, const QString &error, int tries)
{
    stamp(record, result, error, tries);
    print(Records::commission(options.format, record), result, error);
    finish(result);
}
