#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The translation context of the command-line tool's texts.
class Cli
{
    Q_DECLARE_TR_FUNCTIONS(Cli)
};

// The command line of tervin-cli: what to do, on which ports, and how to print it. Scripts rely
// on these names; a new option is added, none is renamed.
enum class Command { Scan, Info, Read, SetAddress, SetBaud };
enum class Format { Text, Csv, Json };
enum class What { All, Temperature, Humidity, DewPoint };

enum ExitCode {
    Success = 0,
    NoAnswer = 1,   // a device did not answer, refused, or a change was not verified
    UsageError = 2, // nothing was sent
    PortError = 3,  // a port could not be opened, or went away
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
    bool hundredths = false;
    What what = What::All;
    int count = 1; // 0: until interrupted
    int periodMs = 1000;
    int newValue = 0; // the address or rate set-address and set-baud write
};

struct ParsedCommandLine
{
    enum Outcome { Run, Help, Version, Usage } outcome = Run;
    CliOptions options;
    QString error; // for Usage: what is wrong, naming the argument
};

// Reads the arguments after the program name. Pure: touches no port and no file.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString helpText();
QString commandName(Command command);
// Every command and every option, as --help, the manual page and the completion list them.
QStringList commandNames();
QStringList optionNames();
