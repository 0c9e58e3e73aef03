#pragma once

#include "protocol/modbusreply.h"

#include <QDateTime>
#include <QString>

#include <optional>

struct CommStateRecord;

// One accepted reading, in the device's unit: what a poll's reply carried, with the decimals of
// its register block. A reading of one quantity carries only that one.
struct Reading
{
    std::optional<double> temperature;
    std::optional<double> humidity;
    std::optional<double> dewPoint;
    int decimals = 1;        // 1 for the tenths block, 2 for the hundredths block
    bool fahrenheit = false; // a Tervin-F gives temperature and dew point in degrees Fahrenheit

    bool isEmpty() const { return !temperature && !humidity && !dewPoint; }
    QString unit() const; // "°C" or "°F"
};

// The reading a decoded reply brought, from the raw values it stored; empty when it brought none
// (a status reply, an exception, a setting).
Reading readingOf(const ModbusReply::Effect &effect, const CommStateRecord &state);

// The readings file: "time,temperature,humidity,dew_point,unit", UTF-8, "." as decimal mark,
// ISO 8601 local time with milliseconds; a field the reading did not carry stays empty.
namespace ReadingsCsv {
QString header();
QString row(const QDateTime &time, const Reading &reading);
} // namespace ReadingsCsv
