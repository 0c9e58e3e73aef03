#include "protocol/values.h"

#include "protocol/protocol.h"

#include <QCoreApplication>

#include <QRegularExpression>
#include <QSet>

namespace Values {

QString shown(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("''") : text;
}

QString wholeNumber(const QString &text, qint64 low, qint64 high, const QString &unit, int &number)
{
    static const QRegularExpression digits(QStringLiteral("^-?[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return QCoreApplication::translate("Values", "%1 is not a number").arg(shown(text));
    bool fits = false;
    const qint64 value = text.toLongLong(&fits);
    if (!fits || value < low || value > high)
        return QCoreApplication::translate("Values", "%1 is out of range (%2 to %3%4)").arg(text).arg(low).arg(high).arg(unit);
    number = int(value);
    return QString();
}

namespace {
QString address(const QString &text, int &number)
{
    return wholeNumber(text, Modbus::MinSlaveAddress, Modbus::MaxSlaveAddress, QString(), number);
}
} // namespace

QString addressList(const QString &text, QList<int> &addresses)
{
    addresses.clear();
    QSet<int> seen;
    for (const QString &item : text.split(QLatin1Char(','))) {
        if (item.isEmpty())
            return QCoreApplication::translate("Values", "%1 has an empty item").arg(shown(text));
        const int dash = int(item.indexOf(QLatin1Char('-'), 1)); // a leading minus is a sign
        int first = 0;
        int last = 0;
        QString problem = address(dash < 0 ? item : item.left(dash), first);
        if (problem.isEmpty())
            problem = dash < 0 ? address(item, last) : address(item.mid(dash + 1), last);
        if (!problem.isEmpty())
            return problem;
        if (first > last)
            return QCoreApplication::translate("Values", "%1 runs backwards").arg(item);
        for (int a = first; a <= last; ++a) {
            if (seen.contains(a))
                return QCoreApplication::translate("Values", "address %1 is given twice").arg(a);
            seen.insert(a);
            addresses << a;
        }
    }
    return QString();
}

QString addressListText(const QList<int> &addresses)
{
    QStringList items;
    for (int i = 0; i < addresses.size();) {
        int end = i;
        while (end + 1 < addresses.size() && addresses[end + 1] == addresses[end] + 1)
            ++end;
        items << (end == i ? QString::number(addresses[i])
                           : QStringLiteral("%1-%2").arg(addresses[i]).arg(addresses[end]));
        i = end + 1;
    }
    return items.join(QLatin1Char(','));
}

} // namespace Values
