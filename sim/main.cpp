// tervin-sim: a virtual transmitter on a pseudo-terminal, for demos and for users without
// hardware. Prints the port path on its first line, then answers until SIGINT or SIGTERM.
#include "faultschedule.h"
#include "sensorerror.h"
#include "virtualtransmitter.h"

#include "protocol/protocol.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QTimer>

#include <climits>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr int MaxFaultMs = 60000;
constexpr int MaxScheduleMs = 86400000;

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "tervin-sim: %s\n", qPrintable(message));
    std::exit(2);
}

void requireRange(bool ok, double value, const QCommandLineParser &parser, const QString &name,
                  double low, double high)
{
    if (!ok || value < low || value > high)
        fail(QStringLiteral("--%1 wants a number from %2 to %3, not '%4'")
                 .arg(name)
                 .arg(low)
                 .arg(high)
                 .arg(parser.value(name)));
}

int intOption(const QCommandLineParser &parser, const QString &name, int low, int high)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok, 0);
    requireRange(ok, value, parser, name, low, high);
    return value;
}

double realOption(const QCommandLineParser &parser, const QString &name, double low, double high)
{
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    requireRange(ok, value, parser, name, low, high);
    return value;
}

DeviceSettings settingsFrom(const QCommandLineParser &parser)
{
    DeviceSettings settings;
    settings.drift = !parser.isSet(QStringLiteral("steady"));
    if (parser.isSet(QStringLiteral("address")))
        settings.address = quint8(intOption(parser, QStringLiteral("address"), 1, 247));
    if (parser.isSet(QStringLiteral("baud"))) {
        const int code = Modbus::baudCodeOfRate(parser.value(QStringLiteral("baud")).toInt());
        if (code == 0)
            fail(QStringLiteral("--baud wants one of 1200, 2400, 4800, 9600, 19200, 115200"));
        settings.baudCode = quint16(code);
    }
    if (parser.isSet(QStringLiteral("device-type")))
        settings.deviceType = quint16(intOption(parser, QStringLiteral("device-type"), 0, 2));
    if (parser.isSet(QStringLiteral("sensor-type")))
        settings.sensorType = quint16(intOption(parser, QStringLiteral("sensor-type"), 0, 1));
    if (parser.isSet(QStringLiteral("firmware")))
        settings.firmwareVersion = quint16(intOption(parser, QStringLiteral("firmware"), 0, 999));
    if (parser.isSet(QStringLiteral("serial"))) {
        const QStringList words = parser.value(QStringLiteral("serial")).split(QLatin1Char(':'));
        bool ok = words.size() == 3;
        for (int i = 0; ok && i < 3; ++i)
            settings.serialNumber[i] = quint16(words[i].toUInt(&ok, 16));
        if (!ok)
            fail(QStringLiteral("--serial wants three hexadecimal words, as in 1234:5678:9abc"));
    }
    if (parser.isSet(QStringLiteral("temperature")))
        settings.temperature = realOption(parser, QStringLiteral("temperature"), -40, 125);
    if (parser.isSet(QStringLiteral("humidity")))
        settings.humidity = realOption(parser, QStringLiteral("humidity"), 0, 100);
    return settings;
}

// --units 3,7,12: one unit per address, on one line. Serial numbers count up in the last word
// (VirtualTransmitter::addUnit), so that each unit can be told apart.
void addUnits(const QCommandLineParser &parser, VirtualTransmitter &transmitter)
{
    if (!parser.isSet(QStringLiteral("units")))
        return;
    if (parser.isSet(QStringLiteral("address")))
        fail(QStringLiteral("--address and --units do not go together: --units gives each unit "
                            "its address"));
    const QStringList items = parser.value(QStringLiteral("units")).split(QLatin1Char(','));
    for (int i = 0; i < items.size(); ++i) {
        bool ok = false;
        const int address = items[i].toInt(&ok, 10);
        if (!ok || address < Modbus::MinSlaveAddress || address > Modbus::MaxSlaveAddress)
            fail(QStringLiteral("--units wants slave addresses from 1 to 247 separated by commas, "
                                "as in 3,7,12, not '%1'")
                     .arg(parser.value(QStringLiteral("units"))));
        if (i == 0)
            transmitter.model().settings().address = quint8(address);
        else
            transmitter.addUnit(quint8(address));
    }
}

