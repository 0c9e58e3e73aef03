#pragma once

// Running tervin-cli from a test: the program in a process of its own, the virtual transmitters
// on this test's event loop, and the lines it printed taken apart.
#include "virtualtransmitter.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

namespace CliRun {

struct Outcome
{
    int exitCode = -1;
    QStringList out;
    QString err;
};

inline QVariantMap json(const QString &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    return error.error == QJsonParseError::NoError && document.isObject()
               ? document.object().toVariantMap()
               : QVariantMap{{"unparsable", line}};
}

// tervin-cli (or another program) in a process of its own, its output read as it comes while this
// event loop serves the transmitters; killed, if it still runs, when the Run goes.
class Run
{
public:
    explicit Run(const QStringList &arguments,
                 const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                 const QString &folder = QString(), const QString &program = TERVIN_CLI)
    {
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder);
        process.start(program, arguments);
    }
    ~Run()
    {
        process.kill();
        process.waitForFinished();
    }

    // The whole lines of standard output so far.
    QStringList lines()
    {
        out += process.readAllStandardOutput();
        return QString::fromUtf8(out.left(out.lastIndexOf('\n') + 1))
            .split('\n', Qt::SkipEmptyParts);
    }
    QList<QVariantMap> records(const QString &key = QString(), const QVariant &value = QVariant())
    {
        QList<QVariantMap> found;
        for (const QString &line : lines())
            if (key.isEmpty() || json(line).value(key) == value)
                found << json(line);
        return found;
    }
    QString errors()
    {
        err += process.readAllStandardError();
        return QString::fromUtf8(err);
    }
    // The exit status once it has ended, -1 when a signal ended it.
    int finished()
    {
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000))
            return -2;
        lines();
        errors();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    Outcome outcome()
    {
        const int exitCode = finished();
        return {exitCode, QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts), errors()};
    }

    QProcess process;

private:
    QByteArray out;
    QByteArray err;
};

inline Outcome cli(const QStringList &arguments)
{
    return Run(arguments).outcome();
}

// The record lines of a run in any format, as field maps. Text records are
// "TIME  PORT: a b, c d, ...": their parts are numbered from 0.
inline QList<QVariantMap> records(const QString &format, QStringList lines)
{
    QList<QVariantMap> maps;
    const QStringList header =
        format == "csv" && !lines.isEmpty() ? lines.takeFirst().split(',') : QStringList();
    for (const QString &line : lines) {
        if (format == "json") {
            maps << json(line);
            continue;
        }
        QVariantMap map;
        QString rest = line;
        if (format == "text") {
            map["time"] = line.section("  ", 0, 0);
            map["port"] = line.section("  ", 1).section(": ", 0, 0);
            rest = line.section(": ", 1);
        }
        const QStringList fields = format == "csv" ? rest.split(',') : rest.split(", ");
        for (int i = 0; i < fields.size(); ++i)
            map[format == "csv" ? header.value(i) : QString::number(i)] = fields[i];
        maps << map;
    }
    return maps;
}

// The ISO 8601 time with milliseconds and the offset from UTC that every record starts with.
inline bool isRecordTime(const QString &text)
{
    return QRegularExpression(
               "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$")
        .match(text)
        .hasMatch();
}

struct Transmitter
{
    std::unique_ptr<VirtualTransmitter> device;
    QString port;
};

inline Transmitter transmitter(const DeviceSettings &settings)
{
    auto device = std::make_unique<VirtualTransmitter>(settings);
    if (!device->start())
        qFatal("no pseudo-terminal");
    const QString port = device->portPath();
    return {std::move(device), port};
}

} // namespace CliRun
