#include "line.h"

#include "collision.h"
#include "protocol/modbusframe.h"

#include <QList>

#include <cstdio>

QByteArray Faults::applyTo(const QByteArray &reply) const
{
    if (zeroBurst > 0)
        return QByteArray(zeroBurst, '\0');
    QByteArray frame = reply;
    if (exceptionCode > 0)
        frame = TransmitterModel::exceptionReply(quint8(reply.at(0)), quint8(reply.at(1)) & 0x7F,
                                                 quint8(exceptionCode));
    if (foreignAddress >= 0) {
        frame[0] = char(foreignAddress);
        frame = ModbusFrame::withCrc(frame.left(frame.size() - 2));
    }
    if (corruptCrc)
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0xFF);
    if (doubleReply)
        frame += frame;
    return garbageBefore + frame;
}

namespace {
// One unit's reply to a frame, empty when it stays silent.
QByteArray unitAnswer(TransmitterModel &unit, const QByteArray &frame, const Faults &faults,
                      bool verbose)
{
    const DeviceSettings before = unit.settings();
    QByteArray reply = unit.handle(frame);
    if (faults.ignoreWrites) {
        unit.applyPendingBaudCode();
        unit.settings() = before;
    }
    if (verbose)
        std::fprintf(stderr, "slave %d: request %s -> reply %s\n", before.address,
                     frame.toHex().constData(),
                     reply.isEmpty() ? "(none)" : reply.toHex().constData());
    // The reply to a baud-rate write still goes out at the old rate; the new one applies after.
    unit.applyPendingBaudCode();
    return faults.noReply || reply.isEmpty() ? QByteArray() : faults.applyTo(reply);
}
} // namespace

LineAnswer answerOnLine(std::deque<TransmitterModel> &units, const QByteArray &frame, int lineRate,
                        const Faults &faults, bool verbose)
{
    QList<QByteArray> answers;
    for (TransmitterModel &unit : units) {
        if (lineRate != unit.baudRate()) {
            if (verbose)
                std::fprintf(stderr, "slave %d ignored %s (line at %d bit/s, device at %d)\n",
                             unit.settings().address, frame.toHex().constData(), lineRate,
                             unit.baudRate());
            continue; // at another rate the device hears only noise
        }
        const QByteArray reply = unitAnswer(unit, frame, faults, verbose);
        if (!reply.isEmpty())
            answers.append(reply);
    }
    if (answers.isEmpty())
        return {};
    return {answers.size() == 1 ? answers.first() : Collision::overlap(answers),
            int(answers.size())};
}
