// The serial port under the link session: one opening of a device at a time, whatever name each
// gives it. Run as root, this is the lock the terminal's exclusive mode does not give.
#include "link/linkport.h"

#include <QDir>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
// A pseudo-terminal, as an adapter's device: the far end stays open for as long as it lives.
struct Terminal
{
    Terminal() : master(posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            path = QString::fromLocal8Bit(ptsname(master));
    }
    ~Terminal()
    {
        if (master >= 0)
            ::close(master);
    }
    int master;
    QString path;
};
} // namespace

class TestLinkPort : public QObject
{
    Q_OBJECT

private slots:
    // Names: "pts" the device's path, "link" a symlink to it, "here" its path relative to the
    // current folder (../../dev/pts/N), "other" another terminal's path.
    void oneOpeningAtATime_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("refused");
        auto row = [](const char *name, const char *holder, const char *second, bool refused) {
            QTest::newRow(name) << QString(holder) << QString(second) << refused;
        };
        row("the same path", "pts", "pts", true);
        row("the path, then a symlink", "pts", "link", true);
        row("a symlink, then the path", "link", "pts", true);
        row("a relative name, then a symlink", "here", "link", true);
        row("the path, then a relative name", "pts", "here", true);
        row("another terminal", "pts", "other", false);
    }
    void oneOpeningAtATime()
    {
        QFETCH(QString, holder);
        QFETCH(QString, second);
        QFETCH(bool, refused);
        Terminal device, other;
        QVERIFY(!device.path.isEmpty() && !other.path.isEmpty());
        QTemporaryDir folder;
        QVERIFY(QFile::link(device.path, folder.filePath("link")));
        const QString here = QDir::current().relativeFilePath(device.path);
        QVERIFY(here.startsWith("../"));
        const QMap<QString, QString> names{{"pts", device.path},
                                           {"link", folder.filePath("link")},
                                           {"here", here},
                                           {"other", other.path}};
        QSerialPort firstSerial, secondSerial;
        SerialLinkPort first(&firstSerial), next(&secondSerial);
        QCOMPARE(first.open(names[holder], 19200).kind, PortFailure::None);
        const PortFailure failure = next.open(names[second], 9600);
        QCOMPARE(failure.kind, refused ? PortFailure::Busy : PortFailure::None);
        QCOMPARE(next.isOpen(), !refused);
        if (refused)
            QCOMPARE(failure.text(), "in use by another program");
        QVERIFY(first.isOpen());
        // Closed, the device is free again; open again, the lock is taken again.
        first.close();
        QCOMPARE(next.open(names[second], 9600).kind, PortFailure::None);
        QCOMPARE(first.open(names[holder], 19200).kind,
                 refused ? PortFailure::Busy : PortFailure::None);
    }
};

QTEST_GUILESS_MAIN(TestLinkPort)
#include "tst_linkport.moc"
