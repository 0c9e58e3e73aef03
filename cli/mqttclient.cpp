#include "mqttclient.h"

#include "options.h"

#include <QSocketNotifier>
#include <QTimer>

#include <mosquitto.h>

#include <cerrno>
#include <mutex>
#include <thread>
#include <utility>

namespace {
constexpr int KeepAliveSeconds = 30; // the broker publishes the will 45 s after a silent loss
constexpr int HousekeepingMs = 1000;
constexpr int HandshakeLimitMs = 10000; // from a connection opened to the broker's CONNACK
constexpr int QualityOfService = 1;
const char *const SystemAuthorities = "/etc/ssl/certs"; // ca-certificates' folder
// The refusals of MQTT 3.1.1's CONNACK that no new attempt will mend.
constexpr int BadUserNameOrPassword = 4;
constexpr int NotAuthorised = 5;

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}
} // namespace

// A connect on its thread. The instance is the thread's until the event loop adopts it; one
// that is never adopted (the client went away first) is destroyed with the last reference.
struct MqttClient::Attempt
{
    std::mutex mutex;
    mosquitto *instance = nullptr;
    bool abandoned = false;

    ~Attempt()
    {
        if (instance)
            mosquitto_destroy(instance);
    }
};

MqttClient::MqttClient(const MqttConnectionSettings &settings, QObject *parent)
    : QObject(parent), settings(settings), housekeeping(new QTimer(this)), retry(new QTimer(this)),
      handshakeLimit(new QTimer(this))
{
    initialiseLibrary();
    retry->setSingleShot(true);
    handshakeLimit->setSingleShot(true);
    connect(retry, &QTimer::timeout, this, &MqttClient::attempt);
    connect(housekeeping, &QTimer::timeout, this,
            [this] { afterLibraryCall(mosquitto_loop_misc(instance)); });
    connect(handshakeLimit, &QTimer::timeout, this,
            [this] { drop(Cli::tr("the broker did not answer the connection")); });
}

MqttClient::~MqttClient()
{
    close();
}

void MqttClient::open()
{
    if (state == State::Closed)
        attempt();
}

mosquitto *MqttClient::newInstance() const
{
    mosquitto *m = mosquitto_new(settings.clientId.toUtf8().constData(), true, nullptr);
    if (!m)
        return nullptr;
    mosquitto_connect_callback_set(m, &MqttClient::onConnect);
    mosquitto_publish_callback_set(m, &MqttClient::onPublish);
    mosquitto_message_callback_set(m, &MqttClient::onMessage);
    mosquitto_int_option(m, MOSQ_OPT_SEND_MAXIMUM, MaxInFlight);
    mosquitto_int_option(m, MOSQ_OPT_TCP_NODELAY, 1); // each reading leaves as it is made
    const MqttMessage &will = settings.will;
    mosquitto_will_set(m, will.topic.constData(), int(will.payload.size()),
                       will.payload.constData(), QualityOfService, will.retain);
    if (!settings.user.isEmpty())
        mosquitto_username_pw_set(m, settings.user.toUtf8().constData(),
                                  settings.password ? settings.password->toUtf8().constData()
                                                    : nullptr);
    if (settings.url.tls && settings.caFile.isEmpty())
        mosquitto_tls_set(m, nullptr, SystemAuthorities, nullptr, nullptr, nullptr);
    else if (settings.url.tls)
        mosquitto_tls_set(m, settings.caFile.toLocal8Bit().constData(), nullptr, nullptr, nullptr,
                          nullptr);
    return m;
}

void MqttClient::attempt()
{
    mosquitto *m = newInstance();
    if (!m) {
        drop(qt_error_string(ENOMEM));
        return;
    }
    state = State::Connecting;
    pending = std::make_shared<Attempt>();
    pending->instance = m;
    const QByteArray host = settings.url.host.toUtf8();
    const int port = settings.url.port;
    std::thread([this, attempt = pending, host, port] {
        const int result =
            mosquitto_connect(attempt->instance, host.constData(), port, KeepAliveSeconds);
        const int error = errno;
        std::lock_guard<std::mutex> lock(attempt->mutex);
        if (attempt->abandoned)
            return;
        // Queued: should the client go before the event loop gets to it, the call is dropped.
        QMetaObject::invokeMethod(
            this, [this, attempt, result, error] { attempted(attempt, result, error); },
            Qt::QueuedConnection);
    }).detach();
}

void MqttClient::attempted(const std::shared_ptr<Attempt> &attempt, int result, int error)
{
    if (attempt != pending)
        return;
    pending.reset();
    mosquitto *m = std::exchange(attempt->instance, nullptr);
    if (result != MOSQ_ERR_SUCCESS) {
        mosquitto_destroy(m);
        drop(errorText(result, error));
        return;
    }
    adopt(m);
}

