#pragma once

#include "options.h"
#include "protocol/reading.h"

#include <QDateTime>
#include <QString>

// What a command found out about one port, and how each format prints it. A record is one line:
// text for people, CSV for spreadsheets, JSON (one object per line) for scripts and databases.
enum class Result { Ok, NoAnswer, Exception, NotVerified, PortError };
QString resultName(Result result); // "ok", "no_answer", "exception", "not_verified", "port_error"
int exitCodeOf(Result result);

// The device information of scan, info, set-address and set-baud.
struct DeviceRecord
{
    QDateTime time;
    QString port;
    Command command = Command::Scan;
    Result result = Result::Ok;
    QString error;
    bool identified = false; // the fields below hold what the device said
    int address = 0;
    int baudRate = 0;
    quint16 deviceType = 0;
    quint16 sensorType = 0;
    quint16 firmware = 0;
    QString serial;
    int previousAddress = 0;  // set-address: the address before the change
    int previousBaudRate = 0; // set-baud: the rate before the change
};

// One poll of read: the reading, or why there is none.
struct ReadingRecord
{
    QDateTime time;
    QString port;
    Result result = Result::Ok;
    QString error;
    Reading reading;
};

namespace Records {

// The first line of CSV output, or nothing for the other formats.
QString header(Format format, Command command);
// The record's line; empty for a failure in text, which goes to standard error instead (as does
// every failure, in every format).
QString device(Format format, const DeviceRecord &record);
QString reading(Format format, const ReadingRecord &record);

} // namespace Records
