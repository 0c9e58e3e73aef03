// What read --mqtt publishes, as pure functions: the topics, a reading's state object, and Home
// Assistant's discovery for each quantity, with the keys Home Assistant needs. The broker
// itself is in tst_climqtt and tst_climqttbroker.
#include "mqttmessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

Q_DECLARE_METATYPE(Result)

namespace {
const QString Celsius = "\u00B0C";
const QString Fahrenheit = "\u00B0F";

UnitIdentity unit(quint16 deviceType, quint16 sensorType = 1)
{
    UnitIdentity u;
    u.known = true;
    u.address = 7;
    u.baudRate = 9600;
    u.deviceType = deviceType;
    u.sensorType = sensorType;
    u.firmware = 245;
    u.serial = "00ff1020abcd";
    return u;
}

QVariantMap json(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    return error.error == QJsonParseError::NoError ? document.object().toVariantMap()
                                                   : QVariantMap{{"unparsable", payload}};
}
} // namespace

class TestMqttMessages : public QObject
{
    Q_OBJECT

private slots:
    // A unit's availability and the bridge's status, retained under the prefix (of two levels and
    // a space here; the state's and discovery's topics are below).
    void statusMessages()
    {
        const MqttMessage unit = MqttMessages::availability("plant/rack 1", "00ff1020abcd", false);
        QCOMPARE(QList<QByteArray>({unit.topic, unit.payload}),
                 QList<QByteArray>({"plant/rack 1/00ff1020abcd/availability", "offline"}));
        QVERIFY(unit.retain);
        const MqttMessage bridge = MqttMessages::bridgeStatus("plant/rack 1", "rack-pc", true);
        QCOMPARE(QList<QByteArray>({bridge.topic, bridge.payload}),
                 QList<QByteArray>({"plant/rack 1/bridge/rack-pc/status", "online"}));
        QVERIFY(bridge.retain);
    }

    // A reading's state: the record's fields and the unit's identity, every quantity present
    // (null when the poll did not read it), in the unit's own unit.
    void stateObjects_data()
    {
        QTest::addColumn<quint16>("deviceType");
        QTest::addColumn<Result>("result");
        QTest::addColumn<QVariantList>("values"); // temperature, humidity, dew point (or null)
        QTest::addColumn<qint64>("dropped");
        QTest::addColumn<QString>("unit");
        const auto row = [](const char *name, quint16 deviceType, Result result,
                            const QVariantList &values, qint64 dropped, const QString &unit) {
            QTest::newRow(name) << deviceType << result << values << dropped << unit;
        };
        const QVariant none;
        row("a Tervin-C in a freezer", 1, Result::Ok, {-20.5, 61.5, -26.4}, 0, Celsius);
        row("a Tervin-F", 2, Result::Ok, {70.0, 45.0, 48.2}, 0, Fahrenheit);
        row("humidity only", 1, Result::Ok, {none, 45.0, none}, 0, Celsius);
        row("no answer", 2, Result::NoAnswer, {none, none, none}, 0, Fahrenheit);
        row("after drops", 0, Result::Ok, {0.0, 0.0, -0.1}, 12345, Celsius);
    }
    void stateObjects()
    {
        QFETCH(quint16, deviceType);
        QFETCH(Result, result);
        QFETCH(QVariantList, values);
        QFETCH(qint64, dropped);
        QFETCH(QString, unit);
        ReadingRecord record;
        record.time = QDateTime(QDate(2026, 12, 7), QTime(14, 2, 17, 123), Qt::OffsetFromUTC, 3600);
        record.command = Command::Read;
        record.port = "/dev/ttyUSB0";
        record.address = 7;
        record.baudRate = 9600;
        record.serial = "00ff1020abcd";
        record.result = result;
        record.error = result == Result::Ok ? QString() : "no answer within 181 ms";
        record.tries = 1;
        record.unit = ::unit(deviceType);
        record.reading.fahrenheit = deviceType == 2;
        std::optional<double> *fields[] = {&record.reading.temperature, &record.reading.humidity,
                                           &record.reading.dewPoint};
        for (int i = 0; i < 3; ++i)
            if (!values[i].isNull())
                *fields[i] = values[i].toDouble();
        const MqttMessage message = MqttMessages::state("tervin", record, dropped);
        QCOMPARE(message.topic, "tervin/00ff1020abcd/state");
        QVERIFY(message.retain);
        const QVariantMap s = json(message.payload);
        const QStringList keys{"time",        "port",   "address",  "baud",        "serial",
                               "device_type", "sensor", "firmware", "temperature", "humidity",
                               "dew_point",   "unit",   "result",   "error",       "tries"};
        const auto text = [](const QVariant &v) { return v.isNull() ? "null" : v.toString(); };
        QStringList expected{"2026-12-07T14:02:17.123+01:00", "/dev/ttyUSB0", "7", "9600",
                             "00ff1020abcd"};
        expected << QStringList{"Tervin-O", "Tervin-C", "Tervin-F"}[deviceType] << "SHT3X/4X"
                 << "2.4.5" << text(values[0]) << text(values[1]) << text(values[2]) << unit;
        expected += result == Result::Ok ? QStringList{"ok", "null", "1"}
                                         : QStringList{"no_answer", "no answer within 181 ms", "1"};
        QStringList found;
        for (const QString &key : keys)
            found << (s.contains(key) ? text(s[key]) : "absent");
        QCOMPARE(found, expected);
        QCOMPARE(s.contains("mqtt_dropped"), dropped > 0);
        QCOMPARE(s.value("mqtt_dropped").toLongLong(), dropped);
        QCOMPARE(s.size(), keys.size() + (dropped > 0 ? 1 : 0));
    }

