#pragma once

#include <QSerialPort>
#include <QString>

// Opening the port a transmitter hangs on, shared by the window and the command-line tool.

enum class PortTrouble {
    Other,      // the system's reason says it all
    Permission, // the device file is closed to this account: the dialout group
    InUse,      // the file is open to us, but another program holds the port
};
PortTrouble portTrouble(QSerialPort::SerialPortError error, bool deviceAccessible);

// Why a port cannot be opened, in the user's words: "permission denied (add your account to the
// dialout group)" when the device file is closed to this account, "in use" when it is open but
// another program holds it, otherwise the system's reason.
QString portProblem(QSerialPort::SerialPortError error, bool deviceAccessible,
                    const QString &systemReason);

// Whether this account may read and write the device file (a permission error of an accessible
// file is another program's lock).
bool deviceAccessible(const QString &portName);

// Opens the port read-write at this rate, 8N1 without flow control, as the transmitters talk.
// Returns why it cannot be opened (portProblem), or an empty string.
QString openTransmitterPort(QSerialPort &port, const QString &portName, int baudRate);
