#include "link/portfailure.h"

#include <QCoreApplication>
#include <QFileInfo>

QString PortFailure::text() const
{
    switch (kind) {
    case None:
        return QString();
    case Unplugged:
        return QCoreApplication::translate("Link", "the adapter was unplugged");
    case NoSuchPort:
        return QCoreApplication::translate("Link", "no such port");
    case PermissionDenied:
        return QCoreApplication::translate(
            "Link", "permission denied (add your account to the dialout group)");
    case Busy:
        return QCoreApplication::translate("Link", "in use by another program");
    case IoError:
        return QCoreApplication::translate("Link", "input/output error");
    case FailingAdapter:
        return QCoreApplication::translate(
            "Link", "a storm of 0x00/0xFF bytes, the sign of a failing adapter");
    case Other:
        break;
    }
    return QCoreApplication::translate("Link", "the system reports: %1").arg(systemText);
}

PortFailure::Kind openFailureKind(QSerialPort::SerialPortError error, bool exists, bool accessible)
{
    if (!exists)
        return PortFailure::NoSuchPort;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return PortFailure::NoSuchPort;
    case QSerialPort::PermissionError:
        return accessible ? PortFailure::Busy : PortFailure::PermissionDenied;
    case QSerialPort::OpenError: // already open
        return PortFailure::Busy;
    case QSerialPort::ResourceError:
        return PortFailure::IoError;
    default:
        return PortFailure::Other;
    }
}

PortFailure::Kind lossKind(QSerialPort::SerialPortError error, bool exists)
{
    if (!exists)
        return PortFailure::Unplugged;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        return PortFailure::IoError;
    default:
        return PortFailure::Other;
    }
}

QString devicePath(const QString &portName)
{
    return portName.contains(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

bool deviceExists(const QString &portName)
{
    return QFileInfo::exists(devicePath(portName));
}

bool deviceAccessible(const QString &portName)
{
    const QFileInfo device(devicePath(portName));
    return device.isReadable() && device.isWritable();
}
