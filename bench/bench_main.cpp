// Benchmarks: prints figures, asserts nothing. Run with scripts/bench.sh.
//  - message view: memory and append cost per line up to 2M lines, beside a QTextBrowser;
//  - receive path: recognising a 1024-byte buffer that arrives one byte at a time;
//  - one poll cycle of the window against the virtual transmitter, in CPU time;
//  - polls a second at each rate against a transmitter with RS-485 timing;
//  - the trend: appending, redrawing and memory up to a day of readings;
//  - the whole window's CPU while polling every 100 ms, shown offscreen (windowcpu.cpp);
//  - the production check fed 32 units, and its report of 32 units (checkbench.cpp);
//  - a line of 32 units polled round after round, and the window's CPU with the Line window
//    polling them (linebench.cpp);
//  - a check's line time against polling, and the window's CPU while its Line window checks 32
//    units (linecheckbench.cpp).
#include "benchsupport.h"
#include "checkbench.h"
#include "comm/commstate.h"
#include "linebench.h"
#include "linecheckbench.h"
#include "link/linksession.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "view/messageview.h"
#include "view/trendwindow.h"
#include "virtualtransmitter.h"
#include "widget/widget.h"
#include "windowcpu.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sys/resource.h>
#include <vector>

using namespace BenchSupport;

