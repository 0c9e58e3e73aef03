// The fault-mix soak: the window, offscreen, polls a virtual transmitter that misbehaves on a
// timetable (scripts/soak.sh starts both), with capture on, for a given time. Then it reports
// memory, CPU and polls per second, and accounts for every frame (frameaudit.h).
// Usage: soak --port PATH --frame-log FILE --minutes M [--period MS]
#include "frameaudit.h"
#include "link/linksession.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "view/messageview.h"
#include "view/trendwindow.h"
#include "widget/widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

using FrameAudit::ToolEvent;

namespace {
constexpr double BytesPerMegabyte = 1024.0 * 1024.0;
constexpr double AllowedGrowthMbPerHour = 1.0;
constexpr int WarmUpMaxMs = 5 * 60000; // fonts, caches, the heap growing to its working size
constexpr int ReportEveryMs = 60000;   // a progress line
constexpr int LinkWaitMs = 10000;

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

// One moment of the run: what the process holds and has used, and what the tool has done.
struct Sample
{
    qint64 ms = 0;
    double residentMb = 0;
    double heapMb = 0; // allocated from the C library's heap and not freed
    double keptMb = 0; // the lines of the message view and the trend's readings, kept on purpose
    double cpuSeconds = 0;
    int polls = 0;
    int replies = 0;
};

double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / BytesPerMegabyte;
}

double cpuSeconds()
{
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

bool isPoll(const QByteArray &frame)
{
    return ModbusFrame::functionOf(frame) == Modbus::ReadHoldingRegisters &&
           ModbusFrame::startRegisterOf(frame) < 2 * Reg::BlockSize;
}

// The window and what its link session reports, from Link to the end of the run.
class Run : public QObject
{
public:
    explicit Run(int periodMs) : periodMs(periodMs)
    {
        window.show();
        session = child<LinkSession>(&window, "linkSession");
        // The session's reports go to a file as they come, so that the run's memory stays the
        // window's own.
        record.setFileName(QStringLiteral("tool-events.log"));
        if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write tool-events.log");
        connect(session, &LinkSession::written, this, [this](const LinkSession::Request &r) {
            note(ToolEvent::Written, r.frame);
            polls += isPoll(r.frame);
        });
        connect(session, &LinkSession::answered, this,
                [this](const LinkSession::Request &r, const QByteArray &reply) {
                    note(ToolEvent::Accepted, reply);
                    replies += isPoll(r.frame);
                    accepted = true;
                });
        connect(session, &LinkSession::late, this,
                [this](const QByteArray &frame) { note(ToolEvent::Accepted, frame); });
        connect(session, &LinkSession::dropped, this,
                [this](const QByteArray &bytes, LinkSession::DropReason reason) {
                    note(ToolEvent::Dropped, bytes, int(reason));
                });
        connect(session, &LinkSession::portLost, this, [this] { note(ToolEvent::Lost, {}); });
        // The loss of the adapter is told in a box, each time; it is closed as a person would.
        connect(&boxCloser, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                boxes << box->text();
                box->button(QMessageBox::Ok) ? box->button(QMessageBox::Ok)->click()
                                             : box->reject();
            }
        });
        boxCloser.start(50);
    }

    // Captures from the start, links at 9600 through the Link dialog, then polls.
    bool start(const QString &port)
    {
        child<QCheckBox>(&window, "checkBoxSaveToFile")->setChecked(true);
        QTimer::singleShot(200, this, [port] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                qFatal("the Link dialog did not open");
            child<QComboBox>(dialog, "comboBoxName")->setCurrentText(port);
            child<QComboBox>(dialog, "comboBoxBaud")->setCurrentText(QStringLiteral("9600"));
            child<QPushButton>(dialog, "pushButtonOK")->click();
        });
        child<QPushButton>(&window, "pushButtonLink")->click();
        if (!QTest::qWaitFor([this] { return accepted; }, LinkWaitMs))
            return false;
        child<QLineEdit>(&window, "lineEditPeriod")->setText(QString::number(periodMs));
        child<QPushButton>(&window, "pushButtonRead")->click();
        return true;
    }

    // Stops polling and lets the last answer end.
    void stop()
    {
        child<QPushButton>(&window, "pushButtonRead")->click();
        (void)QTest::qWaitFor([this] { return !session->isBusy(); }, LinkWaitMs);
        QTest::qWait(2 * Timing::ReceiveSilenceMs + 500);
    }

    Sample sample(qint64 ms) const
    {
        const qint64 kept =
            child<MessageView>(const_cast<Widget *>(&window), "textBrowser")->memoryBytes() +
            window.findChild<TrendWindow *>()->data().memoryBytes();
        return {ms,
                residentMb(),
                double(mallinfo2().uordblks) / BytesPerMegabyte,
                kept / BytesPerMegabyte,
                cpuSeconds(),
                polls,
                replies};
    }

    QStringList captureLines() const
    {
        QDir data(QStringLiteral("Data"));
        QStringList lines;
        for (const QString &name : data.entryList({QStringLiteral("Log*.txt")}, QDir::Files)) {
            QFile file(data.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                lines += QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        }
        return lines;
    }

    // What the session reported, read back: "kind hex reason" a line.
    QList<ToolEvent> events()
    {
        record.close();
        QList<ToolEvent> events;
        if (!record.open(QIODevice::ReadOnly))
            return events;
        for (const QByteArray &line : record.readAll().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (!line.isEmpty())
                events << ToolEvent{ToolEvent::Kind(fields[0].toInt()),
                                    QByteArray::fromHex(fields.value(1)),
                                    QString::fromLatin1(fields.value(2))};
        }
        return events;
    }
    QStringList boxes;

private:
    void note(ToolEvent::Kind kind, const QByteArray &bytes, int reason = 0)
    {
        record.write(QByteArray::number(int(kind)) + ' ' + bytes.toHex() + ' ' +
                     QByteArray::number(reason) + '\n');
    }

    QFile record;
    bool accepted = false;
    int periodMs;
    Widget window;
    LinkSession *session;
    QTimer boxCloser;
    int polls = 0;
    int replies = 0;
};

