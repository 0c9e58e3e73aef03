#pragma once

#include "transmittermodel.h"

#include <QList>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// Misbehaviour on purpose, applied to every reply while set.
struct Faults
{
    int splitPieces = 1;     // send the reply in this many pieces...
    int splitGapMs = 0;      // ...this far apart
    bool corruptCrc = false; // flip the CRC's last byte
    bool noReply = false;
    int delayMs = 0;          // wait this long before replying
    QByteArray garbageBefore; // bytes sent just before the reply
    int foreignAddress = -1;  // reply as this slave address instead (CRC made to fit)
    int exceptionCode = 0;    // answer every request with this exception instead
    bool doubleReply = false; // the reply twice, back to back in one write
    int zeroBurst = 0;        // this many 0x00 bytes instead of the reply (failing adapter)
};

// A simulated transmitter on the master end of a pseudo-terminal. The tool opens the slave
// end (portPath()). It answers only while the line is set to the device's own baud rate,
// as a real device would. Runs on the event loop of the thread that owns it.
class VirtualTransmitter : public QObject
{
    Q_OBJECT

public:
    explicit VirtualTransmitter(const DeviceSettings &settings = DeviceSettings(),
                                QObject *parent = nullptr);
    ~VirtualTransmitter() override;

    bool start(QString *error = nullptr);
    QString portPath() const { return slavePath; }
    // A stable name for the port: a symlink to portPath(), removed when the transmitter ends.
    bool makeLink(const QString &path, QString *error = nullptr);
    // Writes these bytes to the tool as they are, outside any exchange.
    void sendRaw(const QByteArray &bytes) { writeMaster(bytes); }
    // Closes the master end, as if the adapter had been unplugged.
    void unplug();

    TransmitterModel &model() { return device; }
    void setFaults(const Faults &faults) { fault = faults; }
    const Faults &faults() const { return fault; }
    void setVerbose(bool on) { verbose = on; }

    // Frames received (answered or not) and bytes written, in order.
    QList<QByteArray> requests() const { return received; }
    QList<QByteArray> replies() const { return sent; }
    void clearHistory();

    // Line rate the tool has set on the port, in bit/s (0 when it cannot be read).
    int lineBaudRate() const;

signals:
    void requestReceived(const QByteArray &frame);
    void replySent(const QByteArray &bytes);

private:
    void readMaster();
    void frameEnded();
    void respond(const QByteArray &request);
    QByteArray applyFaults(const QByteArray &reply) const;
    void sendPieces(const QByteArray &bytes);
    void writeMaster(const QByteArray &bytes);
    int silentIntervalMs() const;

    TransmitterModel device;
    Faults fault;
    int masterFd = -1;
    QString slavePath;
    QString linkPath;
    QSocketNotifier *notifier = nullptr;
    QTimer *silence = nullptr; // the Modbus RTU gap that ends a frame
    QTimer *retry = nullptr;   // polls the master while no one holds the slave end open
    QByteArray incoming;
    QList<QByteArray> received;
    QList<QByteArray> sent;
    bool verbose = false;
};
