#pragma once

#include <QString>

// The broker tervin-cli publishes to: mqtt://host[:port], or mqtts://host[:port] for MQTT over
// TLS. The host is a name, an IPv4 address or an IPv6 address in brackets.
struct MqttUrl
{
    bool tls = false;
    QString host; // as the resolver takes it: an IPv6 address without its brackets
    int port = 0;

    QString text() const; // "mqtt://broker.plant:1883", with the port always given
};

namespace MqttUrls {

constexpr int PlainPort = 1883; // the registered ports of MQTT and MQTT over TLS
constexpr int TlsPort = 8883;
constexpr int MaxPort = 65535;

// What is wrong with the text, naming the part, or nothing; `url` holds it when nothing is.
// A user name or password in the URL is refused: ps would show it to every user of the PC.
QString parse(const QString &text, MqttUrl &url);

// The host is this PC (localhost, 127.0.0.0/8, ::1): what is sent there crosses no network.
bool isLoopback(const QString &host);

} // namespace MqttUrls
