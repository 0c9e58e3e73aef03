#pragma once

#include "link/answerwatch.h"
#include "link/unitidentity.h"
#include "protocol/reading.h"

#include <QList>

#include <array>
#include <map>
#include <optional>

// How a unit of the line has been answering since it joined the roster (or since it was swapped).
struct UnitHealth
{
    int requests = 0;   // requests written to it
    int replies = 0;    // its answers, exception replies among them
    int timeouts = 0;   // requests whose answer did not begin in time
    int badFrames = 0;  // answers that began but were dropped (bad CRC, cut off, extra bytes)
    int exceptions = 0; // exception replies
    int late = 0;       // its frames that came after their request had timed out
    int lastResponseMs = -1;
    qint64 totalResponseMs = 0;

    void answered(int responseMs, bool exception);
    int meanResponseMs() const { return replies > 0 ? int(totalResponseMs / replies) : -1; }
    // The 95th percentile of its last RecentAnswers response times (-1 before the first).
    int p95ResponseMs() const;
    // Answers per request in per cent (-1 before the first request).
    int successPercent() const;

    static constexpr int RecentAnswers = 128;

private:
    std::array<quint16, RecentAnswers> recent{};
    int recentCount = 0;
};

// One unit of the line, as the tool knows it at its address.
struct LineUnit
{
    enum class State {
        Answering, // answers, or has not been asked enough to say otherwise
        Silent,    // three requests in a row and two seconds without an answer
        Conflict,  // garbled answers at its address, twice in a row: two units at one address?
    };

    int address = 0;
    UnitIdentity identity;          // known once its device information was read at this address
    std::optional<Reading> reading; // its last reading, decoded with its own device type
    qint64 readingAtMs = 0;         // when it came (monotonic)
    bool readingCurrent = false;    // no request to it has gone unanswered since
    UnitHealth health;
    AnswerWatch watch;
    int collisionsInARow = 0;

    State state() const;
};

// The units on one line, keyed by their address. A unit joins when it answers, or when the
// owner names its address (a poll of a list); it stays until the roster is cleared, so that a
// unit that stops answering is reported, never dropped. "A different unit" is a fact about one
// address: a new serial there starts that unit's history anew; another address is another unit.
class LineRoster
{
public:
    // What a whole device-information reply at an address means.
    enum class Arrival { First, Same, Swapped };

    const LineUnit *find(int address) const;
    LineUnit &unit(int address); // joins the roster if it was not there
    bool contains(int address) const { return units.count(address) > 0; }
    QList<int> addresses() const;
    int size() const { return int(units.size()); }
    void clear() { units.clear(); }

    // The device type a reply from this slave is decoded with (0 until it is known).
    quint16 deviceTypeAt(int address) const;
    QString serialAt(int address) const;
    // Addresses at which this serial number answered: more than one for a unit at two addresses.
    QList<int> addressesOf(const QString &serial) const;
    // The units that answer now (not silent), in address order.
    QList<int> answering() const;

    Arrival identify(int address, const UnitIdentity &heard);
    // The unit at `from` took the address `to`: its history goes with it.
    void move(int from, int to);
    void requestWritten(int address);
    void answered(int address, int responseMs, bool exception, qint64 nowMs);
    void readingTaken(int address, const Reading &reading, qint64 nowMs);
    // A request written at sentAtMs ended unanswered; `collision` when its bytes looked like
    // several replies at once.
    void unanswered(int address, qint64 sentAtMs, qint64 nowMs, bool garbled, bool collision);
    void lateFrame(int address);
    // Polling stopped: no reading is current any more.
    void markReadingsStale();

private:
    std::map<int, LineUnit> units;
};
