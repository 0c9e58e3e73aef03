#pragma once

#include "framelog.h"
#include "line.h"
#include "transmittermodel.h"

#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QString>

#include <deque>

class QSocketNotifier;
class QTimer;

// A simulated transmitter on the master end of a pseudo-terminal. The tool opens the slave
// end (portPath()). It answers only while the line is set to the device's own baud rate,
// as a real device would. Runs on the event loop of the thread that owns it.
//
// More units can share the line, as on a multi-drop RS-485 bus: each hears every request at
// its own rate and answers its own address and slave 0. When two or more answer one request,
// their replies collide and the tool receives garbled bytes (see Collision::overlap).
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
    // Closes the master end and removes the link, as if the adapter had been unplugged.
    void unplug();
    // A new pseudo-terminal, as the adapter plugged in again; the link follows it, as a USB
    // adapter comes back under its old name.
    bool replug(QString *error = nullptr);
    bool isPlugged() const { return masterFd >= 0; }

    // The first unit, the one given to the constructor.
    TransmitterModel &model() { return units.front(); }

    // Adds a unit on the line and returns its index. Addresses and serial numbers may repeat.
    int addUnit(const DeviceSettings &settings);
    // A unit like the first as it is now, at this address, with the first's serial number plus
    // its index in the last word (1234:5678:9abc, 1234:5678:9abd, ...).
    int addUnit(quint8 address);
    int unitCount() const { return int(units.size()); }
    TransmitterModel &unit(int index) { return units.at(size_t(index)); }

    void setFaults(const Faults &faults) { fault = faults; }
    const Faults &faults() const { return fault; }
    void setVerbose(bool on) { verbose = on; }
    // The draws of the random faults start from this seed (recorded in the frame log), so that a
    // run can be repeated.
    void setSeed(quint32 seed);
    // A mute device hears requests (and records them) but neither handles nor answers them.
    void setMuted(bool on);
    bool isMuted() const { return muted; }
    // Records every frame heard, every reply and the bytes that went onto the wire (FrameLog).
    bool openFrameLog(const QString &path, QString *error = nullptr);

    // RS-485 timing: a request takes its wire time to arrive, the reply starts after the
    // turnaround and goes out paced at the baud rate. Bytes that arrive while the device is
    // answering collide: it never hears them, and the rest of its reply is garbled.
    // The adapter at the tool's end hands on what it has received every latencyMs, as a USB
    // adapter's latency timer does (1: each byte as it comes).
    void setWire(bool on, int turnaroundMs = 5, int latencyMs = 1);
    // Collisions so far: the tool talking over a reply (with wire timing), and each unit that
    // answers together with another (n - 1 for n units answering one request, with or without).
    int collisions() const { return collisionCount; }

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
    void respond(const QByteArray &bytes, double byteMs);
    void sendPieces(const QByteArray &bytes);
    int splitGap();
    const char *corruptAtRandom(QByteArray &reply);
    void transmit(const QByteArray &bytes, double byteMs);
    void paceOut();
    void writeMaster(const QByteArray &bytes, bool record = true);
    int frameRate() const;

    std::deque<TransmitterModel> units; // references stay valid as units are added
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
    bool muted = false;
    int plugs = 0; // pieces of a reply due after an unplug never reach a later line
    QRandomGenerator random;
    FrameLog frameLog;

    bool wire = false;
    int turnaroundMs = 5;
    int adapterLatencyMs = 1;
    QElapsedTimer clock;
    qint64 arrivalEnd = 0;     // when the last byte of the request on its way has arrived
    qint64 answeringUntil = 0; // the device answers from a request's end to its reply's last byte
    QTimer *pacer = nullptr;
    QByteArray outgoing; // the reply on the wire, and how much of it has gone
    int outgoingSent = 0;
    qint64 outgoingStart = 0;
    double outgoingByteMs = 0;
    bool garbled = false;
    int collisionCount = 0;
};
