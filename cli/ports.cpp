#include "ports.h"

#include "options.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace {
const QString DeviceFolder = QStringLiteral("/dev/");

bool usedAsGiven(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("./")) ||
           path.startsWith(QLatin1String("../"));
}

// What makes two paths the same device: a device file's device numbers (two nodes may share
// them), otherwise the file itself.
struct Identity
{
    bool exists = false;
    bool characterDevice = false;
    dev_t device = 0;
    ino_t inode = 0;

    bool operator==(const Identity &other) const
    {
        return exists && other.exists && characterDevice == other.characterDevice &&
               device == other.device && (characterDevice || inode == other.inode);
    }
};

Identity identityOf(const QString &path, mode_t *type = nullptr)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Identity();
    if (type)
        *type = status.st_mode & S_IFMT;
    const bool character = S_ISCHR(status.st_mode);
    return {true, character, character ? status.st_rdev : status.st_dev, status.st_ino};
}

QString deviceName(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}
} // namespace

QString portPath(const QString &name)
{
    if (usedAsGiven(name))
        return name;
    if (name.contains(QLatin1Char('/')) || QFileInfo::exists(name))
        return QStringLiteral("./") + name;
    return DeviceFolder + name;
}

QString logProblem(const QString &log, const QStringList &ports)
{
    mode_t type = 0;
    const Identity identity = identityOf(log, &type);
    for (const QString &port : ports)
        if (identity == identityOf(port))
            return Cli::tr("--log %1 is the port %2: the frames would be sent down the line")
                .arg(log, port);
    const bool device = type == S_IFCHR || type == S_IFBLK;
    if (device && !(identity == identityOf(QStringLiteral("/dev/null"))))
        return Cli::tr("--log %1 is the device %2, not a file").arg(log, deviceName(log));
    return QString();
}

ResolvedPorts resolvePorts(const QStringList &names)
{
    ResolvedPorts resolved;
    QList<Identity> identities;
    for (const QString &name : names) {
        const QString path = portPath(name);
        const Identity identity = identityOf(path);
        for (int earlier = 0; earlier < resolved.paths.size(); ++earlier) {
            if (resolved.paths[earlier] != path && !(identities[earlier] == identity))
                continue;
            resolved.error = Cli::tr("ports %1 and %2 are the same device, %3")
                                 .arg(names[earlier], name, deviceName(path));
            return resolved;
        }
        resolved.paths << path;
        identities << identity;
    }
    return resolved;
}
