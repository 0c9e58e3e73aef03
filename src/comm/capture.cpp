#include "comm/capture.h"

#include <QFile>

namespace Capture {

namespace {
const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString Sent = QStringLiteral("->TX  ");
const QString Received = QStringLiteral("->RX  ");
constexpr int TimeLength = 19;
constexpr int DirectionLength = 6;
} // namespace

QString line(const QDateTime &time, bool received, const QString &frameText)
{
    return time.toString(TimeFormat) + (received ? Received : Sent) + frameText;
}

QString stampNow()
{
    static qint64 shownSecond = -1;
    static QString shown;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    if (ms / 1000 != shownSecond) {
        shownSecond = ms / 1000;
        shown = QDateTime::fromMSecsSinceEpoch(ms).toString(TimeFormat);
    }
    return shown;
}

QString lineNow(bool received, const QString &frameText)
{
    return stampNow() + (received ? Received : Sent) + frameText;
}

std::optional<FrameLine> parseLine(const QString &line)
{
    const QString direction = line.mid(TimeLength, DirectionLength);
    if (direction != Sent && direction != Received)
        return std::nullopt;
    FrameLine frame;
    frame.time = QDateTime::fromString(line.left(TimeLength), TimeFormat);
    frame.received = direction == Received;
    const QString rest = line.mid(TimeLength + DirectionLength);
    const int noteAt = int(rest.indexOf(QStringLiteral("  ")));
    frame.frameText = noteAt < 0 ? rest : rest.left(noteAt);
    frame.note = noteAt < 0 ? QString() : rest.mid(noteAt + 2);
    if (!frame.time.isValid())
        return std::nullopt;
    return frame;
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
