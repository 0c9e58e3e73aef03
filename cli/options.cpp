#include "options.h"

#include "protocol/protocol.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <vector>

namespace {

struct CommandEntry
{
    const char *name;
    Command command;
};
constexpr CommandEntry Commands[] = {{"scan", Command::Scan},
                                     {"info", Command::Info},
                                     {"read", Command::Read},
                                     {"set-address", Command::SetAddress},
                                     {"set-baud", Command::SetBaud}};

// Which commands an option applies to.
enum Applies { Every = 0x1f, DeviceCommands = 0x1e, ReadOnly = 0x04 };
int bitOf(Command command)
{
    return 1 << int(command);
}

using Apply = std::function<QString(CliOptions &, const QString &value)>;
struct OptionEntry
{
    const char *name;
    bool takesValue;
    int applies;
    Apply apply; // stores the value; returns what is wrong with it, or nothing
};

QString joinedRates()
{
    QStringList rates;
    for (int rate : Modbus::BaudRates)
        rates << QString::number(rate);
    return rates.join(QStringLiteral(", "));
}

bool toNumber(const QString &text, int &number)
{
    bool ok = false;
    number = text.toInt(&ok, 10);
    return ok;
}

QString rateProblem(const QString &text, int &rate)
{
    if (toNumber(text, rate) && Modbus::baudCodeOfRate(rate) != 0)
        return QString();
    return Cli::tr("%1 is not one of the rates %2").arg(text, joinedRates());
}

QString addressProblem(const QString &text, int &address)
{
    if (toNumber(text, address) && address >= Modbus::MinSlaveAddress &&
        address <= Modbus::MaxSlaveAddress)
        return QString();
    return Cli::tr("%1 is not an address from 1 to 247").arg(text);
}

QString choice(const QString &text, const QStringList &choices, int &index)
{
    index = int(choices.indexOf(text));
    if (index >= 0)
        return QString();
    return Cli::tr("%1 is not one of %2").arg(text, choices.join(QStringLiteral(", ")));
}

const std::vector<OptionEntry> &options()
{
    static const std::vector<OptionEntry> table = {
        {"--format", true, Every,
         [](CliOptions &o, const QString &v) {
             int index = 0;
             const QString problem = choice(v, {"text", "csv", "json"}, index);
             o.format = Format(index);
             return problem;
         }},
        {"--log", true, Every,
         [](CliOptions &o, const QString &v) {
             o.logFile = v;
             return v.isEmpty() ? Cli::tr("the file name is empty") : QString();
         }},
        {"--timeout", true, Every,
         [](CliOptions &o, const QString &v) {
             if (toNumber(v, o.timeoutMs) && o.timeoutMs >= 1 && o.timeoutMs <= 60000)
                 return QString();
             return Cli::tr("%1 is not a time from 1 to 60000 ms").arg(v);
         }},
        {"--verbose", false, Every,
         [](CliOptions &o, const QString &) {
             o.verbose = true;
             return QString();
         }},
        {"--baud", true, DeviceCommands,
         [](CliOptions &o, const QString &v) { return rateProblem(v, o.baudRate); }},
        {"--address", true, DeviceCommands,
         [](CliOptions &o, const QString &v) { return addressProblem(v, o.address); }},
        {"--block", true, ReadOnly,
         [](CliOptions &o, const QString &v) {
             int index = 0;
             const QString problem = choice(v, {"x10", "x100"}, index);
             o.hundredths = index == 1;
             return problem;
         }},
        {"--what", true, ReadOnly,
         [](CliOptions &o, const QString &v) {
             int index = 0;
             const QString problem = choice(v, {"all", "temperature", "humidity", "dew"}, index);
             o.what = What(std::max(index, 0));
             return problem;
         }},
        {"--count", true, ReadOnly,
         [](CliOptions &o, const QString &v) {
             if (toNumber(v, o.count) && o.count >= 0)
                 return QString();
             return Cli::tr("%1 is not a number of readings (0 reads until interrupted)").arg(v);
         }},
        {"--period", true, ReadOnly,
         [](CliOptions &o, const QString &v) {
             if (toNumber(v, o.periodMs) && o.periodMs >= Timing::MinPeriodMs)
                 return QString();
             return Cli::tr("%1 is under %2 ms").arg(v).arg(Timing::MinPeriodMs);
         }},
    };
    return table;
}

const OptionEntry *findOption(const QString &name)
{
    for (const OptionEntry &entry : options())
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}

ParsedCommandLine usage(const QString &error)
{
    ParsedCommandLine parsed;
    parsed.outcome = ParsedCommandLine::Usage;
    parsed.error = error;
    return parsed;
}

// The operands after the command: the ports, and the value set-address and set-baud write.
QString operandProblem(CliOptions &o, QStringList operands)
{
    const QString command = commandName(o.command);
    if (operands.isEmpty())
        return Cli::tr("%1: no port given").arg(command);
    if (o.command == Command::Scan) {
        for (int i = 0; i < operands.size(); ++i)
            if (operands.indexOf(operands[i], i + 1) > i)
                return Cli::tr("scan: port %1 given twice").arg(operands[i]);
        o.ports = operands;
        return QString();
    }
    o.ports = QStringList{operands.takeFirst()};
    const bool writes = o.command == Command::SetAddress || o.command == Command::SetBaud;
    if (writes && operands.isEmpty())
        return o.command == Command::SetAddress ? Cli::tr("set-address: no new address given")
                                                : Cli::tr("set-baud: no new rate given");
    if (writes) {
        const QString value = operands.takeFirst();
        const QString problem = o.command == Command::SetAddress ? addressProblem(value, o.newValue)
                                                                 : rateProblem(value, o.newValue);
        if (!problem.isEmpty())
            return command + QStringLiteral(": ") + problem;
    }
    if (!operands.isEmpty())
        return Cli::tr("%1: unexpected argument %2").arg(command, operands.first());
    return QString();
}

} // namespace

