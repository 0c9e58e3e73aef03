#include "framelog.h"

bool FrameLog::open(const QString &path, QString *error)
{
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    clock.start();
    return true;
}

// Each line reaches the file at once, so that a soak reads every event up to the last.
void FrameLog::write(const char *kind, const QByteArray &text)
{
    if (!file.isOpen())
        return;
    QByteArray line = QByteArray::number(clock.elapsed()) + ' ' + kind;
    if (!text.isEmpty())
        line += ' ' + text;
    file.write(line + '\n');
    file.flush();
}
