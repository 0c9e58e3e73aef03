// Takes the README's screenshots: the window linked to a virtual transmitter, polling live
// readings, and the trend after a simulated hour in a climate chamber. Like the tool, it speaks
// Chinese when the current folder holds Qm/Chinese.qm.
// Usage: screenshot WINDOW.png [TREND.png] (run it under a display, e.g. xvfb-run).
#include "appicon.h"
#include "startup.h"
#include "view/trendwindow.h"
#include "virtualtransmitter.h"
#include "widget/widget.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <cmath>
#include <cstdio>

namespace {
template <typename T> T *find(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

// An hour of polling at 100 ms in a climate chamber going from 30 C and 40 % to 23.5 C and 55 %,
// with the device unplugged for two minutes and a one-sample glitch.
bool saveSimulatedHour(const QString &path)
{
    TrendWindow trend;
    trend.resize(1100, 600);
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - 3600 * 1000;
    for (int i = 0; i < 36000; ++i) {
        const double minutes = i / 600.0;
        if (minutes > 31 && minutes < 33) {
            if (i % 600 == 0)
                trend.addBreak(i * 100LL);
            continue;
        }
        const double settle = std::exp(-minutes / 12.0);
        Reading reading;
        reading.decimals = 2;
        reading.temperature = 23.5 + 6.5 * settle + 0.05 * std::sin(i / 70.0);
        reading.humidity = 55.0 - 15.0 * settle + 0.3 * std::sin(i / 110.0);
        reading.dewPoint = TransmitterModel::dewPoint(*reading.temperature, *reading.humidity);
        if (i == 25000)
            reading.temperature = 19.0;
        trend.addReading(i * 100LL, start + i * 100LL, reading);
    }
    trend.show();
    QTest::qWait(500);
    return trend.grab().save(path);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(appIcon());
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    if (argc < 2) {
        std::fprintf(stderr, "usage: screenshot WINDOW.png [TREND.png]\n");
        return 2;
    }
    QTranslator translator;
    installTranslation(app, translator);
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
    find<QPushButton>(&window, "pushButtonRead")->click();
    if (argc < 3)
        return saved ? 0 : 1;
    return saved && saveSimulatedHour(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
