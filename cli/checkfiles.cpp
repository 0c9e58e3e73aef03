#include "checkfiles.h"

#include "comm/filefailure.h"
#include "report/checkcsv.h"
#include "report/checkreport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Why the report cannot go to this path, or nothing.
QString reportPathProblem(const QString &path)
{
    const QFileInfo file(path);
    if (file.exists() && !file.isFile())
        return Cli::tr("--report %1: not a regular file").arg(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return Cli::tr("--report %1: no such folder %2")
            .arg(path, QDir::toNativeSeparators(folder.filePath()));
    return QString();
}

QString firstPointProblem(CliOptions &options)
{
    const QString &path = options.firstPointFile;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Cli::tr("--first-point %1: %2").arg(path, FileFailure::text(file.errorString()));
    const QString problem = CheckCsv::readFirstPoint(file.readAll(), options.firstPoint);
    if (!problem.isEmpty())
        return Cli::tr("--first-point %1: %2").arg(path, problem);
    if (options.firstPoint.isEmpty())
        return Cli::tr("--first-point %1: no unit in it").arg(path);
    return QString();
}

} // namespace

QString checkFilesProblem(CliOptions &options)
{
    if (!options.firstPointFile.isEmpty()) {
        const QString problem = firstPointProblem(options);
        if (!problem.isEmpty())
            return problem;
    }
    if (options.reportFile.isEmpty())
        return QString();
    const Report::Files paths = Report::filesBeside(options.reportFile);
    for (const QString &path : {paths.pdf, paths.csv}) {
        const QString problem = reportPathProblem(path);
        if (!problem.isEmpty())
            return problem;
        const bool firstPoint = !options.firstPointFile.isEmpty() &&
                                QFileInfo(path) == QFileInfo(options.firstPointFile);
        if (firstPoint)
            return Cli::tr("--report %1 would replace the first point's report %2")
                .arg(options.reportFile, options.firstPointFile);
    }
    return QString();
}
