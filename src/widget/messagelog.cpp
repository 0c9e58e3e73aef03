// The frame log: time-stamped lines in the message view and, while capturing, in a file.
#include "widget/widget.h"

#include "comm/capture.h"
#include "forms/widgetform.h"
#include "view/messageview.h"

#include <QDateTime>
#include <QDir>

namespace {
QString captureFolder()
{
    return QDir::currentPath() + QStringLiteral("/Data");
}
} // namespace

void Widget::AppendMessage(const QString &frameText, bool received)
{
    LogLine(received ? MessageView::Kind::Received : MessageView::Kind::Sent, frameText);
}

void Widget::LogLine(MessageView::Kind kind, const QString &frameText, const QString &note)
{
    const bool received = kind == MessageView::Kind::Received || kind == MessageView::Kind::Dropped;
    const QString line = Capture::line(QDateTime::currentDateTime(), received, frameText);
    form->textBrowser->appendLine(kind, note.isEmpty() ? line : line + QStringLiteral("  ") + note);
    // The capture records the frames that went over the wire, one plain line each.
    const bool frame = kind == MessageView::Kind::Sent || kind == MessageView::Kind::Received;
    if (frame && !captureFileName.isEmpty())
        CaptureLine(line);
}

// A line of the tool's own (a timeout, a lost adapter): in the view only, for the capture file
// holds only frames that crossed the wire.
void Widget::LogNote(const QString &note)
{
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    form->textBrowser->appendLine(MessageView::Kind::NotSent, stamp + QStringLiteral("  ") + note);
}

void Widget::CaptureLine(const QString &line)
{
    AppendToDataFile(captureFileName, QString(), line, captureErrorShown,
                     tr("Cannot write the capture file %1: %2"));
}

// Appends a line to a file in the Data folder (made when missing), opening and closing the file
// for each line so that every line is on disk when this returns. The first line of a new file is
// its header, if it has one. A failure is reported once, until errorShown is reset.
void Widget::AppendToDataFile(const QString &name, const QString &header, const QString &line,
                              bool &errorShown, const QString &failureText)
{
    QDir().mkpath(captureFolder());
    const QString path = captureFolder() + QStringLiteral("/") + name;
    const QString failure = Capture::appendLine(path, header, line);
    if (failure.isEmpty() || errorShown)
        return;
    errorShown = true;
    showError(failureText.arg(QDir::toNativeSeparators(path), failure));
}

void Widget::CheckBoxSaveSlot(int State)
{
    if (State == Qt::Checked) {
        captureFileName = QStringLiteral("Log") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")) +
                          QStringLiteral(".txt");
        captureErrorShown = false;
        QDir().mkpath(captureFolder());
    } else {
        captureFileName.clear();
    }
}