// The TCP connection (and TLS) is up and the CONNECT sent: the broker's CONNACK is awaited.
void MqttClient::adopt(mosquitto *m)
{
    instance = m;
    state = State::Handshake;
    mosquitto_user_data_set(instance, this);
    const int socket = mosquitto_socket(instance);
    readable = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    writable = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(readable, &QSocketNotifier::activated, this,
            [this] { afterLibraryCall(mosquitto_loop_read(instance, 1)); });
    connect(writable, &QSocketNotifier::activated, this,
            [this] { afterLibraryCall(mosquitto_loop_write(instance, 1)); });
    housekeeping->start(HousekeepingMs);
    handshakeLimit->start(HandshakeLimitMs);
    updateWriteInterest();
}

// What a call into the library brought: the CONNACK, or the end of the connection.
void MqttClient::afterLibraryCall(int result)
{
    if (!instance)
        return;
    if (const std::optional<int> code = std::exchange(connack, std::nullopt)) {
        connackArrived(*code);
        if (state != State::Connected)
            return;
    }
    if (result != MOSQ_ERR_SUCCESS) {
        drop(errorText(result, errno));
        return;
    }
    updateWriteInterest();
}

void MqttClient::connackArrived(int code)
{
    handshakeLimit->stop();
    const QString text = QString::fromUtf8(mosquitto_connack_string(code));
    if (code == BadUserNameOrPassword || code == NotAuthorised) {
        release();
        state = State::Refused;
        emit refused(Cli::tr("the broker refused the user name or password (%1)").arg(text));
        return;
    }
    if (code != 0) {
        drop(Cli::tr("the broker refused the connection (%1)").arg(text));
        return;
    }
    state = State::Connected;
    retryMs = FirstRetryMs;
    emit connected();
}

void MqttClient::drop(const QString &reason)
{
    release();
    state = State::Waiting;
    const int wait = retryMs;
    retryMs = std::min(retryMs * 2, LastRetryMs);
    retry->start(wait);
    emit lost(reason, wait);
}

// The connection's instance goes; its socket's notifiers first, as it closes the socket.
void MqttClient::release()
{
    housekeeping->stop();
    handshakeLimit->stop();
    for (QSocketNotifier *notifier :
         {std::exchange(readable, nullptr), std::exchange(writable, nullptr)}) {
        if (!notifier)
            continue;
        notifier->setEnabled(false);
        notifier->deleteLater(); // it may be the one whose signal is being handled
    }
    if (instance)
        mosquitto_destroy(std::exchange(instance, nullptr));
}

int MqttClient::publish(const MqttMessage &message)
{
    if (state != State::Connected)
        return 0;
    int messageId = 0;
    const int result = mosquitto_publish(instance, &messageId, message.topic.constData(),
                                         int(message.payload.size()), message.payload.constData(),
                                         QualityOfService, message.retain);
    updateWriteInterest();
    return result == MOSQ_ERR_SUCCESS ? messageId : 0;
}

void MqttClient::subscribe(const QByteArray &topic)
{
    if (state != State::Connected)
        return;
    mosquitto_subscribe(instance, nullptr, topic.constData(), QualityOfService);
    updateWriteInterest();
}

void MqttClient::close()
{
    retry->stop();
    if (pending) {
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->abandoned = true;
    }
    pending.reset();
    if (state == State::Connected) {
        mosquitto_disconnect(instance);
        mosquitto_loop_write(instance, 1); // the DISCONNECT, if the socket did not take it yet
    }
    release();
    state = State::Closed;
}

void MqttClient::updateWriteInterest()
{
    if (writable)
        writable->setEnabled(mosquitto_want_write(instance));
}

QString MqttClient::errorText(int result, int error)
{
    switch (result) {
    case MOSQ_ERR_ERRNO:
        return qt_error_string(error);
    case MOSQ_ERR_TLS:
        return Cli::tr("the TLS handshake failed: the broker's certificate is not trusted "
                       "(--mqtt-cafile), or the port does not speak TLS");
    default:
        return QString::fromUtf8(mosquitto_strerror(result));
    }
}

void MqttClient::onConnect(mosquitto *, void *self, int code)
{
    static_cast<MqttClient *>(self)->connack = code; // acted on once the library has returned
}

void MqttClient::onPublish(mosquitto *, void *self, int messageId)
{
    emit static_cast<MqttClient *>(self)->acknowledged(messageId);
}

void MqttClient::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    const auto *payload = static_cast<const char *>(message->payload);
    emit static_cast<MqttClient *>(self)->received(QByteArray(message->topic),
                                                   QByteArray(payload, message->payloadlen));
}
