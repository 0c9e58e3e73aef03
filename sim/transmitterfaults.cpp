// The virtual transmitter's misbehaviour on purpose: faulty replies, replies in pieces, a mute
// device, and its frame log.
#include "virtualtransmitter.h"

#include "protocol/modbusframe.h"

#include <QTimer>

#include <algorithm>

void VirtualTransmitter::setMuted(bool on)
{
    if (on != muted)
        frameLog.event(on ? "MUTE" : "UNMUTE");
    muted = on;
}

void VirtualTransmitter::setSeed(quint32 seed)
{
    random.seed(seed);
    // Each unit's noise draws from a sequence of its own, so that a unit's readings do not depend
    // on how often the others are asked.
    for (int i = 0; i < unitCount(); ++i)
        unit(i).seedNoise(seed + quint32(i));
    frameLog.event("SEED", QString::number(seed));
}

bool VirtualTransmitter::openFrameLog(const QString &path, QString *error)
{
    return frameLog.open(path, error);
}

// How the frame log tags a reply: "bad-crc" when its CRC is wrong, by chance or on every reply;
// "faulty" when another fault has changed its bytes; "good" otherwise.
const char *VirtualTransmitter::corruptAtRandom(QByteArray &reply)
{
    const bool byChance = fault.corruptPercent > 0 && reply.size() > 2 &&
                          random.generateDouble() * 100 < fault.corruptPercent;
    if (byChance)
        reply[reply.size() - 1] = char(reply.at(reply.size() - 1) ^ 0xFF);
    if (byChance || fault.corruptCrc)
        return "bad-crc";
    const bool altered = fault.zeroBurst > 0 || !fault.garbageBefore.isEmpty() ||
                         fault.foreignAddress >= 0 || fault.doubleReply;
    return altered ? "faulty" : "good";
}

void VirtualTransmitter::sendPieces(const QByteArray &bytes)
{
    const int pieces = std::clamp(fault.splitPieces, 1, int(bytes.size()));
    const int size = (bytes.size() + pieces - 1) / pieces;
    int atMs = 0;
    for (int i = 0; i * size < bytes.size(); ++i) {
        const QByteArray piece = bytes.mid(i * size, size);
        atMs += i == 0 ? 0 : splitGap();
        if (atMs <= 0)
            writeMaster(piece);
        else
            QTimer::singleShot(atMs, Qt::PreciseTimer, this, [this, piece, plug = plugs] {
                if (plug == plugs)
                    writeMaster(piece);
            });
    }
}

int VirtualTransmitter::splitGap()
{
    if (fault.splitGapMaxMs <= fault.splitGapMs)
        return fault.splitGapMs;
    return int(random.bounded(fault.splitGapMs, fault.splitGapMaxMs + 1));
}
