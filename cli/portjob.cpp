#include "portjob.h"

#include "jobs.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "requests.h"

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
      exchange(new Exchange(options, output, port, clock, this))
{
    connect(exchange, &Exchange::lost, this, [this](const QString &error) {
        if (!done)
            fail(Result::PortError, error);
    });
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

void PortJob::find(const QList<int> &slaves, Found found, Missed missed)
{
    search = Search();
    search.slaves = slaves;
    search.found = std::move(found);
    search.missed = std::move(missed);
    askNext();
}

void PortJob::askNext()
{
    exchange->send(Requests::deviceInfo(search.slaves.at(search.slaveIndex)),
                   [this](const Outcome &outcome) { searched(outcome); });
}

void PortJob::searched(const Outcome &outcome)
{
    const int slave = search.slaves.at(search.slaveIndex);
    if (outcome.ok()) {
        search.found(outcome, slave);
        return;
    }
    if (outcome.result == Result::Exception || outcome.result == Result::PortError) {
        Miss miss{outcome.result, failureText(outcome, QString(), QString()), outcome.tries};
        if (outcome.result == Result::Exception) { // the unit refuses under its own address
            miss.address = ModbusFrame::slaveOf(outcome.reply);
            miss.baudRate = exchange->baudRate();
        }
        search.missed(miss);
        return;
    }
    if (search.heardRate == 0 && !outcome.problem.isEmpty()) {
        search.heard = outcome;
        search.heardRate = exchange->baudRate();
    }
    if (++search.slaveIndex == search.slaves.size()) {
        search.slaveIndex = 0;
        if (++search.rateIndex == rates().size()) {
            const bool heard = search.heardRate != 0;
            const bool one = rates().size() == 1 && search.slaves.size() == 1;
            const Result result = one     ? outcome.result
                                  : heard ? search.heard.result
                                          : Result::NoAnswer;
            search.missed({result, missedText(outcome), outcome.tries});
            return;
        }
        exchange->setBaudRate(rates().at(search.rateIndex));
    }
    askNext();
}

// Why no unit was found, naming the first thing heard instead of an answer.
QString PortJob::missedText(const Outcome &last) const
{
    const int rate = rates().last();
    if (rates().size() == 1 && search.slaves.size() == 1)
        return failureText(last, Cli::tr("no answer at %1 bit/s within %2 ms").arg(rate),
                           Cli::tr("no readable answer at %1 bit/s").arg(rate));
    QString text = rates().size() == 1 ? Cli::tr("no answer at %1 bit/s").arg(rate)
                                       : Cli::tr("no answer at any rate");
    if (search.heardRate != 0)
        text += QStringLiteral(" (%1)").arg(
            Cli::tr("at %1 bit/s, %2").arg(search.heardRate).arg(search.heard.problem));
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

void PortJob::finish(Result worst)
{
    if (done)
        return;
    done = true;
    code = exitCodeOf(worst);
    exchange->close();
    output.done();
    emit finished();
}
