// Takes the README's screenshot: the window linked to a virtual transmitter, polling live
// readings. Usage: screenshot OUTPUT.png (run it under a display, e.g. xvfb-run).
#include "appicon.h"
#include "virtualtransmitter.h"
#include "widget/widget.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {
template <typename T> T *find(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(appIcon());
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshot OUTPUT.png\n");
        return 2;
    }
    DeviceSettings settings;
    settings.drift = true;
    settings.temperature = 24.3;
    settings.humidity = 52.0;
    VirtualTransmitter transmitter(settings);
    if (!transmitter.start())
        return 1;

    Widget window;
    window.show();
    // Link through the dialog, as a technician would: port typed in, "AUTO" search.
    QTimer::singleShot(200, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        find<QComboBox>(dialog, "comboBoxName")->setCurrentText(QStringLiteral("/tmp/tervin-sim"));
        find<QPushButton>(dialog, "pushButtonOK")->click();
    });
    transmitter.makeLink(QStringLiteral("/tmp/tervin-sim"));
    find<QPushButton>(&window, "pushButtonLink")->click();
    QTest::qWait(2500); // the search finds 9600 after 1.5 s
    find<QLineEdit>(&window, "lineEditPeriod")->setText(QStringLiteral("500"));
    find<QPushButton>(&window, "pushButtonRead")->click();
    QTest::qWait(4000);
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    return saved ? 0 : 1;
}
