// The window's CPU while it polls every 100 ms, shown on the offscreen platform, against the
// virtual transmitter in a process of its own (as a real device is outside the tool): the share
// of one core the tool takes over a steady stretch, and per poll cycle. The profile mode runs a
// number of polls in one function, so that callgrind can collect exactly those:
//   valgrind --tool=callgrind --toggle-collect='*profiledPolls*' tervin_bench cpu-profile 60
#include "windowcpu.h"

#include "benchsupport.h"
#include "link/linksession.h"
#include "virtualtransmitter.h"
#include "widget/widget.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <cstdio>

using namespace BenchSupport;

namespace {
constexpr int PeriodMs = 100;
constexpr int Rate = 9600;
constexpr int LinkMs = 30000; // at most, for the device information read after Link
constexpr int StepMs = 50;
constexpr int SettleMs = 3000; // polling before the measurement starts
constexpr int IdleSeconds = 10;
constexpr int BoxCheckMs = 200;
// The log as after 100 s of polling. The first hundred lines or so shrink the scroll bar's
// handle with every line; after that it stays at its smallest, at the bottom.
constexpr int EarlierLogLines = 2000;

// The window on the screen, linked to the transmitter, polling "ALL" every 100 ms.
class PollingWindow
{
public:
    PollingWindow()
    {
        // A box (a reply too late for its timeout under valgrind, say) would hold the measurement
        // forever: it is closed, and named on stderr.
        QObject::connect(&boxCloser, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                std::fprintf(stderr, "closed a box: %s\n", qPrintable(box->text()));
                box->accept();
            }
        });
        boxCloser.start(BoxCheckMs);
        transmitter.start(QStringLiteral(TERVIN_SIM),
                          {QStringLiteral("--baud"), QString::number(Rate)});
        transmitter.waitForReadyRead(LinkMs);
        const QString port = QString::fromLocal8Bit(transmitter.readLine()).trimmed();
        window.show();
        window.findChild<QLineEdit *>(QStringLiteral("lineEditAddress"))
            ->setText(QString::number(DeviceSettings().address));
        window.findChild<QLineEdit *>(QStringLiteral("lineEditPeriod"))
            ->setText(QString::number(PeriodMs));
        line = window.findChild<LinkSession *>(QStringLiteral("linkSession"));
        linkThroughTheDialog(window, port, Rate);
        for (int waited = 0; line->statistics().replies == 0 && waited < LinkMs; waited += StepMs)
            runFor(StepMs); // the device information, read after Link
        for (int i = 0; i < EarlierLogLines; i += 2) {
            window.AppendMessage(QStringLiteral("0103000000044409"), false);
            window.AppendMessage(QStringLiteral("010308092911d704410000cb08"), true);
        }
    }

    void toggleReading()
    {
        window.findChild<QPushButton *>(QStringLiteral("pushButtonRead"))->click();
    }
    const LinkStatistics &statistics() const { return line->statistics(); }

private:
    QTimer boxCloser;
    QProcess transmitter; // tervin-sim; it ends with this process
    Widget window;
    LinkSession *line = nullptr;
};

struct Share
{
    double cpuSeconds;
    double systemSeconds; // of cpuSeconds, in the kernel: the pseudo-terminal, timers, wake-ups
    double wallSeconds;
    double ofOneCore() const { return cpuSeconds / wallSeconds; }
    double systemOfOneCore() const { return systemSeconds / wallSeconds; }
};

Share measure(int seconds)
{
    QElapsedTimer wall;
    wall.start();
    const double before = cpuSeconds(), systemBefore = systemCpuSeconds();
    runFor(seconds * 1000);
    return {cpuSeconds() - before, systemCpuSeconds() - systemBefore,
            double(wall.nsecsElapsed()) / 1e9};
}

// Kept out of line: callgrind's --toggle-collect names it.
Q_NEVER_INLINE void profiledPolls(PollingWindow &polling, int polls)
{
    const int until = polling.statistics().replies + polls;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (polling.statistics().replies >= until)
            loop.quit();
    });
    check.start(PeriodMs / 2);
    loop.exec();
}
} // namespace

void benchWindowCpu(int seconds)
{
    PollingWindow polling;
    const Share idle = measure(IdleSeconds);
    polling.toggleReading();
    runFor(SettleMs);
    const LinkStatistics before = polling.statistics();
    const Share busy = measure(seconds);
    const int polls = polling.statistics().replies - before.replies;
    std::printf("== Window CPU, shown offscreen, polling \"ALL\" every %d ms at %d bit/s against "
                "tervin-sim\n   in a process of its own, %d s after %d s of settling\n",
                PeriodMs, Rate, seconds, SettleMs / 1000);
    std::printf("polling: %.2f %% of one core (%.2f %% in the kernel), %.3f ms CPU per poll cycle "
                "(%d polls, %d timeouts)\n",
                100 * busy.ofOneCore(), 100 * busy.systemOfOneCore(),
                1000 * busy.cpuSeconds / std::max(1, polls), polls,
                polling.statistics().timeouts - before.timeouts);
    std::printf("linked, not polling (%d s): %.2f %% of one core\n\n", IdleSeconds,
                100 * idle.ofOneCore());
}

void profileWindowPolls(int polls)
{
    PollingWindow polling;
    polling.toggleReading();
    runFor(SettleMs);
    const LinkStatistics before = polling.statistics();
    const double cpuBefore = cpuSeconds();
    profiledPolls(polling, polls);
    std::printf("%d polls profiled, %.3f ms CPU per poll cycle, %d timeouts, %d skipped\n", polls,
                1000 * (cpuSeconds() - cpuBefore) / polls,
                polling.statistics().timeouts - before.timeouts,
                polling.statistics().skipped - before.skipped);
}
