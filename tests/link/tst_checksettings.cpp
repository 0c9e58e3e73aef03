// The production check's settings as people type them: durations, tolerances, typed reference
// values, the settings taken together, and each sensor family's default tolerance.
#include "link/checksettings.h"

#include <QtTest>

namespace {
// Every field's reader in one shape: the text, then what it holds (ms for a duration) and the
// uncertainty typed after it.
struct Field
{
    QString (*read)(const QString &text, double &value, double &uncertainty);
};

template <QString (*read)(const QString &, qint64 &)>
QString inMs(const QString &text, double &value, double &)
{
    qint64 ms = -1;
    const QString problem = read(text, ms);
    value = double(ms);
    return problem;
}

QString positiveNumber(const QString &text, double &value, double &)
{
    return CheckInput::positiveNumber(text, value);
}
} // namespace
Q_DECLARE_METATYPE(Field)

class TestCheckSettings : public QObject
{
    Q_OBJECT

private slots:
    // Each field: a text, then what it holds, or what is wrong with it.
    void fields_data()
    {
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");       // ms for durations
        QTest::addColumn<double>("uncertainty"); // typed references
        QTest::addColumn<QString>("error");      // empty when taken
        const Field duration{inMs<CheckInput::duration>}, settle{inMs<CheckInput::settleTime>};
        const Field positive{positiveNumber}, temperature{CheckInput::referenceTemperature};
        const Field humidity{CheckInput::referenceHumidity};
        QTest::newRow("10m") << settle << "10m" << 600e3 << 0.0 << "";
        QTest::newRow("90s") << settle << "90s" << 90e3 << 0.0 << "";
        QTest::newRow("1h") << settle << "1h" << 3600e3 << 0.0 << "";
        QTest::newRow("1h30m") << settle << "1h30m" << 5400e3 << 0.0 << "";
        QTest::newRow("1m") << settle << "1m" << 60e3 << 0.0 << "";
        QTest::newRow("59s") << settle << "59s" << 0.0 << 0.0 << "59s is shorter than 1 minute";
        QTest::newRow("a duration of 5 s") << duration << "5s" << 5e3 << 0.0 << "";
        const QString notDuration = "%1 is not a duration (for example 10m, 90s or 1h30m)";
        for (const char *bad : {"", "10", "10 m", "m", "1.5h", "30m1h", "-5m", "10min"})
            QTest::newRow(qPrintable(QString("duration '%1'").arg(bad)))
                << settle << bad << 0.0 << 0.0
                << notDuration.arg(QString(bad).isEmpty() ? "''" : bad);
        QTest::newRow("8 days") << duration << "192h" << 0.0 << 0.0 << "192h is longer than 7 days";
        QTest::newRow("0.5") << positive << "0.5" << 0.5 << 0.0 << "";
        QTest::newRow("2") << positive << "2" << 2.0 << 0.0 << "";
        QTest::newRow("negative") << positive << "-0.2" << 0.0 << 0.0 << "-0.2 is negative";
        QTest::newRow("zero") << positive << "0" << 0.0 << 0.0 << "0 is not above 0";
        for (const char *bad : {"abc", "", "nan", "inf", "1e3", ".5", "0,5", "+1"})
            QTest::newRow(qPrintable(QString("number '%1'").arg(bad)))
                << positive << bad << 0.0 << 0.0
                << QString("%1 is not a number").arg(QString(bad).isEmpty() ? "''" : bad);
        QTest::newRow("23.5") << temperature << "23.5" << 23.5 << 0.0 << "";
        QTest::newRow("23.5:0.1") << temperature << "23.5:0.1" << 23.5 << 0.1 << "";
        QTest::newRow("-20:0.2") << temperature << "-20:0.2" << -20.0 << 0.2 << "";
        QTest::newRow("33:1.5") << humidity << "33:1.5" << 33.0 << 1.5 << "";
        QTest::newRow("126 °C") << temperature << "126" << 0.0 << 0.0
                                << "126 is out of range (-40 to 125 °C)";
        QTest::newRow("-1 %RH") << humidity << "-1:1" << 0.0 << 0.0
                                << "-1 is out of range (0 to 100 %RH)";
        QTest::newRow("a negative uncertainty")
            << humidity << "45:-1" << 0.0 << 0.0 << "-1 is negative";
        QTest::newRow("two colons") << temperature << "1:2:3" << 0.0 << 0.0
                                    << "1:2:3 is not a value with an optional uncertainty "
                                       "(for example 23.5:0.1)";
        QTest::newRow("no uncertainty after the colon")
            << temperature << "23.5:" << 0.0 << 0.0 << "'' is not a number";
    }