// --offset, --slope, --noise, --drift: each unit's own error against the chamber they all sit in.
void applySensorErrors(const QCommandLineParser &parser, VirtualTransmitter &transmitter)
{
    QList<std::pair<ErrorKind, QString>> given;
    for (ErrorKind kind : {ErrorKind::Offset, ErrorKind::Slope, ErrorKind::Noise, ErrorKind::Drift})
        for (const QString &value : parser.values(errorOptionName(kind)))
            given.append({kind, value});
    QList<int> addresses;
    for (int i = 0; i < transmitter.unitCount(); ++i)
        addresses << transmitter.unit(i).settings().address;
    QMap<int, SensorError> errors;
    const QString problem = sensorErrors(given, addresses, errors);
    if (!problem.isEmpty())
        fail(problem);
    for (int i = 0; i < transmitter.unitCount(); ++i)
        transmitter.unit(i).setSensorError(errors.value(addresses[i]));
}

// --split-gap MS, or MIN-MAX for a gap drawn afresh for every piece.
void splitGapFrom(const QCommandLineParser &parser, Faults &faults)
{
    const QStringList range = parser.value(QStringLiteral("split-gap")).split(QLatin1Char('-'));
    bool ok = range.size() <= 2;
    for (int i = 0; ok && i < range.size(); ++i) {
        const int ms = range[i].toInt(&ok, 10);
        ok = ok && ms >= 0 && ms <= MaxFaultMs;
        (i == 0 ? faults.splitGapMs : faults.splitGapMaxMs) = ms;
    }
    if (!ok || faults.splitGapMaxMs != 0 && faults.splitGapMaxMs < faults.splitGapMs)
        fail(QStringLiteral("--split-gap wants milliseconds from 0 to %1, or a range as in 50-190, "
                            "not '%2'")
                 .arg(MaxFaultMs)
                 .arg(parser.value(QStringLiteral("split-gap"))));
}

Faults faultsFrom(const QCommandLineParser &parser)
{
    Faults faults;
    if (parser.isSet(QStringLiteral("split")))
        faults.splitPieces = intOption(parser, QStringLiteral("split"), 1, 256);
    if (parser.isSet(QStringLiteral("split-gap")))
        splitGapFrom(parser, faults);
    faults.corruptCrc = parser.isSet(QStringLiteral("corrupt-crc"));
    if (parser.isSet(QStringLiteral("corrupt-rate")))
        faults.corruptPercent = realOption(parser, QStringLiteral("corrupt-rate"), 0, 100);
    faults.noReply = parser.isSet(QStringLiteral("no-reply"));
    if (parser.isSet(QStringLiteral("delay")))
        faults.delayMs = intOption(parser, QStringLiteral("delay"), 0, MaxFaultMs);
    if (parser.isSet(QStringLiteral("garbage"))) {
        faults.garbageBefore =
            QByteArray::fromHex(parser.value(QStringLiteral("garbage")).toLatin1());
        if (faults.garbageBefore.isEmpty())
            fail(QStringLiteral("--garbage wants hexadecimal bytes, as in a5a5"));
    }
    if (parser.isSet(QStringLiteral("foreign-address")))
        faults.foreignAddress = intOption(parser, QStringLiteral("foreign-address"), 0, 255);
    if (parser.isSet(QStringLiteral("exception")))
        faults.exceptionCode = intOption(parser, QStringLiteral("exception"), 1, 255);
    faults.doubleReply = parser.isSet(QStringLiteral("double-reply"));
    if (parser.isSet(QStringLiteral("zero-burst")))
        faults.zeroBurst = intOption(parser, QStringLiteral("zero-burst"), 1, 4096);
    faults.ignoreWrites = parser.isSet(QStringLiteral("ignore-writes"));
    return faults;
}

void printPortPath(const QString &path)
{
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
}

// --unplug-after (once) or --unplug-every (at every period), with --replug-after: the adapter
// pulled out and plugged in again. The new port path is printed on a line of its own.
void scheduleReplug(const QCommandLineParser &parser, VirtualTransmitter &transmitter,
                    FaultSchedule &schedule)
{
    const bool once = parser.isSet(QStringLiteral("unplug-after"));
    const bool every = parser.isSet(QStringLiteral("unplug-every"));
    const bool replug = parser.isSet(QStringLiteral("replug-after"));
    if (once && every)
        fail(QStringLiteral("--unplug-after and --unplug-every do not go together"));
    if (replug != every && !once)
        fail(every ? QStringLiteral("--unplug-every goes with --replug-after")
                   : QStringLiteral("--replug-after goes with --unplug-after or --unplug-every"));
    const int replugMs =
        replug ? intOption(parser, QStringLiteral("replug-after"), 0, MaxScheduleMs) : 0;
    if (every) {
        schedule.unplugEvery(intOption(parser, QStringLiteral("unplug-every"), 1, MaxScheduleMs),
                             replugMs);
        return;
    }
    if (!once)
        return;
    const int unplugMs = intOption(parser, QStringLiteral("unplug-after"), 0, MaxScheduleMs);
    QTimer::singleShot(unplugMs, &transmitter, [&transmitter] { transmitter.unplug(); });
    if (!replug)
        return;
    QTimer::singleShot(unplugMs + replugMs, &transmitter, [&transmitter] {
        QString error;
        if (!transmitter.replug(&error))
            fail(QStringLiteral("cannot plug in again: %1").arg(error));
        printPortPath(transmitter.portPath());
    });
}

