#include "portjob.h"

#include "comm/capture.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

#include <QSerialPort>
#include <QTimer>

namespace {
QByteArray deviceInfoRead(int slave)
{
    return ModbusFrame::buildRequest(quint8(slave), Modbus::ReadHoldingRegisters, Reg::Address,
                                     Reg::DeviceInfoCount);
}

QString dropText(LinkSession::DropReason reason)
{
    switch (reason) {
    case LinkSession::DropReason::Incomplete:
        return Cli::tr("incomplete");
    case LinkSession::DropReason::BadCrc:
        return Cli::tr("bad CRC");
    case LinkSession::DropReason::ExtraBytes:
    case LinkSession::DropReason::OtherSlave:
    case LinkSession::DropReason::AdapterNoise:
        break;
    }
    return Cli::tr("extra bytes");
}
} // namespace

PortJob::PortJob(const CliOptions &options, const QString &portName, const PortOutput &output,
                 QObject *parent)
    : QObject(parent), options(options), portName(portName), output(output),
      serial(new QSerialPort(this)),
      session(new LinkSession(new SerialLinkPort(serial, this), &clock, this)),
      pollTimer(new QTimer(this))
{
    connect(pollTimer, &QTimer::timeout, this, &PortJob::poll);
    connect(session, &LinkSession::written, this, &PortJob::written);
    connect(session, &LinkSession::notSent, this, &PortJob::notSent);
    connect(session, &LinkSession::answered, this, &PortJob::answered);
    connect(session, &LinkSession::timedOut, this,
            [this](const LinkSession::Request &request, int timeoutMs) {
                if (this->options.verbose)
                    this->output.trace(Cli::tr("no answer within %1 ms").arg(timeoutMs));
                unanswered(request, timeoutMs);
            });
    connect(session, &LinkSession::garbled, this,
            [this](const LinkSession::Request &request) { unanswered(request, -1); });
    connect(session, &LinkSession::late, this, &PortJob::late);
    connect(session, &LinkSession::dropped, this, &PortJob::dropped);
    connect(session, &LinkSession::portLost, this, &PortJob::portLost);
    connect(session, &LinkSession::changeChecked, this, &PortJob::changeChecked);
    session->setFixedTimeoutMs(options.timeoutMs);
    if (options.baudRate != 0)
        rates << options.baudRate;
    else
        rates = QList<int>(std::begin(Modbus::SearchOrder), std::end(Modbus::SearchOrder));
    record.port = portName;
    record.command = options.command;
    record.address = options.address;
    record.baudRate = options.baudRate;
}

void PortJob::start()
{
    const PortFailure failure = session->open(portName, currentRate());
    if (failure.failed()) {
        fail(Result::PortError, Cli::tr("cannot open the port: %1").arg(failure.text()));
        return;
    }
    identify();
}

void PortJob::written(const LinkSession::Request &request)
{
    problem.clear();
    sentAny = true;
    logFrame(false, request.frame);
}

void PortJob::notSent(const LinkSession::Request &, const QString &reason)
{
    // Handled once the session is done with its signal.
    QTimer::singleShot(0, this, [this, reason] {
        fail(Result::PortError, Cli::tr("the port failed: %1").arg(reason));
    });
}

void PortJob::late(const QByteArray &frame)
{
    logFrame(true, frame, Cli::tr("(late, ignored)"));
    trouble(Cli::tr("a late reply"), frame);
}

void PortJob::dropped(const QByteArray &bytes, LinkSession::DropReason reason)
{
    if (reason == LinkSession::DropReason::OtherSlave)
        trouble(Cli::tr("a reply from slave %1").arg(ModbusFrame::slaveOf(bytes)), bytes);
    else if (reason != LinkSession::DropReason::AdapterNoise)
        trouble(Cli::tr("a garbled reply (%1)").arg(dropText(reason)), bytes);
}

// A frame that is no answer is reported as it comes, and named again if the request on the line
// then goes unanswered.
void PortJob::trouble(const QString &what, const QByteArray &bytes)
{
    problem = what;
    output.message(Cli::tr("%1, ignored: %2").arg(what, ModbusFrame::hexText(bytes)));
}

void PortJob::portLost(const PortFailure &failure)
{
    if (!done)
        fail(Result::PortError, Cli::tr("the port went away: %1").arg(failure.text()));
}

void PortJob::answered(const LinkSession::Request &request, const QByteArray &reply,
                       const ModbusReply::Decoded &decoded)
{
    logFrame(true, reply);
    if (request.kind == LinkSession::VerifyKind)
        return; // the session tells how the verification came out
    if (ModbusReply::isException(reply)) {
        const QString text = ModbusReply::exceptionText(ModbusReply::exceptionCode(reply));
        if (request.kind == Poll)
            pollOutcome(Result::Exception, text);
        else
            fail(Result::Exception, Cli::tr("the device refused: %1").arg(text));
        return;
    }
    switch (request.kind) {
    case Identify:
        identified();
        break;
    case WriteSetting:
        break; // the session reads the device back where it should now listen
    case Poll:
        pollOutcome(Result::Ok, QString(), decoded.reading);
        break;
    }
}

