#include "link/lineroster.h"

#include <algorithm>

namespace {
constexpr int CollisionsForConflict = 2;
constexpr int PercentileOf = 95;
} // namespace

void UnitHealth::answered(int responseMs, bool exception)
{
    ++replies;
    exceptions += exception ? 1 : 0;
    lastResponseMs = responseMs;
    totalResponseMs += responseMs;
    recent[size_t(recentCount % RecentAnswers)] = quint16(std::clamp(responseMs, 0, 0xFFFF));
    ++recentCount;
}

int UnitHealth::p95ResponseMs() const
{
    const int count = std::min(recentCount, RecentAnswers);
    if (count == 0)
        return -1;
    std::array<quint16, RecentAnswers> sorted = recent;
    const auto end = sorted.begin() + count;
    const auto rank = sorted.begin() + (count * PercentileOf + 99) / 100 - 1;
    std::nth_element(sorted.begin(), rank, end);
    return *rank;
}

int UnitHealth::successPercent() const
{
    return requests > 0 ? int(qint64(replies) * 100 / requests) : -1;
}

LineUnit::State LineUnit::state() const
{
    if (collisionsInARow >= CollisionsForConflict)
        return State::Conflict;
    return watch.isSilent() ? State::Silent : State::Answering;
}

const LineUnit *LineRoster::find(int address) const
{
    const auto found = units.find(address);
    return found == units.end() ? nullptr : &found->second;
}

LineUnit &LineRoster::unit(int address)
{
    LineUnit &unit = units[address];
    unit.address = address;
    return unit;
}

QList<int> LineRoster::addresses() const
{
    QList<int> list;
    for (const auto &entry : units)
        list << entry.first;
    return list;
}

quint16 LineRoster::deviceTypeAt(int address) const
{
    const LineUnit *found = find(address);
    return found ? found->identity.deviceType : 0;
}

QString LineRoster::serialAt(int address) const
{
    const LineUnit *found = find(address);
    return found && found->identity.known ? found->identity.serial : QString();
}

QList<int> LineRoster::addressesOf(const QString &serial) const
{
    QList<int> list;
    for (const auto &[address, unit] : units)
        if (unit.identity.known && unit.identity.serial == serial)
            list << address;
    return list;
}

QList<int> LineRoster::answering() const
{
    QList<int> list;
    for (const auto &[address, unit] : units)
        if (unit.state() == LineUnit::State::Answering && unit.health.replies > 0)
            list << address;
    return list;
}

// A different serial or type at an address is another transmitter: its history starts anew.
LineRoster::Arrival LineRoster::identify(int address, const UnitIdentity &heard)
{
    LineUnit &known = unit(address);
    const bool first = !known.identity.known;
    const bool swapped = known.identity.isOtherUnit(heard);
    if (swapped) {
        const LineUnit fresh = [&] {
            LineUnit unit;
            unit.address = address;
            unit.watch = known.watch;
            return unit;
        }();
        known = fresh;
    }
    known.identity = heard;
    return first ? Arrival::First : swapped ? Arrival::Swapped : Arrival::Same;
}

void LineRoster::move(int from, int to)
{
    const auto found = units.find(from);
    if (from == to || found == units.end())
        return;
    LineUnit moved = found->second;
    units.erase(found);
    moved.address = to;
    moved.identity.address = to;
    units[to] = moved;
}

void LineRoster::requestWritten(int address)
{
    if (contains(address))
        ++unit(address).health.requests;
}

void LineRoster::answered(int address, int responseMs, bool exception, qint64 nowMs)
{
    LineUnit &answering = unit(address);
    answering.health.answered(responseMs, exception);
    answering.watch.answered(nowMs);
    answering.collisionsInARow = 0;
}

void LineRoster::readingTaken(int address, const Reading &reading, qint64 nowMs)
{
    LineUnit &taken = unit(address);
    taken.reading = reading;
    taken.readingAtMs = nowMs;
    taken.readingCurrent = true;
}

void LineRoster::unanswered(int address, qint64 sentAtMs, qint64 nowMs, bool garbled,
                            bool collision)
{
    if (!contains(address))
        return;
    LineUnit &missed = unit(address);
    ++(garbled ? missed.health.badFrames : missed.health.timeouts);
    missed.watch.unanswered(sentAtMs, nowMs);
    missed.readingCurrent = false;
    missed.collisionsInARow = collision ? missed.collisionsInARow + 1 : 0;
}

void LineRoster::lateFrame(int address)
{
    if (contains(address))
        ++unit(address).health.late;
}

void LineRoster::markReadingsStale()
{
    for (auto &entry : units)
        entry.second.readingCurrent = false;
}
