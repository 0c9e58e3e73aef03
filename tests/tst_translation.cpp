// The Chinese translation: the window and its boxes in Chinese when Qm/Chinese.qm is in the
// current directory, and every text of the code translated.
#include "forms/serialportsettingdialog.h"
#include "startup.h"
#include "testsupport.h"

#include <QGroupBox>
#include <QProcess>
#include <QTranslator>
#include <QtTest>

using namespace TestSupport;

class TestTranslation : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString previous;
    QTranslator translator;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Qm")));
        QVERIFY(QFile::copy(QStringLiteral(TERVIN_BUILD_DIR "/src/Qm/Chinese.qm"),
                            dir.path() + QStringLiteral("/Qm/Chinese.qm")));
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        installTranslation(*QCoreApplication::instance(), translator);
    }

    void cleanupTestCase()
    {
        QCoreApplication::removeTranslator(&translator);
        QDir::setCurrent(previous);
    }

    void windowTextsAreChinese()
    {
        Widget window;
        QVERIFY2(window.windowTitle().startsWith(QStringLiteral("泰尔文测试工具   V")),
                 qPrintable(window.windowTitle()));
        QCOMPARE(child<QPushButton>(&window, "pushButtonLink")->text(), QStringLiteral("连接"));
        QCOMPARE(child<QGroupBox>(&window, "groupBoxDevice")->title(), QStringLiteral("设备"));
        QCOMPARE(child<QComboBox>(&window, "comboBoxNum")->itemText(0), QStringLiteral("全部"));
        // Device-type names and the scale items stay as they are.
        QCOMPARE(child<QComboBox>(&window, "comboBoxDeviceType")->itemText(2),
                 QStringLiteral("Tervin-F"));
        QCOMPARE(child<QComboBox>(&window, "comboBoxRegister")->itemText(1),
                 QStringLiteral("*100"));
    }

    void readStopWorksWithTranslatedCaptions()
    {
        Widget window;
        auto *read = child<QPushButton>(&window, "pushButtonRead");
        QCOMPARE(read->text(), QStringLiteral("读取"));
        click(window, "pushButtonRead");
        QCOMPARE(read->text(), QStringLiteral("停止"));
        QVERIFY(child<QTimer>(&window, "timerRead")->isActive());
        click(window, "pushButtonRead");
        QCOMPARE(read->text(), QStringLiteral("读取"));
        QVERIFY(!child<QTimer>(&window, "timerRead")->isActive());
    }

    void boxesAreChinese()
    {
        Widget window;
        BoxCloser boxes;
        click(window, "pushButtonAddress");
        QCOMPARE(boxes.seen.size(), 1);
        QCOMPARE(boxes.seen[0].title, QStringLiteral("错误"));
        QCOMPARE(boxes.seen[0].text, QStringLiteral("地址为空！"));
    }

    void dialogIsChinese()
    {
        SerialportSettingDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("串口"));
        QCOMPARE(child<QComboBox>(&dialog, "comboBoxBaud")->itemText(0), QStringLiteral("自动"));
        QCOMPARE(child<QPushButton>(&dialog, "pushButtonCancel")->text(), QStringLiteral("取消"));
    }

    // lupdate over the sources, into a copy of the translation: nothing may come out unfinished.
    void everySourceTextIsTranslated()
    {
        const QString copy = dir.filePath(QStringLiteral("check.ts"));
        QVERIFY(QFile::copy(QStringLiteral(TERVIN_SOURCE_DIR "/translations/Chinese.ts"), copy));
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        QProcess lupdate;
        lupdate.start(QStringLiteral(LUPDATE),
                      {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"),
                       QStringLiteral("none"), QStringLiteral(TERVIN_SOURCE_DIR "/src"),
                       QStringLiteral("-ts"), copy});
        QVERIFY(lupdate.waitForFinished(60000));
        QCOMPARE(lupdate.exitCode(), 0);
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString ts = QString::fromUtf8(file.readAll());
        QVERIFY(ts.count(QLatin1String("<source>")) >= 70);
        QCOMPARE(ts.count(QLatin1String("type=\"unfinished\"")), 0);
        QVERIFY(ts.contains(QLatin1String("<name>Widget</name>")));
        QVERIFY(ts.contains(QLatin1String("<name>SerialportSettingDialog</name>")));
    }
};

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
