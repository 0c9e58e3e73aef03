#pragma once

#include "link/lineroster.h"
#include "link/linksession.h"
#include "link/productioncheck.h"

#include <QList>

// A production check fed by a line's poll cycle, the same way in tervin-cli and in the window:
// each poll's completion gives the unit's reading, at the moment it came on the session's
// monotonic clock; a unit the roster finds silent (three requests unanswered and two seconds) is
// reported silent from its first unanswered request. A single lost reply costs a unit nothing: the
// check's gap rule covers it. The check costs no line time of its own: it only reads what the
// polls bring.
class CheckFeed
{
public:
    // The check of the units at these addresses, from startMs on the session's clock. A reference
    // unit among them is polled with them and never judged.
    CheckFeed(const CheckSettings &settings, const QList<int> &addresses, qint64 startMs);

    const CheckSettings &settings() const { return check.settings(); }
    // The units judged, in address order.
    const QList<int> &units() const { return judged; }
    // What the poll cycle asks: the units and the reference unit, in address order.
    QList<int> polledAddresses() const;

    // A poll ended at nowMs: a reading goes to the check; a unit the roster finds silent is
    // reported silent. Polls of other addresses are no part of the check. Returns whether every
    // unit now has its final verdict; only a poll of a unit that has its own, or of the reference,
    // can make it so, and only then are the others looked at.
    bool polled(int address, const LinkOutcome &outcome, const LineRoster &roster, qint64 nowMs);

    // Every unit judged, as at nowMs, in address order: an address never heard has no answer.
    QList<UnitResult> results(qint64 nowMs) const;
    // One of them.
    UnitResult result(int address, qint64 nowMs) const;
    // Every unit has a final verdict (pass, fail or unstable).
    bool isFinished(qint64 nowMs) const;
    // When the check ends whatever its units do: one settle window past the unstable limit, as a
    // unit steady on its own keeps waiting for a reference that never settles.
    qint64 deadlineMs() const;
    bool isPastDeadline(qint64 nowMs) const { return nowMs >= deadlineMs(); }
    qint64 elapsedMs(qint64 nowMs) const { return nowMs - startMs; }
    UnitIdentity referenceIdentity() const { return check.referenceIdentity(); }
    bool isReferenceQuiet(qint64 nowMs) const;

private:
    bool isUnderCheck(int address) const;
    bool isReferenceUnit(int address) const;

    ProductionCheck check;
    QList<int> judged;
    qint64 startMs;
};
