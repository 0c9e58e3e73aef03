// The serial port under the link session: one opening of a device at a time, whatever name each
// gives it. Run as root, this is the lock the terminal's exclusive mode does not give.
#include "link/linkport.h"
#include "virtualtransmitter.h"

#include <QSerialPort>
#include <QtTest>

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
        VirtualTransmitter device, other; // pseudo-terminals, as adapters' devices
        QVERIFY(device.start() && other.start());
        QTemporaryDir folder;
        QVERIFY(QFile::link(device.portPath(), folder.filePath("link")));
        const QString here = QDir::current().relativeFilePath(device.portPath());
        QVERIFY(here.startsWith("../"));
        const QMap<QString, QString> names{{"pts", device.portPath()},
                                           {"link", folder.filePath("link")},
                                           {"here", here},
                                           {"other", other.portPath()}};
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
