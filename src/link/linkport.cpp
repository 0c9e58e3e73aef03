#include "link/linkport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSerialPort>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace {
// Two programs on one line interleave their requests and take each other's replies. The serial
// port library's lock file is named after the name given, so another name for the same device
// passes it, and the terminal's exclusive mode does not hold against root. A lock on the device
// file itself is met under every name that leads to it, holds against root, and goes with the
// program however it ends. It is taken on a descriptor of its own before the port is opened, so
// that a program refused never touches the line's settings. The descriptor when the lock is
// held; -1 with `busy` set when another holds it, -1 alone when the device cannot be opened (the
// port's own open then says why).
int lockDevice(const QString &path, bool &busy)
{
    busy = false;
    const int descriptor =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return -1;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return descriptor;
    busy = errno == EWOULDBLOCK;
    ::close(descriptor);
    return -1;
}
} // namespace

SerialLinkPort::SerialLinkPort(QSerialPort *port, QObject *parent) : LinkPort(parent), port(port)
{
    connect(port, &QSerialPort::readyRead, this, &LinkPort::readyRead);
    // Unplugging an adapter shows up only as an error on the open port (an open that fails reports
    // its error too, and is answered by open()).
    connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || !this->port->isOpen())
            return;
        emit failed({lossKind(error, deviceExists(openedName)), this->port->errorString()});
    });
}

SerialLinkPort::~SerialLinkPort()
{
    unlock();
}

PortFailure SerialLinkPort::open(const QString &name, int baudRate)
{
    close();
    openedName = name;
    bool busy = false;
    lockDescriptor = lockDevice(devicePath(name), busy);
    if (busy)
        return {PortFailure::Busy, QString()};
    port->setPortName(name);
    if (!port->open(QIODevice::ReadWrite)) {
        unlock();
        return {openFailureKind(port->error(), deviceExists(name), deviceAccessible(name)),
                port->errorString()};
    }
    port->setBaudRate(baudRate, QSerialPort::AllDirections);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    return {};
}

void SerialLinkPort::close()
{
    port->close();
    unlock();
}

void SerialLinkPort::unlock()
{
    if (lockDescriptor >= 0)
        ::close(std::exchange(lockDescriptor, -1));
}

bool SerialLinkPort::isOpen() const
{
    return port->isOpen();
}

QString SerialLinkPort::name() const
{
    return openedName;
}

void SerialLinkPort::setBaudRate(int baudRate)
{
    port->setBaudRate(baudRate, QSerialPort::AllDirections);
}

int SerialLinkPort::baudRate() const
{
    return port->baudRate();
}

QString SerialLinkPort::write(const QByteArray &bytes)
{
    if (!port->isOpen())
        return QCoreApplication::translate("Link", "port closed");
    if (port->write(bytes) != bytes.size())
        return port->errorString();
    // On the wire now, not when the event loop next turns: the response timeout starts here.
    port->flush();
    return QString();
}

QByteArray SerialLinkPort::readAll()
{
    return port->readAll();
}
