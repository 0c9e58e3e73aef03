#pragma once

#include "link/portfailure.h"

#include <QObject>

class QSerialPort;

// What the link session needs of a serial port. The tool and tervin-cli use SerialLinkPort; the
// tests hand the session a fake that delivers bytes in chosen pieces and fails on demand.
class LinkPort : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Opens the port read-write at this rate, 8N1 without flow control, as the transmitters talk
    // (closing it first when it is open).
    virtual PortFailure open(const QString &name, int baudRate) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual QString name() const = 0;
    virtual void setBaudRate(int baudRate) = 0;
    virtual int baudRate() const = 0;
    // Writes the whole frame; the reason when it could not.
    virtual QString write(const QByteArray &bytes) = 0;
    virtual QByteArray readAll() = 0;

signals:
    void readyRead();
    // An error on the open port: the adapter is failing or gone.
    void failed(const PortFailure &failure);
};

// A serial port that one program at a time may open: a second, this tool or another, is refused
// as busy whatever name it gives the device (its path, a symlink, a relative name), root
// included.
class SerialLinkPort : public LinkPort
{
    Q_OBJECT

public:
    // The port stays the caller's; the session reaches it only through this.
    explicit SerialLinkPort(QSerialPort *port, QObject *parent = nullptr);
    ~SerialLinkPort() override;

    PortFailure open(const QString &name, int baudRate) override;
    void close() override;
    bool isOpen() const override;
    QString name() const override;
    void setBaudRate(int baudRate) override;
    int baudRate() const override;
    QString write(const QByteArray &bytes) override;
    QByteArray readAll() override;

private:
    void unlock();

    QSerialPort *port;
    QString openedName;      // as given: the serial port library shortens /dev paths
    int lockDescriptor = -1; // the device, held locked while the port is open
};
