// The main window as it stands after construction, start-up with and without a translation,
// and Close.
#include "startup.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>

using namespace TestSupport;

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void titleCarriesTheBuildStamp()
    {
        Widget window;
        const QString expected = QStringLiteral("Tervin Test Tools   V") +
                                 buildDate.toString(QStringLiteral("yyyy.MM.dd")) +
                                 QLatin1Char('.') + buildTime.toString(QStringLiteral("hhmm"));
        QCOMPARE(window.windowTitle(), expected);
        QVERIFY(QRegularExpression(
                    QStringLiteral("^Tervin Test Tools   V\\d{4}\\.\\d\\d\\.\\d\\d\\.\\d{4}$"))
                    .match(window.windowTitle())
                    .hasMatch());
        QCOMPARE(window.objectName(), QStringLiteral("Widget"));
        QCOMPARE(window.size(), QSize(1112, 620));
        QCOMPARE(window.font().family(), QStringLiteral("Arial"));
        QCOMPARE(window.font().pointSize(), 10);
    }

    void objectTree_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QString>("text");
        auto row = [](const char *name, const char *cls, const char *parent, const char *text) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls)
                                << QString::fromLatin1(parent) << QString::fromUtf8(text);
        };
        row("groupBoxDevice", "QGroupBox", "Widget", "Device");
        row("groupBoxRTD", "QGroupBox", "Widget", "Real time data");
        row("groupBoxMessage", "QGroupBox", "Widget", "Message");
        row("label_3", "QLabel", "groupBoxDevice", "Device type:");
        row("comboBoxDeviceType", "QComboBox", "groupBoxDevice", "Tervin-O");
        row("pushButtonTypeSetting", "QPushButton", "groupBoxDevice", "Setting");
        row("pushButtonTypeRead", "QPushButton", "groupBoxDevice", "Read");
        row("label_5", "QLabel", "groupBoxDevice", "Baud rate:");
        row("comboBoxBaudRate", "QComboBox", "groupBoxDevice", "9600");
        row("pushButtonBaudRate", "QPushButton", "groupBoxDevice", "Setting");
        row("labelVersions", "QLabel", "groupBoxDevice", "");
        row("label_4", "QLabel", "groupBoxDevice", "Address:");
        row("lineEditAddress", "QLineEdit", "groupBoxDevice", "");
        row("pushButtonAddress", "QPushButton", "groupBoxDevice", "Setting");
        row("pushButtonAddressRead", "QPushButton", "groupBoxDevice", "Read");
        row("label_7", "QLabel", "groupBoxDevice", "Sensor type:");
        row("comboBoxSensorType", "QComboBox", "groupBoxDevice", "SHT2X/3X");
        row("pushButtonSensorTypeSetting", "QPushButton", "groupBoxDevice", "Setting");
        row("pushButtonSensorTypeRead", "QPushButton", "groupBoxDevice", "Read");
        row("labelTemperature", "QLabel", "groupBoxRTD", "Temperature:");
        row("labelHumidity", "QLabel", "groupBoxRTD", "Humidity:");
        row("labelDewTemp", "QLabel", "groupBoxRTD", "DewTemp:");
        row("label", "QLabel", "groupBoxRTD", "Magnification:");
        row("comboBoxRegister", "QComboBox", "groupBoxRTD", "*10");
        row("comboBoxNum", "QComboBox", "groupBoxRTD", "ALL");
        row("label_6", "QLabel", "groupBoxRTD", "Period:");
        row("lineEditPeriod", "QLineEdit", "groupBoxRTD", "1000");
        row("label_2", "QLabel", "groupBoxRTD", "ms");
        row("pushButtonRead", "QPushButton", "groupBoxRTD", "Read");
        row("textBrowser", "MessageView", "groupBoxMessage", "");
        row("checkBoxSaveToFile", "QCheckBox", "groupBoxMessage", "Save to file");
        row("pushButtonLink", "QPushButton", "Widget", "Link");
        row("pushButtonClose", "QPushButton", "Widget", "Close");
    }

    void objectTree()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QString, text);
        Widget window;
        QWidget *widget = window.findChild<QWidget *>(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QCOMPARE(widget->parentWidget()->objectName(), parentName);
        QString shown;
        if (auto *box = qobject_cast<QGroupBox *>(widget))
            shown = box->title();
        else if (auto *label = qobject_cast<QLabel *>(widget))
            shown = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            shown = button->text();
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            shown = combo->currentText();
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            shown = edit->text();
        QCOMPARE(shown, text);
    }

    void comboItemsAndAlignments()
    {
        Widget window;
        auto items = [&](const char *name) {
            QStringList texts;
            auto *combo = child<QComboBox>(&window, name);
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
            return texts.join(QLatin1Char(','));
        };
        QCOMPARE(items("comboBoxDeviceType"), QStringLiteral("Tervin-O,Tervin-C,Tervin-F"));
        QCOMPARE(items("comboBoxBaudRate"), QStringLiteral("1200,2400,4800,9600,19200,115200"));
        QCOMPARE(items("comboBoxSensorType"), QStringLiteral("SHT2X/3X,SHT3X/4X"));
        QCOMPARE(items("comboBoxRegister"), QStringLiteral("*10,*100"));
        QCOMPARE(items("comboBoxNum"), QStringLiteral("ALL,Temperature,Humidity,DewTemp,Status"));
        QCOMPARE(child<QLabel>(&window, "label_3")->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(child<QLineEdit>(&window, "lineEditAddress")->alignment(), Qt::AlignCenter);
        QCOMPARE(child<QLineEdit>(&window, "lineEditPeriod")->alignment(), Qt::AlignCenter);
        QCOMPARE(child<QLabel>(&window, "labelVersions")->alignment(), Qt::AlignCenter);
    }

    void initialState()
    {
        Widget window;
        QCOMPARE(child<QComboBox>(&window, "comboBoxBaudRate")->currentIndex(), 3);
        QCOMPARE(child<QComboBox>(&window, "comboBoxDeviceType")->count(), 3);
        QVERIFY(!child<QPushButton>(&window, "pushButtonTypeSetting")->isEnabled());
        QVERIFY(!child<QPushButton>(&window, "pushButtonSensorTypeSetting")->isEnabled());
        QVERIFY(child<QPushButton>(&window, "pushButtonTypeRead")->isEnabled());
        QVERIFY(!child<QCheckBox>(&window, "checkBoxSaveToFile")->isChecked());
        QVERIFY(!window.findChild<QSerialPort *>()->isOpen());
        const auto timers = window.findChildren<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(timers.size(), 4);
        for (QTimer *timer : timers) {
            QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
            QVERIFY(!timer->isSingleShot());
        }
        QCOMPARE(view(window)->lineCount(), 0);
    }

    void closeQuitsWithCodeZero()
    {
        Widget window;
        window.show();
        QTimer::singleShot(0, [&window] { click(window, "pushButtonClose"); });
        QTimer::singleShot(10000, [] { QCoreApplication::exit(99); }); // never hang the suite
        QCOMPARE(QCoreApplication::exec(), 0);
    }

    void startsEnglishWithoutTranslation()
    {
        QTemporaryDir dir;
        const auto window = startIn(dir.path());
        QVERIFY(window->windowTitle().startsWith(QLatin1String("Tervin Test Tools   V")));
        QCOMPARE(child<QPushButton>(window.get(), "pushButtonLink")->text(),
                 QStringLiteral("Link"));
    }

    void startsTranslatedFromTheCurrentDirectory()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Qm")));
        QVERIFY(
            QFile::copy(QStringLiteral(TINY_QM), dir.path() + QStringLiteral("/Qm/Chinese.qm")));
        const auto window = startIn(dir.path());
        QVERIFY2(window->windowTitle().startsWith(QStringLiteral("泰尔文测试工具   V")),
                 qPrintable(window->windowTitle()));
        QCOMPARE(child<QPushButton>(window.get(), "pushButtonLink")->text(),
                 QStringLiteral("连接"));
        QCOMPARE(child<QPushButton>(window.get(), "pushButtonClose")->text(),
                 QStringLiteral("Close"));
    }

private:
    // Start-up as the program does it, from the given current directory.
    static std::unique_ptr<Widget> startIn(const QString &folder)
    {
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder);
        QTranslator translator;
        installTranslation(*QCoreApplication::instance(), translator);
        auto window = std::make_unique<Widget>();
        QCoreApplication::removeTranslator(&translator);
        QDir::setCurrent(previous);
        return window;
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
