#pragma once

#include "link/checksettings.h"
#include "link/readingseries.h"
#include "link/unitidentity.h"
#include "protocol/reading.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// A production check: every unit of a line against a reference, each judged once it has settled.
// Fed by whoever polls the line (a reading as each poll completes, a unit's silence as the poll
// cycle notices it), it answers at any moment each unit's verdict and figures. No port, no timer:
// times are the caller's monotonic milliseconds since the check started.
//
// The rules, per unit:
// - Settled: over the last settle window, the unit's readings and the reference's have each
//   stayed within the bands (max - min), one reading at least every maxGapMs and no silence among
//   them. A typed reference is always steady.
// - Judged at the moment it settles, once: per quantity the unit's mean over the window minus the
//   reference's mean over the same window. It passes when every quantity both give is within the
//   tolerance less the reference's uncertainty. The verdict then stands whatever comes later.
// - Until then "settling", with the time left. A reference that is silent makes every unit wait,
//   and no deviation is given against its old values.
// - At the unstable limit (from the check's start), a unit not settled that had answered for a
//   whole window and whose own readings had not stayed within the bands over one is "unstable",
//   for good. One that was steady on its own but waits for the reference keeps waiting, and one
//   heard for less than a window by then (back from a silence) keeps settling.
// - A unit silent before its verdict, or without a reading for longer than maxGapMs, has "no
//   answer"; when it answers again its readings start a new run, which must settle afresh.
// - The reference unit is not among the units judged.
enum class Verdict { Pass, Fail, Settling, Unstable, NoAnswer };

// "pass", "fail", "settling", "unstable", "no_answer": the words records and reports carry.
QString verdictKey(Verdict verdict);
std::optional<Verdict> verdictOfKey(const QString &key);
// The verdict as people read it, in their language: "pass", "fail", "settling", "unstable",
// "no answer".
QString verdictText(Verdict verdict);
// Pass, fail and unstable are final; settling and no answer may still change.
bool isFinal(Verdict verdict);

// One quantity (°C or %RH) of a unit against the reference, over the window of its figures.
struct QuantityFigures
{
    std::optional<double> mean; // the unit's
    std::optional<double> standardDeviation;
    std::optional<double> referenceMean;
    std::optional<double> deviation; // mean - referenceMean, against a current reference only
    double tolerance = 0;            // ± the unit is held to
    double uncertainty = 0;          // ± of the reference, the guard band taken off the tolerance

    bool isJudged() const { return deviation.has_value(); }
    // |deviation| <= tolerance - uncertainty.
    bool isWithin() const;
};

struct UnitResult
{
    int address = 0;
    UnitIdentity identity;
    bool fahrenheit = false; // the unit reads °F; its figures here are in °C all the same
    Verdict verdict = Verdict::Settling;
    // Settling: the settle time still needed at the least; nothing while the reference is silent.
    std::optional<qint64> settleLeftMs;
    bool waitingForReference = false; // settling on account of the reference, not of the unit
    // The window the figures cover: the settled window (pass, fail), the window up to the limit
    // (unstable), the steady stretch so far (settling).
    qint64 windowStartMs = 0;
    qint64 windowEndMs = 0;
    QuantityFigures temperature;    // °C
    QuantityFigures humidity;       // %RH
    std::optional<double> dewPoint; // the unit's mean, °C: reported, never judged
};

class ProductionCheck
{
public:
    explicit ProductionCheck(const CheckSettings &settings);

    const CheckSettings &settings() const { return setup; }

    // A reading of the unit at this address, in the unit's own unit (Reading::fahrenheit), at ms
    // since the check started. The reference's readings come here too, under its address. An
    // identity that names another unit than before (serial, device type) starts that address
    // afresh.
    void addReading(int address, const UnitIdentity &identity, qint64 ms, const Reading &reading);
    // The unit at this address has not answered since sinceMs. Its next reading ends the silence.
    // An address never heard becomes a unit with no answer.
    void unitSilent(int address, qint64 sinceMs);

    // Every unit under check, by address, as at nowMs (not before the last event fed).
    QList<UnitResult> results(qint64 nowMs) const;
    std::optional<UnitResult> result(int address, qint64 nowMs) const;
    // Every unit has a final verdict.
    bool isFinished(qint64 nowMs) const;
    // The reference unit as it last identified itself (unknown for typed values or until then).
    UnitIdentity referenceIdentity() const { return referenceUnit.identity; }
    // The reference gives nothing current: a unit that is silent or has been quiet too long.
    bool isReferenceQuiet(qint64 nowMs) const;

private:
    struct Unit
    {
        UnitIdentity identity;
        bool fahrenheit = false;
        ReadingSeries series;
        std::optional<UnitResult> verdict; // final
    };

    Unit &unitAt(int address, const UnitIdentity &identity);
    void passLimit(qint64 ms);
    void judge(int address, Unit &unit, qint64 ms);
    UnitResult evaluate(int address, const Unit &unit, qint64 atMs) const;
    std::optional<UnitResult> unstableAtLimit(int address, const Unit &unit) const;
    UnitResult resultAt(int address, const Unit &unit, qint64 nowMs) const;
    UnitResult withFigures(UnitResult result, const Unit &unit, qint64 fromMs, qint64 toMs) const;
    SettleBands bands() const;

    CheckSettings setup;
    QMap<int, Unit> units;
    Unit referenceUnit; // for a reference on the line
    bool limitPassed = false;
};
