#include "protocol/transaction.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <algorithm>

namespace Transaction {

namespace {
quint8 byteAt(const QByteArray &frame, int pos)
{
    return pos < frame.size() ? quint8(frame.at(pos)) : 0;
}

} // namespace

int wireTimeMs(int bytes, int baudRate)
{
    if (baudRate <= 0)
        return 0;
    const qint64 bits = qint64(bytes) * Timing::BitsPerByte * 1000;
    return int((bits + baudRate - 1) / baudRate);
}

int longestReplyLength(const QByteArray &request)
{
    switch (ModbusFrame::functionOf(request)) {
    case Modbus::ReadHoldingRegisters:
        return Modbus::ReplyOverhead + 2 * ModbusFrame::countOrValueOf(request);
    case Modbus::WriteSingleRegister:
        return Modbus::RequestLength;
    default:
        return Modbus::ReplyOverhead;
    }
}

int responseTimeoutMs(const QByteArray &request, int baudRate)
{
    return wireTimeMs(request.size() + longestReplyLength(request), baudRate) +
           Timing::TurnaroundAllowanceMs;
}

int answerBoundMs(const QByteArray &request, int baudRate, int firstByteTimeoutMs)
{
    const int longest = longestReplyLength(request);
    return firstByteTimeoutMs + wireTimeMs(longest, baudRate) + Timing::ReceiveSilenceMs * longest;
}

int scanTimeoutMs(const QByteArray &request, int baudRate)
{
    const int startMs =
        baudRate > 0 ? (Timing::ScanAnswerStartBits * 1000 + baudRate - 1) / baudRate : 0;
    return wireTimeMs(request.size(), baudRate) + std::max(startMs, Timing::ScanAnswerStartMinMs);
}

int lateAnswerTimeoutMs(int answerStartMs)
{
    const int step = Timing::LateAnswerStepMs;
    const int wanted = (answerStartMs * 3 / 2 + step - 1) / step * step;
    return std::min(wanted, Timing::LateAnswerCeilingMs);
}

Fit fit(const QByteArray &request, const QByteArray &reply)
{
    const quint8 slave = ModbusFrame::slaveOf(request);
    if (slave != Modbus::BroadcastAddress && byteAt(reply, 0) != slave)
        return Fit::OtherSlave;
    const quint8 function = ModbusFrame::functionOf(request);
    if (byteAt(reply, 1) == (function | Modbus::ExceptionFlag))
        return Fit::Answer;
    if (byteAt(reply, 1) != function)
        return Fit::OtherRequest;
    if (function == Modbus::ReadHoldingRegisters)
        return byteAt(reply, 2) == 2 * ModbusFrame::countOrValueOf(request) ? Fit::Answer
                                                                            : Fit::OtherRequest;
    // A write is answered by the echo of its register and value.
    return reply.mid(2, 4) == request.mid(2, 4) ? Fit::Answer : Fit::OtherRequest;
}

// Several units answering together start with the same slave address and function, and
// overlap from there on: the bytes keep the header of the slave asked and fail as a frame. A
// reply that began after its request had timed out runs into the next request's wait: it
// carries the slave it came from, or it is the first part of a reply whose rest never came.
Garble classifyGarbled(const QByteArray &request, const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return Garble::Noise;
    const quint8 slave = ModbusFrame::slaveOf(request);
    const quint8 from = byteAt(bytes, 0);
    const quint8 function = ModbusFrame::functionOf(request);
    const bool ourFunction = (byteAt(bytes, 1) & ~Modbus::ExceptionFlag) == function;
    if (!ourFunction)
        return Garble::Noise;
    if (slave != Modbus::BroadcastAddress && from != slave)
        return from >= Modbus::MinSlaveAddress && from <= Modbus::MaxSlaveAddress ? Garble::CutOff
                                                                                  : Garble::Noise;
    const int expected = byteAt(bytes, 1) & Modbus::ExceptionFlag ? Modbus::ReplyOverhead
                                                                  : longestReplyLength(request);
    return bytes.size() < expected && bytes.size() >= 3 ? Garble::CutOff : Garble::Collision;
}

} // namespace Transaction
