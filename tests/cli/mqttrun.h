#pragma once

// tervin-cli read --mqtt against a real Mosquitto broker (tests/support/mqttbroker.h) and a line
// of two virtual transmitters on the test's event loop: the line, the topics a consumer hears,
// and a bench that gives each test the line and a broker of its own.
#include "clirun.h"
#include "mqttbroker.h"

#include <QSysInfo>

#include <memory>

namespace MqttRun {

using namespace CliRun;
using MqttTest::Broker;
using MqttTest::BrokerSetup;
using MqttTest::Message;
using MqttTest::Subscriber;

const QString Celsius = "\u00B0C";
const QString Fahrenheit = "\u00B0F";
const QString SerialC = "123456789abc"; // at address 3
const QString SerialF = "123456789abd"; // at address 7

// A line of two units at 9600 bit/s, steady: at 3 a Tervin-C with an SHT3X/4X and firmware
// 2.4.5 in a freezer at -20.5 °C, at 7 a Tervin-F with firmware 1.2.3 reading 70.0 °F.
inline Transmitter line()
{
    DeviceSettings c;
    c.address = 3;
    c.deviceType = 1;
    c.sensorType = 1;
    c.firmwareVersion = 245;
    c.temperature = -20.5;
    c.humidity = 61.5;
    Transmitter t = transmitter(c);
    DeviceSettings f;
    f.address = 7;
    f.deviceType = 2;
    f.serialNumber[2] = 0x9abd;
    f.temperature = 21.1;
    t.device->addUnit(f);
    return t;
}

const QStringList Endless{"--count", "0", "--period", "100"};

inline QString topic(const QString &serial, const QString &kind, const QString &prefix = "tervin")
{
    return prefix + '/' + serial + '/' + kind;
}

inline QString bridgeTopic(const QString &prefix = "tervin")
{
    return prefix + "/bridge/" + QSysInfo::machineHostName() + "/status";
}

inline QString discoveryTopic(const QString &serial, const QString &quantity)
{
    return QString("homeassistant/sensor/tervin_%1_%2/config").arg(serial, quantity);
}

// The times of the records or states; with `once`, each reading once, in the order first heard:
// QoS 1 may deliver a message twice.
inline QStringList timesOf(const QList<QVariantMap> &objects, bool once = false)
{
    QStringList times;
    for (const QVariantMap &object : objects)
        if (!once || !times.contains(object["time"].toString()))
            times << object["time"].toString();
    return times;
}

inline QList<QVariantMap> jsonOf(const QList<Message> &messages)
{
    QList<QVariantMap> objects;
    for (const Message &m : messages)
        objects << m.json();
    return objects;
}

inline QStringList fields(const QVariantMap &object, const QStringList &keys)
{
    QStringList values;
    for (const QString &key : keys)
        values << object[key].toString();
    return values;
}

// Where the first (or last) message on the topic, with the payload if one is given, was heard.
inline int indexOf(const QList<Message> &messages, const QString &topic,
                   const QByteArray &payload = {}, bool last = false)
{
    int found = -1;
    for (int i = 0; i < messages.size(); ++i)
        if (messages[i].topic == topic && (payload.isEmpty() || messages[i].payload == payload) &&
            (found < 0 || last))
            found = i;
    return found;
}

// The line and a broker, not started yet; the test class calls begin() in init() and end() in
// cleanup().
class Bench
{
protected:
    void begin()
    {
        t = line();
        broker = std::make_unique<Broker>();
    }
    void end()
    {
        live.reset();
        broker.reset();
        t = Transmitter();
    }
    // The broker started, and a consumer subscribed to every topic (persistent with a client id).
    bool startLive(const QString &clientId = QString())
    {
        if (!broker->start())
            return false;
        live = std::make_unique<Subscriber>(broker->port(), clientId);
        return live->subscribed();
    }
    // Waits until the consumer has heard at least `count` messages on the topic.
    bool heard(const QString &topic, int count)
    {
        return live->waitFor([&] { return live->on(topic).size() >= count; });
    }
    // read on the line, its records in JSON, published to the broker.
    QStringList reading(const QString &addresses, const QStringList &options) const
    {
        return QStringList{"read",    t.port,     "--baud", "9600",   "--address",
                           addresses, "--format", "json",   "--mqtt", broker->url()} +
               options;
    }

    Transmitter t;
    std::unique_ptr<Broker> broker;
    std::unique_ptr<Subscriber> live;
};

} // namespace MqttRun
