// Fuzz target of tervin-cli's argument parser, port-name resolution and --log check: any argument
// vector ends in valid options or a usage error, never a crash, and the parser leaves no
// descriptor open (it is pure; the resolution only looks at names with stat()). A broken rule
// aborts.
//
// Input: arguments separated by 0 bytes. An argument whose first byte is below 0x20 starts with
// one of the words the parser knows, chosen by that byte, followed by the rest.
#include "options.h"
#include "ports.h"
#include "protocol/protocol.h"

#include <QFileInfo>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
constexpr int MaxArguments = 64;

QStringList knownWords()
{
    QStringList words = commandNames() + optionNames();
    for (int rate : Modbus::BaudRates)
        words << QString::number(rate);
    return words << "x10"
                 << "x100"
                 << "json"
                 << "csv"
                 << "text"
                 << "all"
                 << "dew"
                 << "--"
                 << "-"
                 << "="
                 << "/dev/ttyUSB0"
                 << "ttyUSB0"
                 << "1-247"
                 << "20,30";
}

QStringList argumentsOf(const uint8_t *data, size_t size)
{
    static const QStringList words = knownWords();
    QStringList arguments;
    const QList<QByteArray> parts =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size)).split('\0');
    for (const QByteArray &part : parts) {
        if (arguments.size() == MaxArguments)
            break;
        if (!part.isEmpty() && quint8(part[0]) < 0x20)
            arguments << words[quint8(part[0]) % words.size()] + QString::fromUtf8(part.mid(1));
        else
            arguments << QString::fromUtf8(part);
    }
    return arguments;
}

void require(bool holds, const char *rule, const QStringList &arguments)
{
    if (holds)
        return;
    std::fprintf(stderr, "%s: %s\n", rule, qPrintable(arguments.join(QStringLiteral(" | "))));
    std::abort();
}

bool isAddress(int address)
{
    return address >= Modbus::MinSlaveAddress && address <= Modbus::MaxSlaveAddress;
}

// What every option holds when the parser says "run".
void checkOptions(const CliOptions &o, const QStringList &arguments)
{
    require(!o.ports.isEmpty() && !o.ports.contains(QString()), "a run without ports", arguments);
    require(o.command == Command::Scan || o.ports.size() == 1, "several ports, not scanning",
            arguments);
    require(o.baudRate == 0 || Modbus::baudCodeOfRate(o.baudRate) != 0, "a rate not one of six",
            arguments);
    require(o.address == 0 || isAddress(o.address), "an address out of range", arguments);
    require(std::all_of(o.addresses.cbegin(), o.addresses.cend(), isAddress) &&
                QSet<int>(o.addresses.cbegin(), o.addresses.cend()).size() == o.addresses.size(),
            "an address list out of range or repeated", arguments);
    require(o.timeoutMs >= 0 && o.count >= 0 && o.retries >= 0 && o.periodMs >= Timing::MinPeriodMs,
            "a number out of range", arguments);
    const bool writes = o.command == Command::SetAddress || o.command == Command::SetBaud;
    require(!writes || (o.command == Command::SetAddress ? isAddress(o.newValue)
                                                         : Modbus::baudCodeOfRate(o.newValue) != 0),
            "a value to write out of range", arguments);
    require(o.command != Command::Commission || isAddress(o.newAddress),
            "commission without its new address", arguments);
}

// The ports, and the --log file against them: a log that is one of the ports, as it exists, is
// never written.
void checkResolution(const QStringList &names, const QString &log, const QStringList &arguments)
{
    const ResolvedPorts resolved = resolvePorts(names);
    if (!log.isEmpty() && resolved.error.isEmpty())
        require(!resolved.paths.contains(log) || !QFileInfo::exists(log) ||
                    !logProblem(log, resolved.paths).isEmpty(),
                "a port taken for the log", arguments);
    require(!resolved.error.isEmpty() || resolved.paths.size() == names.size(),
            "a port name lost in resolution", arguments);
    for (const QString &path : resolved.paths)
        require(path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("./")) ||
                    path.startsWith(QLatin1String("../")),
                "a port resolved to a relative path", arguments);
}

// The lowest free descriptor: the same before and after, or something was left open.
int lowestFreeDescriptor()
{
    const int fd = dup(STDIN_FILENO);
    if (fd >= 0)
        close(fd);
    return fd;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList arguments = argumentsOf(data, size);
    const int freeBefore = lowestFreeDescriptor();
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    switch (parsed.outcome) {
    case ParsedCommandLine::Run:
        checkOptions(parsed.options, arguments);
        checkResolution(parsed.options.ports, parsed.options.logFile, arguments);
        break;
    case ParsedCommandLine::Usage:
        require(!parsed.error.isEmpty(), "a usage error that says nothing", arguments);
        break;
    case ParsedCommandLine::Help:
    case ParsedCommandLine::Version:
        break;
    }
    require(lowestFreeDescriptor() == freeBefore, "a descriptor left open", arguments);
    return 0;
}
