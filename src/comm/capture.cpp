#include "comm/capture.h"

#include <QFile>

namespace Capture {

QString line(const QDateTime &time, bool received, const QString &frameText)
{
    const QString direction = received ? QStringLiteral("->RX  ") : QStringLiteral("->TX  ");
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + direction + frameText;
}

QString appendLine(const QString &path, const QString &header, const QString &line)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return file.errorString();
    QString text = line + QLatin1Char('\n');
    if (!header.isEmpty() && file.size() == 0)
        text.prepend(header + QLatin1Char('\n'));
    // UTF-8 whatever the locale, written as bytes: the same in Qt 5 and Qt 6.
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    return QString();
}

} // namespace Capture
