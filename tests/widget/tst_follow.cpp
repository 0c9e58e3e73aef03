// Following the device through the window: a change the device ignores, an adapter unplugged and
// plugged in again (again and again), another unit behind the port, and an adapter that comes
// back under another name. (Changes verified where the device now listens: tst_link's technician.)
#include "link/linkfollower.h"
#include "protocol/modbusframe.h"
#include "windowsteps.h"

#include <QtTest>

using namespace TestSupport;

class TestFollow : public QObject
{
    Q_OBJECT

private slots:
    // The device echoes the writes but keeps its rate and address: one box each, and the tool
    // goes on.
    void changesTheDeviceIgnores()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.transmitter.setFaults(with(&Faults::ignoreWrites, true));
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

    // Unplugged while polling with capture on and plugged in again under the same name, first
    // 1.5 s later with the box still up, then twice more at once: every drop and return logged,
    // one box a drop, one timer throughout, the device read again and polling resumed; the
    // capture holds every frame of the view once, each reply after its request.
    void replugWhilePolling()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        bench.combo("comboBoxRegister")->setCurrentText("*10");
        tick(bench.window, "checkBoxSaveToFile");
        click(bench.window, "pushButtonRead");
        QVERIFY(repliesFollow(bench.window, 4));
        const int timers = bench.window.findChildren<QTimer *>().size();
        leaveBoxesOpen = true; // the box about the loss closes itself once the adapter is back
        whenBoxOpens = [&] { QTimer::singleShot(1500, [&] { bench.transmitter.replug(); }); };
        QCOMPARE(unplug(bench), AdapterLost);
        QTRY_VERIFY_WITH_TIMEOUT(notes(bench.window).contains(bench.path + " is back"), 5000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        leaveBoxesOpen = false;
        whenBoxOpens = nullptr;
        for (int flap = 2; flap <= 3; ++flap) {
            QVERIFY(repliesFollow(bench.window, 2)); // read again, polling on
            QCOMPARE(unplug(bench), AdapterLost);
            QVERIFY(bench.transmitter.replug());
            QTRY_VERIFY_WITH_TIMEOUT(notes(bench.window).filter(" is back").size() == flap, 5000);
        }
        QCOMPARE(notes(bench.window).filter(bench.path + " lost: the adapter was unplugged").size(),
                 3);
        QCOMPARE(bench.window.findChildren<QTimer *>().size(), timers);
        QCOMPARE(bench.combo("comboBoxRegister")->currentText(), "*10");
        QVERIFY2(repliesFollow(bench.window, 5),
                 qPrintable(view(bench.window)->plainText().right(2000)));
        QVERIFY(stopPolling(bench.window));
        MessageView *log = view(bench.window);
        QStringList shown; // the frames that reached the wire
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
        Bench bench(with(&DeviceSettings::deviceType, quint16(before)));
        QVERIFY(bench.linkAtDeviceRate());
        bench.combo("comboBoxRegister")->setCurrentText(chosen);
        tick(bench.window, "checkBoxSaveReadings");
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY(frames(bench.window, "RX").size() >= 4);
        QCOMPARE(unplug(bench), AdapterLost);
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

    // The adapter comes back under another name: the tool waits to the end, then says so once.
    void adapterBackUnderAnotherName()
    {
        Bench bench;
        QVERIFY(bench.linkAtDeviceRate());
        child<LinkFollower>(&bench.window, "linkFollower")->setReconnectLimit(1500);
        QCOMPARE(unplug(bench), AdapterLost);
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
