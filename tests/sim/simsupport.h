#pragma once

// What the virtual transmitter's tests share: requests and replies as the tool sends and expects
// them, an exchange on the tool's end of the line, the transmitter's frame log read back, and the
// tervin-sim program run.

#include "protocol/modbusframe.h"

#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QTest>

namespace SimSupport {

inline QByteArray request(quint8 function, quint8 slave, quint16 reg, quint16 countOrValue)
{
    return ModbusFrame::buildRequest(slave, function, reg, countOrValue);
}

inline QByteArray reply(const QByteArray &hexWithoutCrc)
{
    return ModbusFrame::withCrc(QByteArray::fromHex(hexWithoutCrc));
}

// Writes a request on the tool's end of the line and collects `expected` bytes of answer.
inline QByteArray exchange(QSerialPort &line, const QByteArray &request, int expected)
{
    line.write(request);
    QByteArray answer;
    (void)QTest::qWaitFor([&] { return (answer += line.readAll()).size() >= expected; }, 5000);
    return answer;
}

inline bool crcFits(const QByteArray &frame)
{
    return frame.size() > 2 && ModbusFrame::withCrc(frame.left(frame.size() - 2)) == frame;
}

// The frame log's lines of one kind ("TX", "PIECE", ...), each split into its fields.
inline QList<QStringList> logged(const QString &path, const QString &kind)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QList<QStringList> lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.split(' ').value(1) == kind.toLatin1())
            lines << QString(line).split(' ');
    return lines;
}

// tervin-sim run with these arguments; SIGTERM ends it when the test is done.
struct SimProgram
{
    explicit SimProgram(const QStringList &arguments)
    {
        process.start(TERVIN_BUILD_DIR "/sim/tervin-sim", arguments);
        if (process.waitForReadyRead(5000))
            port = QString(process.readLine().trimmed());
    }
    ~SimProgram()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    QProcess process;
    QString port; // the line it printed, empty when it did not start
};

// Whether tervin-sim refuses these arguments as a usage error (exit code 2) naming `error`.
inline bool refuses(const QStringList &arguments, const QString &error)
{
    QProcess sim;
    sim.start(TERVIN_BUILD_DIR "/sim/tervin-sim", arguments);
    return sim.waitForFinished(5000) && sim.exitCode() == 2 &&
           QString::fromUtf8(sim.readAllStandardError()).contains(error);
}

} // namespace SimSupport
