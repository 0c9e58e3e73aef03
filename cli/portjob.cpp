#include "portjob.h"

#include "comm/capture.h"
#include "comm/serialport.h"
#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

#include <QTimer>

namespace {
QByteArray deviceInfoRead(int slave)
{
    return ModbusFrame::buildRequest(quint8(slave), Modbus::ReadHoldingRegisters, Reg::Address,
                                     Reg::DeviceInfoCount);
}

quint16 startRegisterOf(const QByteArray &request)
{
    return quint16(quint8(request.at(2)) << 8 | quint8(request.at(3)));
}

QString flawText(ModbusReply::Flaw flaw)
{
    switch (flaw) {
    case ModbusReply::Flaw::Incomplete:
        return Cli::tr("incomplete");
    case ModbusReply::Flaw::BadCrc:
        return Cli::tr("bad CRC");
    case ModbusReply::Flaw::ExtraBytes:
        return Cli::tr("extra bytes");
    }
    return QString();
}

// The system's reason, and what to do about it.
QString openFailure(const QSerialPort &port, const QString &portName)
{
    const QString reason = port.errorString();
    switch (portTrouble(port.error(), deviceAccessible(portName))) {
    case PortTrouble::Permission:
        return Cli::tr("%1 (add your account to the dialout group: sudo usermod -aG dialout "
                       "$USER, then log in again)")
            .arg(reason);
    case PortTrouble::InUse:
        return Cli::tr("%1 (another program holds the port)").arg(reason);
    case PortTrouble::Other:
        break;
    }
    return reason;
}
} // namespace

PortJob::PortJob(const CliOptions &options, const QString &portName, const PortOutput &output,
                 QObject *parent)
    : QObject(parent), options(options), portName(portName), output(output),
      port(new QSerialPort(this)),
      line(new RequestLine([this](const RequestLine::Request &r) { return transmit(r); }, this)),
      silence(new QTimer(this)), pollTimer(new QTimer(this))
{
    silence->setSingleShot(true);
    connect(silence, &QTimer::timeout, this, &PortJob::dropBytes);
    connect(pollTimer, &QTimer::timeout, this, &PortJob::poll);
    connect(line, &RequestLine::timedOut, this, &PortJob::timedOut);
    line->setFixedTimeoutMs(options.timeoutMs);
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
    if (!openTransmitterPort(*port, portName, currentRate()).isEmpty()) {
        fail(Result::PortError,
             Cli::tr("cannot open the port: %1").arg(openFailure(*port, portName)));
        return;
    }
    connect(port, &QSerialPort::readyRead, this, &PortJob::readBytes);
    connect(port, &QSerialPort::errorOccurred, this, &PortJob::portError);
    line->setBaudRate(currentRate());
    identify();
}

// The writer of the request line: leftovers of an earlier exchange go first, then the frame.
bool PortJob::transmit(const RequestLine::Request &request)
{
    if (done)
        return false;
    dropBytes();
    problem.clear();
    if (port->write(request.frame) != request.frame.size()) {
        QTimer::singleShot(0, this, [this, reason = port->errorString()] {
            fail(Result::PortError, Cli::tr("the port failed: %1").arg(reason));
        });
        return false;
    }
    logFrame(false, request.frame);
    sentAny = true;
    return true;
}

void PortJob::readBytes()
{
    buffer.append(port->readAll());
    silence->start(Timing::ReceiveSilenceMs);
    switch (ModbusReply::recognise(buffer)) {
    case ModbusReply::Verdict::Wait:
        return;
    case ModbusReply::Verdict::Discard:
        dropBytes();
        return;
    case ModbusReply::Verdict::AdapterFailure:
        fail(Result::PortError,
             Cli::tr("a storm of 0x00/0xFF bytes, the sign of a failing adapter"));
        return;
    case ModbusReply::Verdict::Accept:
        break;
    }
    const QByteArray frame = buffer;
    buffer.clear();
    silence->stop();
    switch (line->offer(frame)) {
    case Transaction::Fit::Answer:
        logFrame(true, frame);
        answered(line->lastRequest(), frame);
        break;
    case Transaction::Fit::OtherRequest:
        logFrame(true, frame, Cli::tr("(late, ignored)"));
        trouble(Cli::tr("a late reply"), frame);
        break;
    case Transaction::Fit::OtherSlave:
        trouble(Cli::tr("a reply from slave %1").arg(quint8(frame.at(0))), frame);
        break;
    }
}

// Bytes that never became a reply are counted and reported.
void PortJob::dropBytes()
{
    silence->stop();
    if (buffer.isEmpty())
        return;
    line->countBadFrame();
    trouble(Cli::tr("a garbled reply (%1)").arg(flawText(ModbusReply::flaw(buffer))), buffer);
    buffer.clear();
}

// A frame that is no answer is reported as it comes, and named again if the request on the line
// then goes unanswered.
void PortJob::trouble(const QString &what, const QByteArray &bytes)
{
    problem = what;
    output.message(Cli::tr("%1, ignored: %2").arg(what, ModbusFrame::hexText(bytes)));
}

void PortJob::portError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || done)
        return;
    // Handled once the port's own signal is done with.
    QTimer::singleShot(0, this, [this, reason = port->errorString()] {
        if (!done)
            fail(Result::PortError, Cli::tr("the port went away: %1").arg(reason));
    });
}

