// Following the device through the window: a baud-rate or address change verified where the
// device now listens, a change the device ignores, an adapter unplugged and plugged in again,
// a flapping link, and an adapter that comes back under another name.
#include "link/linkfollower.h"
#include "protocol/modbusframe.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {
// A window linked through a stable path, as a USB adapter's name is, that follows the replug.
struct LinkedBench : Bench
{
    explicit LinkedBench(const DeviceSettings &settings = DeviceSettings(),
                         const char *baud = "9600")
        : Bench(settings)
    {
        path = workDir.filePath("ttyUSB0");
        transmitter.makeLink(path);
        link(window, path, baud);
    }
    QString path;
};
} // namespace

class TestFollow : public QObject
{
    Q_OBJECT

private slots:
    // 9600 to 19200 with polling going on: the tool reopens at 19200, reads the device there,
    // says so, and polling goes on. Then the address, from 1 to 42, read back at 42, asked about
    // once when the technician ticks "Don't ask again this session".
    void changesAreVerified()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.combo("comboBoxRegister")->setCurrentText("*10"); // the choice stays
        click(bench.window, "pushButtonRead");
        bench.combo("comboBoxBaudRate")->setCurrentText("19200");
        click(bench.window, "pushButtonBaudRate");
        QTRY_VERIFY(bench.label("labelLinkState").endsWith("; now at 19200, verified"));
        QCOMPARE(bench.transmitter.lineBaudRate(), 19200);
        QCOMPARE(bench.combo("comboBoxRegister")->currentText(), "*10");
        const int replies = frames(bench.window, "RX").size();
        QTRY_VERIFY(frames(bench.window, "RX").size() >= replies + 3); // polling goes on
        click(bench.window, "pushButtonRead");
        bench.edit("lineEditAddress")->setText("42");
        tickNextCheckBox = true; // "Don't ask again this session"
        click(bench.window, "pushButtonAddress");
        QCOMPARE(nextBox(), AddressConfirmation);
        QTRY_VERIFY(bench.label("labelLinkState").endsWith("; address 42, verified"));
        bench.edit("lineEditAddress")->setText("43");
        click(bench.window, "pushButtonAddress"); // no question this time
        QTRY_VERIFY(bench.label("labelLinkState").endsWith("; address 43, verified"));
        QVERIFY(bench.transmitter.requests().contains(ModbusFrame::buildRequest(42, 3, 0x100, 8)));
        QCOMPARE(bench.edit("lineEditAddress")->text(), "43");
    }

    // The device echoes the writes but keeps its rate and address: one box each, and the tool
    // goes on.
    void changesTheDeviceIgnores()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        Faults faults;
        faults.ignoreWrites = true;
        bench.transmitter.setFaults(faults);
        bench.edit("lineEditAddress")->setText("42");
        click(bench.window, "pushButtonAddress");
        QCOMPARE(nextBox(), AddressConfirmation);
        QCOMPARE(nextBox(), "Error/The device did not answer at address 42 after the change.");
        bench.edit("lineEditAddress")->setText("1"); // where it still is
        bench.combo("comboBoxBaudRate")->setCurrentText("19200");
        click(bench.window, "pushButtonBaudRate");
        QCOMPARE(nextBox(), "Error/The device did not answer at 19200 after the change. Use Link "
                            "with AUTO to find it.");
        QVERIFY(bench.port()->isOpen() && boxesSeen.isEmpty());
        link(bench.window, bench.path, "AUTO");
        QTRY_COMPARE_WITH_TIMEOUT(bench.combo("comboBoxBaudRate")->currentText(), "9600", 5000);
    }

    // Unplugged while polling with capture on, and plugged in again 1.5 s later under the same
    // name: the drop and the return are logged, the device is read again, polling resumes, and
    // the capture holds every frame of the view once, each reply after its request.
    void replugWhilePolling()
    {
        LinkedBench bench;
        QTRY_COMPARE(frames(bench.window, "RX").size(), 1);
        bench.combo("comboBoxRegister")->setCurrentText("*10");
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(frames(bench.window, "RX").size() >= 5);
        leaveBoxesOpen = true; // the box about the loss closes itself once the adapter is back
        whenBoxOpens = [&] { QTimer::singleShot(1500, [&] { bench.transmitter.replug(); }); };
        bench.transmitter.unplug();
        QCOMPARE(nextBox(), "Error/USB device error, please reconnect USB device!");
        QTRY_VERIFY_WITH_TIMEOUT(notes(bench.window).join(',').contains(bench.path + " is back"),
                                 5000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        leaveBoxesOpen = false;
        whenBoxOpens = nullptr;
        QVERIFY(notes(bench.window)
                    .join(',')
                    .contains(bench.path + " lost: the adapter was unplugged"));
        QCOMPARE(bench.combo("comboBoxRegister")->currentText(), "*10");
        const int replies = frames(bench.window, "RX").size();
        QTRY_VERIFY2(frames(bench.window, "RX").size() >= replies + 5,
                     qPrintable(view(bench.window)->plainText().right(2000)));
        click(bench.window, "pushButtonRead");
        MessageView *log = view(bench.window);
        QTRY_COMPARE(log->lineKind(log->lineCount() - 1), MessageView::Kind::Received);
        QStringList shown;
        for (int i = 0; i < log->lineCount(); ++i)
            if (log->lineKind(i) != MessageView::Kind::NotSent &&
                Capture::parseLine(log->lineText(i)))
                shown << log->lineText(i);
        const QStringList captured = bench.captured();
        QCOMPARE(captured, shown.mid(shown.size() - captured.size()));
        for (int i = 1; i < captured.size(); ++i) // no reply doubled: each follows its request
            QVERIFY2(!Capture::parseLine(captured[i])->received ||
                         !Capture::parseLine(captured[i - 1])->received,
                     qPrintable(captured[i]));
        QTRY_VERIFY(!bench.label("labelStatistics").contains("waiting"));
    }

    // Another unit behind the same port (swapped while the adapter was out): announced in the
    // view and the link state, its serial shown, the readings file names it, the trend starts a
    // new segment, and polling goes on. The scale chosen stays where the new unit orders its
    // blocks alike (Tervin-C and Tervin-F), and goes where it does not (a Tervin-O).
    void aDifferentUnitIsAnnounced_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<QString>("name");
        QTest::newRow("Tervin-C, then Tervin-F") << 1 << "*100" << 2 << "*100"
                                                 << "Tervin-F";
        QTest::newRow("Tervin-C, then Tervin-O") << 1 << "*10" << 0 << "*100"
                                                 << "Tervin-O";
    }

    void aDifferentUnitIsAnnounced()
    {
        QFETCH(int, before);
        QFETCH(QString, chosen);
        QFETCH(int, after);
        QFETCH(QString, scale);
        QFETCH(QString, name);
        DeviceSettings first;
        first.deviceType = quint16(before);
        LinkedBench bench(first);
        QTRY_COMPARE(frames(bench.window, "RX").size(), 1);
        bench.combo("comboBoxRegister")->setCurrentText(chosen);
        child<QCheckBox>(&bench.window, "checkBoxSaveReadings")->setChecked(true);
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(frames(bench.window, "RX").size() >= 4);
        bench.transmitter.unplug();
        QCOMPARE(nextBox(), "Error/USB device error, please reconnect USB device!");
        DeviceSettings &unit = bench.transmitter.model().settings();
        unit.deviceType = quint16(after);
        unit.serialNumber[0] = 0x0000;
        unit.serialNumber[1] = 0xdead;
        unit.serialNumber[2] = 0xbeef;
        unit.temperature = 30;
        QVERIFY(bench.transmitter.replug());
        const QString announced =
            "a different unit is on " + bench.path + " now: serial 0000deadbeef, " + name;
        QTRY_VERIFY_WITH_TIMEOUT(notes(bench.window).contains(announced), 5000);
        QCOMPARE(bench.label("labelLinkState"), announced);
        QCOMPARE(bench.label("labelSerialNumber"), "Serial number:0000deadbeef");
        QCOMPARE(bench.combo("comboBoxRegister")->currentText(), scale);
        QTRY_VERIFY(bench.label("labelTemperature")
                        .contains("<font color=red>" + QString(after == 2 ? "86.0" : "30.0")));
        click(bench.window, "pushButtonRead");
        const QStringList files = QDir("Data").entryList({"Readings*.csv"});
        QCOMPARE(files.size(), 1);
        QStringList serials;
        for (const QString &row : linesOf("Data/" + files[0]).mid(1))
            if (serials.isEmpty() || serials.last() != row.section(',', 6))
                serials << row.section(',', 6);
        QCOMPARE(serials, QStringList({"123456789abc", "0000deadbeef"}));
    }

    // Gone and back ten times: every drop and return logged, one box a drop, one timer throughout.
    void flappingLink()
    {
        LinkedBench bench;
        QTRY_COMPARE(frames(bench.window, "RX").size(), 1);
        const int timers = bench.window.findChildren<QTimer *>().size();
        for (int flap = 1; flap <= 10; ++flap) {
            bench.transmitter.unplug();
            QCOMPARE(nextBox(), "Error/USB device error, please reconnect USB device!");
            QVERIFY(bench.transmitter.replug());
            QTRY_VERIFY_WITH_TIMEOUT(notes(bench.window).filter(" is back").size() == flap, 5000);
            QTRY_COMPARE(frames(bench.window, "RX").size(), 1 + flap); // read again
        }
        QCOMPARE(notes(bench.window).filter(" lost: ").size(), 10);
        QCOMPARE(bench.window.findChildren<QTimer *>().size(), timers);
    }

    // The adapter is unplugged while AUTO searches: the search stops, with one box.
    void serialErrorStopsTheSearch()
    {
        DeviceSettings settings;
        settings.baudCode = 1; // found last
        LinkedBench bench(settings, "AUTO");
        QTRY_VERIFY(bench.transmitter.requests().size() >= 2);
        bench.transmitter.unplug();
        // The loss, or the port that would not open for the next step: one box either way.
        QVERIFY(nextBox().startsWith("Error/"));
        QVERIFY2(!bench.timer("timerAuto")->isActive() &&
                     !bench.timer("timerReconnect")->isActive(),
                 qPrintable(view(bench.window)->plainText()));
        QSignalSpy steps(bench.timer("timerAuto"), &QTimer::timeout);
        QVERIFY(!steps.wait(1000)); // no further step, and no "Communication error!"
        QVERIFY(boxesSeen.isEmpty());
    }

    // The adapter comes back under another name: the tool waits to the end, then says so once.
    void adapterBackUnderAnotherName()
    {
        LinkedBench bench;
        QTRY_COMPARE(frames(bench.window, "RX").size(), 1);
        child<LinkFollower>(&bench.window, "linkFollower")->setReconnectLimit(2500);
        bench.transmitter.unplug();
        QCOMPARE(nextBox(), "Error/USB device error, please reconnect USB device!");
        QVERIFY(bench.transmitter.start()); // a new port, without the old name
        QCOMPARE(nextBox(), "Error/The adapter did not come back within 1 minute(s). Use Link once "
                            "it is plugged in again.");
        QVERIFY(!bench.timer("timerReconnect")->isActive() && !bench.port()->isOpen());
        QVERIFY(notes(bench.window).last().endsWith("did not come back within 1 minute(s)"));
        QTRY_VERIFY(bench.label("labelLinkState").endsWith("; the adapter did not come back"));
    }
};

TERVIN_GUI_TEST_MAIN(TestFollow)
#include "tst_follow.moc"
