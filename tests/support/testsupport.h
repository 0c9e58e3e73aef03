#pragma once

// Shared fixtures of the tests: the reference frames, a GUI main that closes every modal box,
// the Link dialog, the frame log, and a window beside a virtual transmitter.

#include "comm/capture.h"
#include "comm/commstate.h"
#include "link/linksession.h"
#include "protocol/protocol.h"
#include "view/messageview.h"
#include "virtualtransmitter.h"
#include "widget/widget.h"

#include <QSerialPort>
#include <QtTest>
#include <QtWidgets> // precompiled for the window's tests

#include <functional>

namespace TestSupport {

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

inline QStringList linesOf(const QString &path)
{
    return QString::fromUtf8(readAll(path)).split('\n', Qt::SkipEmptyParts);
}

// Frames from an independent Modbus implementation, as (kind, bytes, what): "request
// 0003010000018427  # read slave 0 reg 0x0100 count 1".
inline QList<QStringList> loadVectors()
{
    QList<QStringList> vectors;
    for (const QString &line : linesOf(TERVIN_TEST_DATA "/modbus-rtu-frames.txt"))
        if (!line.startsWith('#'))
            vectors << line.section('#', 0, 0).simplified().split(' ') +
                           QStringList(line.section("# ", 1));
    return vectors;
}

// Every modal message box is recorded once as "title/text" and closed with its Yes or OK button,
// unless a test leaves boxes open for a while. nextBox() takes the oldest, waiting up to ten
// seconds; a box no test took fails the run.
inline QStringList boxesSeen;
inline bool tickNextCheckBox = false; // the next box's check box ("Don't ask again") is ticked
inline bool leaveBoxesOpen = false;
inline std::function<void()> whenBoxOpens; // runs as a box is first seen

// What the address write asks first, each time until the user says not to ask again.
inline const QString AddressConfirmation = "Address/The new address is sent to every device on the "
                                           "line. Connect only one transmitter. Continue?";

inline QString nextBox()
{
    (void)QTest::qWaitFor([] { return !boxesSeen.isEmpty(); }, 10000);
    return boxesSeen.isEmpty() ? QString() : boxesSeen.takeFirst();
}

inline int runGuiTest(QObject &test, int argc, char *argv[])
{
    QTimer closer;
    QPointer<QMessageBox> seen;
    QObject::connect(&closer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (box != seen) {
            seen = box;
            if (whenBoxOpens)
                whenBoxOpens();
            boxesSeen << box->windowTitle() + '/' + box->text();
        }
        if (leaveBoxesOpen)
            return;
        if (box->checkBox())
            box->checkBox()->setChecked(std::exchange(tickNextCheckBox, false));
        QAbstractButton *yes = box->button(QMessageBox::Yes);
        (yes ? yes : box->button(QMessageBox::Ok))->click();
    });
    closer.start(10);
    const int failures = QTest::qExec(&test, argc, argv);
    for (const QString &box : boxesSeen)
        qWarning("a box no test took: %s", qPrintable(box));
    return failures + boxesSeen.size();
}
#define TERVIN_GUI_TEST_MAIN(TestObject)                                                           \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        return TestSupport::runGuiTest(test, argc, argv);                                          \
    }

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("no child %s", name);
    return found;
}

inline void click(QWidget &window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(&window, button), Qt::LeftButton);
}

// Runs `action` on the next modal dialog that opens (from a timer, while exec() runs).
template <typename Action> void onNextDialog(Action action)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (dialog && !qobject_cast<QMessageBox *>(dialog)) {
            poll->disconnect();
            poll->deleteLater();
            action(dialog);
        }
    });
    poll->start(10);
}

// Clicks Link and fills the settings dialog with this port and baud item ("AUTO" or a rate).
inline void link(Widget &window, const QString &port, const QString &baud)
{
    onNextDialog([port, baud](QDialog *dialog) {
        child<QComboBox>(dialog, "comboBoxName")->setCurrentText(port);
        child<QComboBox>(dialog, "comboBoxBaud")->setCurrentText(baud);
        click(*dialog, "pushButtonOK");
    });
    click(window, "pushButtonLink");
}

