#include "comm/capture.h"

#include <QFile>
#include <QTextStream>

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
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    if (!header.isEmpty() && file.size() == 0)
        stream << header << '\n';
    stream << line << '\n';
    stream.flush();
    if (stream.status() != QTextStream::Ok || !file.flush())
        return file.errorString();
    return QString();
}

} // namespace Capture
