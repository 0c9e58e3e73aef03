#pragma once

// Timing, memory and window helpers of the benchmarks.

#include <QWidget>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/resource.h>
#include <vector>

namespace BenchSupport {

using Clock = std::chrono::steady_clock;

inline double micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// CPU time of the whole process (every thread), user and system.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The part of it spent in the kernel.
inline double systemCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_stime.tv_sec) + double(usage.ru_stime.tv_usec) / 1e6;
}

// The process's resident memory.
inline long rssKiB()
{
    std::ifstream status("/proc/self/statm");
    long pages = 0, resident = 0;
    status >> pages >> resident;
    return resident * 4;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs the event loop as the tool does (QTest::qWait sleeps between its passes, which would delay
// the timers being measured).
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Links the window to the transmitter at its rate through the Link dialog, as a technician would.
inline void linkThroughTheDialog(QWidget &window, const QString &port, int rate)
{
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        dialog->findChild<QComboBox *>(QStringLiteral("comboBoxName"))->setCurrentText(port);
        dialog->findChild<QComboBox *>(QStringLiteral("comboBoxBaud"))
            ->setCurrentText(QString::number(rate));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
    });
    window.findChild<QPushButton *>(QStringLiteral("pushButtonLink"))->click();
}

} // namespace BenchSupport
