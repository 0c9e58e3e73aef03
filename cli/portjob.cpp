#include "portjob.h"

#include "jobs.h"
#include "link/broadcastcheck.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "requests.h"

#include <algorithm>

PortJob *PortJob::create(const CliOptions &options, const QString &portName,
                         const PortOutput &output, LinkPort *port, LinkClock *clock,
                         QObject *parent)
{
    switch (options.command) {
    case Command::Scan:
        if (!options.addresses.isEmpty())
            return new LineScanJob(options, portName, output, port, clock, parent);
        break;
    case Command::Read:
        return new ReadJob(options, portName, output, port, clock, parent);
    case Command::Commission:
        return new CommissionJob(options, portName, output, port, clock, parent);
    case Command::Check:
        return new CheckJob(options, portName, output, port, clock, parent);
    case Command::Info:
    case Command::SetAddress:
    case Command::SetBaud:
        break;
    }
    return new DeviceJob(options, portName, output, port, clock, parent);
}

PortJob::PortJob(const CliOptions &options, const QString &portName, const PortOutput &output,
                 LinkPort *port, LinkClock *clock, QObject *parent)
    : QObject(parent), options(options), portName(portName), output(output),
      exchange(new Exchange(options, output, port, clock, this)),
      search(new RateSearch(
          exchange->link(),
          [this](int rate) {
              if (exchange->baudRate() != rate)
                  exchange->setBaudRate(rate);
              return true;
          },
          this))
{
    connect(exchange, &Exchange::lost, this, [this](const QString &error) {
        if (!done)
            fail(Result::PortError, error);
    });
    connect(search, &RateSearch::candidateDone, search, &RateSearch::advance);
    connect(search, &RateSearch::finished, this, &PortJob::searched);
}

void PortJob::start()
{
    const PortFailure failure = exchange->open(portName, rates().first());
    if (failure.failed())
        fail(Result::PortError, Cli::tr("cannot open the port: %1").arg(failure.text()));
    else
        begin();
}

QList<int> PortJob::rates() const
{
    if (options.baudRate != 0)
        return {options.baudRate};
    return QList<int>(std::begin(Modbus::SearchOrder), std::end(Modbus::SearchOrder));
}

void PortJob::find(const QList<int> &slaves, Found whenFound, Missed whenMissed)
{
    searchSlaves = slaves;
    found = std::move(whenFound);
    missed = std::move(whenMissed);
    search->start({{slaves}, rates(), options.retries});
}

// A unit answered, refused, or none did: a refusal ends the search as a lost port does.
void PortJob::searched(const LinkOutcome &last)
{
    const Outcome outcome = exchange->outcomeOf(last);
    if (outcome.ok()) {
        found(outcome, search->slave());
        return;
    }
    if (outcome.result == Result::Exception || outcome.result == Result::PortError) {
        Miss miss{outcome.result, failureText(outcome, QString(), QString()), outcome.tries};
        if (outcome.result == Result::Exception) { // the unit refuses under its own address
            miss.address = ModbusFrame::slaveOf(outcome.reply);
            miss.baudRate = exchange->baudRate();
        }
        missed(miss);
        return;
    }
    const bool one = rates().size() == 1 && searchSlaves.size() == 1;
    Result result = outcome.result;
    if (!one) {
        result = Result::NoAnswer;
        if (!search->heard().isEmpty()) {
            const HeardInstead::Kind first = search->heard().first().kind;
            result = first == HeardInstead::Garbled      ? Result::Garbled
                     : first == HeardInstead::OtherSlave ? Result::OtherSlave
                                                         : Result::NoAnswer;
        }
    }
    missed({result, missedText(outcome), outcome.tries});
}

QString PortJob::heardText(const HeardInstead &heard)
{
    switch (heard.kind) {
    case HeardInstead::Late:
        return Cli::tr("a late reply");
    case HeardInstead::OtherSlave:
        return Cli::tr("a reply from slave %1").arg(heard.slave);
    case HeardInstead::Garbled:
        break;
    }
    const char *reasons[] = {QT_TRANSLATE_NOOP("Cli", "incomplete"),
                             QT_TRANSLATE_NOOP("Cli", "bad CRC"),
                             QT_TRANSLATE_NOOP("Cli", "extra bytes")};
    const int reason = std::min(int(heard.reason), 2);
    return Cli::tr("a garbled reply (%1)").arg(Cli::tr(reasons[reason]));
}

