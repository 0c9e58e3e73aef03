// tervin-cli: the tool's protocol on the command line, for scripts and production lines.
#include "checkfiles.h"
#include "interruption.h"
#include "mqttsink.h"
#include "options.h"
#include "output.h"
#include "portjob.h"
#include "ports.h"
#include "records.h"
#include "report/checkreport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSerialPort>
#include <QTranslator>

#include <algorithm>
#include <memory>

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

int usageError(const QString &error)
{
    Console::err(QStringLiteral("tervin-cli: ") + error);
    Console::err(Cli::tr("Try 'tervin-cli --help' for more."));
    return UsageError;
}

int run(QCoreApplication &app, const CliOptions &options, MqttSink *broker)
{
    RunOutput output(options.ports);
    output.printReadings(options.format, !options.quiet);
    if (broker)
        output.addSink(broker);
    if (!options.logFile.isEmpty()) {
        const QString failure = output.openLog(options.logFile);
        if (!failure.isEmpty()) {
            Console::err(Cli::tr("tervin-cli: --log %1: %2").arg(options.logFile, failure));
            return UsageError;
        }
    }
    const QString header = options.quiet ? QString() : Records::header(options);
    if (!header.isEmpty() && !Console::out(header))
        return OutputLost;
    QList<PortJob *> jobs;
    Interruption interruption([&output, &jobs, broker] {
        for (PortJob *job : jobs)
            job->interrupt();
        output.release();
        if (broker)
            broker->finish(MqttSink::InterruptedDeliveryMs);
    });
    SystemClock clock;
    for (int i = 0; i < options.ports.size(); ++i) {
        auto *port = new SerialLinkPort(new QSerialPort(&app), &app);
        jobs << PortJob::create(options, options.ports[i], output.port(i), port, &clock, &app);
    }
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
    QObject::connect(&output, &RunOutput::lost, &app, [&app] { app.exit(OutputLost); });
    if (broker) {
        QObject::connect(broker, &MqttSink::refused, &app, [&app](const QString &error) {
            Console::err(QStringLiteral("tervin-cli: ") + error);
            app.exit(PortError);
        });
        broker->start();
    }
    for (PortJob *job : jobs)
        job->start();
    int code = allDone() || Console::lost() ? worst() : app.exec();
    qDeleteAll(jobs); // before the clock that times them
    if (broker && !broker->finish(MqttSink::FinalDeliveryMs))
        code = std::max(code, int(OutputLost));
    return output.finish() ? code : OutputLost;
}

// read --mqtt: the broker's settings, its password and CA file read before any port is opened.
int publishAndRun(QCoreApplication &app, const CliOptions &options)
{
    if (!options.mqtt.url)
        return run(app, options, nullptr);
    MqttSettings settings;
    const QString problem = mqttSettingsFrom(options, settings);
    if (!problem.isEmpty())
        return usageError(problem);
    MqttSink broker(settings);
    return run(app, options, &broker);
}

int dispatch(QCoreApplication &app, const ParsedCommandLine &parsed)
{
    switch (parsed.outcome) {
    case ParsedCommandLine::Help:
        Console::out(helpText());
        return Success;
    case ParsedCommandLine::Version:
        Console::out(QStringLiteral("tervin-cli ") + QCoreApplication::applicationVersion());
        return Success;
    case ParsedCommandLine::Usage:
        return usageError(parsed.error);
    case ParsedCommandLine::Run:
        break;
    }
    CliOptions options = parsed.options;
    const ResolvedPorts ports = resolvePorts(options.ports);
    if (!ports.error.isEmpty())
        return usageError(commandName(options.command) + QStringLiteral(": ") + ports.error);
    options.ports = ports.paths;
    if (!options.logFile.isEmpty()) {
        const QString problem = logProblem(options.logFile, options.ports);
        if (!problem.isEmpty())
            return usageError(commandName(options.command) + QStringLiteral(": ") + problem);
    }
    const QString filesProblem = checkFilesProblem(options);
    if (!filesProblem.isEmpty())
        return usageError(commandName(options.command) + QStringLiteral(": ") + filesProblem);
    return publishAndRun(app, options);
}

// A check with --report draws a PDF, which needs Qt Gui for its fonts: that run alone gets a
// QGuiApplication, on the offscreen platform (no display on a production line's PC, over SSH).
std::unique_ptr<QCoreApplication> application(int &argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (parsed.outcome != ParsedCommandLine::Run || parsed.options.reportFile.isEmpty())
        return std::make_unique<QCoreApplication>(argc, argv);
    Report::useOffscreenPlatform();
    return std::make_unique<QGuiApplication>(argc, argv);
}
} // namespace

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(TERVIN_VERSION));
    QTranslator translator;
    installTranslation(*app, translator);
    const int code = dispatch(*app, parseCommandLine(app->arguments().mid(1)));
    return Console::finish(code);
}
