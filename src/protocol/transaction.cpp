#include "protocol/transaction.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

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

} // namespace Transaction