// No answer that could be read: none within the response timeout, or its bytes were dropped
// (timeoutMs < 0).
void PortJob::unanswered(const LinkSession::Request &request, int timeoutMs)
{
    const bool silent = timeoutMs >= 0;
    switch (request.kind) {
    case Identify:
        if (options.baudRate == 0 && rateIndex + 1 < rates.size()) {
            nextRate(problem);
            return;
        }
        if (problem.isEmpty())
            problem = firstProblem;
        fail(Result::NoAnswer,
             withProblem(options.baudRate == 0 ? Cli::tr("no answer at any rate")
                         : silent              ? Cli::tr("no answer at %1 bit/s within %2 ms")
                                        .arg(currentRate())
                                        .arg(timeoutMs)
                                  : Cli::tr("no readable answer at %1 bit/s").arg(currentRate())));
        break;
    case WriteSetting:
        fail(Result::NoAnswer,
             withProblem(silent ? Cli::tr("no answer to the write within %1 ms").arg(timeoutMs)
                                : Cli::tr("no readable answer to the write")));
        break;
    case Poll:
        pollOutcome(Result::NoAnswer,
                    withProblem(silent ? Cli::tr("no answer within %1 ms").arg(timeoutMs)
                                       : Cli::tr("no readable answer")));
        break;
    default:
        break; // the read-back: the session tells how the verification came out
    }
}

void PortJob::nextRate(const QString &why)
{
    if (!why.isEmpty() && firstProblem.isEmpty())
        firstProblem = Cli::tr("at %1 bit/s, %2").arg(currentRate()).arg(why);
    ++rateIndex;
    session->setBaudRate(currentRate());
    identify();
}

void PortJob::identify()
{
    session->submit({deviceInfoRead(options.address), Identify});
}

void PortJob::identified()
{
    takeIdentity(session->unit());
    switch (options.command) {
    case Command::Scan:
    case Command::Info:
        finishDevice(Result::Ok);
        break;
    case Command::Read:
        startPolling();
        break;
    case Command::SetAddress:
    case Command::SetBaud:
        writeSetting();
        break;
    }
}

// The address goes to slave 0, as the window sends it (the device takes it there whatever its
// address); the rate goes to the address the device answered under.
void PortJob::writeSetting()
{
    if (options.command == Command::SetAddress) {
        record.previousAddress = record.address;
        session->submit(
            {ModbusFrame::buildRequest(Modbus::BroadcastAddress, Modbus::WriteSingleRegister,
                                       Reg::Address, quint16(options.newValue)),
             WriteSetting});
    } else {
        record.previousBaudRate = record.baudRate;
        session->submit({ModbusFrame::buildRequest(
                             quint8(record.address), Modbus::WriteSingleRegister, Reg::BaudCode,
                             quint16(Modbus::baudCodeOfRate(options.newValue))),
                         WriteSetting});
    }
}

void PortJob::changeChecked(const Verification &result)
{
    if (!result.unit.serial.isEmpty() && result.outcome != Verification::OtherUnit)
        takeIdentity(result.unit);
    if (result.verified())
        finishDevice(Result::Ok);
    else
        fail(Result::NotVerified, withProblem(result.reason()));
}

void PortJob::takeIdentity(const UnitIdentity &unit)
{
    record.identified = true;
    record.address = unit.address;
    record.baudRate = session->baudRate();
    record.deviceType = unit.deviceType;
    record.sensorType = unit.sensorType;
    record.firmware = unit.firmware;
    record.serial = unit.serial;
}

void PortJob::startPolling()
{
    const int offset = options.what == What::All ? 0 : int(options.what) - 1;
    pollRegister = quint16(
        ModbusReply::readingsBlock(session->unit().deviceType, options.hundredths) + offset);
    pollTimer->start(options.periodMs);
    poll();
}

// A poll that finds the line busy goes out as soon as it frees.
void PortJob::poll()
{
    const quint16 count = options.what == What::All ? Reg::BlockSize : 1;
    session->poll({ModbusFrame::buildRequest(quint8(record.address), Modbus::ReadHoldingRegisters,
                                             pollRegister, count),
                   Poll});
}

void PortJob::pollOutcome(Result result, const QString &error, const Reading &reading)
{
    ReadingRecord r;
    static_cast<RecordHead &>(r) = record;
    r.time = QDateTime::currentDateTime();
    r.result = result;
    r.error = error;
    r.tries = sentAny ? 1 : 0;
    r.reading = reading;
    const QString text = Records::reading(options.format, r);
    if (!text.isEmpty())
        output.record(text);
    if (result != Result::Ok)
        output.message(error);
    if (exitCodeOf(result) > exitCodeOf(worstPoll))
        worstPoll = result;
    ++outcomes;
    if (options.count != 0 && outcomes >= options.count)
        finish(worstPoll);
}

// A read reports the failure as one more outcome; the other commands as their record.
void PortJob::fail(Result result, const QString &error)
{
    if (done)
        return;
    if (options.command != Command::Read) {
        finishDevice(result, error);
        return;
    }
    pollOutcome(result, error);
    finish(worstPoll);
}

void PortJob::finishDevice(Result result, const QString &error)
{
    record.time = QDateTime::currentDateTime();
    record.result = result;
    record.error = error;
    record.tries = sentAny ? 1 : 0;
    const QString text = Records::device(options.format, record);
    if (!text.isEmpty())
        output.record(text);
    if (result != Result::Ok)
        output.message(error);
    finish(result);
}

void PortJob::finish(Result worst)
{
    if (done)
        return;
    done = true;
    code = exitCodeOf(worst);
    pollTimer->stop();
    session->close();
    output.done();
    emit finished();
}

void PortJob::logFrame(bool received, const QByteArray &frame, const QString &note)
{
    const QString text = ModbusFrame::hexText(frame);
    output.frame(received, text);
    if (options.verbose)
        output.trace(Capture::line(QDateTime::currentDateTime(), received, text) +
                     (note.isEmpty() ? QString() : QStringLiteral("  ") + note));
}

QString PortJob::withProblem(const QString &text) const
{
    return problem.isEmpty() ? text : text + QStringLiteral(" (%1)").arg(problem);
}
