#pragma once

#include <QString>
#include <QStringList>

// From the port names on the command line to the paths opened. A name with a / in it, or one
// that exists as given (relative to the current folder), is used as given; a bare name is looked
// up under /dev/, as "ttyUSB0" means /dev/ttyUSB0. This looks at the file system, so it stands
// apart from the pure argument parser.

// The path tried for a name: absolute, or starting with ./ or ../ (the serial port would look
// any other relative path up under /dev/ itself).
QString portPath(const QString &name);

struct ResolvedPorts
{
    QStringList paths; // one for each name, in the same order
    QString error;     // a usage error: the same device given twice, naming both
};

// Resolves each name, and refuses the same device under two names: the same path, a symlink
// and its target (/dev/serial/by-id/... and /dev/ttyUSB0), or two device files with the same
// device numbers. A name that does not exist is left for opening the port to report.
ResolvedPorts resolvePorts(const QStringList &names);

// Why the --log file may not be written, as a usage error: it is one of the ports (the capture
// would be sent down the line), under any name, or another device (a terminal, another serial
// port, a disk). A file, a new file, a fifo or a pipe (--log >(gzip >capture.gz)) may be
// written, and so may /dev/null, which only discards. Empty when it may; `ports` are the
// resolved paths.
QString logProblem(const QString &log, const QStringList &ports);