QString commandName(Command command)
{
    for (const CommandEntry &entry : Commands)
        if (entry.command == command)
            return QLatin1String(entry.name);
    return QString();
}

QStringList commandNames()
{
    QStringList names;
    for (const CommandEntry &entry : Commands)
        names << QLatin1String(entry.name);
    return names;
}

QStringList optionNames()
{
    QStringList names;
    for (const OptionEntry &entry : options())
        names << QLatin1String(entry.name);
    return names << QStringLiteral("--help") << QStringLiteral("--version");
}

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    ParsedCommandLine parsed;
    CliOptions &o = parsed.options;
    QStringList words;
    QList<const OptionEntry *> given;
    bool optionsEnded = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString argument = arguments[i];
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == "-") {
            words << argument;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help" || argument == "-h") {
            parsed.outcome = ParsedCommandLine::Help;
            return parsed;
        }
        if (argument == "--version") {
            parsed.outcome = ParsedCommandLine::Version;
            return parsed;
        }
        const int equals = int(argument.indexOf(QLatin1Char('=')));
        const QString name = equals < 0 ? argument : argument.left(equals);
        const OptionEntry *option = findOption(name);
        if (!option)
            return usage(Cli::tr("unknown option %1").arg(name));
        QString value;
        if (option->takesValue && equals >= 0)
            value = argument.mid(equals + 1);
        else if (option->takesValue && i + 1 < arguments.size())
            value = arguments[++i];
        else if (option->takesValue)
            return usage(Cli::tr("option %1 needs a value").arg(name));
        else if (equals >= 0)
            return usage(Cli::tr("option %1 takes no value").arg(name));
        const QString problem = option->apply(o, value);
        if (!problem.isEmpty())
            return usage(name + QStringLiteral(": ") + problem);
        given << option;
    }
    if (words.isEmpty())
        return usage(Cli::tr("no command given"));
    const QString commandWord = words.takeFirst();
    const auto entry = std::find_if(std::begin(Commands), std::end(Commands),
                                    [&](auto &c) { return commandWord == QLatin1String(c.name); });
    if (entry == std::end(Commands))
        return usage(Cli::tr("unknown command %1").arg(commandWord));
    o.command = entry->command;
    for (const OptionEntry *option : given)
        if (!(option->applies & bitOf(o.command)))
            return usage(Cli::tr("option %1 does not apply to %2")
                             .arg(QLatin1String(option->name), commandWord));
    const QString problem = operandProblem(o, words);
    return problem.isEmpty() ? parsed : usage(problem);
}

QString helpText()
{
    return Cli::tr(
        "Usage: tervin-cli COMMAND [OPTIONS] PORT...\n"
        "Finds, reads and sets up Tervin Modbus RTU temperature/humidity transmitters.\n"
        "\n"
        "Commands:\n"
        "  scan PORT...            find the rate and address on each port (115200, 19200,\n"
        "                          9600, 4800, 2400, 1200 in turn) and print the device\n"
        "                          information; the ports are scanned at the same time\n"
        "  info PORT               the device information\n"
        "  read PORT               the readings, one line each, in the device's unit\n"
        "  set-address PORT NEW    write a new address (1 to 247) and verify it there\n"
        "  set-baud PORT RATE      write a new rate and verify it at that rate\n"
        "\n"
        "Options of every command:\n"
        "  --format text|csv|json  how records are printed (JSON: one object per line)\n"
        "  --log FILE              append every frame to FILE, as the window's capture\n"
        "  --timeout MS            wait MS for each reply instead of the time the rate gives\n"
        "  --verbose               print every frame on standard error\n"
        "  -h, --help              print this help\n"
        "  --version               print the version\n"
        "\n"
        "Options of info, read, set-address and set-baud:\n"
        "  --baud R                the device's rate (without it, the rate is searched)\n"
        "  --address A             the device's address, 1 to 247 (without it, the one\n"
        "                          device on the line answers at slave 0)\n"
        "\n"
        "Options of read:\n"
        "  --block x10|x100        tenths (default) or hundredths\n"
        "  --what all|temperature|humidity|dew\n"
        "                          which readings (default all)\n"
        "  --count N               N readings (default 1; 0 reads until interrupted)\n"
        "  --period MS             one reading every MS, 100 or more (default 1000)\n"
        "\n"
        "Exit status:\n"
        "  0  success\n"
        "  1  a device did not answer, refused, or a change was not verified\n"
        "  2  usage error: nothing was sent\n"
        "  3  a port could not be opened or went away\n"
        "With several ports, the status is the worst of them.\n");
}