namespace {

QString logLine(int i)
{
    static const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    return stamp + (i % 2 ? QStringLiteral("->RX  010308092911d704410000cb08")
                          : QStringLiteral("->TX  0103000000044409"));
}

// Median cost of appending one line and painting it as the event loop does (the view scrolled
// to the newest line), sampled at the current size.
double appendAndShowMicros(MessageView &view, int samples)
{
    std::vector<double> costs;
    for (int i = 0; i < samples; ++i) {
        const auto start = Clock::now();
        view.appendLine(MessageView::Kind::Sent, logLine(i));
        QCoreApplication::processEvents();
        costs.push_back(micros(Clock::now() - start));
    }
    return median(costs);
}

void benchMessageView()
{
    std::printf("== Message view (MessageView), line like \"%s\"\n", qPrintable(logLine(1)));
    std::printf("%10s %14s %14s %18s %18s\n", "lines", "store B/line", "RSS B/line",
                "append+show us", "worst append us");
    MessageView view;
    view.resize(900, 300);
    view.show();
    // The view waits a moment to show lines that come together in one scroll; here each line is
    // shown on its own, at the next turn of the event loop.
    view.findChild<QTimer *>(QStringLiteral("newLinesTimer"))->setInterval(0);
    const long rssBefore = rssKiB();
    const int checkpoints[] = {10000, 100000, 1000000, 2000000};
    int lines = 0;
    double worst = 0;
    int worstAt = 0;
    double at10k = 0, at2M = 0;
    for (int target : checkpoints) {
        for (; lines < target; ++lines) {
            const auto start = Clock::now();
            view.appendLine(lines % 2 ? MessageView::Kind::Received : MessageView::Kind::Sent,
                            logLine(lines));
            const double cost = micros(Clock::now() - start);
            if (cost > worst) {
                worst = cost;
                worstAt = lines;
            }
            if (lines % 64 == 0) // the event loop runs between frames in the tool
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        const double show = appendAndShowMicros(view, 201);
        lines += 201;
        if (target == 10000)
            at10k = show;
        at2M = show;
        std::printf("%10d %14.1f %14.1f %18.2f %18.1f\n", lines, double(view.memoryBytes()) / lines,
                    (rssKiB() - rssBefore) * 1024.0 / lines, show, worst);
    }
    std::printf("append+show at 2M / at 10k: %.2fx; worst single append at line %d\n", at2M / at10k,
                worstAt);
    // Find at 2M lines: a step to the next match from the top, and a search that finds nothing.
    view.find(QStringLiteral("->RX"));
    auto findMs = [&view](const QString &pattern) {
        const auto start = Clock::now();
        view.find(pattern);
        return micros(Clock::now() - start) / 1000;
    };
    view.clearSelection(); // the next search starts over from the first line
    const double nearMs = findMs(QStringLiteral("01 03 08 09"));
    const double farMs = findMs(logLine(1).left(12) + QStringLiteral("->TX  never"));
    std::printf("find at %d lines: next match %.2f ms, a pattern found nowhere (the whole store) "
                "%.1f ms\n\n",
                lines, nearMs, farMs);
}

void benchTextBrowser()
{
    std::printf("== For comparison: QTextBrowser with rich-text paragraphs\n");
    std::printf("%10s %14s %18s\n", "lines", "RSS B/line", "append us (median)");
    QTextBrowser browser;
    browser.resize(900, 300);
    browser.show();
    const long rssBefore = rssKiB();
    int lines = 0;
    for (int target : {10000, 100000}) {
        for (; lines < target; ++lines) {
            browser.append(QStringLiteral("<font color=red>") + logLine(lines) +
                           QStringLiteral("</font>"));
            if (lines % 64 == 0)
                QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        std::vector<double> costs;
        for (int i = 0; i < 201; ++i, ++lines) {
            const auto start = Clock::now();
            browser.append(QStringLiteral("<font color=green>") + logLine(i) +
                           QStringLiteral("</font>"));
            QCoreApplication::processEvents();
            costs.push_back(micros(Clock::now() - start));
        }
        std::printf("%10d %14.1f %18.2f\n", lines, (rssKiB() - rssBefore) * 1024.0 / lines,
                    median(costs));
    }
    std::printf("\n");
}

void benchByteByByteRecognition()
{
    const int rounds = 200;
    const auto start = Clock::now();
    for (int round = 0; round < rounds; ++round) {
        QByteArray buffer;
        for (int i = 0; i < 1024; ++i) {
            buffer.append(char(0x5A + (i % 3)));
            if (ModbusReply::recognise(buffer) == ModbusReply::Verdict::Discard)
                buffer.clear();
        }
    }
    std::printf("== Receive path\nrecognising a 1024-byte buffer arriving byte by byte: %.1f us "
                "(1024 evaluations)\n\n",
                micros(Clock::now() - start) / rounds);
}

void benchPollCycle()
{
    DeviceSettings settings;
    VirtualTransmitter transmitter(settings);
    transmitter.start();
    CommState.portName = transmitter.portPath();
    Widget window;
    window.findChild<QLineEdit *>(QStringLiteral("lineEditAddress"))->setText(QStringLiteral("1"));
    window.findChild<QLineEdit *>(QStringLiteral("lineEditPeriod"))->setText(QStringLiteral("100"));
    // Link as a technician would: the dialog with the port typed in and 9600 chosen.
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        dialog->findChild<QComboBox *>(QStringLiteral("comboBoxName"))
            ->setCurrentText(transmitter.portPath());
        dialog->findChild<QComboBox *>(QStringLiteral("comboBoxBaud"))
            ->setCurrentText(QStringLiteral("9600"));
        dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
    });
    window.findChild<QPushButton *>(QStringLiteral("pushButtonLink"))->click();
    QTest::qWait(300);
    const int cycles = 50;
    transmitter.clearHistory();
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    window.findChild<QPushButton *>(QStringLiteral("pushButtonRead"))->click();
    (void)QTest::qWaitFor([&] { return transmitter.replies().size() >= cycles; }, 30000);
    const double cpu = cpuSeconds() - cpuBefore;
    std::printf("== Poll cycle (request built and logged, reply received, recognised, decoded, "
                "shown and logged;\n   the in-process virtual transmitter's share included)\n"
                "%d cycles at 100 ms: %.3f ms CPU per cycle\n",
                cycles, cpu * 1000 / cycles);
}
// Polling at a 100 ms period against a transmitter with RS-485 timing, at each rate: the polls
// a second reached, beside the lower of 10 a second and what the line allows.
void benchWirePolling()
{
    constexpr int TurnaroundMs = 5, RequestBytes = 8, ReplyBytes = 13, Seconds = 5;
    std::printf("== Polling \"ALL\" at 100 ms with --wire (turnaround %d ms), %d s per rate\n",
                TurnaroundMs, Seconds);
    std::printf("%8s %12s %12s %8s %10s %10s\n", "baud", "polls/s", "limit/s", "share", "skipped",
                "collisions");
    for (int code = 1; code <= 6; ++code) {
        DeviceSettings settings;
        settings.baudCode = quint16(code);
        VirtualTransmitter transmitter(settings);
        transmitter.setWire(true, TurnaroundMs);
        transmitter.start();
        const int rate = Modbus::baudRateOfCode(code);
        Widget window;
        window.findChild<QLineEdit *>(QStringLiteral("lineEditPeriod"))
            ->setText(QStringLiteral("100"));
        linkThroughTheDialog(window, transmitter.portPath(), rate);
        runFor(1000);
        auto *line = window.findChild<LinkSession *>(QStringLiteral("linkSession"));
        // The polls a second between the first and the last reply of the run.
        QElapsedTimer clock;
        clock.start();
        std::vector<qint64> replyTimes;
        QObject::connect(line, &LinkSession::statisticsChanged, [&] {
            if (line->statistics().replies > int(replyTimes.size()))
                replyTimes.push_back(clock.elapsed());
        });
        replyTimes.assign(size_t(line->statistics().replies), 0);
        const std::size_t first = replyTimes.size();
        const int skippedBefore = line->statistics().skipped;
        window.findChild<QPushButton *>(QStringLiteral("pushButtonRead"))->click();
        runFor(Seconds * 1000);
        window.findChild<QPushButton *>(QStringLiteral("pushButtonRead"))->click();
        const double polls = double(replyTimes.size() - first - 1) * 1000 /
                             double(replyTimes.back() - replyTimes[first]);
        const double lineMs =
            (RequestBytes + ReplyBytes) * 10 * 1000.0 / rate + TurnaroundMs; // 10 bits a byte
        const double limit = std::min(10.0, 1000.0 / lineMs);
        std::printf("%8d %12.2f %12.2f %7.0f%% %10d %10d\n", rate, polls, limit,
                    100 * polls / limit, line->statistics().skipped - skippedBefore,
                    transmitter.collisions());
    }
}
// The trend at 10k, 100k and a day of readings at 100 ms: the cost of appending one reading, one
// full redraw of the whole range at 1100 px wide, and the memory a reading takes; then one full
// redraw with the day to convert to another unit.
void benchTrend()
{
    std::printf("== Trend window, three series, 1100 px wide\n");
    std::printf("%10s %16s %20s %16s %14s\n", "readings", "append us", "full redraw ms",
                "store B/reading", "RSS B/reading");
    TrendWindow window;
    window.resize(1100 + 60, 600); // the plot area is about 1100 px wide
    window.show();
    QCoreApplication::processEvents();
    const long rssBefore = rssKiB();
    Reading reading;
    reading.decimals = 2;
    const qint64 wall = QDateTime::currentMSecsSinceEpoch();
    int count = 0;
    auto add = [&] {
        reading.temperature = 23.5 + std::sin(count / 600.0);
        reading.humidity = 45 + std::cos(count / 900.0);
        reading.dewPoint = 11 + std::sin(count / 700.0);
        window.addReading(count * 100LL, wall + count * 100LL, reading);
        ++count;
    };
    for (int target : {10000, 100000, 864000}) {
        while (count < target)
            add();
        std::vector<double> appends;
        for (int i = 0; i < 201; ++i) {
            const auto start = Clock::now();
            add();
            appends.push_back(micros(Clock::now() - start));
        }
        std::vector<double> redraws;
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            window.redraw();
            redraws.push_back(micros(Clock::now() - start) / 1000);
        }
        std::printf("%10d %16.3f %20.1f %16.1f %14.1f\n", count, median(appends), median(redraws),
                    double(window.data().memoryBytes()) / count,
                    (rssKiB() - rssBefore) * 1024.0 / count);
    }
    // A Fahrenheit unit after the day in Celsius: the day is converted as it is drawn.
    reading.fahrenheit = true;
    add();
    std::vector<double> redraws;
    for (int i = 0; i < 5; ++i) {
        const auto start = Clock::now();
        window.redraw();
        redraws.push_back(micros(Clock::now() - start) / 1000);
    }
    std::printf("%10d %16s %20.1f   (all but the last converted from Celsius)\n", count, "",
                median(redraws));
    std::printf("\n");
}
} // namespace

