#include "comm/filefailure.h"

#include <QCoreApplication>

#include <cerrno>

namespace FileFailure {

namespace {
struct Cause
{
    int error; // errno
    const char *text;
};
const Cause Causes[] = {
    {ENOSPC, QT_TRANSLATE_NOOP("Files", "the disk is full")},
    {EDQUOT, QT_TRANSLATE_NOOP("Files", "the disk is full")},
    {EACCES, QT_TRANSLATE_NOOP("Files", "permission denied")},
    {EPERM, QT_TRANSLATE_NOOP("Files", "permission denied")},
    {EROFS, QT_TRANSLATE_NOOP("Files", "the disk is read-only")},
    {ENOTDIR, QT_TRANSLATE_NOOP("Files", "a file stands where the folder should be")},
    {ENOENT, QT_TRANSLATE_NOOP("Files", "no such folder")},
    {EIO, QT_TRANSLATE_NOOP("Files", "input/output error")},
};
} // namespace

// A file's error text is the system's text of its errno, in whatever language the system speaks:
// compared with the same function's text of each cause.
QString text(const QString &systemText)
{
    for (const Cause &cause : Causes)
        if (systemText == qt_error_string(cause.error))
            return QCoreApplication::translate("Files", cause.text);
    return QCoreApplication::translate("Files", "the system reports: %1").arg(systemText);
}

} // namespace FileFailure