// A combo box's items, in order.
inline QStringList itemsOf(QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

// The row of the unit at this address in a table of units (by its first column), or -1.
inline int rowOfUnit(const QAbstractItemModel *units, int address)
{
    for (int row = 0; row < units->rowCount(); ++row)
        if (units->index(row, 0).data().toInt() == address)
            return row;
    return -1;
}

inline MessageView *view(Widget &window)
{
    return child<MessageView>(&window, "textBrowser");
}

// The frames of the sent ("TX") or received ("RX") log lines; lines not sent and dropped bytes are
// left out.
inline QStringList frames(Widget &window, const char *direction)
{
    QStringList frames;
    MessageView *log = view(window);
    const bool received = QString(direction) == "RX";
    const auto kind = received ? MessageView::Kind::Received : MessageView::Kind::Sent;
    for (int i = 0; i < log->lineCount(); ++i) {
        const auto line = Capture::parseLine(log->lineText(i));
        if (line && line->received == received && log->lineKind(i) == kind)
            frames << line->frameText;
    }
    return frames;
}

// The lines of the view that are notes of the tool's own ("... lost: ...", "... is back").
inline QStringList notes(Widget &window)
{
    QStringList found;
    MessageView *log = view(window);
    for (int i = 0; i < log->lineCount(); ++i)
        if (!Capture::parseLine(log->lineText(i)))
            found << log->lineText(i).section("  ", 1, -1);
    return found;
}

inline LinkSession *session(Widget &window)
{
    return child<LinkSession>(&window, "linkSession");
}

// A window beside a virtual transmitter, run from a scratch current directory so capture files
// land there, polling at the shortest period. The port is reached through a link in that folder
// that goes when the transmitter is unplugged, as a USB adapter's device node does (so a port
// number used again elsewhere is never taken for it). Build one per test.
struct Bench
{
    explicit Bench(const DeviceSettings &settings = DeviceSettings()) : transmitter(settings)
    {
        CommState = CommStateRecord();
        QDir::setCurrent(workDir.path());
        if (!transmitter.start() || !transmitter.makeLink(path))
            qFatal("no pseudo-terminal");
        edit("lineEditPeriod")->setText("100");
    }
    ~Bench() { QDir::setCurrent(previousDir); }

    // Links at the transmitter's own rate and waits for the device-information reply.
    bool linkAtDeviceRate()
    {
        const int before = frames(window, "RX").size();
        link(window, path,
             QString::number(Modbus::baudRateOfCode(transmitter.model().settings().baudCode)));
        return QTest::qWaitFor([&] { return frames(window, "RX").size() == before + 1; }, 5000);
    }
    // Clicks a button and returns the frame the transmitter received from it.
    QByteArray requestFrom(const char *button)
    {
        const int before = transmitter.requests().size();
        click(window, button);
        (void)QTest::qWaitFor([&] { return transmitter.requests().size() > before; }, 5000);
        return transmitter.requests().value(before);
    }
    // One periodic read of this "ALL"/"Temperature"/... item; returns its frame.
    QByteArray pollOnce(int measurementItem)
    {
        combo("comboBoxNum")->setCurrentIndex(measurementItem);
        const QByteArray request = requestFrom("pushButtonRead");
        click(window, "pushButtonRead");
        return request;
    }
    // The lines of the one capture file.
    QStringList captured()
    {
        const QStringList files = QDir("Data").entryList(QDir::Files);
        return files.size() == 1 ? linesOf("Data/" + files[0]) : QStringList();
    }
    QSerialPort *port() { return window.findChild<QSerialPort *>(); }
    QTimer *timer(const char *name) { return child<QTimer>(&window, name); }
    // The text of a label, or of a status line.
    QString label(const char *name)
    {
        return child<QWidget>(&window, name)->property("text").toString();
    }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(&window, name); }
    QComboBox *combo(const char *name) { return child<QComboBox>(&window, name); }

    const QString previousDir = QDir::currentPath();
    QTemporaryDir workDir;
    const QString path = workDir.filePath("ttyUSB0");
    VirtualTransmitter transmitter;
    Widget window;
};

} // namespace TestSupport
