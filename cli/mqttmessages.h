#pragma once

#include "options.h"
#include "records.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One message for the broker. Every message tervin-cli publishes goes at QoS 1 and is retained,
// so that a consumer that subscribes later gets each unit's last state at once.
struct MqttMessage
{
    QByteArray topic;
    QByteArray payload;
    bool retain = true;
};

// The quantities a unit publishes, each a sensor of its own in Home Assistant.
enum class MqttQuantity { Temperature, Humidity, DewPoint };

// The topics and payloads, as pure functions of the records and the units' identities:
//   PREFIX/SERIAL/state         one JSON object per reading, the record's fields with the unit's
//                               identity; "mqtt_dropped" once the queue has dropped any
//   PREFIX/SERIAL/availability  "online" or "offline"
//   PREFIX/bridge/HOST/status   "online", and "offline" as the connection's last will
//   homeassistant/sensor/tervin_SERIAL_QUANTITY/config   Home Assistant's discovery, one per
//                               quantity, naming the unit as a device
// Payload texts are data for other programs: they stay the same in every language.
namespace MqttMessages {

// What is wrong with a topic prefix, or nothing: wildcards (+, #) cannot be published to, and
// a leading / starts every topic with an empty level.
QString prefixProblem(const QString &prefix);

// The readings --what asks for.
QList<MqttQuantity> quantitiesOf(What what);

QByteArray stateTopic(const QString &prefix, const QString &serial);
QByteArray availabilityTopic(const QString &prefix, const QString &serial);
QByteArray bridgeTopic(const QString &prefix, const QString &hostName);
QByteArray discoveryTopic(const QString &serial, MqttQuantity quantity);

// The reading of an identified unit; `dropped` is how many messages the queue has dropped in
// this run (the field is left out while none has been).
MqttMessage state(const QString &prefix, const ReadingRecord &record, qint64 dropped);
MqttMessage availability(const QString &prefix, const QString &serial, bool online);
MqttMessage bridgeStatus(const QString &prefix, const QString &hostName, bool online);

// What Home Assistant needs to list the quantity as a sensor of the unit's device.
struct DiscoveryContext
{
    QString prefix;
    QString hostName;
    int decimals = 1; // of the register block read: tenths or hundredths
};
MqttMessage discovery(const DiscoveryContext &context, const UnitIdentity &unit,
                      MqttQuantity quantity);

} // namespace MqttMessages
