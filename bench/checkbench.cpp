// The production check on 32 units: what feeding it costs per reading over a 10-minute settle, and
// how long the report of 32 units takes to write, PDF and CSV (its target: under 5 s).
#include "checkbench.h"

#include "benchsupport.h"
#include "link/productioncheck.h"
#include "report/checkreport.h"

#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

using namespace BenchSupport;

namespace {
constexpr int Units = 32;
constexpr qint64 CycleMs = 1200; // 32 units at 9600 bit/s, each polled once a round

UnitIdentity identityAt(int address)
{
    UnitIdentity identity;
    identity.known = true;
    identity.address = address;
    identity.deviceType = address % 3;
    identity.sensorType = address % 2;
    identity.firmware = 123;
    identity.serial = QStringLiteral("5e00000000%1").arg(address, 2, 16, QLatin1Char('0'));
    return identity;
}

Reading readingAt(int address, qint64 ms)
{
    Reading reading;
    reading.decimals = 2;
    reading.fahrenheit = isFahrenheitDevice(identityAt(address).deviceType);
    const double celsius = 23.5 + 0.01 * std::sin(ms / 7000.0 + address) + 0.01 * (address % 30);
    reading.temperature = reading.fahrenheit ? fahrenheitOfCelsius(celsius) : celsius;
    reading.humidity = 45 + 0.1 * std::sin(ms / 9000.0 + address);
    reading.dewPoint = 10.9;
    return reading;
}

CheckSettings settings()
{
    CheckSettings check;
    check.reference.temperature = 23.5;
    check.reference.humidity = 45;
    return check;
}
} // namespace

void benchProductionCheck()
{
    ProductionCheck check(settings());
    const qint64 endMs = 12 * MsPerMinute;
    int readings = 0;
    double resultsMicros = 0;
    int resultsCalls = 0;
    const auto start = Clock::now();
    for (qint64 cycle = 0; cycle <= endMs; cycle += CycleMs) {
        for (int address = 1; address <= Units; ++address) {
            const qint64 ms = cycle + address * CycleMs / Units;
            check.addReading(address, identityAt(address), ms, readingAt(address, ms));
            ++readings;
        }
        const auto before = Clock::now();
        (void)check.results(cycle + CycleMs);
        resultsMicros += micros(Clock::now() - before);
        ++resultsCalls;
    }
    const double total = micros(Clock::now() - start) - resultsMicros;
    std::printf("== Production check, %d units, a reading each every %lld ms, 12 min (a 10-min "
                "settle)\n",
                Units, CycleMs);
    std::printf("  a reading fed: %.2f us; every unit's result: %.0f us a round; all judged: %s\n",
                total / readings, resultsMicros / resultsCalls,
                check.isFinished(endMs + CycleMs) ? "yes" : "no");
}

void benchCheckReport()
{
    ProductionCheck check(settings());
    for (qint64 ms = 0; ms <= 11 * MsPerMinute; ms += CycleMs)
        for (int address = 1; address <= Units; ++address)
            check.addReading(address, identityAt(address), ms + address, readingAt(address, ms));
    CheckReportContent content;
    content.time = QDateTime::currentDateTime();
    content.note = QStringLiteral("lot 42, chamber 2");
    content.settings = settings();
    content.units = check.results(11 * MsPerMinute + Units);
    QTemporaryDir dir;
    std::vector<double> seconds;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        const Report::Outcome outcome = Report::writeCheck(
            content, {dir.filePath(QStringLiteral("check.pdf")), dir.filePath("check.csv")});
        seconds.push_back(micros(Clock::now() - start) / 1e6);
        if (!outcome.isComplete())
            std::fprintf(stderr, "report not written: %s\n", qPrintable(outcome.pdfError));
    }
    std::printf("== Check report of %d units, PDF and CSV (target under 5 s)\n", Units);
    std::printf("  first: %.3f s (fonts loaded); median of 5: %.3f s; PDF %lld bytes\n",
                seconds.front(), median(seconds),
                QFileInfo(dir.filePath(QStringLiteral("check.pdf"))).size());
}
