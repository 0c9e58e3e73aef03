// Each simulated unit's own error against the chamber all units sit in: offset, slope, noise and
// drift, what its registers carry of them, and the options of tervin-sim that set them.
#include "protocol/reading.h"
#include "simsupport.h"
#include "transmittermodel.h"

#include <QtTest>

#include <numeric>

using namespace SimSupport;

Q_DECLARE_METATYPE(SensorError)

namespace {
SensorError errorOf(double offset, double slope, double drift, double humidityOffset = 0,
                    double humiditySlope = 1, double humidityDrift = 0)
{
    SensorError error;
    error.temperature = {offset, slope, 0, drift};
    error.humidity = {humidityOffset, humiditySlope, 0, humidityDrift};
    return error;
}

// The three reading registers of a reply to a read of the first block, as signed values.
QList<int> readingRegisters(TransmitterModel &model)
{
    const QByteArray answer = model.handle(request(3, 1, 0, 3));
    QList<int> values;
    for (int i = 0; i < 3; ++i)
        values << qint16((quint8(answer.at(3 + 2 * i)) << 8) | quint8(answer.at(4 + 2 * i)));
    return values;
}
} // namespace

class TestSensorError : public QObject
{
    Q_OBJECT

private slots:
    // What a unit measures of the chamber, at a moment of its own time.
    void measures_data()
    {
        QTest::addColumn<SensorError>("error");
        QTest::addColumn<double>("chamber");
        QTest::addColumn<double>("chamberHumidity");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<double>("celsius");
        QTest::addColumn<double>("humidity");
        const auto row = [](const char *name, const SensorError &error, double chamber,
                            double chamberHumidity, qint64 elapsedMs, double celsius,
                            double humidity) {
            QTest::newRow(name) << error << chamber << chamberHumidity << elapsedMs << celsius
                                << humidity;
        };
        const qint64 halfHour = 30 * 60000;
        row("none", SensorError(), 23.5, 45, halfHour, 23.5, 45);
        row("offsets", errorOf(0.4, 1, 0, -1.5), 23.5, 45, halfHour, 23.9, 43.5);
        row("humidity slope about 50 %", errorOf(0, 1, 0, 0, 1.05), 23.5, 33, 0, 23.5, 32.15);
        row("temperature slope about 25 °C", errorOf(0, 1.02, 0), -20, 45, 0, -20.9, 45);
        row("drift a minute", errorOf(0.1, 1, -0.01, 0, 1, 0.05), -20, 45, halfHour, -20.2, 46.5);
        row("humidity held at 100 %", errorOf(0, 1, 0, 10), 23.5, 95, 0, 23.5, 100);
        row("temperature held at -40 °C", errorOf(-1, 1, 0), -39.5, 45, 0, -40, 45);
    }

    void measures()
    {
        QFETCH(SensorError, error);
        QFETCH(double, chamber);
        QFETCH(double, chamberHumidity);
        QFETCH(qint64, elapsedMs);
        QFETCH(double, celsius);
        QFETCH(double, humidity);
        DeviceSettings settings;
        settings.temperature = chamber;
        settings.humidity = chamberHumidity;
        TransmitterModel model(settings);
        model.setSensorError(error);
        const Measurement measurement = model.measureAt(elapsedMs);
        QCOMPARE(QString::number(measurement.celsius, 'f', 9) + ' ' +
                     QString::number(measurement.humidity, 'f', 9),
                 QString::number(celsius, 'f', 9) + ' ' + QString::number(humidity, 'f', 9));
    }

    // The registers of one reply come from one measurement: a Tervin-F's offset is added to the
    // °C value before its conversion, and the dew point is that of the temperature and humidity
    // sent beside it, noise and all.
    void registers_data()
    {
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<double>("offset");
        QTest::addColumn<int>("temperature"); // the register, in its block's scale
        QTest::newRow("Tervin-O, tenths") << 0 << 0.4 << 239;
        QTest::newRow("Tervin-C, hundredths") << 1 << 0.4 << 2390;
        QTest::newRow("Tervin-F, hundredths of °F") << 2 << 0.4 << 7502;
        QTest::newRow("Tervin-F below zero") << 2 << -43.5 << -400;
    }

    void registers()
    {
        QFETCH(int, deviceType);
        QFETCH(double, offset);
        QFETCH(int, temperature);
        DeviceSettings settings;
        settings.deviceType = quint16(deviceType);
        TransmitterModel model(settings);
        model.setSensorError(errorOf(offset, 1, 0));
        QCOMPARE(readingRegisters(model).value(0), temperature);
        SensorError noisy;
        noisy.temperature.noise = 2;
        noisy.humidity.noise = 10;
        model.setSensorError(noisy);
        const double scale = deviceType == 0 ? 10 : 100;
        for (int i = 0; i < 20; ++i) {
            const QList<int> values = readingRegisters(model);
            auto celsius = [&](int value) {
                return deviceType == 2 ? celsiusOfFahrenheit(value / scale) : value / scale;
            };
            const double dew = TransmitterModel::dewPoint(celsius(values[0]), values[1] / scale);
            QVERIFY2(qAbs(celsius(values[2]) - dew) < 0.2, qPrintable(QString::number(dew)));
        }
    }

