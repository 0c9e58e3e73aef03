#include "jsonwriter.h"

#include <QLocale>

#include <algorithm>

namespace {
constexpr char FirstPrintable = 0x20;

bool needsEscape(char c)
{
    return c == '"' || c == '\\' || (c >= 0 && c < FirstPrintable);
}

// The text in quotes, with quotes, backslashes and control characters escaped.
void appendEscaped(QByteArray &out, const QString &text)
{
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    int plainFrom = 0;
    for (int i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (!needsEscape(c))
            continue;
        out.append(utf8.constData() + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        if (c >= FirstPrintable) {
            out += '\\';
            out += c;
            continue;
        }
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 0xf];
    }
    out.append(utf8.constData() + plainFrom, utf8.size() - plainFrom);
    out += '"';
}
} // namespace

void JsonWriter::key(const char *name)
{
    if (out.isEmpty())
        out.reserve(TypicalSize);
    out += out.isEmpty() ? '{' : ',';
    out += '"';
    out += name;
    out += "\":";
}

QByteArray JsonWriter::object() const
{
    QByteArray whole(out.size() + 1, '}');
    std::copy(out.cbegin(), out.cend(), whole.begin());
    return whole;
}

JsonWriter &JsonWriter::text(const char *name, const QString &value)
{
    key(name);
    appendEscaped(out, value);
    return *this;
}

JsonWriter &JsonWriter::textOrNull(const char *name, const QString &value)
{
    if (value.isEmpty()) {
        key(name);
        out += "null";
        return *this;
    }
    return text(name, value);
}

JsonWriter &JsonWriter::number(const char *name, qint64 value)
{
    key(name);
    out += QByteArray::number(value);
    return *this;
}

JsonWriter &JsonWriter::number(const char *name, const std::optional<double> &value)
{
    key(name);
    out += value ? QByteArray::number(*value, 'g', QLocale::FloatingPointShortest) : "null";
    return *this;
}
