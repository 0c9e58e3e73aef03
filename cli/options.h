#pragma once

#include "mqtturl.h"
#include "link/checksettings.h"
#include "link/productioncheck.h"
#include "readinglimits.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The translation context of the command-line tool's texts.
class Cli
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

// The command line of tervin-cli: what to do, on which ports, and how to print it. Scripts rely
// on these names; a new option is added, none is renamed.
enum class Command { Scan, Info, Read, SetAddress, SetBaud, Commission, Check };
enum class Format { Text, Csv, Json };
enum class What { All, Temperature, Humidity, DewPoint };

enum ExitCode {
    Success = 0,
    NoAnswer = 1,   // a device did not answer, refused, or a change was not verified
    UsageError = 2, // nothing was sent
    PortError = 3,  // a port could not be opened, or went away
    OutputLost = 3, // standard output or the --log file could not be written or closed
};

// read --mqtt: the broker the readings are published to, and how (mqttsink.h).
struct MqttOptions
{
    static constexpr int DefaultQueue = 100000;

    std::optional<MqttUrl> url; // nothing: no broker
    QString prefix = QStringLiteral("tervin");
    bool discovery = true; // Home Assistant's discovery messages
    int queueBound = DefaultQueue;
    QString user;
    QString passwordFile; // read when the run starts; else TERVIN_MQTT_PASSWORD, if set
    QString caFile;
};

struct CliOptions
{
    Command command = Command::Scan;
    QStringList ports;
    Format format = Format::Text;
    QString logFile;
    int timeoutMs = 0; // 0: the response timeout the rate gives
    bool verbose = false;
    int baudRate = 0; // 0: search the six rates
    int address = 0;  // 0: whichever device is on the line (it answers at slave 0)
    // The slaves asked in turn, one request on the line at a time: scan --addresses LIST (the
    // units of a multi-drop line), read --address A,B,... (two or more; one stays in address).
    QList<int> addresses;
    bool hundredths = false;
    What what = What::All;
    int count = 1; // 0: until interrupted
    int periodMs = 1000;
    int newValue = 0; // the address or rate set-address and set-baud write
    // commission: the unit is found as scan finds it (slave 0, the rates searched), then given
    // newAddress and, unless it is 0, newBaudRate; its reading must lie within the limits given.
    int newAddress = 0;
    int newBaudRate = 0;
    std::optional<Limits> expectTemperature; // °C
    std::optional<Limits> expectHumidity;    // %
    int retries = 0;                         // resends after no answer or a garbled reply
    bool noHeader = false;                   // CSV without its header line, to append to a file
    bool quiet = false;                      // read: no records on standard output
    MqttOptions mqtt;
    // check: the units at addresses against a reference; the settings as given, each tolerance
    // unset for the family's own. A reference unit is polled with the units whether or not the
    // list names it.
    CheckSettings check;
    bool referenceTyped = false;  // --reference-temperature or --reference-humidity given
    QString reportFile;           // the PDF; the CSV beside it (reportFiles)
    QString note;                 // the operator's: lot, order, chamber
    QString firstPointFile;       // the first point's CSV report, for a two-point check
    QList<UnitResult> firstPoint; // its units, read before anything is sent
};

struct ParsedCommandLine
{
    enum Outcome { Run, Help, Version, Usage } outcome = Run;
    CliOptions options;
    QString error; // for Usage: what is wrong, naming the argument
};

// Reads the arguments after the program name. Pure: touches no port and no file (the port
// names are resolved to devices afterwards, see ports.h).
ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString helpText();
QString commandName(Command command);
// Every command and every option, as --help, the manual page and the completion list them.
QStringList commandNames();
QStringList optionNames();
