// Fuzz target of tervin-cli's argument parser, port-name resolution and --log check: any argument
// vector ends in valid options or a usage error, never a crash, and the parser leaves no
// descriptor open (it is pure; the resolution only looks at names with stat()). A broken rule
// aborts.
//
// Input: arguments separated by 0 bytes. An argument whose first byte is below 0x20 starts with
// one of the words the parser knows, chosen by that byte, followed by the rest; 0x1f chooses by
// the byte after it instead, so that every word can be reached, however many options there are.
#include "mqttmessages.h"
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
constexpr int WordChoices = 0x20; // a first byte below this chooses a word
constexpr int FarWords = 0x1f;    // ... and this one, the word the next byte chooses

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
                 << "20,30"
                 << "mqtt://"
                 << "mqtts://[::1]:8883";
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
        if (part.isEmpty() || quint8(part[0]) >= WordChoices) {
            arguments << QString::fromUtf8(part);
            continue;
        }
        const bool far = quint8(part[0]) == FarWords && part.size() > 1;
        const int index = far ? FarWords + quint8(part[1]) : quint8(part[0]);
        arguments << words[index % words.size()] + QString::fromUtf8(part.mid(far ? 2 : 1));
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

// read --mqtt: a broker that can be reached, topics that can be published to, and no option of
// the broker's without a broker.
void checkBroker(const MqttOptions &m, const QStringList &arguments)
{
    require(!m.url || (!m.url->host.isEmpty() && m.url->port >= 1 &&
                       m.url->port <= MqttUrls::MaxPort && !m.url->host.contains(QLatin1Char('@'))),
            "a broker's URL that cannot be", arguments);
    require(MqttMessages::prefixProblem(m.prefix).isEmpty() && m.queueBound >= 1,
            "a topic prefix or queue bound that cannot be used", arguments);
    require(m.url || (m.user.isEmpty() && m.passwordFile.isEmpty() && m.caFile.isEmpty() &&
                      m.discovery && m.queueBound == MqttOptions::DefaultQueue),
            "a broker's option without a broker", arguments);
    require((m.passwordFile.isEmpty() || !m.user.isEmpty()) && (m.caFile.isEmpty() || m.url->tls),
            "a password file without a user, or authorities without TLS", arguments);
}

// What every option holds when the parser says "run".
void checkOptions(const CliOptions &o, const QStringList &arguments)
{
    require(!o.ports.isEmpty() && !o.ports.contains(QString()), "a run without ports", arguments);
    require(o.command == Command::Scan || o.command == Command::Read || o.ports.size() == 1,
            "several ports, neither scanning nor reading", arguments);
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
    checkBroker(o.mqtt, arguments);
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