    // Noise of the standard deviation asked for, the same again from the same seed.
    void noise_data()
    {
        QTest::addColumn<double>("deviation");
        QTest::addColumn<bool>("humidity");
        QTest::newRow("0.05 °C") << 0.05 << false;
        QTest::newRow("0.5 %RH") << 0.5 << true;
    }

    void noise()
    {
        QFETCH(double, deviation);
        QFETCH(bool, humidity);
        SensorError error;
        (humidity ? error.humidity : error.temperature).noise = deviation;
        QList<double> runs[2];
        for (QList<double> &run : runs) {
            TransmitterModel model;
            model.setSensorError(error);
            model.seedNoise(11);
            for (int i = 0; i < 4000; ++i) {
                const Measurement measurement = model.measureAt(0);
                run << (humidity ? measurement.humidity - 45 : measurement.celsius - 23.5);
            }
        }
        QCOMPARE(runs[0], runs[1]);
        const QList<double> &run = runs[0];
        const double mean = std::accumulate(run.begin(), run.end(), 0.0) / run.size();
        const double measured =
            std::sqrt(std::inner_product(run.begin(), run.end(), run.begin(), 0.0) / run.size() -
                      mean * mean);
        QVERIFY2(qAbs(mean) < deviation * 0.1, qPrintable(QString::number(mean)));
        QVERIFY2(qAbs(measured - deviation) < deviation * 0.05,
                 qPrintable(QString::number(measured)));
    }

    // --offset, --slope, --noise, --drift: ADDR:T[:H] for a unit of the line; a later value wins.
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments"); // option, value, option, value...
        QTest::addColumn<QString>("error");         // empty when they are taken
        QTest::addColumn<SensorError>("unit2");     // what unit 2 gets
        QTest::newRow("an offset") << QStringList{"offset", "2:+0.4"} << "" << errorOf(0.4, 1, 0);
        QTest::newRow("both offsets")
            << QStringList{"offset", "2:0:-3"} << "" << errorOf(0, 1, 0, -3);
        QTest::newRow("a humidity slope")
            << QStringList{"slope", "2:1:1.05"} << "" << errorOf(0, 1, 0, 0, 1.05);
        QTest::newRow("drift, the later wins")
            << QStringList{"drift", "2:0.5:1", "drift", "2:-0.01"} << ""
            << errorOf(0, 1, -0.01, 0, 1, 1);
        QTest::newRow("another unit's") << QStringList{"offset", "3:1"} << "" << SensorError();
        const QString form = "--offset wants ADDR:T or ADDR:T:H";
        for (const char *bad : {"2", "2:x", "0:1", "248:1", "2:1:2:3", ":1", "2:1e3", "2:"})
            QTest::newRow(bad) << QStringList{"offset", bad} << form << SensorError();
        const auto refused = [](const char *option, const char *value, const char *reason) {
            QTest::newRow(value) << QStringList{option, value}
                                 << QString("--%1 %2: %3").arg(option, value, reason)
                                 << SensorError();
        };
        refused("noise", "9:0.1", "no unit at address 9");
        refused("slope", "2:0", "a slope is above 0");
        refused("slope", "2:1:-1", "a slope is above 0");
        refused("noise", "2:-0.1", "a noise is not below 0");
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QFETCH(SensorError, unit2);
        QList<std::pair<ErrorKind, QString>> given;
        for (int i = 0; i < arguments.size(); i += 2)
            for (ErrorKind kind :
                 {ErrorKind::Offset, ErrorKind::Slope, ErrorKind::Noise, ErrorKind::Drift})
                if (errorOptionName(kind) == arguments[i])
                    given.append({kind, arguments[i + 1]});
        QMap<int, SensorError> errors;
        const QString problem = sensorErrors(given, {1, 2, 3}, errors);
        QVERIFY2(error.isEmpty() ? problem.isEmpty() : problem.startsWith(error),
                 qPrintable(problem));
        if (!error.isEmpty())
            return;
        QVERIFY(errors.value(2).temperature == unit2.temperature);
        QVERIFY(errors.value(2).humidity == unit2.humidity);
        QVERIFY(errors.value(1).temperature == QuantityError()); // untouched
    }

    // tervin-sim: the unit at 2 reads off by its offset, its neighbour reads the chamber.
    void program()
    {
        SimProgram sim(
            {"--units", "1,2", "--steady", "--temperature", "-20", "--offset", "2:+0.4:-1.5"});
        QSerialPort line(sim.port);
        QVERIFY(line.open(QIODevice::ReadWrite) && line.setBaudRate(9600));
        QCOMPARE(exchange(line, request(3, 1, 0, 2), 9).toHex(), reply("010304ff3801c2").toHex());
        QCOMPARE(exchange(line, request(3, 2, 0, 2), 9).toHex(), reply("020304ff3c01b3").toHex());
        QVERIFY(
            refuses({"--units", "1,2", "--drift", "3:0.1"}, "--drift 3:0.1: no unit at address 3"));
    }
};

QTEST_GUILESS_MAIN(TestSensorError)
#include "tst_sensorerror.moc"
