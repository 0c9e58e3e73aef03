#include "options.h"

#include "mqttmessages.h"
#include "checkoptions.h"

#include "protocol/protocol.h"
#include "protocol/values.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <utility>
#include <vector>

namespace {

struct CommandEntry
{
    const char *name;
    Command command;
};
constexpr CommandEntry Commands[] = {
    {"scan", Command::Scan},        {"info", Command::Info},
    {"read", Command::Read},        {"set-address", Command::SetAddress},
    {"set-baud", Command::SetBaud}, {"commission", Command::Commission},
    {"check", Command::Check}};

// Which commands an option applies to.
constexpr int bitOf(Command command)
{
    return 1 << int(command);
}
constexpr int ScanOnly = bitOf(Command::Scan);
constexpr int ReadOnly = bitOf(Command::Read);
constexpr int CommissionOnly = bitOf(Command::Commission);
constexpr int CheckOnly = bitOf(Command::Check);
constexpr int DeviceCommands = bitOf(Command::Info) | ReadOnly | bitOf(Command::SetAddress) |
                               bitOf(Command::SetBaud) | CommissionOnly;
constexpr int Every = ScanOnly | DeviceCommands | CheckOnly;
// Not a command: the option means something only with --mqtt.
constexpr int NeedsBroker = 1 << 16;
constexpr int Publishing = ReadOnly | NeedsBroker;

constexpr int MaxTimeoutMs = 60000;
constexpr int MaxPeriodMs = 24 * 60 * 60 * 1000; // a reading a day
constexpr int MaxRetries = 10;
constexpr int MaxMqttQueue = 10000000; // about 4 GB of state messages

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

QString rateProblem(const QString &text, int &rate)
{
    bool number = false;
    rate = text.toInt(&number, 10);
    if (number && Modbus::baudCodeOfRate(rate) != 0)
        return QString();
    return Cli::tr("%1 is not one of the rates %2").arg(Values::shown(text), joinedRates());
}

QString addressProblem(const QString &text, int &address)
{
    return Values::wholeNumber(text, Modbus::MinSlaveAddress, Modbus::MaxSlaveAddress, QString(),
                               address);
}

QString choice(const QString &text, const QStringList &choices, int &index)
{
    index = int(choices.indexOf(text));
    if (index >= 0)
        return QString();
    return Cli::tr("%1 is not one of %2")
        .arg(Values::shown(text), choices.join(QStringLiteral(", ")));
}

Apply flag(bool CliOptions::*field)
{
    return [field](CliOptions &o, const QString &) {
        o.*field = true;
        return QString();
    };
}

Apply text(QString MqttOptions::*field)
{
    return [field](CliOptions &o, const QString &v) {
        o.mqtt.*field = v;
        return v.isEmpty() ? Cli::tr("the value is empty") : QString();
    };
}

Apply limits(std::optional<Limits> CliOptions::*field, Quantity quantity)
{
    return [field, quantity](CliOptions &o, const QString &v) {
        Limits given;
        const QString problem = parseLimits(v, quantity, given);
        o.*field = given;
        return problem;
    };
}

Apply fileName(QString CliOptions::*field)
{
    return [field](CliOptions &o, const QString &v) {
        o.*field = v;
        return v.isEmpty() ? Cli::tr("the file name is empty") : QString();
    };
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
        {"--no-header", false, Every, flag(&CliOptions::noHeader)},
        {"--log", true, Every,
         [](CliOptions &o, const QString &v) {
             o.logFile = v;
             return v.isEmpty() ? Cli::tr("the file name is empty") : QString();
         }},
        {"--timeout", true, Every,
         [](CliOptions &o, const QString &v) {
             return Values::wholeNumber(v, 1, MaxTimeoutMs, QStringLiteral(" ms"), o.timeoutMs);
         }},
        {"--retries", true, Every,
         [](CliOptions &o, const QString &v) {
             return Values::wholeNumber(v, 0, MaxRetries, QString(), o.retries);
         }},
        {"--verbose", false, Every, flag(&CliOptions::verbose)},
        {"--baud", true, Every,
         [](CliOptions &o, const QString &v) { return rateProblem(v, o.baudRate); }},
        {"--address", true, DeviceCommands,
         [](CliOptions &o, const QString &v) {
             QList<int> given;
             const QString problem = Values::addressList(v, given);
             o.address = given.size() == 1 ? given.first() : 0;
             o.addresses = given.size() > 1 ? given : QList<int>();
             return problem;
         }},
        {"--addresses", true, ScanOnly | CheckOnly,
         [](CliOptions &o, const QString &v) { return Values::addressList(v, o.addresses); }},
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
             return Values::wholeNumber(v, 0, std::numeric_limits<int>::max(), QString(), o.count);
         }},
        {"--period", true, ReadOnly | CheckOnly,
         [](CliOptions &o, const QString &v) {
             return Values::wholeNumber(v, Timing::MinPeriodMs, MaxPeriodMs, QStringLiteral(" ms"),
                                        o.periodMs);
         }},
        {"--expect-temperature", true, CommissionOnly,
         limits(&CliOptions::expectTemperature, Quantity::Temperature)},
        {"--expect-humidity", true, CommissionOnly,
         limits(&CliOptions::expectHumidity, Quantity::Humidity)},
        {"--quiet", false, ReadOnly, flag(&CliOptions::quiet)},
        {"--mqtt", true, ReadOnly,
         [](CliOptions &o, const QString &v) {
             MqttUrl url;
             const QString problem = MqttUrls::parse(v, url);
             o.mqtt.url = url;
             return problem;
         }},
        {"--mqtt-prefix", true, Publishing,
         [](CliOptions &o, const QString &v) {
             o.mqtt.prefix = v;
             return MqttMessages::prefixProblem(v);
         }},
        {"--no-discovery", false, Publishing,
         [](CliOptions &o, const QString &) {
             o.mqtt.discovery = false;
             return QString();
         }},
        {"--mqtt-queue", true, Publishing,
         [](CliOptions &o, const QString &v) {
             return Values::wholeNumber(v, 1, MaxMqttQueue, QString(), o.mqtt.queueBound);
         }},
        {"--mqtt-user", true, Publishing, text(&MqttOptions::user)},
        {"--mqtt-password-file", true, Publishing, text(&MqttOptions::passwordFile)},
        {"--mqtt-cafile", true, Publishing, text(&MqttOptions::caFile)},
        {"--reference", true, CheckOnly,
         [](CliOptions &o, const QString &v) {
             return addressProblem(v, o.check.reference.address);
         }},
        {"--reference-temperature", true, CheckOnly,
         CheckOptions::typedReference(&CheckReference::temperature,
                                      &CheckReference::temperatureUncertainty,
                                      CheckInput::referenceTemperature)},
        {"--reference-humidity", true, CheckOnly,
         CheckOptions::typedReference(&CheckReference::humidity,
                                      &CheckReference::humidityUncertainty,
                                      CheckInput::referenceHumidity)},
        {"--settle", true, CheckOnly,
         CheckOptions::duration(&CheckSettings::settleMs, CheckInput::settleTime)},
        {"--unstable-after", true, CheckOnly,
         CheckOptions::duration(&CheckSettings::unstableAfterMs, CheckInput::duration)},
        {"--tolerance-temperature", true, CheckOnly,
         CheckOptions::tolerance(&CheckSettings::temperatureTolerance)},
        {"--tolerance-humidity", true, CheckOnly,
         CheckOptions::tolerance(&CheckSettings::humidityTolerance)},
        {"--band-temperature", true, CheckOnly,
         CheckOptions::number(&CheckSettings::temperatureBand)},
        {"--band-humidity", true, CheckOnly, CheckOptions::number(&CheckSettings::humidityBand)},
        {"--report", true, CheckOnly, fileName(&CliOptions::reportFile)},
        {"--first-point", true, CheckOnly, fileName(&CliOptions::firstPointFile)},
        {"--note", true, CheckOnly,
         [](CliOptions &o, const QString &v) {
             o.note = v;
             return QString();
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
    // scan and read work on every port named, one job each; the others on one port.
    const bool severalPorts = o.command == Command::Scan || o.command == Command::Read;
    if (severalPorts) {
        o.ports = operands;
    } else {
        o.ports = QStringList{operands.takeFirst()};
    }
    if (o.ports.contains(QString()))
        return Cli::tr("%1: a port name is empty").arg(command);
    if (severalPorts)
        return QString();
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

// What the options mean together with the command.
QString combinationProblem(CliOptions &o)
{
    const QString command = commandName(o.command);
    const bool severalUnits =
        o.command == Command::Read || o.command == Command::Scan || o.command == Command::Check;
    if (!o.addresses.isEmpty() && !severalUnits)
        return Cli::tr("option --address takes one address with %1").arg(command);
    if (o.command == Command::Scan && o.baudRate != 0 && o.addresses.isEmpty())
        return Cli::tr("option --baud applies to scan only with --addresses");
    if (!o.mqtt.passwordFile.isEmpty() && o.mqtt.user.isEmpty())
        return Cli::tr("option --mqtt-password-file needs --mqtt-user");
    if (!o.mqtt.caFile.isEmpty() && !o.mqtt.url->tls)
        return Cli::tr("option --mqtt-cafile applies to mqtts:// only");
    if (o.command == Command::Check)
        return CheckOptions::problem(o);
    if (o.command != Command::Commission)
        return QString();
    if (o.address == 0)
        return Cli::tr("commission: no new address given (--address NEW)");
    // Given to commission, --address and --baud are what the unit is to take.
    o.newAddress = std::exchange(o.address, 0);
    o.newBaudRate = std::exchange(o.baudRate, 0);
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
    return names << QStringLiteral("--help") << QStringLiteral("-h") << QStringLiteral("--version")
                 << QStringLiteral("-V");
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
        if (argument == "--version" || argument == "-V") {
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
    for (const OptionEntry *option : given) {
        if (!(option->applies & bitOf(o.command)))
            return usage(Cli::tr("option %1 does not apply to %2")
                             .arg(QLatin1String(option->name), commandWord));
        if ((option->applies & NeedsBroker) && !o.mqtt.url)
            return usage(Cli::tr("option %1 needs --mqtt").arg(QLatin1String(option->name)));
    }
    QString problem = operandProblem(o, words);
    if (problem.isEmpty())
        problem = combinationProblem(o);
    return problem.isEmpty() ? parsed : usage(problem);
}