    // Text that JSON must escape comes back as it was: quotes, backslashes, control characters
    // and Chinese in a port's name or an error.
    void textIsEscaped_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("quotes and backslashes") << "/dev/serial/by-id/usb-\"rack\\1\"";
        QTest::newRow("control characters") << "line\nnext\tcolumn\x01\x1f";
        QTest::newRow("Chinese") << QString::fromUtf8("机架 1 的串口");
        QTest::newRow("plain") << "/dev/ttyUSB0";
    }
    void textIsEscaped()
    {
        QFETCH(QString, text);
        ReadingRecord record;
        record.port = text;
        record.error = text;
        record.result = Result::Garbled;
        record.unit = ::unit(1);
        const QVariantMap s = json(MqttMessages::state("tervin", record, 0).payload);
        QCOMPARE(s["port"].toString(), text);
        QCOMPARE(s["error"].toString(), text);
        QCOMPARE(s["result"], "garbled");
    }

    // One config per quantity, with what Home Assistant needs to list the unit as a device and
    // the quantity as its sensor; its template picks the state's field of that quantity.
    void discovery_data()
    {
        QTest::addColumn<quint16>("deviceType");
        QTest::addColumn<int>("quantity");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("deviceClass");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("model");
        const auto row = [](quint16 deviceType, MqttQuantity quantity, const char *key,
                            const char *deviceClass, const QString &unit) {
            const QString model = deviceType == 1 ? "Tervin-C SHT3X/4X" : "Tervin-F SHT3X/4X";
            QTest::addRow("%s %s", qPrintable(model.left(8)), key)
                << deviceType << int(quantity) << key << deviceClass << unit << model;
        };
        for (quint16 type : {1, 2}) {
            const QString unit = type == 1 ? Celsius : Fahrenheit;
            row(type, MqttQuantity::Temperature, "temperature", "temperature", unit);
            row(type, MqttQuantity::Humidity, "humidity", "humidity", "%");
            row(type, MqttQuantity::DewPoint, "dew_point", "temperature", unit);
        }
    }
    void discovery()
    {
        QFETCH(quint16, deviceType);
        QFETCH(int, quantity);
        QFETCH(QString, key);
        QFETCH(QString, deviceClass);
        QFETCH(QString, unit);
        QFETCH(QString, model);
        const MqttMessage message = MqttMessages::discovery(
            {"plant/rack 1", "rack-pc", 2}, ::unit(deviceType), MqttQuantity(quantity));
        QCOMPARE(message.topic, "homeassistant/sensor/tervin_00ff1020abcd_" + key + "/config");
        QVERIFY(message.retain);
        const QVariantMap c = json(message.payload);
        QCOMPARE(c["unique_id"], "tervin_00ff1020abcd_" + key);
        QCOMPARE(c["device_class"], deviceClass);
        QCOMPARE(c["unit_of_measurement"], unit);
        QCOMPARE(c["state_class"], "measurement");
        QCOMPARE(c["suggested_display_precision"].toInt(), 2);
        QCOMPARE(c["state_topic"], "plant/rack 1/00ff1020abcd/state");
        QCOMPARE(c["value_template"], "{{ value_json." + key + " }}");
        QStringList availability;
        for (const QVariant &a : c["availability"].toList())
            availability << a.toMap()["topic"].toString();
        QCOMPARE(availability, QStringList({"plant/rack 1/00ff1020abcd/availability",
                                            "plant/rack 1/bridge/rack-pc/status"}));
        QCOMPARE(c["availability_mode"], "all");
        QCOMPARE(c["payload_available"], "online");
        QCOMPARE(c["payload_not_available"], "offline");
        QVERIFY(!c["name"].toString().isEmpty());
        const QVariantMap device = c["device"].toMap();
        QCOMPARE(device["identifiers"].toStringList(), QStringList{"tervin_00ff1020abcd"});
        QCOMPARE(device["manufacturer"], "Tervin");
        QCOMPARE(device["model"], model);
        QCOMPARE(device["sw_version"], "2.4.5");
        QCOMPARE(device["serial_number"], "00ff1020abcd");
        QVERIFY(device["name"].toString().contains("00ff1020abcd"));
    }

    void quantitiesRead_data()
    {
        QTest::addColumn<int>("what");
        QTest::addColumn<QList<int>>("quantities");
        QTest::newRow("all") << int(What::All) << QList<int>{0, 1, 2};
        QTest::newRow("temperature") << int(What::Temperature) << QList<int>{0};
        QTest::newRow("humidity") << int(What::Humidity) << QList<int>{1};
        QTest::newRow("dew point") << int(What::DewPoint) << QList<int>{2};
    }
    void quantitiesRead()
    {
        QFETCH(int, what);
        QFETCH(QList<int>, quantities);
        QList<int> found;
        for (MqttQuantity quantity : MqttMessages::quantitiesOf(What(what)))
            found << int(quantity);
        QCOMPARE(found, quantities);
    }
};

QTEST_GUILESS_MAIN(TestMqttMessages)
#include "tst_mqttmessages.moc"
