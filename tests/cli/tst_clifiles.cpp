// tervin-cli's files and devices, looked at before anything is sent: the port names resolved to
// devices, the --log file that must never be a line, and the files of a check's report.
#include "checkfiles.h"
#include "options.h"
#include "ports.h"
#include "report/checkcsv.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

class TestCliFiles : public QObject
{
    Q_OBJECT

private slots:
    // Each in a folder of its own, made the current one: files, a folder, a fifo, symlinks to a
    // file and to a device.
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder->path()));
        for (const char *name : {"rel", "other", "capture.txt"})
            QVERIFY(QFile(name).open(QIODevice::WriteOnly));
        QVERIFY(QDir().mkdir("sub") && QFile("sub/x").open(QIODevice::WriteOnly));
        QVERIFY(QFile::link("rel", "link") && QFile::link("/dev/null", "nulllink"));
        QCOMPARE(mkfifo("fifo", 0600), 0);
    }
    void cleanup() { QDir::setCurrent(before); }

    void portsAreResolvedToDevices_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("paths");   // when resolved
        QTest::addColumn<QStringList>("refused"); // otherwise: what the error names
        const auto row = [](const char *name, const QStringList &names, const QStringList &paths,
                            const QStringList &refused) {
            QTest::newRow(name) << names << paths << refused;
        };
        row("a file here", {"rel"}, {"./rel"}, {});
        row("a path with a slash", {"sub/x"}, {"./sub/x"}, {});
        row("a bare name under /dev", {"null", "ttyTervinMissing"},
            {"/dev/null", "/dev/ttyTervinMissing"}, {});
        row("absolute and relative", {"/dev/zero", "../up", "./rel", "other"},
            {"/dev/zero", "../up", "./rel", "./other"}, {});
        row("the same name", {"other", "rel", "./rel"}, {}, {"rel", "./rel", "/rel"});
        row("a symlink and its file", {"link", "rel"}, {}, {"link", "rel", "/rel"});
        row("a device under two names", {"null", "nulllink"}, {},
            {"null", "nulllink", "/dev/null"});
        row("missing twice", {"ttyTervinMissing", "/dev/ttyTervinMissing"}, {},
            {"ttyTervinMissing", "/dev/ttyTervinMissing"});
    }
    void portsAreResolvedToDevices()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, refused);
        const ResolvedPorts resolved = resolvePorts(names);
        if (refused.isEmpty()) {
            QCOMPARE(resolved.error, QString());
            QCOMPARE(resolved.paths, paths);
        }
        QCOMPARE(resolved.error.isEmpty(), refused.isEmpty());
        for (const QString &named : refused)
            QVERIFY2(resolved.error.contains(named), qPrintable(resolved.error));
    }

    // The --log file against the ports: "b1" a symlink to the port's terminal ("PORT"), "OTHER"
    // another terminal. Names in capitals stand for those paths.
    void theLogIsNeverALine_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QStringList>("ports"); // as given
        QTest::addColumn<QString>("problem");   // what the usage error says; empty: none
        const auto row = [](const char *log, const QStringList &ports, const char *problem) {
            QTest::addRow("%s, ports %s", log, qPrintable(ports.join(' ')))
                << log << ports << problem;
        };
        for (const char *log : {"new.txt", "capture.txt", "/dev/null", "nulllink", "fifo"})
            row(log, {"PORT"}, ""); // /dev/null only discards; a fifo is read by someone
        row("PORT", {"PORT"}, "is the port");
        row("b1", {"PORT"}, "is the port");
        row("PORT", {"b1"}, "is the port");
        row("./b1", {"b1"}, "is the port");
        row("b1", {"capture.txt", "b1"}, "is the port");
        row("OTHER", {"PORT"}, "is the device OTHER, not a file");
        row("/dev/zero", {"PORT"}, "is the device /dev/zero, not a file");
    }
    void theLogIsNeverALine()
    {
        QFETCH(QString, log);
        QFETCH(QStringList, ports);
        QFETCH(QString, problem);
        QList<int> terminals;
        QStringList paths;
        for (int i = 0; i < 2; ++i) {
            const int master = posix_openpt(O_RDWR | O_NOCTTY);
            QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
            terminals << master;
            paths << QString::fromLocal8Bit(ptsname(master));
        }
        const auto named = [&](QString text) {
            return text.replace("PORT", paths[0]).replace("OTHER", paths[1]);
        };
        QVERIFY(QFile::link(paths[0], "b1"));
        for (QString &port : ports)
            port = named(port);
        const QString found = logProblem(named(log), resolvePorts(ports).paths);
        for (int master : terminals)
            ::close(master);
        QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.contains(named(problem)),
                 qPrintable(found));
    }

    // The report's two files side by side, and the files a check needs looked at before anything
    // is sent: the first point read, the report's folder there and no device in its place.
    void checkFiles_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("firstPoint"); // its content, written to first.csv; "-": none
        QTest::addColumn<QString>("problem");
        const QString header = CheckCsv::header();
        const QString line = "2026-12-07T14:02:17+01:00,1,3,5e0000000003,Tervin-C,SHT2X/3X,1.2.3,"
                             "\u00B0C,pass,23.5,0.01,23.5,0,0.2,0,33.1,0.1,32.8,0.3,2,0.5"
                             ",5,,,0,600,,,,,,,,";
        const auto row = [](const char *name, const char *report, const QString &firstPoint,
                            const char *problem) {
            QTest::newRow(name) << report << firstPoint << problem;
        };
        row("no files", "", "-", "");
        row("a report", "check.pdf", "-", "");
        row("a first point", "", header + line, "");
        row("no such folder", "gone/check.pdf", "-", "--report gone/check.pdf: no such folder");
        row("a device", "/dev/null", "-", "--report /dev/null: not a regular file");
        row("a folder", ".", "-", "--report .: not a regular file");
        row("no unit in the first point", "", header, "--first-point first.csv: no unit in it");
        row("an empty first point", "", "", "--first-point first.csv: not a check report");
        row("not a report", "", "a,b\n1,2\n", "--first-point first.csv: not a check report");
        row("over the first point", "first.pdf", header + line,
            "--report first.pdf would replace the first point's");
    }
    void checkFiles()
    {
        QFETCH(QString, report);
        QFETCH(QString, firstPoint);
        QFETCH(QString, problem);
        CliOptions options;
        options.reportFile = report;
        if (firstPoint != "-") {
            QFile file("first.csv");
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(firstPoint.toUtf8());
            options.firstPointFile = "first.csv";
        }
        const QString found = checkFilesProblem(options);
        QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.startsWith(problem),
                 qPrintable(found));
        if (problem.isEmpty() && firstPoint != "-")
            QCOMPARE(options.firstPoint.size(), 1);
    }

private:
    std::unique_ptr<QTemporaryDir> folder;
    QString before;
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_clifiles.moc"
