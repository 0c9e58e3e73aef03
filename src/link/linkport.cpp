#include "link/linkport.h"

#include <QCoreApplication>
#include <QSerialPort>

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

PortFailure SerialLinkPort::open(const QString &name, int baudRate)
{
    port->close();
    openedName = name;
    port->setPortName(name);
    if (!port->open(QIODevice::ReadWrite))
        return {openFailureKind(port->error(), deviceExists(name), deviceAccessible(name)),
                port->errorString()};
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
