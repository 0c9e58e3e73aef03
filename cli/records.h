#pragma once

#include "link/unitidentity.h"
#include "link/twopoint.h"
#include "options.h"
#include "protocol/reading.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// What a command found out, and how each format prints it. A record is one line: text for
// people, CSV for spreadsheets, JSON (one object per line) for scripts and databases.
enum class Result {
    Ok,
    NoAnswer,
    Garbled,
    OtherSlave,
    Exception,
    NotVerified,
    OutOfRange,
    PortError,
    SeveralUnits, // an address write refused: more than one unit would take it
    NotSettled,   // check: a unit unstable, or still settling when the check ended
};
// "ok", "no_answer", "garbled", "other_slave", "exception", "not_verified", "out_of_range",
// "port_error", "several_units", "not_settled"
QString resultName(Result result);
QStringList resultNames();
int exitCodeOf(Result result);

// What every record of every command starts with, failures included: when, which command on
// which port, the unit as far as it is known, how it went, and in how many tries.
struct RecordHead
{
    QDateTime time; // printed with its offset from UTC
    Command command = Command::Scan;
    QString port;
    int address = 0;  // where the unit answers (0: not known)
    int baudRate = 0; // the rate it answers at (0: not known)
    QString serial;   // empty until the unit has said it
    Result result = Result::Ok;
    QString error; // why it failed; empty when it did not
    int tries = 0; // how often the deciding request went out, resends included (0: never)
};

// The device information: scan, info, set-address and set-baud.
struct DeviceRecord : RecordHead
{
    bool identified = false; // the three fields below hold what the unit said
    quint16 deviceType = 0;
    quint16 sensorType = 0;
    quint16 firmware = 0;
    int previousAddress = 0;  // set-address, commission: the address before the change
    int previousBaudRate = 0; // set-baud, commission: the rate before the change
};

// One poll of read: the reading, or why there is none, and the unit polled as its device
// information described it (device type, sensor, firmware), once it has been heard. The line
// printed carries the head and the reading; a broker's state message carries the unit too.
struct ReadingRecord : RecordHead
{
    Reading reading;
    std::optional<UnitIdentity> unit;
};

// commission: the unit's identity, its old settings (previous_*) and new ones (the head's
// address and rate: where it listens now, also when it failed), and the reading checked.
struct CommissionRecord : DeviceRecord
{
    Reading reading;
};

// scan --addresses: after a record for each unit found, how the line went.
struct ScanSummaryRecord : RecordHead
{
    QList<int> asked;   // the addresses asked
    int units = 0;      // the unit records printed before it
    QList<int> garbled; // addresses that gave garbled replies (two units at one address)
    qint64 durationMs = 0;
    QList<int> cutOff; // addresses whose answers began too late for the wait
};

// check: a unit's verdict and the figures behind it, at this point; with --first-point also the
// verdict at both points and the line through them. The head's result follows the verdict that
// decides (at both points, when there are two): pass ok, fail out_of_range, unstable and settling
// not_settled, no answer no_answer.
struct CheckRecord : DeviceRecord
{
    UnitResult unit;
    std::optional<TwoPointResult> bothPoints;
};

// check: after a record for each unit, how the check went.
struct CheckSummaryRecord : RecordHead
{
    QList<int> asked; // the addresses given, the reference among them or not
    CheckSettings settings;
    UnitIdentity referenceUnit;
    QList<Verdict> verdicts; // each unit's deciding verdict
    qint64 durationMs = 0;   // from the first poll to the end
    QString note;
    QString reportPdf; // the report's files, written
    QString reportCsv;
};

namespace Records {

// 2026-12-07T14:02:17.123+01:00: local time to the millisecond and its offset from UTC.
QString isoTime(const QDateTime &time);

// The first line of CSV output: the fixed leading columns (time, command, port, address, baud,
// serial, result, error, tries), then the command's own. Empty for the other formats and with
// --no-header.
QString header(const CliOptions &options);

// The record's line. A failure is a line in CSV and JSON; in text it is empty, as every
// failure's reason goes to standard error (in every format).
QString device(Format format, const DeviceRecord &record);
QString reading(Format format, const ReadingRecord &record);
QString commission(Format format, const CommissionRecord &record);
QString scanSummary(Format format, const ScanSummaryRecord &record);
QString check(Format format, const CheckRecord &record);
QString checkSummary(Format format, const CheckSummaryRecord &record);

} // namespace Records
