#pragma once

// How a record is put together, shared by the record kinds of every command (records.cpp,
// checkrecords.cpp): its columns, its named values, and the text line's parts.

#include "records.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

namespace Records {

// The CSV header's columns of a command: the fixed leading ones, then the command's own.
QStringList columnsOf(Command command);
// A CSV field, quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &text);

// A record's named values, each with its JSON value and its CSV text (a reading keeps the
// decimals of its register block there). A value not known is null in JSON and empty in CSV.
class Fields
{
public:
    void add(const QString &name, const QJsonValue &value, const QString &text)
    {
        json.insert(name, value);
        texts.insert(name, text);
    }
    void number(const QString &name, qint64 value, bool known = true)
    {
        add(name, known ? QJsonValue(value) : QJsonValue(), known ? QString::number(value) : "");
    }
    void text(const QString &name, const QString &value)
    {
        add(name, value.isEmpty() ? QJsonValue() : QJsonValue(value), value);
    }
    QString csv(Command command) const
    {
        QStringList row;
        for (const QString &column : columnsOf(command))
            row << csvField(texts.value(column));
        return row.join(QLatin1Char(','));
    }
    // Every record of a command has the keys of its CSV header, so that a script reading one
    // kind of record reads them all: null for a value not known, or not of this kind of record.
    QJsonObject keyed(Command command) const
    {
        QJsonObject object;
        for (const QString &column : columnsOf(command))
            object.insert(column, json.contains(column) ? json.value(column) : QJsonValue());
        return object;
    }
    QString line(Format format, Command command) const
    {
        return format == Format::Csv
                   ? csv(command)
                   : QString::fromUtf8(
                         QJsonDocument(keyed(command)).toJson(QJsonDocument::Compact));
    }

private:
    QJsonObject json;
    QHash<QString, QString> texts;
};

// The fields every record starts with.
Fields headFields(const RecordHead &head);
// Text: "TIME  PORT: " and the parts, for people.
QString textLine(const RecordHead &head, const QStringList &parts);
// "address 5 (was 1)", "9600 bit/s (was 115200)": where the unit answers.
QStringList identityParts(const RecordHead &head, int previousAddress = 0, int previousRate = 0);

// A time as people read it: "3 min 20 s", "45 s", "12 min" (seconds rounded up).
QString durationText(qint64 ms);

} // namespace Records
