#pragma once

// A real Mosquitto broker for a test, and a subscriber on it. The broker listens on a free port
// of 127.0.0.1 with its configuration, password file, certificates and persistence in a
// temporary folder of its own, and is killed when the fixture goes. The subscriber hears every
// topic through libmosquitto on the library's own thread, so that it keeps listening while the
// test waits on conditions.
#include <QtTest>

#include <mosquitto.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>

namespace MqttTest {

constexpr int StartMs = 10000;

// A port on 127.0.0.1 that nothing listens on now.
inline int freePort()
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr *>(&address), size);
    ::getsockname(probe, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(probe);
    return ntohs(address.sin_port);
}

// Runs a helper program to its end, its output discarded.
inline void runQuietly(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(StartMs);
}

inline bool listens(int port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(port));
    const bool open = ::connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(probe);
    return open;
}

struct BrokerSetup
{
    QString user;     // with a password file: only this user, with this password, gets in
    QString password; //
    bool tls = false; // a certificate for 127.0.0.1 and localhost: caFile()
};

class Broker
{
public:
    Broker() : Broker(BrokerSetup()) {}
    explicit Broker(const BrokerSetup &setup) : setup(setup), brokerPort(freePort())
    {
        if (!setup.user.isEmpty())
            runQuietly("mosquitto_passwd",
                       {"-c", "-b", path("passwords"), setup.user, setup.password});
        if (setup.tls)
            makeCertificates();
        writeConfiguration();
    }
    ~Broker() { kill(); }

    // Starts it and waits until it listens.
    bool start()
    {
        if (!QFile::exists("/usr/sbin/mosquitto")) {
            qWarning("mosquitto is not installed (scripts/test.sh installs it)");
            return false;
        }
        process.setStandardOutputFile(path("output.log"), QIODevice::Append);
        process.setStandardErrorFile(path("output.log"), QIODevice::Append);
        process.start("/usr/sbin/mosquitto", {"-c", path("mosquitto.conf")});
        return QTest::qWaitFor([this] { return listens(brokerPort); }, StartMs);
    }
    // SIGTERM, as a restart stops it: it saves its sessions and retained messages first.
    // Both wait with the test's event loop running: the transmitters on it keep answering.
    void stop()
    {
        process.terminate();
        ended();
    }
    void kill()
    {
        process.kill();
        ended();
    }
    // Hung: connections stay open, but nothing is read or acknowledged any more.
    void freeze() { ::kill(pid_t(process.processId()), SIGSTOP); }
    // Waits until the broker has saved its state after `since` (it does every second).
    bool savedAfter(const QDateTime &since)
    {
        return QTest::qWaitFor(
            [&] { return QFileInfo(path("mosquitto.db")).lastModified() > since; }, StartMs);
    }

    int port() const { return brokerPort; }
    QString url() const
    {
        return QString("%1://127.0.0.1:%2").arg(setup.tls ? "mqtts" : "mqtt").arg(brokerPort);
    }
    QString caFile() const { return path("ca.pem"); }
    QString path(const QString &name) const { return folder.filePath(name); }

private:
    void ended()
    {
        (void)QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, StartMs);
    }

    // One certificate for localhost and 127.0.0.1, its own authority: caFile() is what a client
    // must trust.
    void makeCertificates()
    {
        runQuietly("openssl", {"req", "-x509", "-days", "2", "-subj", "/CN=localhost", "-addext",
                               "subjectAltName=DNS:localhost,IP:127.0.0.1", "-newkey", "ec",
                               "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                               path("server.key"), "-out", caFile()});
    }

    void writeConfiguration()
    {
        QStringList lines{
            QString("listener %1 127.0.0.1").arg(brokerPort),
            // as root it would change to the user mosquitto, who cannot read here
            QString("user %1").arg(QString::fromLocal8Bit(getpwuid(getuid())->pw_name)),
            "persistence true", "persistence_location " + folder.path() + "/",
            "autosave_interval 1", "max_queued_messages 0",
            "log_dest file " + path("mosquitto.log"), "log_type all"};
        if (setup.user.isEmpty())
            lines << "allow_anonymous true";
        else
            lines << "allow_anonymous false"
                  << "password_file " + path("passwords");
        if (setup.tls)
            lines << "cafile " + caFile() << "certfile " + caFile()
                  << "keyfile " + path("server.key");
        QFile configuration(path("mosquitto.conf"));
        configuration.open(QIODevice::WriteOnly);
        configuration.write(lines.join('\n').toUtf8() + '\n');
    }

    BrokerSetup setup;
    QTemporaryDir folder;
    int brokerPort;
    QProcess process;
};

// One message as a subscriber got it.
struct Message
{
    QString topic;
    QByteArray payload;
    bool retained = false;
    std::chrono::steady_clock::time_point arrived; // when the subscriber's library handed it over

    QVariantMap json() const { return QJsonDocument::fromJson(payload).object().toVariantMap(); }
};

// Hears every topic at QoS 1. A persistent one keeps its session at the broker across a restart
// of either: what is published while it is away waits there for it.
class Subscriber
{
public:
    explicit Subscriber(int port, const QString &clientId = QString())
    {
        mosquitto_lib_init();
        const bool persistent = !clientId.isEmpty();
        client = mosquitto_new(persistent ? qPrintable(clientId) : nullptr, !persistent, this);
        mosquitto_connect_callback_set(client, [](mosquitto *m, void *, int code) {
            if (code == 0)
                mosquitto_subscribe(m, nullptr, "#", 1);
        });
        mosquitto_subscribe_callback_set(client,
                                         [](mosquitto *, void *self, int, int, const int *) {
                                             static_cast<Subscriber *>(self)->subscriptions += 1;
                                         });
        mosquitto_message_callback_set(
            client, [](mosquitto *, void *self, const mosquitto_message *m) {
                auto *subscriber = static_cast<Subscriber *>(self);
                QMutexLocker lock(&subscriber->mutex);
                subscriber->heard << Message{
                    QString::fromUtf8(m->topic),
                    QByteArray(static_cast<const char *>(m->payload), m->payloadlen), m->retain,
                    std::chrono::steady_clock::now()};
            });
        mosquitto_reconnect_delay_set(client, 1, 1, false);
        mosquitto_connect_async(client, "127.0.0.1", port, 60);
        mosquitto_loop_start(client);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, false);
        mosquitto_destroy(client);
    }

    // Waits until it is subscribed (again, after `before` subscriptions).
    bool subscribed(int before = 0)
    {
        return QTest::qWaitFor([&] { return subscriptions > before; }, StartMs);
    }

    QList<Message> messages() const
    {
        QMutexLocker lock(&mutex);
        return heard;
    }
    QList<Message> on(const QString &topic) const
    {
        QList<Message> found;
        for (const Message &m : messages())
            if (m.topic == topic)
                found << m;
        return found;
    }
    // The payloads on the topic, as text.
    QStringList payloads(const QString &topic) const
    {
        QStringList texts;
        for (const Message &m : on(topic))
            texts << QString::fromUtf8(m.payload);
        return texts;
    }
    bool waitFor(const std::function<bool()> &condition, int ms = 20000)
    {
        return QTest::qWaitFor(condition, ms);
    }

private:
    mosquitto *client = nullptr;
    std::atomic<int> subscriptions{0};
    mutable QMutex mutex;
    QList<Message> heard;
};

} // namespace MqttTest
