#pragma once

#include "comm/commstate.h"
#include "options.h"
#include "output.h"
#include "protocol/requestline.h"
#include "records.h"

#include <QObject>
#include <QSerialPort>

class QTimer;

// One port's share of a command, run on the event loop: open the port, find the device (at the
// given rate, or trying the six in the window's order), then read, or write and verify, one
// request on the line at a time. It ends with one record, or one per reading, and an exit code.
class PortJob : public QObject
{
    Q_OBJECT

public:
    PortJob(const CliOptions &options, const QString &portName, const PortOutput &output,
            QObject *parent = nullptr);

    void start();
    bool isDone() const { return done; }
    int exitCode() const { return code; }

signals:
    void finished();

private:
    enum Step { Identify, WriteSetting, Verify, Poll };

    bool transmit(const RequestLine::Request &request);
    void readBytes();
    void dropBytes();
    void trouble(const QString &what, const QByteArray &bytes);
    void answered(const RequestLine::Request &request, const QByteArray &reply);
    void timedOut(const RequestLine::Request &request, int timeoutMs);
    void portError(QSerialPort::SerialPortError error);

    void identify();
    void identified(const QByteArray &reply);
    void writeSetting();
    void verify();
    void verified(const QByteArray &reply);
    void startPolling();
    void poll();
    void pollOutcome(Result result, const QString &error, const Reading &reading = Reading());
    void takeDeviceInfo(const QByteArray &reply);

    void fail(Result result, const QString &error);
    void finishDevice(Result result, const QString &error = QString());
    void finish(Result worst);
    void logFrame(bool received, const QByteArray &frame, const QString &note = QString());
    QString exceptionText(const QByteArray &reply) const;
    QString withProblem(const QString &text) const;
    int currentRate() const { return rates.at(rateIndex); }

    CliOptions options;
    QString portName;
    PortOutput output;
    QSerialPort *port;
    RequestLine *line;
    QTimer *silence;   // bytes that never became a reply are dropped after this much quiet
    QTimer *pollTimer; // read: one poll a period
    QList<int> rates;  // the rate given, or the six to search
    int rateIndex = 0;
    QByteArray buffer;
    QString problem;      // what came instead of the answer to the request on the line
    QString firstProblem; // the same, kept from the search's earlier rates
    CommStateRecord state;
    DeviceRecord record;
    quint16 pollRegister = 0;
    int outcomes = 0;
    Result worstPoll = Result::Ok;
    bool sentAny = false; // a request went out: the record's tries
    bool done = false;
    int code = Success;
};
