// The main window after construction, Close, start-up with and without the Chinese translation,
// and the frame log with its capture file.
#include "comm/filefailure.h"
#include "forms/serialportsettingdialog.h"
#include "startup.h"
#include "view/elidedlabel.h"
#include "view/trendwindow.h"
#include "windowsteps.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>
#include <QTranslator>
#include <QtTest>
#include <qcustomplot.h>

#include <cerrno>
#include <memory>

using namespace TestSupport;

namespace {
// The program started as it starts, from a scratch current directory with Qm/Chinese.qm in it or
// not; the translation goes again at the end.
struct Started
{
    explicit Started(bool chinese)
    {
        if (chinese &&
            !(QDir(dir.path()).mkdir("Qm") &&
              QFile::copy(TERVIN_BUILD_DIR "/src/Qm/Chinese.qm", dir.filePath("Qm/Chinese.qm"))))
            qFatal("cannot copy Chinese.qm");
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        installTranslation(*QCoreApplication::instance(), translator);
        window = std::make_unique<Widget>();
        QDir::setCurrent(previous);
    }
    ~Started() { QCoreApplication::removeTranslator(&translator); }

    QTemporaryDir dir;
    QTranslator translator;
    std::unique_ptr<Widget> window;
};

// Every text this widget and its children can show: titles, labels without their markup,
// buttons, check boxes, group titles, combo box items, fields and their hints, tooltips.
QStringList textsOf(QWidget *top)
{
    QStringList texts{top->windowTitle()};
    QList<QWidget *> widgets = top->findChildren<QWidget *>();
    for (QWidget *widget : widgets << top) {
        texts << widget->toolTip();
        if (auto *label = qobject_cast<QLabel *>(widget))
            texts << label->text().remove(QRegularExpression("<[^>]*>"));
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            texts << button->text();
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            texts << group->title();
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            texts << itemsOf(combo);
        else if (auto *field = qobject_cast<QLineEdit *>(widget))
            texts << field->text() << field->placeholderText();
    }
    return texts;
}

// The chart's own texts: axis titles and tick labels, and the legend.
QStringList textsOf(QCustomPlot *plot)
{
    QStringList texts;
    for (QCPAxis *axis : plot->axisRect()->axes())
        texts << axis->label() << axis->tickVectorLabels().toList();
    for (int series = 0; series < plot->graphCount(); ++series)
        texts << plot->graph(series)->name();
    return texts;
}

// The message view as it reads: each frame's note without its hexadecimal bytes, and the notes.
QStringList linesOf(MessageView *log)
{
    QStringList lines;
    for (int i = 0; i < log->lineCount(); ++i) {
        const auto frame = Capture::parseLine(log->lineText(i));
        lines << (frame ? frame->note : log->lineText(i));
    }
    return lines;
}

// What may stay in Latin letters on a Chinese screen: the device and sensor names, TX/RX,
// hexadecimal numbers and serial numbers, technical names and keys, file names and extensions, the
// port names, and units (%RH).
const QRegularExpression AllowedNames(
    "Tervin-[OCF]|SHT\\dX/\\dX|->[TR]X|0x[0-9A-Fa-f]+|\\*\\.(png|csv|pdf)|\\bV[0-9.]+|%RH|"
    "\\b(Tervin|Modbus|CRC|USB|CSV|PNG|PDF|Excel|WPS|End|Shift|dialout)\\b|"
    "\\b[0-9a-f]{12}\\b|\\bData\\b|\\b(Log|Readings)\\d{14}\\.(txt|csv)\\b|\\btty\\w+");
} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    // The title, the initial control state, and what the form sets up that no text check sees
    // (every text of the form is checked by the translation test below); Close quits.
    void titleAndInitialState()
    {
        Widget window;
        QCOMPARE(window.windowTitle(), "Tervin Test Tools   V" + buildDate.toString("yyyy.MM.dd.") +
                                           buildTime.toString("hhmm"));
        QCOMPARE(window.objectName() + window.font().family(), "WidgetArial");
        QCOMPARE(window.size(), QSize(1112, 620));
        QCOMPARE(window.font().pointSize(), 10);
        QStringList combos;
        for (const char *name : {"comboBoxDeviceType", "comboBoxBaudRate", "comboBoxSensorType",
                                 "comboBoxRegister", "comboBoxNum"})
            combos << child<QComboBox>(&window, name)->currentText() + '|' +
                          itemsOf(child<QComboBox>(&window, name)).join(',');
        QCOMPARE(combos.join(' '), "Tervin-O|Tervin-O,Tervin-C,Tervin-F 9600|1200,2400,4800,9600,"
                                   "19200,115200 SHT2X/3X|SHT2X/3X,SHT3X/4X *10|*10,*100 "
                                   "ALL|ALL,Temperature,Humidity,DewTemp,Status");
        QCOMPARE(child<QLineEdit>(&window, "lineEditPeriod")->text(), "1000");
        QVERIFY(!child<QPushButton>(&window, "pushButtonTypeSetting")->isEnabled());
        QVERIFY(!child<QPushButton>(&window, "pushButtonSensorTypeSetting")->isEnabled());
        QVERIFY(!window.findChild<QSerialPort *>()->isOpen());
        QStringList timers; // the four of the window, none running
        for (QTimer *timer : window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly))
            timers << timer->objectName() + (timer->isActive() || timer->isSingleShot() ? "!" : "");
        QCOMPARE(timers.join(','), "timerClear,timerRead,timerAuto,timerDelay");
        QVERIFY(!child<QTimer>(&window, "timerReconnect")->isActive());
        QCOMPARE(child<QLabel>(&window, "label_3")->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        for (const char *centred : {"labelVersions", "lineEditAddress", "lineEditPeriod"})
            QCOMPARE(child<QWidget>(&window, centred)->property("alignment").toInt(),
                     int(Qt::AlignCenter));
        QTimer::singleShot(0, [&window] { click(window, "pushButtonClose"); });
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); }); // never hang the suite
        QCOMPARE(QCoreApplication::exec(), 0);                         // Close quits with code 0
    }

    // However long the status texts grow, the window keeps its size, and it fits a 1366 x 768
    // screen in either language: the status lines are cut to their space, whole in the tooltip.
    void keepsItsSizeInBothLanguages_data()
    {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }

    void keepsItsSizeInBothLanguages()
    {
        QFETCH(bool, chinese);
        Started started(chinese);
        Widget *window = started.window.get();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const QSize size = window->size();
        const QString longText = QString("Sent 123456, replies 123456, timeouts 1234 ").repeated(6);
        auto *statistics = child<ElidedLabel>(window, "labelStatistics");
        statistics->setText(longText);
        child<ElidedLabel>(window, "labelLinkState")->setText(longText);
        child<QLabel>(window, "labelVersions")->setText("Firmware version:V9.9.9");
        child<QLabel>(window, "labelSerialNumber")->setText("Serial number:123456789abc");
        QCoreApplication::processEvents();
        QCOMPARE(window->size(), size);
        QCOMPARE(statistics->toolTip(), longText);
        QVERIFY2(window->minimumSizeHint().width() <= 1100,
                 qPrintable(QString::number(window->minimumSizeHint().width())));
        QVERIFY(window->minimumSizeHint().height() <= 700);
        auto *line = child<QWidget>(window, "lineWindow"); // the Line window fits too
        QVERIFY2(line->minimumSizeHint().width() <= 1366 && line->size().width() <= 1366 &&
                     line->minimumSizeHint().height() <= 768 && line->size().height() <= 768,
                 qPrintable(QString("%1 x %2")
                                .arg(line->minimumSizeHint().width())
                                .arg(line->minimumSizeHint().height())));
    }

    // Qm/Chinese.qm in the current directory: the window, its boxes and the dialog in Chinese,
    // Read/Stop still working, device names as they are. Then a technician's session in Chinese
    // (link, an exception, capture, polling, the trend, the Line window, an address change and its
    // question, an unplugged adapter, the Link dialog, an open failure): no English word on
    // screen but the allowed names.
    void startsInChineseWithNoEnglishOnScreen()
    {
        Started chinese(true);
        Widget *window = chinese.window.get();
        QVERIFY(window->windowTitle().startsWith("Tervin 测试工具   V"));
        QCOMPARE(child<QGroupBox>(window, "groupBoxDevice")->title(), "设备");
        QCOMPARE(child<QComboBox>(window, "comboBoxDeviceType")->currentText(), "Tervin-O");
        auto *read = child<QPushButton>(window, "pushButtonRead");
        click(*window, "pushButtonRead");
        QCOMPARE(read->text(), "停止");
        click(*window, "pushButtonRead");
        QCOMPARE(read->text(), "读取");
        QVERIFY(!child<QTimer>(window, "timerRead")->isActive());
        click(*window, "pushButtonAddress");
        QCOMPARE(nextBox(), "错误/地址为空！");
        QMessageBox box(QMessageBox::Information, "", "", QMessageBox::Ok); // Qt's own texts too
        QCOMPARE(box.button(QMessageBox::Ok)->text(), "确定");
        SerialportSettingDialog dialog;
        QCOMPARE(dialog.windowTitle() + child<QComboBox>(&dialog, "comboBoxBaud")->currentText(),
                 "串口自动");
        QStringList seen;
        whenBoxOpens = [&seen] { seen << textsOf(QApplication::activeModalWidget()); };
        QString place; // the bench's folder, a name of the system's
        {
            Bench bench;
            place = bench.workDir.path();
            QVERIFY(bench.linkAtDeviceRate());
            bench.transmitter.setFaults(with(&Faults::exceptionCode, 2));
            bench.pollOnce(2);
            MessageView *log = view(bench.window);
            QTRY_VERIFY(log->lineText(log->lineCount() - 1)
                            .endsWith("018302c0f1  异常 0x02（非法数据地址）"));
            bench.transmitter.setFaults(Faults());
            tick(bench.window, "checkBoxSaveToFile");
            tick(bench.window, "checkBoxSaveReadings");
            click(bench.window, "pushButtonRead");
            QTRY_VERIFY(frames(bench.window, "RX").size() >= 4);
            click(bench.window, "pushButtonTrend");
            auto *trend = child<TrendWindow>(&bench.window, "trendWindow");
            auto *plot = child<QCustomPlot>(trend, "trendPlot");
            trend->redraw();
            QTest::mouseMove(plot, plot->axisRect()->rect().center());
            QTRY_VERIFY(!child<QLabel>(trend, "labelHover")->text().isEmpty());
            seen << textsOf(trend) << textsOf(plot);
            click(bench.window, "pushButtonLine");
            auto *line = child<QWidget>(&bench.window, "lineWindow");
            child<QLineEdit>(line, "lineEditScanAddresses")->setText("1-3");
            click(*line, "pushButtonScan");
            QTRY_VERIFY(child<QPushButton>(line, "pushButtonScan")->isEnabled());
            auto *units = child<QTableView>(line, "tableViewUnits");
            for (int column = 0; column < units->model()->columnCount(); ++column) {
                seen << units->model()->headerData(column, Qt::Horizontal).toString();
                seen << units->model()->index(0, column).data().toString();
            }
            seen << textsOf(line);
            click(bench.window, "pushButtonAddress");
            QVERIFY(nextBox().startsWith("地址/"));
            QTRY_VERIFY(bench.label("labelLinkState").endsWith("地址已改为 1，已确认"));
            seen << textsOf(&bench.window);
            QCOMPARE(unplug(bench), "错误/USB 转换器出错，请重新插入！");
            QTRY_COMPARE(bench.label("labelLinkState"), "串口已断开；正在等待 USB 转换器重新插入");
            seen << textsOf(&bench.window);
            const QString missing = bench.workDir.filePath("ttyUSB9");
            onNextDialog([&seen, missing](QDialog *dialog) {
                seen << textsOf(dialog);
                child<QComboBox>(dialog, "comboBoxName")->setCurrentText(missing);
                click(*dialog, "pushButtonOK");
            });
            click(bench.window, "pushButtonLink");
            QCOMPARE(nextBox(), "错误/无法打开串口 " + missing + "：找不到该串口");
            seen << textsOf(&bench.window) << linesOf(view(bench.window));
        }
        whenBoxOpens = nullptr;
        QStringList english;
        for (QString text : seen) {
            const QRegularExpressionMatch word =
                QRegularExpression("[A-Za-z]{2,}").match(text.remove(place).remove(AllowedNames));
            if (word.hasMatch())
                english << word.captured() + " in \"" + text + '"';
        }
        QVERIFY2(english.isEmpty(), qPrintable(english.join('\n')));
        QVERIFY(seen.join(' ').contains("保存报文到 " + place + "/Data/Log")); // the walk was seen
    }

    // lupdate over the sources, into a copy of the translation: nothing may come out unfinished.
    void everySourceTextIsTranslated()
    {
        QTemporaryDir dir;
        const QString copy = dir.filePath("check.ts");
        QVERIFY(QFile::copy(TERVIN_SOURCE_DIR "/translations/Chinese.ts", copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.start(LUPDATE, {"-no-obsolete", TERVIN_SOURCE_DIR "/src", TERVIN_SOURCE_DIR "/cli",
                                "-ts", copy});
        QVERIFY(lupdate.waitForFinished(60000) && lupdate.exitCode() == 0);
        const QString ts = linesOf(copy).join('\n');
        QVERIFY(ts.count("<source>") >= 70);
        QCOMPARE(ts.count("type=\"unfinished\""), 0);
    }

    // "2026-12-06 20:36:10->TX  0003010000018427" in the view and, while capturing, in
    // Data/LogYYYYMMDDhhmmss.txt, a file per capture period, made when the capture starts; the view
    // says where it is. A Data folder where it cannot be made gets one box naming the folder; a
    // file that cannot be written is reported once a period; the view keeps every line, and once
    // writing works lines get through.
    void capture()
    {
        Bench bench;
        auto *save = child<QCheckBox>(&bench.window, "checkBoxSaveToFile");
        const QDateTime now = QDateTime::currentDateTime();
        bench.window.AppendMessage("aa", false); // before capture: not in the file
        save->setChecked(true);
        bench.window.AppendMessage("0003010000018427", false);
        bench.window.AppendMessage("01030200017984", true);
        save->setChecked(false);
        bench.window.AppendMessage("bb", false); // after capture: not in the file either
        MessageView *log = view(bench.window);
        const QDateTime stamp(QDate(2026, 12, 6), QTime(20, 36, 10));
        QCOMPARE(Capture::line(stamp, false, "0003010000018427"),
                 "2026-12-06 20:36:10->TX  0003010000018427");
        const auto parsed = Capture::parseLine("2026-12-06 20:36:10->RX  0103  (late, ignored)");
        QVERIFY(parsed && parsed->received && parsed->time == stamp);
        QCOMPARE(parsed->frameText + '|' + parsed->note, "0103|(late, ignored)");
        QVERIFY(!Capture::parseLine("2026-12-06 20:36:10  no reply within 172 ms"));
        const QString name = QDir("Data").entryList(QDir::Files).value(0);
        QVERIFY2(QRegularExpression("^Log\\d{14}\\.txt$").match(name).hasMatch(), qPrintable(name));
        const QString where = QDir::current().absoluteFilePath("Data/" + name);
        QCOMPARE(notes(bench.window), QStringList("Saving the frames to " + where));
        QCOMPARE(frames(bench.window, "TX").join(' ') + '|' + frames(bench.window, "RX").join(' '),
                 "aa 0003010000018427 bb|01030200017984");
        QVERIFY(qAbs(Capture::parseLine(log->lineText(2))->time.secsTo(now)) < 3);
        QVERIFY(log->lineKind(2) == MessageView::Kind::Sent &&
                log->lineKind(3) == MessageView::Kind::Received);
        QCOMPARE(QString(readAll("Data/" + name)),
                 log->lineText(2) + '\n' + log->lineText(3) + '\n');
        QVERIFY(QDir("Data").removeRecursively() && QFile("Data").open(QIODevice::WriteOnly));
        save->setChecked(true); // a file where the folder should be: one box, naming the folder
        QCOMPARE(nextBox(), "Error/Cannot write in the folder " +
                                QDir::current().absoluteFilePath("Data") +
                                ": a file stands where the folder should be");
        bench.window.AppendMessage("01", false);
        bench.window.AppendMessage("02", true);
        QCOMPARE(log->lineCount(), 7);
        QVERIFY(QFile::remove("Data"));
        bench.window.AppendMessage("03", false);
        QVERIFY(bench.captured().value(0).endsWith("03"));
        const QTime first = QTime::currentTime(); // a new period, a second later: a new file
        QTRY_VERIFY_WITH_TIMEOUT(QTime::currentTime().second() != first.second(), 3000);
        save->setChecked(false);
        save->setChecked(true);
        const QStringList files = QDir("Data").entryList(QDir::Files);
        QCOMPARE(files.size(), 2);
        QVERIFY(QFile::remove("Data/" + files[1]) && QFile::link("/dev/full", "Data/" + files[1]));
        bench.window.AppendMessage("04", false); // a full disk
        QCOMPARE(nextBox(), "Error/Cannot write the capture file " +
                                QDir::current().absoluteFilePath("Data/" + files[1]) +
                                ": the disk is full");
        bench.window.AppendMessage("05", false); // once a period
        QVERIFY(boxesSeen.isEmpty());
    }

    // Why a data file cannot be written, from the system's text of its error: the common causes
    // in the user's language, anything else after a lead-in.
    void fileFailureCauses_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("full") << ENOSPC << "the disk is full";
        QTest::newRow("quota") << EDQUOT << "the disk is full";
        QTest::newRow("access") << EACCES << "permission denied";
        QTest::newRow("read-only") << EROFS << "the disk is read-only";
        QTest::newRow("not a folder") << ENOTDIR << "a file stands where the folder should be";
        QTest::newRow("missing") << ENOENT << "no such folder";
        QTest::newRow("I/O") << EIO << "input/output error";
        QTest::newRow("other") << EMFILE << "the system reports: " + qt_error_string(EMFILE);
    }

    void fileFailureCauses()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        QCOMPARE(FileFailure::text(qt_error_string(error)), text);
    }
};

TERVIN_GUI_TEST_MAIN(TestWindow)
#include "tst_window.moc"
