// The shared record's start values and the build stamps.
#include "comm/commstate.h"

#include <QLocale>
#include <QtTest>

class TestCommState : public QObject
{
    Q_OBJECT

private slots:
    // Must run first: nothing has touched the record yet.
    void startsEmpty()
    {
        QVERIFY(CommState.portName.isEmpty());
        QVERIFY(CommState.rxBuffer.isEmpty());
        QCOMPARE(CommState.baudRate, 0);
        QCOMPARE(CommState.autoBaudCount, quint8(0));
        QCOMPARE(CommState.baudCandidates[0], 0);
        QCOMPARE(CommState.responseReceived, quint8(0));
        QCOMPARE(CommState.temperatureRaw, 0);
    }

    void buildDateParsing_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QDate>("date");
        QTest::newRow("one-digit day") << "Aug  1 2024" << QDate(2024, 8, 1);
        QTest::newRow("two-digit day") << "Aug 11 2024" << QDate(2024, 8, 11);
        QTest::newRow("December") << "Dec 31 2026" << QDate(2026, 12, 31);
    }

    void buildDateParsing()
    {
        QFETCH(QString, stamp);
        QFETCH(QDate, date);
        QCOMPARE(parseBuildDate(stamp), date);
        QLocale::setDefault(QLocale(QLocale::German)); // month names are read in English
        QCOMPARE(parseBuildDate(stamp), date);
        QLocale::setDefault(QLocale::c());
    }

    void buildStampsOfThisBuild()
    {
        QVERIFY(buildDate.isValid());
        QVERIFY(buildTime.isValid());
        QCOMPARE(parseBuildTime(QStringLiteral("10:13:21")), QTime(10, 13, 21));
    }
};

QTEST_APPLESS_MAIN(TestCommState)
#include "tst_commstate.moc"
