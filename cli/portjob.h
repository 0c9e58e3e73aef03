#pragma once

#include "link/linksession.h"
#include "options.h"
#include "output.h"
#include "records.h"

#include <QObject>

class QSerialPort;
class QTimer;

// One port's share of a command, run on the event loop through the port's link session: find
// the device (at the given rate, or trying the six in the window's order), then read, or write
// and let the session verify the change. It ends with one record, or one per reading, and an exit
// code.
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
    enum Step { Identify, WriteSetting, Poll };

    void written(const LinkSession::Request &request);
    void notSent(const LinkSession::Request &request, const QString &reason);
    void answered(const LinkSession::Request &request, const QByteArray &reply,
                  const ModbusReply::Decoded &decoded);
    void unanswered(const LinkSession::Request &request, int timeoutMs);
    void late(const QByteArray &frame);
    void dropped(const QByteArray &bytes, LinkSession::DropReason reason);
    void portLost(const PortFailure &failure);
    void changeChecked(const Verification &result);
    void trouble(const QString &what, const QByteArray &bytes);

    void identify();
    void identified();
    void nextRate(const QString &why);
    void writeSetting();
    void startPolling();
    void poll();
    void pollOutcome(Result result, const QString &error, const Reading &reading = Reading());
    void takeIdentity(const UnitIdentity &unit);

    void fail(Result result, const QString &error);
    void finishDevice(Result result, const QString &error = QString());
    void finish(Result worst);
    void logFrame(bool received, const QByteArray &frame, const QString &note = QString());
    QString withProblem(const QString &text) const;
    int currentRate() const { return rates.at(rateIndex); }

    CliOptions options;
    QString portName;
    PortOutput output;
    QSerialPort *serial;
    SystemClock clock;
    LinkSession *session;
    QTimer *pollTimer; // read: one poll a period
    QList<int> rates;  // the rate given, or the six to search
    int rateIndex = 0;
    QString problem;      // what came instead of the answer to the request on the line
    QString firstProblem; // the same, kept from the search's earlier rates
    DeviceRecord record;
    quint16 pollRegister = 0;
    int outcomes = 0;
    Result worstPoll = Result::Ok;
    bool sentAny = false; // a request went out: the record's tries
    bool done = false;
    int code = Success;
};
