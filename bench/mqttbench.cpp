// Benchmarks of tervin-cli read --mqtt: prints figures, asserts nothing. Run with
// scripts/bench.sh, or scripts/bench.sh mqtt for these alone.
//  - latency [SECONDS]: 32 units at 9600 bit/s on a line with RS-485 timing, polled at the
//    line's full rate by tervin-cli and published to a real Mosquitto broker on this machine: the
//    time from each reading reply's last byte on the wire to a subscriber getting its state
//    (median and 99th percentile), and tervin-cli's CPU and memory meanwhile; then its CPU with
//    and without --mqtt in turn, three runs of each.
//  - queue [MESSAGES]: the broker sink with its broker unreachable, fed the state messages of 32
//    units until its queue holds 100,000 messages (its default bound): the memory they take.
// The transmitters are the virtual transmitter tervin-sim runs, here in this process, so that the
// reply's last byte and the subscriber's arrival are read on one clock.
#include "mqttbroker.h"
#include "mqttsink.h"
#include "protocol/protocol.h"
#include "virtualtransmitter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

constexpr int Units = 32;
constexpr int LineRate = 9600;
constexpr double BitsPerByte = 10; // start, 8 data, stop
constexpr int WarmUpMs = 5000;
constexpr int CpuRounds = 3;
constexpr int DeviceInfoReplyBytes = 3 + 2 * Reg::DeviceInfoCount + 2;
constexpr int QueueMessages = MqttOptions::DefaultQueue;

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// User and system CPU of a process so far, in seconds.
double cpuSecondsOf(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i)
        if (i == 14 || i == 15) // utime, stime
            ticks += std::stod(field);
    return ticks / double(sysconf(_SC_CLK_TCK));
}

