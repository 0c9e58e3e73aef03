#pragma once

#include <QSerialPort>
#include <QString>

// Why a port cannot be opened, or why an open one was lost: the common cases each have a text of
// their own in the user's language; anything else is told in the system's words after a lead-in.
// The window, its Link dialog and tervin-cli all say it the same way.
struct PortFailure
{
    enum Kind {
        None,
        Unplugged,        // the device node went away with the adapter
        NoSuchPort,       // nothing by that name
        PermissionDenied, // the device file is closed to this account: the dialout group
        Busy,             // the file is open to us, but another program holds the port
        IoError,          // the adapter or its driver fails
        FailingAdapter,   // a storm of 0x00/0xFF bytes instead of replies
        Other,
    };
    Kind kind = None;
    QString systemText; // the system's own words, shown only for Other

    bool failed() const { return kind != None; }
    // "the adapter was unplugged", "permission denied (add your account to the dialout group)", ...
    QString text() const;
};

// An error met while opening a port, given whether the device file exists and whether this
// account may read and write it.
PortFailure::Kind openFailureKind(QSerialPort::SerialPortError error, bool exists, bool accessible);
// An error met on an open port: an adapter whose device file has gone was unplugged.
PortFailure::Kind lossKind(QSerialPort::SerialPortError error, bool exists);

// The device file of a port name: a bare name ("ttyUSB0") lies in /dev, as the serial port
// library takes it; a name with a slash is a path.
QString devicePath(const QString &portName);
bool deviceExists(const QString &portName);
bool deviceAccessible(const QString &portName);
