#pragma once

#include <QByteArray>
#include <QList>

// Several transmitters answering at once on a two-wire RS-485 line. No I/O, no timers.
namespace Collision {

// Units never start at the same instant: each starts this many bit times after the one before
// it, so the first byte of the earliest reply comes through and the rest overlaps.
constexpr int SkewBits = 15;

// What a UART at the master's end decodes when these replies go out together, each SkewBits
// after the previous one. Where two drivers fight, a space (0) wins over a mark (1), so a byte
// stays whole only while no one else talks; the receiver keeps framing on the start bits it
// finds. The length is as unreliable as on a real line. One collision in 65536 would pass the
// CRC there; here none does, so that a collision is always seen as one.
QByteArray overlap(const QList<QByteArray> &replies);

} // namespace Collision
