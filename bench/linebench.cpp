// A line of 32 units at 9600 bit/s with RS-485 timing:
//  - the poll cycle's rounds against the line's limit, and the time between one exchange's end and
//    the next request against the exchanges' own time; then the same with a 33rd, silent unit;
//  - the window's CPU with the Line window open, polling the 32 units at the line's rate, shown
//    offscreen against tervin-sim in a process of its own, with its memory at the start and end.
#include "linebench.h"

#include "benchsupport.h"
#include "link/linkclock.h"
#include "link/linkport.h"
#include "link/linksession.h"
#include "link/pollcycle.h"
#include "view/linewindow.h"
#include "virtualtransmitter.h"
#include "widget/widget.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace BenchSupport;

namespace {
constexpr int Units = 32;
constexpr int Rate = 9600;
constexpr int TurnaroundMs = 5;
constexpr int PeriodMs = 100;       // shorter than a round: rounds follow at the line's limit
constexpr int RequestBytes = 8;
constexpr int ReplyBytes = 13;      // all four readings
constexpr int SilentAddress = 33;

double exchangeMs()
{
    return (RequestBytes + ReplyBytes) * 10 * 1000.0 / Rate + TurnaroundMs;
}

QStringList unitList(int count)
{
    QStringList units;
    for (int address = 1; address <= count; ++address)
        units << QString::number(address);
    return units;
}

// Resident memory of this process, in MB (VmRSS).
double residentMb()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kb = 0;
            status >> kb;
            return kb / 1024;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

void rounds(int seconds, bool withSilentUnit)
{
    VirtualTransmitter line;
    for (int address = 2; address <= Units; ++address)
        line.addUnit(quint8(address));
    line.setWire(true, TurnaroundMs);
    line.start();
    QSerialPort serial;
    SerialLinkPort port(&serial);
    SystemClock clock;
    LinkSession session(&port, &clock);
    session.open(line.portPath(), Rate);
    PollCycle cycle(&session);
    QList<int> addresses;
    for (int address = 1; address <= Units + (withSilentUnit ? 1 : 0); ++address)
        addresses << address;
    cycle.setUnits(addresses);
    cycle.setPeriodMs(PeriodMs);
    QElapsedTimer wall;
    wall.start();
    qint64 lastEnd = -1, writtenAt = 0;
    double gaps = 0, exchanges = 0;
    int counted = 0;
    bool measuring = false;
    QObject::connect(&session, &LinkSession::written, [&] {
        writtenAt = wall.nsecsElapsed();
        if (measuring && lastEnd >= 0)
            gaps += double(writtenAt - lastEnd) / 1e6;
    });
    auto ended = [&] {
        lastEnd = wall.nsecsElapsed();
        if (measuring) {
            exchanges += double(lastEnd - writtenAt) / 1e6;
            ++counted;
        }
    };
    QObject::connect(&session, &LinkSession::answered, ended);
    QObject::connect(&session, &LinkSession::timedOut, ended);
    QObject::connect(&session, &LinkSession::garbled, ended);
    cycle.start();
    while (cycle.rounds() < 3) // every unit identified
        runFor(100);
    measuring = true;
    lastEnd = -1;
    const int roundsBefore = cycle.rounds();
    const qint64 startMs = wall.elapsed();
    const int silentBefore =
        withSilentUnit ? session.roster().find(SilentAddress)->health.timeouts : 0;
    runFor(seconds * 1000);
    const double elapsedS = double(wall.elapsed() - startMs) / 1000;
    const int done = cycle.rounds() - roundsBefore;
    cycle.stop();
    const double limit = 1000.0 / (Units * exchangeMs());
    std::printf("  %s: %.3f rounds/s (limit %.3f, %.1f %%); between exchanges %.2f ms, an "
                "exchange %.2f ms: %.1f %%",
                withSilentUnit ? "32 units and a silent one" : "32 units",
                done / elapsedS, limit, 100 * done / elapsedS / limit, gaps / counted,
                exchanges / counted, 100 * gaps / exchanges);
    if (withSilentUnit)
        std::printf("; the silent unit: %d timeouts in %d rounds",
                    session.roster().find(SilentAddress)->health.timeouts - silentBefore, done);
    std::printf("\n");
}

// Closes any box the run raises, naming it: a box would hold the measurement.
void closeBoxes(QTimer &closer)
{
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "closed a box: %s\n", qPrintable(box->text()));
            box->accept();
        }
    });
    closer.start(200);
}
} // namespace

void benchLineRounds(int seconds)
{
    std::printf("== A line of %d units at %d bit/s, RS-485 timing (%d ms turnaround), polled "
                "round after round, %d s\n",
                Units, Rate, TurnaroundMs, seconds);
    rounds(seconds, false);
    rounds(seconds, true);
    std::printf("\n");
}

void benchLineWindowCpu(int seconds, int adapterLatencyMs)
{
    QTimer closer;
    closeBoxes(closer);
    QProcess transmitter; // tervin-sim; it ends with this process
    transmitter.start(QStringLiteral(TERVIN_SIM),
                      {QStringLiteral("--wire"), QStringLiteral("--adapter-latency"),
                       QString::number(adapterLatencyMs), QStringLiteral("--baud"),
                       QString::number(Rate), QStringLiteral("--units"),
                       unitList(Units).join(QLatin1Char(','))});
    transmitter.waitForReadyRead(30000);
    const QString portName = QString::fromLocal8Bit(transmitter.readLine()).trimmed();
    Widget window;
    window.show();
    window.findChild<QLineEdit *>(QStringLiteral("lineEditAddress"))->setText(QStringLiteral("1"));
    auto *session = window.findChild<LinkSession *>(QStringLiteral("linkSession"));
    linkThroughTheDialog(window, portName, Rate);
    for (int waited = 0; session->statistics().replies == 0 && waited < 30000; waited += 50)
        runFor(50);
    window.findChild<QPushButton *>(QStringLiteral("pushButtonLine"))->click();
    auto *line = window.findChild<LineWindow *>(QStringLiteral("lineWindow"));
    // The units listed as a scan lists them (a scan's short wait for an answer to begin would miss
    // units behind an adapter that hands bytes on every 16 ms).
    for (int address = 1; address <= Units; ++address)
        session->roster().unit(address);
    line->findChild<QLineEdit *>(QStringLiteral("lineEditLinePeriod"))
        ->setText(QString::number(PeriodMs));
    line->findChild<QPushButton *>(QStringLiteral("pushButtonPollLine"))->click();
    runFor(5000);
    const double memoryBefore = residentMb();
    QElapsedTimer wall;
    wall.start();
    const double before = cpuSeconds(), systemBefore = systemCpuSeconds();
    const int repliesBefore = session->statistics().replies;
    runFor(seconds * 1000);
    const double wallS = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - before, system = systemCpuSeconds() - systemBefore;
    const int replies = session->statistics().replies - repliesBefore;
    std::printf("== Window CPU with the Line window open, polling %d units at %d bit/s against "
                "tervin-sim --wire\n   in a process of its own, the adapter handing bytes on every "
                "%d ms, %d s\n",
                Units, Rate, adapterLatencyMs, seconds);
    std::printf("%.2f %% of one core (%.2f %% in the kernel), %d replies (%.1f a second); "
                "resident memory %.1f MB, then %.1f MB\n\n",
                100 * cpu / wallS, 100 * system / wallS, replies, replies / wallS, memoryBefore,
                residentMb());
}