namespace {
constexpr int MinimumCpuSeconds = 30; // shorter stretches are too noisy on a shared machine
}

// Each benchmark runs in a process of its own (the script runs them in turn), so that one's
// memory does not blur another's resident-size figures.
int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const int count = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 0;
    if (which == QLatin1String("receive"))
        benchByteByByteRecognition();
    else if (which == QLatin1String("poll"))
        benchPollCycle();
    else if (which == QLatin1String("view"))
        benchMessageView();
    else if (which == QLatin1String("browser"))
        benchTextBrowser();
    else if (which == QLatin1String("wire"))
        benchWirePolling();
    else if (which == QLatin1String("trend"))
        benchTrend();
    else if (which == QLatin1String("check"))
        benchProductionCheck();
    else if (which == QLatin1String("report"))
        benchCheckReport();
    else if (which == QLatin1String("checkline"))
        benchCheckLineTime();
    else if (which == QLatin1String("linecpu"))
        benchLineWindowCheckCpu(std::max(count, MinimumCpuSeconds),
                                argc > 3 ? QString::fromLatin1(argv[3]).toInt() : 1);
    else if (which == QLatin1String("cpu"))
        benchWindowCpu(std::max(count, MinimumCpuSeconds));
    else if (which == QLatin1String("line"))
        benchLineRounds(std::max(count, MinimumCpuSeconds));
    else if (which == QLatin1String("line-cpu"))
        benchLineWindowCpu(std::max(count, MinimumCpuSeconds),
                           argc > 3 ? QString::fromLatin1(argv[3]).toInt() : 1);
    else if (which == QLatin1String("cpu-profile") && count > 0)
        profileWindowPolls(count);
    else {
        std::fprintf(stderr,
                     "usage: tervin_bench receive|poll|view|browser|wire|trend|check|report|"
                     "checkline\n"
                     "       tervin_bench cpu|line [SECONDS (30 or more)]\n"
                     "       tervin_bench line-cpu|linecpu [SECONDS [ADAPTER_LATENCY_MS]]\n"
                     "       tervin_bench cpu-profile POLLS\n");
        return 2;
    }
    return 0;
}
