#pragma once

#include "link/checkfeed.h"
#include "report/checkreportcontent.h"
#include "view/unittable.h"

#include <QCoreApplication>
#include <QMap>

#include <functional>
#include <memory>

// The Line window's check: the units of the line against a reference, fed by the window's own poll
// cycle (it asks nothing of the line itself), and the columns it adds to the unit table: each
// unit's deviation from the reference, the settle time it still needs, and its verdict (green
// pass, red fail, grey until then).
class LineCheck : public UnitColumns
{
    Q_DECLARE_TR_FUNCTIONS(LineCheck)

public:
    enum Column { VerdictColumn, Settled, TemperatureDeviation, HumidityDeviation, ColumnCount };

    // nowMs tells the session's clock.
    LineCheck(const LineRoster *roster, std::function<qint64()> nowMs);
    ~LineCheck() override;

    // A new check of the units at these addresses (a reference unit among them is not judged),
    // from now; the last check's results are gone.
    void start(const CheckSettings &settings, const QList<int> &addresses);
    // The check ends where it stands: its results stay as they are now.
    void stop();
    bool isRunning() const { return running; }
    bool hasResults() const { return feed != nullptr; }
    const CheckSettings &settings() const { return feed->settings(); }
    // When the check ends at the latest, on the session's clock.
    qint64 deadlineMs() const { return feed->deadlineMs(); }

    // A poll of the window's cycle ended. Returns true when the check ends with it: every unit has
    // its final verdict, or the deadline has passed.
    bool polled(int address, const LinkOutcome &outcome);
    // The check's end, once the deadline has passed (the window's clock ticks between polls too).
    bool endIfPastDeadline();

    // Every unit judged, as now or as at the check's end.
    QList<UnitResult> results() const;
    // "8 units: 6 pass, 2 fail"
    QString summary() const;
    // What the report holds, with the operator's note, at this time.
    CheckReportContent reportContent(const QString &note, const QDateTime &time) const;

    int count() const override { return ColumnCount; }
    QString header(int column) const override;
    QVariant data(int address, int column, int role) const override;
    void refresh() override;

private:
    qint64 atMs() const;
    bool isReference(int address) const;
    QVariant resultData(const UnitResult &result, int column, int role) const;
    QString text(const UnitResult &result, int column) const;
    QVariant sortValue(const UnitResult &result, int column) const;
    QString toolTip(const UnitResult &result, int column) const;

    const LineRoster *roster;
    std::function<qint64()> nowMs;
    std::unique_ptr<CheckFeed> feed;
    bool running = false;
    qint64 endedMs = 0;
    QMap<int, UnitResult> shown; // as at the last refresh
};
