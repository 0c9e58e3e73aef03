#pragma once

#include <QByteArray>

// One Modbus RTU transaction on a serial line: how long it may take, and whether a reply
// answers the request. No widgets, no timers.
namespace Transaction {

// Time the bytes take on the wire at this rate, 10 bits a byte (start, 8 data, stop), in whole
// milliseconds rounded up.
int wireTimeMs(int bytes, int baudRate);

// The longest reply a request can get: a read of N registers is N * 2 + 5 bytes, a write echo
// 8, anything else the 5 bytes of an exception.
int longestReplyLength(const QByteArray &request);

// How long to wait for the reply: the request and its longest reply on the wire, plus the time
// a device may take to turn the line around.
int responseTimeoutMs(const QByteArray &request, int baudRate);

// How long an answer may take in all once its first byte has come: however slowly it trickles
// in, each of its bytes within the silence that would drop it, it is over by then. The
// first-byte timeout, plus the longest reply's time on the wire, plus that silence per byte.
int answerBoundMs(const QByteArray &request, int baudRate, int firstByteTimeoutMs);

// How long a scan of a line waits for an answer to begin: the request's time on the wire plus
// the wait for the first byte (Timing::ScanAnswerStartBits).
int scanTimeoutMs(const QByteArray &request, int baudRate);

// The wait a unit that answered late gets from now on: its lateness and half again, in steps of
// Timing::LateAnswerStepMs, at most Timing::LateAnswerCeilingMs.
int lateAnswerTimeoutMs(int answerStartMs);

enum class Fit {
    Answer,       // the reply (or exception) to this request
    OtherRequest, // a valid frame that answers something else: a late reply
    OtherSlave,   // a valid frame from a slave the request did not go to
};

// Whether an accepted reply answers the request: from the slave it went to (a request to slave 0
// is answered under the device's own address), with the same function (or its exception), and
// the byte count a read of that many registers gives, or the echo of the register and value
// written.
Fit fit(const QByteArray &request, const QByteArray &reply);

// What bytes that came as the answer to a request, but were dropped, most likely were.
enum class Garble {
    Collision, // from the slave asked, but spoilt: several units answering at once at that address
    CutOff,    // a reply that began too late: another slave's, or the first part of this one's
    Noise,     // nothing that reads as a reply
};
Garble classifyGarbled(const QByteArray &request, const QByteArray &bytes);

} // namespace Transaction
