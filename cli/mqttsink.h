#pragma once

#include "mqttclient.h"
#include "mqttqueue.h"
#include "recordsink.h"
#include "unitpresence.h"

#include <QHash>
#include <QObject>

// What read --mqtt publishes, and where.
struct MqttSettings
{
    MqttConnectionSettings connection; // its client id and will are the sink's to set
    QString prefix;
    QString hostName; // names the bridge: the PC the units hang on
    bool discovery = true;
    int queueBound = 0;
    What what = What::All;
    bool hundredths = false;
};

// The settings of the options, the password read from --mqtt-password-file (its first line) or
// TERVIN_MQTT_PASSWORD, and this PC's name; what is wrong with a file named, or nothing.
QString mqttSettingsFrom(const CliOptions &options, MqttSettings &settings);

// The broker as a sink of read's records: each reading of an identified unit becomes its state
// message, its availability follows its replies (UnitPresence), Home Assistant hears of each
// unit when it is first identified and again when another unit takes its address or it reports
// another identity. Every message goes through the bounded queue, in the order the line gave
// them, whether the broker is there or not; the bridge's own status goes straight to each new
// connection. What the run has to say about the broker goes to standard error, each thing once
// per outage.
class MqttSink : public QObject, public RecordSink
{
    Q_OBJECT

public:
    static constexpr int FinalDeliveryMs = 10000;      // a run that ended by itself
    static constexpr int InterruptedDeliveryMs = 2000; // SIGINT or SIGTERM

    explicit MqttSink(const MqttSettings &settings, QObject *parent = nullptr);

    void start();
    void identified(const QString &port, const UnitIdentity &unit) override;
    void reading(const ReadingRecord &record) override;
    // The run is over: its units and the bridge go offline, then the queue is given up to
    // `withinMs` to reach the broker. False when any message was dropped or is left undelivered
    // (said on standard error).
    bool finish(int withinMs);

signals:
    // The broker refused the user name or password: the run cannot publish and ends.
    void refused(const QString &error);

private:
    struct Unit
    {
        UnitIdentity identity;
        UnitPresence presence;
        bool announced = false; // its identity taken in (and discovery sent, if wanted)
    };

    MqttMessage bridgeStatus(bool online) const;
    void discover(const UnitIdentity &unit);
    void announce(const QString &serial, std::optional<bool> online);
    void enqueue(MqttMessage message);
    void send();
    void connected();
    void lost(const QString &reason);
    void acknowledged(int messageId);
    void bridgeStatusHeard(const QByteArray &topic, const QByteArray &payload);
    void say(const QString &text) const;

    MqttSettings settings;
    MqttClient *client;
    MqttQueue queue;
    QHash<QString, Unit> units;       // by serial number
    QHash<QString, QString> serialAt; // the serial number at "PORT ADDRESS"
    bool everConnected = false;
    bool outageSaid = false;
    bool droppingSaid = false;
    qint64 droppedBeforeOutage = 0;
    bool finishing = false;
    bool wasRefused = false;
};
