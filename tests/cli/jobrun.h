#pragma once

// A tervin-cli command run as the program runs it on one port, but on the fake port's line in
// virtual time: its records as JSON, its messages, the moment its job ended and its status.
#include "checkfiles.h"
#include "fakeline.h"
#include "portjob.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace LinkHarness {

struct JobRun
{
    // The arguments of a command on the port "ttyFAKE"; its records come in JSON.
    explicit JobRun(const QStringList &arguments)
        : output({"ttyFAKE"},
                 [this](Stream stream, const QString &text) {
                     if (stream == Stream::Out)
                         records << QJsonDocument::fromJson(text.toUtf8()).object().toVariantMap();
                     else
                         messages << text;
                 }),
          line(clock, port)
    {
        const ParsedCommandLine parsed =
            parseCommandLine(arguments + QStringList{"--format", "json"});
        options = parsed.options;
        problem = parsed.error;
        output.printReadings(options.format, true);
    }

    // Until the job has ended; a usage error, the files' included, runs nothing.
    void run()
    {
        problem += checkFilesProblem(options);
        if (!problem.isEmpty())
            return;
        PortJob *job = PortJob::create(options, "ttyFAKE", output.port(0), &port, &clock);
        QObject::connect(job, &PortJob::finished, [this, job] {
            endedAt = clock.nowMs();
            exitCode = job->exitCode();
        });
        job->start();
        clock.runUntil(clock.nowMs() + 3 * 3600 * 1000);
        delete job;
    }

    CliOptions options;
    QString problem;
    QList<QVariantMap> records;
    QStringList messages;
    RunOutput output;
    VirtualClock clock;
    FakePort port;
    FakeLine line;
    qint64 endedAt = -1;
    int exitCode = -1;
};

} // namespace LinkHarness
