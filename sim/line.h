#pragma once

#include "transmittermodel.h"

#include <QByteArray>

#include <deque>

// Misbehaviour on purpose, applied to every reply while set.
struct Faults
{
    int splitPieces = 1;       // send the reply in this many pieces...
    int splitGapMs = 0;        // ...this far apart,
    int splitGapMaxMs = 0;     // or, when larger, each gap drawn afresh from splitGapMs to this
    bool corruptCrc = false;   // flip the CRC's last byte
    double corruptPercent = 0; // flip it in this share of the replies, drawn at random
    bool noReply = false;
    int delayMs = 0;           // wait this long before replying
    QByteArray garbageBefore;  // bytes sent just before the reply
    int foreignAddress = -1;   // reply as this slave address instead (CRC made to fit)
    int exceptionCode = 0;     // answer every request with this exception instead
    bool doubleReply = false;  // the reply twice, back to back in one write
    int zeroBurst = 0;         // this many 0x00 bytes instead of the reply (failing adapter)
    bool ignoreWrites = false; // echo writes but keep the settings (a change that does not take)

    // The reply as these faults change it (corruptPercent is drawn by the line's owner).
    QByteArray applyTo(const QByteArray &reply) const;
};

// What comes back on the line after a frame: every unit that listens at the line's rate handles
// it (a rate written takes effect once its reply is out), each reply with the faults applied;
// one reply goes out as it is, several collide (Collision::overlap). No I/O, no timers.
struct LineAnswer
{
    QByteArray bytes; // empty when no unit answers
    int answering = 0;
};
LineAnswer answerOnLine(std::deque<TransmitterModel> &units, const QByteArray &frame, int lineRate,
                        const Faults &faults, bool verbose = false);
