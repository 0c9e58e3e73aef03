#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A JSON object written field by field, in the order given, into compact UTF-8: the state a
// broker gets for every reading, made without building a document first (QJsonObject costs
// more than the rest of a poll). Text is escaped as JSON requires; numbers are written as
// QJsonDocument writes them, the shortest form that reads back the same.
class JsonWriter
{
public:
    JsonWriter &text(const char *key, const QString &value);
    JsonWriter &textOrNull(const char *key, const QString &value); // null when empty
    JsonWriter &number(const char *key, qint64 value);
    JsonWriter &number(const char *key, const std::optional<double> &value); // or null
    // The object, in memory of its own size: it may wait long in a queue.
    QByteArray object() const;

private:
    static constexpr int TypicalSize = 512; // a reading's state is about 330 bytes

    void key(const char *name);

    QByteArray out;
};
