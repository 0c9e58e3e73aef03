#pragma once

#include "mqttmessages.h"
#include "mqtturl.h"

#include <QObject>

#include <memory>
#include <optional>

class QSocketNotifier;
class QTimer;
struct mosquitto;

struct MqttConnectionSettings
{
    MqttUrl url;
    QString user;                    // empty: none
    std::optional<QString> password; // with the user only
    QString caFile;                  // mqtts://: the authorities to trust; empty: the system's
    QString clientId;
    MqttMessage will; // what the broker publishes when the connection ends without a goodbye
};

// The connection to the broker, through libmosquitto, on the event loop: the connection's socket
// is watched by a QSocketNotifier and handed to mosquitto_loop_read and mosquitto_loop_write as
// it becomes readable or writable, and mosquitto_loop_misc keeps the connection alive once a
// second. So the callbacks run on the event loop's thread, with the records and the queue, and
// nothing needs a lock. Only the connect itself, which resolves the host name, opens the TCP
// connection and makes the TLS handshake in blocking calls, runs on a short-lived thread of its
// own: a name server or a broker that does not answer must never hold up polling.
//
// A connection is a libmosquitto instance of its own, destroyed when it ends: whatever it had
// not delivered is the caller's to send again (MqttQueue), never resent a second time by the
// library. A failed attempt or a lost connection is followed by another after 1 s, 2 s, 4 s ...
// up to 30 s, and after 1 s again once connected.
class MqttClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxInFlight = 100; // messages sent and not yet acknowledged
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LastRetryMs = 30000;

    explicit MqttClient(const MqttConnectionSettings &settings, QObject *parent = nullptr);
    ~MqttClient() override;

    void open(); // the first attempt; the next ones follow by themselves
    bool isConnected() const { return state == State::Connected; }
    // At QoS 1. The id the broker's acknowledgement will carry, or 0 when it could not go.
    int publish(const MqttMessage &message);
    void subscribe(const QByteArray &topic);
    // Says goodbye, so that the broker does not publish the will, and makes no new attempt.
    void close();

signals:
    void connected();
    void acknowledged(int messageId);
    void received(const QByteArray &topic, const QByteArray &payload);
    // An attempt failed, or the connection ended; the next attempt follows in retryMs.
    void lost(const QString &reason, int retryMs);
    // The broker refused the user name or password: no new attempt.
    void refused(const QString &reason);

private:
    struct Attempt;
    enum class State { Closed, Connecting, Handshake, Connected, Waiting, Refused };

    mosquitto *newInstance() const;
    void attempt();
    void attempted(const std::shared_ptr<Attempt> &attempt, int result, int error);
    void adopt(mosquitto *instance);
    void afterLibraryCall(int result);
    void connackArrived(int code);
    void drop(const QString &reason);
    void release();
    void updateWriteInterest();
    static QString errorText(int result, int error);

    static void onConnect(mosquitto *, void *self, int code);
    static void onPublish(mosquitto *, void *self, int messageId);
    static void onMessage(mosquitto *, void *self, const struct mosquitto_message *message);

    MqttConnectionSettings settings;
    State state = State::Closed;
    mosquitto *instance = nullptr;
    std::shared_ptr<Attempt> pending;
    std::optional<int> connack; // arrived during the last call into the library
    QSocketNotifier *readable = nullptr;
    QSocketNotifier *writable = nullptr;
    QTimer *housekeeping;
    QTimer *retry;
    QTimer *handshakeLimit;
    int retryMs = FirstRetryMs;
};