// --mute-every with --mute-for: the device silent for a while at every period.
void scheduleMute(const QCommandLineParser &parser, FaultSchedule &schedule)
{
    const bool every = parser.isSet(QStringLiteral("mute-every"));
    if (every != parser.isSet(QStringLiteral("mute-for")))
        fail(QStringLiteral("--mute-every and --mute-for go together"));
    if (every)
        schedule.muteEvery(intOption(parser, QStringLiteral("mute-every"), 1, MaxScheduleMs),
                           intOption(parser, QStringLiteral("mute-for"), 1, MaxScheduleMs));
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Virtual Modbus RTU temperature/humidity transmitter on a pseudo-terminal.\n"
        "Prints the port path on its first line; open that path in the tool's Link dialog."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QList<QCommandLineOption> options = {
        {QStringLiteral("address"), QStringLiteral("Slave address, 1 to 247 (default 1)."),
         QStringLiteral("n")},
        {QStringLiteral("units"),
         QStringLiteral("Several units on one line, one per slave address (1 to 247, repeats "
                        "allowed), as in 3,7,12. Their serial numbers count up from --serial in "
                        "the last word (1234:5678:9abc, 1234:5678:9abd, ...); the other options "
                        "apply to each. At slave 0, or at a shared address, they answer at once "
                        "and the replies collide."),
         QStringLiteral("a,a,...")},
        {QStringLiteral("baud"),
         QStringLiteral("Baud rate: 1200, 2400, 4800, 9600 (default), 19200 or 115200."),
         QStringLiteral("rate")},
        {QStringLiteral("device-type"),
         QStringLiteral("0 Tervin-O (default), 1 Tervin-C, 2 Tervin-F (Fahrenheit)."),
         QStringLiteral("n")},
        {QStringLiteral("sensor-type"), QStringLiteral("0 SHT2X/3X (default), 1 SHT3X/4X."),
         QStringLiteral("n")},
        {QStringLiteral("firmware"),
         QStringLiteral("Firmware version as three digits (default 123, shown V1.2.3)."),
         QStringLiteral("n")},
        {QStringLiteral("serial"),
         QStringLiteral("Serial number as three hex words (default 1234:5678:9abc)."),
         QStringLiteral("w:w:w")},
        {QStringLiteral("temperature"),
         QStringLiteral("Temperature in degrees Celsius (default 23.5) of the chamber every unit "
                        "measures."),
         QStringLiteral("c")},
        {QStringLiteral("humidity"),
         QStringLiteral("Relative humidity in per cent (default 45) of the chamber."),
         QStringLiteral("rh")},
        {QStringLiteral("steady"),
         QStringLiteral("Keep the readings fixed instead of drifting slowly.")},
    };
    parser.addOptions(options);
    parser.addOptions(sensorErrorOptions());
    const QList<QCommandLineOption> lineOptions = {
        {QStringLiteral("link"), QStringLiteral("Also make a symlink to the port at this path."),
         QStringLiteral("path")},
        {QStringLiteral("verbose"), QStringLiteral("Log each request and reply to stderr.")},
        {QStringLiteral("wire"),
         QStringLiteral("RS-485 timing: requests take their wire time, replies are paced at the "
                        "baud rate after the turnaround, and talking over a reply collides.")},
        {QStringLiteral("turnaround"),
         QStringLiteral("With --wire: milliseconds from a request's end to the reply (default 5)."),
         QStringLiteral("ms")},
        {QStringLiteral("adapter-latency"),
         QStringLiteral("With --wire: the USB adapter at the tool's end hands on what it has "
                        "received every ms milliseconds, as an adapter's latency timer does "
                        "(default 1: each byte as it comes; FTDI adapters keep 16)."),
         QStringLiteral("ms")},
        {QStringLiteral("split"), QStringLiteral("Fault: send each reply in n pieces."),
         QStringLiteral("n")},
        {QStringLiteral("split-gap"),
         QStringLiteral("Fault: milliseconds between the pieces, or a range as in 50-190 to draw "
                        "each gap from."),
         QStringLiteral("ms")},
        {QStringLiteral("corrupt-crc"), QStringLiteral("Fault: corrupt the CRC of every reply.")},
        {QStringLiteral("corrupt-rate"),
         QStringLiteral("Fault: corrupt the CRC of this per cent of the replies, drawn at random."),
         QStringLiteral("percent")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the random faults and noise, to repeat a run (default: a random "
                        "one)."),
         QStringLiteral("n")},
        {QStringLiteral("mute-every"),
         QStringLiteral("Fault: fall silent at every period of this many milliseconds..."),
         QStringLiteral("ms")},
        {QStringLiteral("mute-for"), QStringLiteral("...for this many milliseconds."),
         QStringLiteral("ms")},
        {QStringLiteral("frame-log"),
         QStringLiteral("Append every frame heard, every reply and every byte sent to this file, "
                        "with the mutes, unplugs and replugs."),
         QStringLiteral("file")},
        {QStringLiteral("no-reply"), QStringLiteral("Fault: never reply.")},
        {QStringLiteral("delay"), QStringLiteral("Fault: reply this many milliseconds late."),
         QStringLiteral("ms")},
        {QStringLiteral("garbage"),
         QStringLiteral("Fault: send these hex bytes before each reply."), QStringLiteral("hex")},
        {QStringLiteral("foreign-address"), QStringLiteral("Fault: reply as this slave address."),
         QStringLiteral("n")},
        {QStringLiteral("exception"),
         QStringLiteral("Fault: answer every request with this exception code."),
         QStringLiteral("code")},
        {QStringLiteral("double-reply"),
         QStringLiteral("Fault: send every reply twice, back to back.")},
        {QStringLiteral("zero-burst"),
         QStringLiteral("Fault: send n 0x00 bytes instead of each reply."), QStringLiteral("n")},
        {QStringLiteral("ignore-writes"),
         QStringLiteral("Fault: answer writes but keep the old address and baud rate.")},
        {QStringLiteral("unplug-after"),
         QStringLiteral("Drop the line this many milliseconds after the start, as an unplugged "
                        "adapter."),
         QStringLiteral("ms")},
        {QStringLiteral("unplug-every"),
         QStringLiteral("Drop the line at every period of this many milliseconds (with "
                        "--replug-after)."),
         QStringLiteral("ms")},
        {QStringLiteral("replug-after"),
         QStringLiteral("With --unplug-after or --unplug-every: bring it back this many "
                        "milliseconds later, on a new pseudo-terminal (the --link follows it)."),
         QStringLiteral("ms")},
    };
    parser.addOptions(lineOptions);
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tervin-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVIN_VERSION));
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(app.arguments()))
        fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1' (see --help)")
                 .arg(parser.positionalArguments().first()));

    VirtualTransmitter transmitter(settingsFrom(parser));
    addUnits(parser, transmitter);
    applySensorErrors(parser, transmitter);
    transmitter.setFaults(faultsFrom(parser));
    transmitter.setVerbose(parser.isSet(QStringLiteral("verbose")));
    if (parser.isSet(QStringLiteral("turnaround")) && !parser.isSet(QStringLiteral("wire")))
        fail(QStringLiteral("--turnaround goes with --wire"));
    if (parser.isSet(QStringLiteral("adapter-latency")) && !parser.isSet(QStringLiteral("wire")))
        fail(QStringLiteral("--adapter-latency goes with --wire"));
    transmitter.setWire(parser.isSet(QStringLiteral("wire")),
                        parser.isSet(QStringLiteral("turnaround"))
                            ? intOption(parser, QStringLiteral("turnaround"), 0, 10000)
                            : 5,
                        parser.isSet(QStringLiteral("adapter-latency"))
                            ? intOption(parser, QStringLiteral("adapter-latency"), 1, 255)
                            : 1);
    QString error;
    if (!transmitter.start(&error))
        fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(error));
    if (parser.isSet(QStringLiteral("link")) &&
        !transmitter.makeLink(parser.value(QStringLiteral("link")), &error))
        fail(error);
    if (parser.isSet(QStringLiteral("frame-log")) &&
        !transmitter.openFrameLog(parser.value(QStringLiteral("frame-log")), &error))
        fail(QStringLiteral("cannot write the frame log: %1").arg(error));
    transmitter.setSeed(parser.isSet(QStringLiteral("seed"))
                            ? quint32(intOption(parser, QStringLiteral("seed"), 0, INT_MAX))
                            : QRandomGenerator::global()->bounded(quint32(INT_MAX)));
    printPortPath(transmitter.portPath());
    FaultSchedule schedule(transmitter);
    QObject::connect(&schedule, &FaultSchedule::replugged, &printPortPath);
    QObject::connect(&schedule, &FaultSchedule::replugFailed, [](const QString &error) {
        fail(QStringLiteral("cannot plug in again: %1").arg(error));
    });
    scheduleReplug(parser, transmitter, schedule);
    scheduleMute(parser, schedule);

    // Signals end the event loop, so the destructors remove the link and close the pty.
    if (pipe(signalPipe) != 0)
        fail(QStringLiteral("cannot create a pipe"));
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    const int status = app.exec();
    if (parser.isSet(QStringLiteral("wire")))
        std::printf("collisions: %d\n", transmitter.collisions());
    return status;
}
