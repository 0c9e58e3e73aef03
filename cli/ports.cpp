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

Identity identityOf(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Identity();
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
