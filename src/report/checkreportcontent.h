#pragma once

#include "link/productioncheck.h"
#include "link/twopoint.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What a production check's report holds, the PDF and the CSV alike.
struct CheckReportContent
{
    QDateTime time; // when the check ended, with the local offset from UTC
    QString note;   // the operator's free text: lot, order, chamber
    CheckSettings settings;
    UnitIdentity referenceUnit;      // the reference on the line, as it identified itself
    QList<UnitResult> units;         // a run at one point
    QList<TwoPointResult> twoPoints; // a run combined with the first point's report, instead

    bool isTwoPoint() const { return !twoPoints.isEmpty(); }
    // The verdict of each unit: at its point, or at both.
    QList<Verdict> verdicts() const
    {
        QList<Verdict> all;
        for (const UnitResult &result : units)
            all << result.verdict;
        for (const TwoPointResult &result : twoPoints)
            all << result.verdict;
        return all;
    }
};
