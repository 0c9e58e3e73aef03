#pragma once

#include "link/unitidentity.h"

#include <QString>

struct ReadingRecord;

// Where the readings of a run go besides standard output: each destination (a broker, ...) is a
// sink of its own, fed by the run's output, never by a path of its own through the jobs. A sink
// hears of two things, in the order they happen on the line:
//  - a unit said who it is (its device information read): the first time it is heard at its
//    address, and again after it was silent, when it may be the same unit or another one put in
//    its place;
//  - each poll of a unit, answered or not, with the unit's identity once it has said it.
class RecordSink
{
public:
    virtual ~RecordSink() = default;

    virtual void identified(const QString &port, const UnitIdentity &unit) = 0;
    virtual void reading(const ReadingRecord &record) = 0;
};
