// A check of 32 units at 9600 bit/s: its line time against plain polling of the same units, in
// virtual time on the fake line (tervin-cli's check and read jobs, request by request); and the
// window's CPU while its Line window polls the 32 units of tervin-sim, without and with its Check
// mode running.
#include "linecheckbench.h"

#include "benchsupport.h"
#include "fakeline.h"
#include "link/linksession.h"
#include "portjob.h"
#include "widget/widget.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>

#include <cstdio>

using namespace BenchSupport;

namespace {
constexpr int Units = 32;
constexpr int Rate = 9600;
constexpr qint64 Minute = 60 * 1000;
constexpr int BoxCheckMs = 200;

// A tervin-cli job run on a fake line of 32 units in virtual time: what it wrote, and when.
struct LineRun
{
    explicit LineRun(const QStringList &arguments)
        : output({"ttyFAKE"}, [](Stream, const QString &) {}), line(rig)
    {
        QObject::disconnect(&rig.port, nullptr, &rig.session, nullptr);
        options = parseCommandLine(arguments).options;
        for (int address = 1; address <= Units; ++address)
            line.add(address);
        const auto heard = rig.port.onWrite; // the line's units; the moment of each request first
        rig.port.onWrite = [this, heard](const QByteArray &request) {
            writtenAt << rig.clock.nowMs();
            heard(request);
        };
        PortJob *job = PortJob::create(options, "ttyFAKE", output.port(0), &rig.port, &rig.clock);
        QObject::connect(job, &PortJob::finished, [this] { endedMs = rig.clock.nowMs(); });
        job->start();
        rig.clock.runUntil(rig.clock.nowMs() + 60 * Minute);
        delete job;
    }
    // How long the line carries bytes: the requests and the answers on the wire.
    double wireSeconds() const
    {
        qint64 bytes = rig.probe.delivered;
        for (const QByteArray &request : rig.port.writes)
            bytes += request.size();
        const double bitsPerByte = 10; // start, 8 data bits, stop
        return double(bytes) * bitsPerByte / Rate;
    }

    CliOptions options;
    RunOutput output;
    LinkHarness::Rig rig;
    LinkHarness::FakeLine line;
    qint64 endedMs = 0;
    QList<qint64> writtenAt;
};

// The window linked to tervin-sim's 32 units, its Line window listing them after a scan.
class LineWindowBench
{
public:
    explicit LineWindowBench(int adapterLatencyMs)
    {
        // A box would hold the measurement forever: it is closed, and named on stderr.
        QObject::connect(&boxCloser, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                std::fprintf(stderr, "closed a box: %s\n", qPrintable(box->text()));
                box->accept();
            }
        });
        boxCloser.start(BoxCheckMs);
        QStringList units;
        for (int address = 1; address <= Units; ++address)
            units << QString::number(address);
        simulator.start(QStringLiteral(TERVIN_SIM),
                        {"--units", units.join(','), "--device-type", "1", "--steady", "--wire",
                         "--adapter-latency", QString::number(adapterLatencyMs)});
        simulator.waitForReadyRead(10000);
        const QString port = QString::fromLocal8Bit(simulator.readLine()).trimmed();
        window.show();
        linkThroughTheDialog(window, port, Rate);
        runFor(2000);
        click(window, "pushButtonLine");
        lineWindow = window.findChild<QWidget *>(QStringLiteral("lineWindow"));
        field("lineEditScanAddresses")->setText(QStringLiteral("1-%1").arg(Units));
        click(*lineWindow, "pushButtonScan");
        runFor(5000);
        field("lineEditLinePeriod")->setText(QStringLiteral("1000"));
    }
    QLineEdit *field(const char *name) { return lineWindow->findChild<QLineEdit *>(name); }
    static void click(QWidget &parent, const char *name)
    {
        parent.findChild<QPushButton *>(QLatin1String(name))->click();
    }
    struct Share
    {
        double ofOneCore = 0;
        int polls = 0; // readings that came meanwhile
    };
    Share share(int seconds)
    {
        const LinkSession *line = window.findChild<LinkSession *>(QStringLiteral("linkSession"));
        const int repliesBefore = line->statistics().replies;
        const double before = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(seconds * 1000);
        return {(cpuSeconds() - before) / (double(wall.nsecsElapsed()) / 1e9),
                line->statistics().replies - repliesBefore};
    }
    int units() const
    {
        return window.findChild<LinkSession *>(QStringLiteral("linkSession"))->roster().size();
    }

    QTimer boxCloser;
    QProcess simulator;
    Widget window;
    QWidget *lineWindow = nullptr;
};
} // namespace

void benchCheckLineTime()
{
    const QString addresses = QStringLiteral("1-%1").arg(Units);
    LineRun check({"check", "ttyFAKE", "--baud", "9600", "--period", "1000", "--addresses",
                   addresses, "--reference-temperature", "23.5", "--reference-humidity", "45",
                   "--settle", "10m"});
    const int rounds = int(check.endedMs / 1000) + 1;
    LineRun read({"read", "ttyFAKE", "--baud", "9600", "--period", "1000", "--address", addresses,
                  "--block", "x100", "--count", QString::number(rounds)});
    const int asked = int(check.rig.port.writes.size());
    const bool same = read.rig.port.writes.mid(0, asked) == check.rig.port.writes &&
                      read.writtenAt.mid(0, asked) == check.writtenAt;
    std::printf("== A check of %d units at %d bit/s settled over 10 min, against read polling "
                "them every second, in virtual time\n",
                Units, Rate);
    std::printf("check: %d requests in %.2f min, %.1f s of bytes on the wire\n", asked,
                double(check.endedMs) / Minute, check.wireSeconds());
    std::printf("read, %d rounds: %d requests, %.1f s of bytes on the wire; the check's requests "
                "are its first %d, the same at the same moments: %s\n\n",
                rounds, int(read.rig.port.writes.size()), read.wireSeconds(), asked,
                same ? "yes" : "NO");
}

void benchLineWindowCheckCpu(int seconds, int adapterLatencyMs)
{
    LineWindowBench bench(adapterLatencyMs);
    LineWindowBench::click(*bench.lineWindow, "pushButtonPollLine");
    runFor(5000);
    const LineWindowBench::Share polling = bench.share(seconds);
    LineWindowBench::click(*bench.lineWindow, "pushButtonCheckMode");
    bench.field("lineEditReferenceTemperature")->setText(QStringLiteral("23.5:0.1"));
    bench.field("lineEditReferenceHumidity")->setText(QStringLiteral("45:1"));
    LineWindowBench::click(*bench.lineWindow, "pushButtonStartCheck");
    runFor(5000);
    const LineWindowBench::Share checking = bench.share(seconds);
    const QString status =
        bench.lineWindow->findChild<QWidget *>(QStringLiteral("labelCheckStatus"))
            ->property("text")
            .toString();
    std::printf("== The window's CPU, its Line window polling tervin-sim's %d units (--wire) every "
                "second at %d bit/s, the adapter handing bytes on every %d ms, %d s each\n",
                Units, Rate, adapterLatencyMs, seconds);
    std::printf("%d units listed after the scan\n", bench.units());
    std::printf("polling the line:             %.2f %% of one core (%d readings)\n",
                100 * polling.ofOneCore, polling.polls);
    std::printf("polling and checking them:    %.2f %% of one core (%d readings; %s)\n\n",
                100 * checking.ofOneCore, checking.polls, qPrintable(status));
}
