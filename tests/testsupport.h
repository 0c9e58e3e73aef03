#pragma once

// Shared helpers of the window tests: modal boxes, the Link dialog and the frame log.

#include "comm/commstate.h"
#include "view/messageview.h"
#include "widget/widget.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace TestSupport {

// What a modal box showed before the test closed it.
struct BoxSeen
{
    QString title;
    QString text;
};

// Watches for modal message boxes while a test runs and closes each with its OK button,
// recording its title and text.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] { closeActiveBox(); });
        timer.start();
    }
    QList<BoxSeen> seen;

private:
    void closeActiveBox()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.append({box->windowTitle(), box->text()});
        box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click() : box->accept();
    }
    QTimer timer;
};

// Runs `action` on the next modal dialog that opens (from a timer, while exec() runs).
inline void onNextDialog(std::function<void(QDialog *)> action)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || qobject_cast<QMessageBox *>(dialog))
            return;
        poll->stop();
        poll->deleteLater();
        action(dialog);
    });
    poll->start();
}

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Clicks Link and fills the settings dialog with this port and baud item ("AUTO" or a rate).
inline void link(Widget &window, const QString &port, const QString &baud)
{
    onNextDialog([port, baud](QDialog *dialog) {
        child<QComboBox>(dialog, "comboBoxName")->setCurrentText(port);
        auto *rates = child<QComboBox>(dialog, "comboBoxBaud");
        rates->setCurrentIndex(rates->findText(baud));
        QTest::mouseClick(child<QPushButton>(dialog, "pushButtonOK"), Qt::LeftButton);
    });
    QTest::mouseClick(child<QPushButton>(&window, "pushButtonLink"), Qt::LeftButton);
}

inline void click(Widget &window, const char *button)
{
    QTest::mouseClick(child<QPushButton>(&window, button), Qt::LeftButton);
}

inline MessageView *view(Widget &window)
{
    return child<MessageView>(&window, "textBrowser");
}

// Frames of the log lines of one direction ("->TX  " or "->RX  "), as hex text.
inline QStringList framesLogged(Widget &window, const QString &direction)
{
    QStringList frames;
    MessageView *log = view(window);
    for (int i = 0; i < log->lineCount(); ++i) {
        const QString line = log->lineText(i);
        if (line.mid(19, 6) == direction && log->lineKind(i) != MessageView::Kind::NotSent)
            frames.append(line.mid(25).section(QLatin1Char(' '), 0, 0));
    }
    return frames;
}

inline QStringList sent(Widget &window)
{
    return framesLogged(window, QStringLiteral("->TX  "));
}

inline QStringList received(Widget &window)
{
    return framesLogged(window, QStringLiteral("->RX  "));
}

inline void resetCommState()
{
    CommState = CommStateRecord();
}

} // namespace TestSupport

#include "virtualtransmitter.h"

#include <QDir>
#include <QLabel>
#include <QSerialPort>
#include <QTemporaryDir>

namespace TestSupport {

// A window linked to a virtual transmitter, run from a fresh current directory (so capture
// files land in a temporary folder). Build one per test.
class Bench
{
public:
    explicit Bench(const DeviceSettings &settings = DeviceSettings()) : transmitter(settings)
    {
        resetCommState();
        previousDir = QDir::currentPath();
        QDir::setCurrent(workDir.path());
        if (!transmitter.start())
            qFatal("no pseudo-terminal");
    }
    ~Bench() { QDir::setCurrent(previousDir); }

    // Links at the transmitter's own rate and waits for the device-information reply.
    bool linkAtDeviceRate()
    {
        const int rate = TransmitterModel::baudRateOfCode(transmitter.model().settings().baudCode);
        link(window, transmitter.portPath(), QString::number(rate));
        return QTest::qWaitFor([this] { return received(window).size() == 1; }, 5000);
    }

    // Clicks a button and returns the frame the transmitter received from it.
    QByteArray requestFrom(const char *button)
    {
        const int before = transmitter.requests().size();
        click(window, button);
        if (!QTest::qWaitFor([&] { return transmitter.requests().size() > before; }, 5000))
            return QByteArray();
        return transmitter.requests().last();
    }

    QSerialPort *port() { return window.findChild<QSerialPort *>(); }
    QTimer *timer(const char *name) { return child<QTimer>(&window, name); }
    QString label(const char *name) { return child<QLabel>(&window, name)->text(); }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(&window, name); }
    QComboBox *combo(const char *name) { return child<QComboBox>(&window, name); }

    QTemporaryDir workDir;
    QString previousDir;
    VirtualTransmitter transmitter;
    Widget window;
};

} // namespace TestSupport
