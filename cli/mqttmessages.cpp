#include "mqttmessages.h"

#include "jsonwriter.h"
#include "protocol/deviceinfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString Online = QStringLiteral("online");
const QString Offline = QStringLiteral("offline");
const char *const DiscoveryRoot = "homeassistant/sensor/";
const char *const Manufacturer = "Tervin";

struct QuantityText
{
    MqttQuantity quantity;
    const char *key;         // in the state object, the discovery topic and the unique id
    const char *name;        // the sensor's name in Home Assistant
    const char *deviceClass; // Home Assistant has no class of its own for a dew point
};
constexpr QuantityText Quantities[] = {
    {MqttQuantity::Temperature, "temperature", "Temperature", "temperature"},
    {MqttQuantity::Humidity, "humidity", "Humidity", "humidity"},
    {MqttQuantity::DewPoint, "dew_point", "Dew point", "temperature"},
};

const QuantityText &textOf(MqttQuantity quantity)
{
    return Quantities[int(quantity)];
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString unitKey(const QString &serial)
{
    return QStringLiteral("tervin_") + serial;
}

QString temperatureUnit(const UnitIdentity &unit)
{
    Reading reading;
    reading.fahrenheit = isFahrenheitDevice(unit.deviceType);
    return reading.unit();
}

QJsonObject deviceBlock(const UnitIdentity &unit)
{
    const QString type = DeviceInfo::deviceTypeName(unit.deviceType);
    return {{"identifiers", QJsonArray{unitKey(unit.serial)}},
            {"manufacturer", Manufacturer},
            {"model", type + ' ' + DeviceInfo::sensorTypeName(unit.sensorType)},
            {"name", type + ' ' + unit.serial},
            {"serial_number", unit.serial},
            {"sw_version", DeviceInfo::firmwareText(unit.firmware)}};
}
} // namespace

namespace MqttMessages {

QString prefixProblem(const QString &prefix)
{
    if (prefix.isEmpty())
        return Cli::tr("the prefix is empty");
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1Char('#')))
        return Cli::tr("%1 holds a wildcard (+ or #), which cannot be published to").arg(prefix);
    if (prefix.startsWith(QLatin1Char('/')))
        return Cli::tr("%1 starts with /, which makes an empty first level").arg(prefix);
    return QString();
}

QList<MqttQuantity> quantitiesOf(What what)
{
    switch (what) {
    case What::Temperature:
        return {MqttQuantity::Temperature};
    case What::Humidity:
        return {MqttQuantity::Humidity};
    case What::DewPoint:
        return {MqttQuantity::DewPoint};
    case What::All:
        break;
    }
    return {MqttQuantity::Temperature, MqttQuantity::Humidity, MqttQuantity::DewPoint};
}

QByteArray stateTopic(const QString &prefix, const QString &serial)
{
    return (prefix + '/' + serial + QStringLiteral("/state")).toUtf8();
}

QByteArray availabilityTopic(const QString &prefix, const QString &serial)
{
    return (prefix + '/' + serial + QStringLiteral("/availability")).toUtf8();
}

QByteArray bridgeTopic(const QString &prefix, const QString &hostName)
{
    return (prefix + QStringLiteral("/bridge/") + hostName + QStringLiteral("/status")).toUtf8();
}

QByteArray discoveryTopic(const QString &serial, MqttQuantity quantity)
{
    return DiscoveryRoot + (unitKey(serial) + '_' + textOf(quantity).key).toUtf8() + "/config";
}

MqttMessage state(const QString &prefix, const ReadingRecord &record, qint64 dropped)
{
    const UnitIdentity &unit = *record.unit;
    const Reading &reading = record.reading;
    JsonWriter object;
    object.text("time", Records::isoTime(record.time))
        .text("port", record.port)
        .number("address", record.address)
        .number("baud", record.baudRate)
        .text("serial", unit.serial)
        .text("device_type", DeviceInfo::deviceTypeName(unit.deviceType))
        .text("sensor", DeviceInfo::sensorTypeName(unit.sensorType))
        .text("firmware", DeviceInfo::firmwareText(unit.firmware))
        .number("temperature", reading.temperature)
        .number("humidity", reading.humidity)
        .number("dew_point", reading.dewPoint)
        .text("unit", temperatureUnit(unit))
        .text("result", resultName(record.result))
        .textOrNull("error", record.error)
        .number("tries", record.tries);
    if (dropped > 0)
        object.number("mqtt_dropped", dropped);
    return {stateTopic(prefix, unit.serial), object.object()};
}

MqttMessage availability(const QString &prefix, const QString &serial, bool online)
{
    return {availabilityTopic(prefix, serial), (online ? Online : Offline).toUtf8()};
}

MqttMessage bridgeStatus(const QString &prefix, const QString &hostName, bool online)
{
    return {bridgeTopic(prefix, hostName), (online ? Online : Offline).toUtf8()};
}

MqttMessage discovery(const DiscoveryContext &context, const UnitIdentity &unit,
                      MqttQuantity quantity)
{
    const QuantityText &text = textOf(quantity);
    const QString id = unitKey(unit.serial) + '_' + text.key;
    const bool percent = quantity == MqttQuantity::Humidity;
    const QJsonArray availability{
        QJsonObject{{"topic", QString::fromUtf8(availabilityTopic(context.prefix, unit.serial))}},
        QJsonObject{{"topic", QString::fromUtf8(bridgeTopic(context.prefix, context.hostName))}}};
    const QJsonObject config{
        {"name", text.name},
        {"unique_id", id},
        {"object_id", id},
        {"device_class", text.deviceClass},
        {"state_class", "measurement"},
        {"unit_of_measurement", percent ? QStringLiteral("%") : temperatureUnit(unit)},
        {"suggested_display_precision", context.decimals},
        {"state_topic", QString::fromUtf8(stateTopic(context.prefix, unit.serial))},
        {"value_template", QStringLiteral("{{ value_json.%1 }}").arg(text.key)},
        {"availability", availability},
        {"availability_mode", "all"},
        {"payload_available", Online},
        {"payload_not_available", Offline},
        {"qos", 1},
        {"device", deviceBlock(unit)},
        {"origin", QJsonObject{{"name", "tervin-cli"}, {"sw_version", TERVIN_VERSION}}}};
    return {discoveryTopic(unit.serial, quantity), compact(config)};
}

} // namespace MqttMessages
