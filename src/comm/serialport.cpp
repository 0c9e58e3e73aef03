#include "comm/serialport.h"

#include <QCoreApplication>
#include <QFileInfo>

PortTrouble portTrouble(QSerialPort::SerialPortError error, bool deviceAccessible)
{
    if (error != QSerialPort::PermissionError)
        return PortTrouble::Other;
    return deviceAccessible ? PortTrouble::InUse : PortTrouble::Permission;
}

QString portProblem(QSerialPort::SerialPortError error, bool deviceAccessible,
                    const QString &systemReason)
{
    switch (portTrouble(error, deviceAccessible)) {
    case PortTrouble::Permission:
        return QCoreApplication::translate(
            "SerialportSettingDialog", "permission denied (add your account to the dialout group)");
    case PortTrouble::InUse:
        return QCoreApplication::translate("SerialportSettingDialog", "in use");
    case PortTrouble::Other:
        break;
    }
    return systemReason;
}

bool deviceAccessible(const QString &portName)
{
    const QFileInfo device(portName);
    return device.isReadable() && device.isWritable();
}

QString openTransmitterPort(QSerialPort &port, const QString &portName, int baudRate)
{
    port.close();
    port.setPortName(portName);
    if (!port.open(QIODevice::ReadWrite))
        return portProblem(port.error(), deviceAccessible(portName), port.errorString());
    port.setBaudRate(baudRate, QSerialPort::AllDirections);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    return QString();
}