    void fields()
    {
        QFETCH(Field, field);
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(double, uncertainty);
        QFETCH(QString, error);
        double number = -1, plusMinus = 0;
        QCOMPARE(field.read(text, number, plusMinus), error);
        QCOMPARE(number, error.isEmpty() ? value : -1); // nothing is set by a text that is wrong
        if (error.isEmpty())
            QCOMPARE(plusMinus, uncertainty);
    }

    // The settings as a whole, on a line of units at 1, 2 and 3.
    void settings_data()
    {
        QTest::addColumn<int>("referenceAddress"); // 0: typed 23.5 °C, 45 %RH; -1: typed nothing
        QTest::addColumn<double>("uncertainty");   // of both quantities
        QTest::addColumn<double>("tolerance");     // temperature, set; 0: the families'
        QTest::addColumn<qint64>("unstableAfterMs");
        QTest::addColumn<QString>("error");
        QTest::newRow("typed") << 0 << 0.1 << 0.0 << qint64(0) << "";
        QTest::newRow("a unit") << 2 << 0.0 << 0.0 << qint64(0) << "";
        QTest::newRow("not on the line")
            << 7 << 0.0 << 0.0 << qint64(0)
            << "the reference address 7 is not one of the line's addresses";
        QTest::newRow("uncertainty at the family tolerance")
            << 0 << 0.2 << 0.0 << qint64(0)
            << "the reference's uncertainty ±0.2 °C leaves nothing of the tolerance ±0.2 °C";
        QTest::newRow("uncertainty within a set tolerance") << 0 << 0.2 << 0.5 << qint64(0) << "";
        QTest::newRow("uncertainty beyond a set tolerance")
            << 0 << 0.2 << 0.15 << qint64(0)
            << "the reference's uncertainty ±0.2 °C leaves nothing of the tolerance ±0.15 °C";
        QTest::newRow("typed, without values")
            << -1 << 0.0 << 0.0 << qint64(0)
            << "the reference has neither a temperature nor a humidity";
        QTest::newRow("limit under the settle time")
            << 0 << 0.0 << 0.0 << qint64(9 * 60000)
            << "the unstable limit is shorter than the settle time";
    }

    void settings()
    {
        QFETCH(int, referenceAddress);
        QFETCH(double, uncertainty);
        QFETCH(double, tolerance);
        QFETCH(qint64, unstableAfterMs);
        QFETCH(QString, error);
        CheckSettings settings;
        settings.reference.address = std::max(0, referenceAddress);
        if (referenceAddress == 0) {
            settings.reference.temperature = 23.5;
            settings.reference.humidity = 45;
        }
        settings.reference.temperatureUncertainty = uncertainty;
        settings.reference.humidityUncertainty = uncertainty;
        if (tolerance > 0)
            settings.temperatureTolerance = tolerance;
        settings.unstableAfterMs = unstableAfterMs;
        QCOMPARE(CheckInput::settingsProblem(settings, {1, 2, 3}), error);
    }

    // Each family's default, and what a set tolerance changes; the limit is three windows.
    void familyDefaults_data()
    {
        QTest::addColumn<int>("sensorType");
        QTest::addColumn<bool>("known");
        QTest::addColumn<double>("temperature");
        QTest::addColumn<double>("humidity");
        QTest::newRow("SHT2X/3X") << 0 << true << 0.2 << 2.0;
        QTest::newRow("SHT3X/4X") << 1 << true << 0.2 << 1.8;
        QTest::newRow("unknown code") << 7 << true << 0.2 << 2.0;
        QTest::newRow("not read yet") << 1 << false << 0.2 << 2.0;
    }

    void familyDefaults()
    {
        QFETCH(int, sensorType);
        QFETCH(bool, known);
        QFETCH(double, temperature);
        QFETCH(double, humidity);
        CheckSettings settings;
        QCOMPARE(settings.tolerancesFor(quint16(sensorType), known).temperature, temperature);
        QCOMPARE(settings.tolerancesFor(quint16(sensorType), known).humidity, humidity);
        settings.humidityTolerance = 3.0;
        QCOMPARE(settings.tolerancesFor(quint16(sensorType), known).humidity, 3.0);
        QCOMPARE(settings.unstableLimitMs(), 3 * DefaultSettleMs);
    }
};

QTEST_GUILESS_MAIN(TestCheckSettings)
#include "tst_checksettings.moc"