void PortJob::answered(const RequestLine::Request &request, const QByteArray &reply)
{
    if (ModbusReply::isException(reply)) {
        if (request.kind == Poll)
            pollOutcome(Result::Exception, exceptionText(reply));
        else
            fail(Result::Exception, Cli::tr("the device refused: %1").arg(exceptionText(reply)));
        return;
    }
    switch (request.kind) {
    case Identify:
        identified(reply);
        break;
    case WriteSetting:
        verify();
        break;
    case Verify:
        verified(reply);
        break;
    case Poll: {
        const auto effect = ModbusReply::decode(reply, startRegisterOf(request.frame), state);
        pollOutcome(Result::Ok, QString(), readingOf(effect, state));
        break;
    }
    }
}

void PortJob::timedOut(const RequestLine::Request &request, int timeoutMs)
{
    dropBytes();
    if (options.verbose)
        output.trace(Cli::tr("no answer within %1 ms").arg(timeoutMs));
    const bool searching = options.baudRate == 0;
    switch (request.kind) {
    case Identify:
        if (searching && rateIndex + 1 < rates.size()) {
            if (!problem.isEmpty() && firstProblem.isEmpty())
                firstProblem = Cli::tr("at %1 bit/s, %2").arg(currentRate()).arg(problem);
            ++rateIndex;
            port->setBaudRate(currentRate());
            line->setBaudRate(currentRate());
            identify();
            return;
        }
        if (problem.isEmpty())
            problem = firstProblem;
        fail(Result::NoAnswer, withProblem(searching ? Cli::tr("no answer at any rate")
                                                     : Cli::tr("no answer at %1 bit/s within %2 ms")
                                                           .arg(currentRate())
                                                           .arg(timeoutMs)));
        break;
    case WriteSetting:
        fail(Result::NoAnswer,
             withProblem(Cli::tr("no answer to the write within %1 ms").arg(timeoutMs)));
        break;
    case Verify:
        fail(Result::NotVerified,
             withProblem(
                 options.command == Command::SetAddress
                     ? Cli::tr("no answer at address %1 after the change").arg(options.newValue)
                     : Cli::tr("no answer at %1 bit/s after the change").arg(options.newValue)));
        break;
    case Poll:
        pollOutcome(Result::NoAnswer,
                    withProblem(Cli::tr("no answer within %1 ms").arg(timeoutMs)));
        break;
    }
}

void PortJob::identify()
{
    line->submit({deviceInfoRead(options.address), Identify});
}

void PortJob::identified(const QByteArray &reply)
{
    takeDeviceInfo(reply);
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
        line->submit(
            {ModbusFrame::buildRequest(Modbus::BroadcastAddress, Modbus::WriteSingleRegister,
                                       Reg::Address, quint16(options.newValue)),
             WriteSetting});
    } else {
        record.previousBaudRate = record.baudRate;
        line->submit({ModbusFrame::buildRequest(quint8(record.address), Modbus::WriteSingleRegister,
                                                Reg::BaudCode,
                                                quint16(Modbus::baudCodeOfRate(options.newValue))),
                      WriteSetting});
    }
}

// The device takes the new setting once its echo is out: ask it where it should now listen.
void PortJob::verify()
{
    if (options.command == Command::SetAddress) {
        line->submit({deviceInfoRead(options.newValue), Verify});
        return;
    }
    rates = {options.newValue};
    rateIndex = 0;
    port->setBaudRate(options.newValue);
    line->setBaudRate(options.newValue);
    line->submit({deviceInfoRead(record.address), Verify});
}

void PortJob::verified(const QByteArray &reply)
{
    takeDeviceInfo(reply);
    if (options.command == Command::SetAddress && record.address != options.newValue)
        fail(Result::NotVerified,
             Cli::tr("the device still reports address %1").arg(record.address));
    else if (options.command == Command::SetBaud &&
             Modbus::baudRateOfCode(state.deviceBaudCode) != options.newValue)
        fail(Result::NotVerified,
             Cli::tr("the device reports rate code %1").arg(state.deviceBaudCode));
    else
        finishDevice(Result::Ok);
}

void PortJob::takeDeviceInfo(const QByteArray &reply)
{
    ModbusReply::decode(reply, Reg::Address, state);
    record.identified = true;
    record.address = state.deviceAddress;
    record.baudRate = currentRate();
    record.deviceType = state.deviceType;
    record.sensorType = state.sensorType;
    record.firmware = state.firmwareVersion;
    record.serial = DeviceInfo::serialNumber(reply);
}

void PortJob::startPolling()
{
    const int offset = options.what == What::All ? 0 : int(options.what) - 1;
    pollRegister =
        quint16(ModbusReply::readingsBlock(state.deviceType, options.hundredths) + offset);
    pollTimer->start(options.periodMs);
    poll();
}

// A poll that finds the line busy goes out as soon as it frees.
void PortJob::poll()
{
    const quint16 count = options.what == What::All ? Reg::BlockSize : 1;
    line->poll({ModbusFrame::buildRequest(quint8(record.address), Modbus::ReadHoldingRegisters,
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
    silence->stop();
    line->abandon();
    port->close();
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

QString PortJob::exceptionText(const QByteArray &reply) const
{
    const quint8 code = ModbusReply::exceptionCode(reply);
    return Cli::tr("exception 0x%1 (%2)")
        .arg(code, 2, 16, QLatin1Char('0'))
        .arg(QCoreApplication::translate("Widget", ModbusReply::exceptionMeaning(code)));
}

QString PortJob::withProblem(const QString &text) const
{
    return problem.isEmpty() ? text : text + QStringLiteral(" (%1)").arg(problem);
}