// Why no unit was found, naming the first thing heard instead of an answer.
QString PortJob::missedText(const Outcome &last) const
{
    const int rate = rates().last();
    if (rates().size() == 1 && searchSlaves.size() == 1)
        return failureText(last, Cli::tr("no answer at %1 bit/s within %2 ms").arg(rate),
                           Cli::tr("no readable answer at %1 bit/s").arg(rate));
    QString text = rates().size() == 1 ? Cli::tr("no answer at %1 bit/s").arg(rate)
                                       : Cli::tr("no answer at any rate");
    if (!search->heard().isEmpty()) {
        const HeardInstead &first = search->heard().first();
        text += QStringLiteral(" (%1)").arg(
            Cli::tr("at %1 bit/s, %2").arg(first.baudRate).arg(heardText(first)));
    }
    return text;
}

QString PortJob::failureText(const Outcome &outcome, const QString &silent,
                             const QString &unreadable)
{
    QString text;
    switch (outcome.result) {
    case Result::Ok:
    case Result::OutOfRange:
        return QString();
    case Result::Exception:
        return Cli::tr("the device refused: %1").arg(outcome.detail);
    case Result::PortError:
    case Result::SeveralUnits: // results of a whole job, never of one exchange
    case Result::NotSettled:
        return outcome.detail;
    case Result::NoAnswer:
    case Result::OtherSlave:
        text = silent.arg(outcome.timeoutMs);
        break;
    case Result::Garbled:
        text = unreadable;
        break;
    case Result::NotVerified:
        text = outcome.verification ? outcome.verification->reason() : QString();
        break;
    }
    return outcome.problem.isEmpty() ? text : text + QStringLiteral(" (%1)").arg(outcome.problem);
}

void PortJob::guardBroadcastWrite(int newAddress, std::function<void()> write)
{
    checkBroadcastWrite(exchange->link(), options.retries,
                        [this, newAddress, write = std::move(write)](const BroadcastCheck &check) {
                            if (check.portGone()) {
                                fail(Result::PortError, exchange->outcomeOf(check.asked).detail);
                                return;
                            }
                            if (!check.several()) {
                                write();
                                return;
                            }
                            const QString error =
                                check.addresses.size() > 1
                                    ? Cli::tr("%n units answer on this line, every one of them "
                                              "would take address %1: %2; nothing written",
                                              nullptr, int(check.addresses.size()))
                                          .arg(newAddress)
                                          .arg(check.names())
                                    : Cli::tr("several units answer on this line at once, every "
                                              "one of them would take address %1; nothing written")
                                          .arg(newAddress);
                            fail(Result::SeveralUnits, error);
                        });
}

void PortJob::stamp(RecordHead &record, Result result, const QString &error, int tries) const
{
    record.time = QDateTime::currentDateTime();
    record.command = options.command;
    record.port = portName;
    record.result = result;
    record.error = error;
    record.tries = tries;
}

void PortJob::identify(RecordHead &record, const UnitIdentity &unit) const
{
    record.address = unit.address;
    record.baudRate = exchange->baudRate();
    record.serial = unit.serial;
}

void PortJob::identify(DeviceRecord &record, const UnitIdentity &unit) const
{
    identify(static_cast<RecordHead &>(record), unit);
    record.identified = true;
    record.deviceType = unit.deviceType;
    record.sensorType = unit.sensorType;
    record.firmware = unit.firmware;
}

void PortJob::place(RecordHead &record, const Miss &miss)
{
    if (record.address == 0)
        record.address = miss.address;
    if (record.baudRate == 0)
        record.baudRate = miss.baudRate;
}

void PortJob::print(const QString &line, Result result, const QString &error)
{
    if (!line.isEmpty())
        output.record(line);
    if (result != Result::Ok && !error.isEmpty())
        output.message(error);
}

void PortJob::finish(Result worst, int atLeast)
{
    if (done)
        return;
    done = true;
    search->stop();
    code = std::max(exitCodeOf(worst), atLeast);
    exchange->close();
    output.done();
    emit finished();
}