void printFigures(const Sample &linked, const Sample &start, const Sample &end, double minutes)
{
    const double seconds = (end.ms - start.ms) / 1000.0;
    const double hours = std::max(seconds / 3600.0, 1.0 / 3600.0);
    const double growth = (end.residentMb - start.residentMb) - (end.keptMb - start.keptMb);
    std::printf("soak: %.1f min; measured over the last %.1f min\n", minutes, seconds / 60);
    std::printf("  resident memory: %.2f MB once linked, %.2f MB at the start, %.2f MB at the end "
                "(heap in use %.2f MB, "
                "%.2f MB)\n",
                linked.residentMb, start.residentMb, end.residentMb, start.heapMb, end.heapMb);
    std::printf("  kept on purpose (message view lines, trend readings): +%.2f MB\n",
                end.keptMb - start.keptMb);
    std::printf("  growth beyond that: %+.2f MB (%+.2f MB an hour)\n", growth, growth / hours);
    std::printf("  CPU: %.2f %% of one core\n",
                100 * (end.cpuSeconds - start.cpuSeconds) / seconds);
    std::printf("  polls: %.2f written a second, %.2f answered a second\n",
                (end.polls - start.polls) / seconds, (end.replies - start.replies) / seconds);
}

void printAudit(const FrameAudit::Report &report, const QStringList &boxes)
{
    std::printf("  frames: %d requests heard; %d replies sent: %d captured whole, %d bad CRC "
                "dropped, %d cut by an unplug, %d in pieces 200 ms or more apart dropped, %d "
                "overlapped by another; %d requests written as the line went; %d unplugs; %d "
                "boxes closed\n",
                report.requests, report.replies, report.captured, report.badCrc, report.cutByUnplug,
                report.overlongGaps, report.overlapped, report.writtenAtUnplug, report.unplugs,
                int(boxes.size()));
    for (const QString &problem : report.problems)
        std::printf("  PROBLEM: %s\n", qPrintable(problem));
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window's own debugging output, and the offscreen platform's note on every resize of
    // a label, would flood the terminal over an hour.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && type != QtInfoMsg && !text.contains("propagateSizeHints"))
            std::fprintf(stderr, "soak: %s\n", qPrintable(text));
    });
    QCommandLineParser parser;
    parser.addOptions({{"port", "The transmitter's port.", "path"},
                       {"frame-log", "The transmitter's frame log.", "file"},
                       {"minutes", "How long to poll.", "minutes", "1"},
                       {"period", "The polling period.", "ms", "100"}});
    parser.process(app);
    const double minutes = parser.value("minutes").toDouble();
    if (!parser.isSet("port") || !parser.isSet("frame-log") || minutes <= 0) {
        std::fprintf(stderr, "usage: soak --port PATH --frame-log FILE --minutes M\n");
        return 2;
    }
    const qint64 runMs = qint64(minutes * 60000);
    Run run(parser.value("period").toInt());
    QElapsedTimer clock;
    clock.start();
    if (!run.start(parser.value("port"))) {
        std::fprintf(stderr, "soak: no answer from %s\n", qPrintable(parser.value("port")));
        return 2;
    }
    const Sample linked = run.sample(clock.elapsed());
    QTest::qWait(int(std::min<qint64>(WarmUpMaxMs, runMs / 10)));
    const Sample start = run.sample(clock.elapsed());
    while (clock.elapsed() < runMs) {
        QTest::qWait(int(std::min<qint64>(ReportEveryMs, runMs - clock.elapsed())));
        const Sample now = run.sample(clock.elapsed());
        std::printf("soak: %5.1f min, resident %.2f MB, heap %.2f MB, kept %.2f MB, %d polls\n",
                    now.ms / 60000.0, now.residentMb, now.heapMb, now.keptMb, now.polls);
        std::fflush(stdout);
    }
    const Sample end = run.sample(clock.elapsed());
    run.stop();

    const FrameAudit::Report report =
        FrameAudit::audit(run.captureLines(), readLines(parser.value("frame-log")), run.events(),
                          Timing::ReceiveSilenceMs);
    printFigures(linked, start, end, minutes);
    printAudit(report, run.boxes);
    const double hours = std::max(minutes / 60.0, 1.0);
    const double growth = (end.residentMb - start.residentMb) - (end.keptMb - start.keptMb);
    const bool grew = growth > AllowedGrowthMbPerHour * hours;
    if (grew)
        std::printf("  PROBLEM: memory grew by %.2f MB beyond what the window keeps\n", growth);
    return report.clean() && !grew ? 0 : 1;
}
