#pragma once

#include "link/productioncheck.h"

#include <QList>

#include <optional>

// A check run at two points (over MgCl2 at about 33 %RH, then NaCl at about 75 %RH; or two
// chamber settings), combined unit by unit. An offset alone would pass a unit whose slope is wrong:
// one reading 34.5 at 33 and 70.5 at 75 %RH is off by less than 2 %RH at the first point and
// 4.5 at the second. The tool reports the line through the two points; the transmitters have no
// register to take a correction, so it never writes one.

// The unit's reading as a line of the reference's: unit = slope × reference + offset.
struct PointFit
{
    std::optional<double> slope;
    std::optional<double> offset;
};

// Below these spans the two points are too close for a slope: the spread of the two means would
// be most of it. The salt pairs span about 40 %RH.
constexpr double MinimumTemperatureSpan = 5.0; // °C
constexpr double MinimumHumiditySpan = 10.0;   // %RH

struct TwoPointResult
{
    int address = 0; // at the second point, or the first when the unit is missing there
    UnitIdentity identity;
    UnitResult first; // a unit missing from a run has no answer there
    UnitResult second;
    PointFit temperature;
    PointFit humidity;
    Verdict verdict = Verdict::Settling; // pass only when both points pass
};

// The line through (reference mean, unit mean) at the two points, when both are known and the
// reference moved by at least minimumSpan between them.
PointFit fitTwoPoints(const QuantityFigures &first, const QuantityFigures &second,
                      double minimumSpan);

// Units are matched by serial number, or by address where a serial is not known; ordered by
// address.
QList<TwoPointResult> combinePoints(const QList<UnitResult> &first,
                                    const QList<UnitResult> &second);
