// The frame log: time-stamped lines in the message view and, while capturing, in a file.
#include "widget/widget.h"

#include "comm/capture.h"
#include "comm/filefailure.h"
#include "forms/widgetform.h"
#include "view/messageview.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

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
    const QString line = Capture::lineNow(received, frameText);
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
    form->textBrowser->appendLine(MessageView::Kind::NotSent,
                                  Capture::stampNow() + QStringLiteral("  ") + note);
}

void Widget::CaptureLine(const QString &line)
{
    AppendToDataFile(captureFileName, QString(), line, captureErrorShown,
                     tr("Cannot write the capture file %1: %2"));
}

// Appends a line to a file in the Data folder (made when missing), opening and closing the file
// for each line so that every line is on disk when this returns. The first line of a new file is
// its header, if it has one. A failure is reported once, until errorShown is reset, with its cause
// in the user's language.
void Widget::AppendToDataFile(const QString &name, const QString &header, const QString &line,
                              bool &errorShown, const QString &failureText)
{
    QDir().mkpath(captureFolder());
    const QString path = captureFolder() + QStringLiteral("/") + name;
    const QString failure = Capture::appendLine(path, header, line);
    if (failure.isEmpty() && errorShown) { // written again after a failure: said where
        errorShown = false;
        LogNote(tr("Writing to %1 again").arg(QDir::toNativeSeparators(path)));
    }
    if (failure.isEmpty() || errorShown)
        return;
    errorShown = true;
    showError(failureText.arg(QDir::toNativeSeparators(path), FileFailure::text(failure)));
}

// A data file starts: it is made at once in the Data folder, and the view says where it is (a
// note, which no capture holds). A folder where it cannot be made gets one box that names the
// folder; the file's lines then keep trying without another.
void Widget::StartDataFile(const QString &name, const QString &note, bool &errorShown)
{
    QDir().mkpath(captureFolder());
    QFile file(captureFolder() + QStringLiteral("/") + name);
    errorShown = !file.open(QIODevice::WriteOnly | QIODevice::Append);
    if (!errorShown) {
        LogNote(note.arg(QDir::toNativeSeparators(file.fileName())));
        return;
    }
    showError(
        tr("Cannot write in the folder %1: %2")
            .arg(QDir::toNativeSeparators(captureFolder()), FileFailure::text(file.errorString())));
}

void Widget::CheckBoxSaveSlot(int State)
{
    if (State == Qt::Checked) {
        captureFileName = QStringLiteral("Log") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")) +
                          QStringLiteral(".txt");
        StartDataFile(captureFileName, tr("Saving the frames to %1"), captureErrorShown);
    } else {
        captureFileName.clear();
    }
}
