#pragma once

#include "records.h"

#include <optional>

// Whether a unit answers, as its availability topic tells it: online from a reply on (an
// exception is a reply too), offline after three unanswered polls in a row, or at once when its
// port is lost. One silent poll is a glitch on the line, three a unit that is gone.
class UnitPresence
{
public:
    static constexpr int MissesForOffline = 3;

    // The unit answered its device-information read.
    std::optional<bool> heard() { return become(true); }
    // After a poll of the unit: its new state when the poll changed it, or nothing.
    std::optional<bool> polled(Result result);
    // Its port is gone, or its address now holds another unit.
    std::optional<bool> gone() { return become(false); }
    bool isOnline() const { return online.value_or(false); }

private:
    std::optional<bool> become(bool nowOnline);

    std::optional<bool> online; // nothing published yet
    int misses = 0;
};
