#include "comm/commstate.h"

#include <QLocale>

CommStateRecord CommState;

QDate parseBuildDate(const QString &compilerDate)
{
    // __DATE__ pads one-digit days with a space ("Aug  1 2024"); "MMM dd yyyy" wants "01".
    QString text = compilerDate;
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    return QLocale(QLocale::English).toDate(text, QStringLiteral("MMM dd yyyy"));
}

QTime parseBuildTime(const QString &compilerTime)
{
    return QTime::fromString(compilerTime, QStringLiteral("hh:mm:ss"));
}

const QDate buildDate = parseBuildDate(QStringLiteral(__DATE__));
const QTime buildTime = parseBuildTime(QStringLiteral(__TIME__));
