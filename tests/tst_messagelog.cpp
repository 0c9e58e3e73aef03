// The frame log: line format and colours in the view, and the capture file.
#include "testsupport.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

class TestMessageLog : public QObject
{
    Q_OBJECT

    QTemporaryDir *workDir = nullptr;
    QString previousDir;

    QStringList captureFiles() const
    {
        return QDir(workDir->path() + QStringLiteral("/Data"))
            .entryList({QStringLiteral("Log*.txt")}, QDir::Files, QDir::Name);
    }

    QByteArray captured(const QString &name) const
    {
        QFile file(workDir->path() + QStringLiteral("/Data/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void setCapture(Widget &window, bool on)
    {
        child<QCheckBox>(&window, "checkBoxSaveToFile")->setChecked(on);
    }

private slots:
    void init()
    {
        workDir = new QTemporaryDir;
        previousDir = QDir::currentPath();
        QDir::setCurrent(workDir->path());
    }

    void cleanup()
    {
        QDir::setCurrent(previousDir);
        delete workDir;
    }

    void lineFormatAndColours()
    {
        Widget window;
        const QDateTime before = QDateTime::currentDateTime();
        window.AppendMessage(QStringLiteral("0003010000018427"), false);
        window.AppendMessage(QStringLiteral("01030200017984"), true);
        MessageView *log = view(window);
        QCOMPARE(log->lineCount(), 2);
        const QRegularExpression pattern(
            QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d)->(TX|RX)  ([0-9a-f]+)$"));
        const auto sentLine = pattern.match(log->lineText(0));
        QVERIFY2(sentLine.hasMatch(), qPrintable(log->lineText(0)));
        QCOMPARE(sentLine.captured(2), QStringLiteral("TX"));
        QCOMPARE(sentLine.captured(3), QStringLiteral("0003010000018427"));
        const QDateTime stamp =
            QDateTime::fromString(sentLine.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(qAbs(stamp.secsTo(before)) <= 2);
        QVERIFY(log->lineText(1).mid(19).startsWith(QLatin1String("->RX  01030200017984")));
        QCOMPARE(log->lineKind(0), MessageView::Kind::Sent);
        QCOMPARE(log->lineKind(1), MessageView::Kind::Received);
        QCOMPARE(MessageView::colorOf(MessageView::Kind::Sent), QColor(Qt::red));
        QCOMPARE(MessageView::colorOf(MessageView::Kind::Received), QColor(0, 128, 0));
    }

    void nothingOnDiskWhileCaptureIsOff()
    {
        Widget window;
        window.AppendMessage(QStringLiteral("00"), false);
        QVERIFY(captureFiles().isEmpty());
    }

    void captureHoldsTheLinesOfItsPeriod()
    {
        Widget window;
        window.AppendMessage(QStringLiteral("aa"), false); // before capture: not in the file
        setCapture(window, true);
        window.AppendMessage(QStringLiteral("0103000000044409"), false);
        window.AppendMessage(QStringLiteral("010308092911d704410000cb08"), true);
        setCapture(window, false);
        window.AppendMessage(QStringLiteral("bb"), false); // after capture: not in the file either
        QCOMPARE(captureFiles().size(), 1);
        const QString name = captureFiles().first();
        QVERIFY(QRegularExpression(QStringLiteral("^Log\\d{14}\\.txt$")).match(name).hasMatch());
        const QByteArray content = captured(name);
        QVERIFY(!content.contains('\r'));
        QVERIFY(content.endsWith('\n'));
        const QStringList lines =
            QString::fromLatin1(content).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, QStringList({view(window)->lineText(1), view(window)->lineText(2)}));
    }

    void eachCapturePeriodGetsItsOwnFile()
    {
        Widget window;
        setCapture(window, true);
        window.AppendMessage(QStringLiteral("01"), false);
        setCapture(window, false);
        const QTime first = QTime::currentTime();
        QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().second() != first.second(), 3000);
        setCapture(window, true);
        window.AppendMessage(QStringLiteral("02"), false);
        const QStringList files = captureFiles();
        QCOMPARE(files.size(), 2);
        QVERIFY(files[0] < files[1]); // the later name carries the later time
        QVERIFY(captured(files[0]).endsWith("01\n"));
        QVERIFY(captured(files[1]).endsWith("02\n"));
    }

    void missingDataFolderIsCreated()
    {
        Widget window;
        QVERIFY(!QDir(QStringLiteral("Data")).exists());
        setCapture(window, true);
        QDir(QStringLiteral("Data")).removeRecursively(); // gone again before the first line
        window.AppendMessage(QStringLiteral("0103"), false);
        QCOMPARE(captureFiles().size(), 1);
    }

    void unwritableCaptureIsReportedOncePerPeriod()
    {
        Widget window;
        QFile blocker(QStringLiteral("Data")); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        BoxCloser boxes;
        setCapture(window, true);
        window.AppendMessage(QStringLiteral("01"), false);
        window.AppendMessage(QStringLiteral("02"), true);
        QCOMPARE(view(window)->lineCount(), 2); // the view keeps every line
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("Error"));
        QVERIFY2(boxes.seen[0].text.contains(QLatin1String("/Data/Log")),
                 qPrintable(boxes.seen[0].text));
        // A new capture period reports again; once the folder can be made, lines get through.
        setCapture(window, false);
        setCapture(window, true);
        window.AppendMessage(QStringLiteral("03"), false);
        QCOMPARE(boxes.seen.size(), 2);
        QVERIFY(QFile::remove(QStringLiteral("Data")));
        window.AppendMessage(QStringLiteral("04"), false);
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(captureFiles().size(), 1);
        QVERIFY(captured(captureFiles().first()).endsWith("04\n"));
    }

    void fullDiskIsReported()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full on this system");
        Widget window;
        setCapture(window, true);
        window.AppendMessage(QStringLiteral("01"), false);
        const QString name = captureFiles().first();
        QVERIFY(QFile::remove(QStringLiteral("Data/") + name));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), QStringLiteral("Data/") + name));
        BoxCloser boxes;
        window.AppendMessage(QStringLiteral("02"), false);
        QCOMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].text.contains(name), qPrintable(boxes.seen[0].text));
    }
};

QTEST_MAIN(TestMessageLog)
#include "tst_messagelog.moc"
