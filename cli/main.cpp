// tervin-cli: the tool's protocol on the command line, for scripts and production lines.
#include "options.h"
#include "output.h"
#include "portjob.h"
#include "records.h"

#include <QCoreApplication>
#include <QTranslator>

#include <algorithm>

namespace {
// The language of messages, chosen as the window's launcher chooses it.
bool chineseMessages()
{
    for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty())
            return value.startsWith(QLatin1String("zh"));
    }
    return false;
}

// The window's translation, for a Chinese locale: installed beside the window, or in the build.
void installTranslation(QCoreApplication &app, QTranslator &translator)
{
    if (!chineseMessages())
        return;
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &folder : {here + "/../lib/tervin-test-tools/Qm", here + "/../src/Qm"})
        if (translator.load(QStringLiteral("Chinese"), folder)) {
            app.installTranslator(&translator);
            return;
        }
}

int run(QCoreApplication &app, const CliOptions &options)
{
    CaptureLog log(options.logFile, options.ports.size() > 1);
    if (!options.logFile.isEmpty()) {
        const QString failure = log.check();
        if (!failure.isEmpty()) {
            Console::err(Cli::tr("tervin-cli: --log %1: %2").arg(options.logFile, failure));
            return UsageError;
        }
    }
    const QString header = Records::header(options.format, options.command);
    if (!header.isEmpty())
        Console::out(header);
    QList<PortJob *> jobs;
    const bool hold = options.ports.size() > 1;
    for (const QString &port : options.ports)
        jobs << new PortJob(options, port, options.logFile.isEmpty() ? nullptr : &log, hold, &app);
    auto worst = [&] {
        int code = Success;
        for (PortJob *job : jobs)
            code = std::max(code, job->exitCode());
        return code;
    };
    auto allDone = [&] {
        return std::all_of(jobs.begin(), jobs.end(), [](PortJob *job) { return job->isDone(); });
    };
    for (PortJob *job : jobs)
        QObject::connect(job, &PortJob::finished, &app, [&] {
            if (allDone())
                app.exit(worst());
        });
    for (PortJob *job : jobs)
        job->start();
    return allDone() ? worst() : app.exec();
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVIN_VERSION));
    QTranslator translator;
    installTranslation(app, translator);
    const ParsedCommandLine parsed = parseCommandLine(app.arguments().mid(1));
    switch (parsed.outcome) {
    case ParsedCommandLine::Help:
        Console::out(helpText());
        return Success;
    case ParsedCommandLine::Version:
        Console::out(QStringLiteral("tervin-cli ") + QCoreApplication::applicationVersion());
        return Success;
    case ParsedCommandLine::Usage:
        Console::err(QStringLiteral("tervin-cli: ") + parsed.error);
        Console::err(Cli::tr("Try 'tervin-cli --help' for more."));
        return UsageError;
    case ParsedCommandLine::Run:
        break;
    }
    return run(app, parsed.options);
}