long residentKiBOf(const std::string &pid)
{
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

QString addressList()
{
    return QStringLiteral("1-%1").arg(Units);
}

// tervin-cli reading every unit of the line at its full rate, with the options given.
struct CliRun
{
    CliRun(const VirtualTransmitter &line, const QStringList &options)
    {
        process.start(TERVIN_CLI, QStringList{"read", line.portPath(), "--baud",
                                              QString::number(LineRate), "--address", addressList(),
                                              "--count", "0", "--period", "100", "--quiet"} +
                                      options);
    }
    ~CliRun()
    {
        process.terminate();
        process.waitForFinished();
    }
    // Its CPU, in per cent of one core, over the next `seconds` after a warm-up.
    double cpuPercent(int seconds)
    {
        runFor(WarmUpMs);
        from = Clock::now();
        const double before = cpuSecondsOf(process.processId());
        runFor(seconds * 1000);
        const double wall = std::chrono::duration<double>(Clock::now() - from).count();
        return 100.0 * (cpuSecondsOf(process.processId()) - before) / wall;
    }

    QProcess process;
    Clock::time_point from; // when the measurement began
};

int benchLatency(int seconds, int adapterLatencyMs)
{
    MqttTest::Broker broker;
    if (!broker.start())
        return 1;
    MqttTest::Subscriber subscriber(broker.port());
    if (!subscriber.subscribed())
        return 1;
    DeviceSettings first;
    first.address = 1;
    VirtualTransmitter line(first);
    for (int address = 2; address <= Units; ++address)
        line.addUnit(quint8(address));
    line.setWire(true, 5, adapterLatencyMs);
    if (!line.start())
        return 1;
    // When each reading reply's last byte is due on the wire, per address, in order, during the
    // first run.
    QHash<int, std::vector<Clock::time_point>> lastBytes;
    bool firstRun = true;
    QObject::connect(&line, &VirtualTransmitter::replySent, [&](const QByteArray &bytes) {
        if (!firstRun || bytes.size() == DeviceInfoReplyBytes)
            return;
        const double wireUs = double(bytes.size()) * BitsPerByte * 1e6 / LineRate;
        lastBytes[quint8(bytes[0])].push_back(Clock::now() +
                                              std::chrono::microseconds(qint64(wireUs)));
    });
    auto cli = std::make_unique<CliRun>(line, QStringList{"--mqtt", broker.url()});
    std::vector<double> cpu{cli->cpuPercent(seconds)};
    const Clock::time_point measuredFrom = cli->from;
    const double wall = std::chrono::duration<double>(Clock::now() - measuredFrom).count();
    const long rss = residentKiBOf(std::to_string(cli->process.processId()));
    cli.reset();
    firstRun = false;
    const Clock::time_point firstRunEnded = Clock::now();
    // The CPU, with and without the broker in turn: the machine's other load comes and goes.
    std::vector<double> cpuWithoutBroker{CliRun(line, {}).cpuPercent(seconds)};
    for (int round = 1; round < CpuRounds; ++round) {
        cpu.push_back(CliRun(line, {"--mqtt", broker.url()}).cpuPercent(seconds));
        cpuWithoutBroker.push_back(CliRun(line, {}).cpuPercent(seconds));
    }

    QHash<int, std::vector<Clock::time_point>> arrivals;
    int failed = 0;
    for (const MqttTest::Message &m : subscriber.messages()) {
        if (!m.topic.endsWith(QLatin1String("/state")))
            continue;
        const QVariantMap state = m.json();
        failed += state.value("result") != QLatin1String("ok");
        arrivals[state.value("address").toInt()].push_back(m.arrived);
    }
    // Each state of the first run against the last reply of its unit before it: a unit's replies
    // come a round (about a second) apart, its state a few milliseconds after its reply.
    std::vector<double> latencies;
    for (auto unit = arrivals.cbegin(); unit != arrivals.cend(); ++unit) {
        const std::vector<Clock::time_point> &sent = lastBytes.value(unit.key());
        size_t reply = 0;
        for (const Clock::time_point &arrived : *unit) {
            if (arrived > firstRunEnded)
                break;
            while (reply + 1 < sent.size() && sent[reply + 1] <= arrived)
                ++reply;
            if (reply < sent.size() && sent[reply] <= arrived && sent[reply] >= measuredFrom)
                latencies.push_back(
                    std::chrono::duration<double, std::milli>(arrived - sent[reply]).count());
        }
    }
    if (latencies.empty())
        return 1;
    std::printf("== tervin-cli read --mqtt: %d units at %d bit/s (--wire), the adapter handing "
                "bytes on every %d ms, --period 100, --quiet, broker on this machine, %d s after %d "
                "s of warm-up\n",
                Units, LineRate, adapterLatencyMs, seconds, WarmUpMs / 1000);
    std::printf("  readings published: %zu (%.1f a second), %d of the run's states not ok\n",
                latencies.size(), double(latencies.size()) / wall, failed);
    std::printf("  reply's last byte to the subscriber: median %.1f ms, p99 %.1f ms, max %.1f ms "
                "(target p99 < 50 ms)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99),
                percentile(latencies, 1.0));
    auto shown = [](const std::vector<double> &runs) {
        QStringList each;
        for (double run : runs)
            each << QString::number(run, 'f', 2);
        return each.join(QStringLiteral(", ")).toStdString();
    };
    std::printf("  tervin-cli CPU, median of %d runs of %d s: %.2f %% of one core (target <= 2 %%; "
                "runs %s); the same line without --mqtt: %.2f %% (runs %s); resident %ld KiB\n",
                CpuRounds, seconds, percentile(cpu, 0.5), shown(cpu).c_str(),
                percentile(cpuWithoutBroker, 0.5), shown(cpuWithoutBroker).c_str(), rss);
    return 0;
}

// Each unit's reading, as read makes it, for the sink.
ReadingRecord readingOf(int unit, int round)
{
    ReadingRecord r;
    r.time = QDateTime::currentDateTime();
    r.command = Command::Read;
    r.port = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5QXY-if00-port0");
    r.address = unit;
    r.baudRate = LineRate;
    r.tries = 1;
    UnitIdentity identity;
    identity.known = true;
    identity.address = unit;
    identity.baudRate = LineRate;
    identity.deviceType = 1;
    identity.sensorType = 1;
    identity.firmware = 245;
    identity.serial = QStringLiteral("12345678%1").arg(unit, 4, 16, QLatin1Char('0'));
    r.serial = identity.serial;
    r.unit = identity;
    r.reading.temperature = -20.5 + round % 100 / 10.0;
    r.reading.humidity = 61.5;
    r.reading.dewPoint = -25.3;
    return r;
}

int benchQueue(int messages)
{
    MqttSettings settings;
    settings.connection.url = MqttUrl{false, QStringLiteral("127.0.0.1"), MqttTest::freePort()};
    settings.prefix = QStringLiteral("tervin");
    settings.hostName = QStringLiteral("rack-pc-01");
    settings.queueBound = messages;
    MqttSink sink(settings);
    sink.start();
    runFor(100);
    const long before = residentKiBOf("self");
    const auto started = Clock::now();
    for (int i = 0; i < messages; ++i)
        sink.reading(readingOf(i % Units + 1, i / Units));
    const double fillMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    const long after = residentKiBOf("self");
    std::printf("== The broker sink's queue, broker unreachable: %d state messages of %d units\n",
                messages, Units);
    std::printf("  resident before %ld KiB, full %ld KiB: %.1f MB for the queue, %.0f bytes a "
                "message; filled in %.0f ms\n",
                before, after, double(after - before) / 1024.0,
                double(after - before) * 1024.0 / messages, fillMs);
    std::printf("  (state message: %d bytes of payload)\n",
                int(MqttMessages::state("tervin", readingOf(1, 0), 0).payload.size()));
    return 0;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const int number = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 0;
    if (which == QLatin1String("latency"))
        return benchLatency(number > 0 ? number : 60,
                            argc > 3 ? std::max(1, QString::fromLatin1(argv[3]).toInt()) : 1);
    if (which == QLatin1String("queue"))
        return benchQueue(number > 0 ? number : QueueMessages);
    std::fprintf(stderr, "usage: mqtt_bench latency [SECONDS [ADAPTER_LATENCY_MS]] | queue "
                         "[MESSAGES]\n");
    return 2;
}
