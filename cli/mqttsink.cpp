#include "mqttsink.h"

#include "output.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QSysInfo>
#include <QTimer>

namespace {
const char *const PasswordVariable = "TERVIN_MQTT_PASSWORD";

QString fileProblem(const QString &option, const QString &path, QString *firstLine = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 %2: %3").arg(option, path, file.errorString());
    if (firstLine)
        *firstLine =
            QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return QString();
}

MqttConnectionSettings withIdentity(MqttConnectionSettings connection, const MqttMessage &will,
                                    const QString &hostName)
{
    connection.clientId =
        QStringLiteral("tervin-cli-%1-%2").arg(hostName).arg(QCoreApplication::applicationPid());
    connection.will = will;
    return connection;
}

bool sameIdentity(const UnitIdentity &a, const UnitIdentity &b)
{
    return a.serial == b.serial && a.deviceType == b.deviceType && a.sensorType == b.sensorType &&
           a.firmware == b.firmware;
}
} // namespace

QString mqttSettingsFrom(const CliOptions &options, MqttSettings &settings)
{
    const MqttOptions &o = options.mqtt;
    MqttConnectionSettings &connection = settings.connection;
    connection.url = *o.url;
    connection.user = o.user;
    connection.caFile = o.caFile;
    if (!o.passwordFile.isEmpty()) {
        QString password;
        const QString problem =
            fileProblem(QStringLiteral("--mqtt-password-file"), o.passwordFile, &password);
        if (!problem.isEmpty())
            return problem;
        connection.password = password;
    } else if (!o.user.isEmpty() && qEnvironmentVariableIsSet(PasswordVariable)) {
        connection.password = qEnvironmentVariable(PasswordVariable);
    }
    if (!o.caFile.isEmpty()) {
        const QString problem = fileProblem(QStringLiteral("--mqtt-cafile"), o.caFile);
        if (!problem.isEmpty())
            return problem;
    }
    settings.prefix = o.prefix;
    settings.hostName = QSysInfo::machineHostName();
    settings.discovery = o.discovery;
    settings.queueBound = o.queueBound;
    settings.what = options.what;
    settings.hundredths = options.hundredths;
    return QString();
}

MqttSink::MqttSink(const MqttSettings &settings, QObject *parent)
    : QObject(parent), settings(settings),
      client(new MqttClient(
          withIdentity(settings.connection, bridgeStatus(false), settings.hostName), this)),
      queue(settings.queueBound)
{
    connect(client, &MqttClient::connected, this, &MqttSink::connected);
    connect(client, &MqttClient::lost, this, &MqttSink::lost);
    connect(client, &MqttClient::acknowledged, this, &MqttSink::acknowledged);
    connect(client, &MqttClient::received, this, &MqttSink::bridgeStatusHeard);
    connect(client, &MqttClient::refused, this, [this](const QString &error) {
        wasRefused = true;
        emit refused(this->settings.connection.url.text() + QStringLiteral(": ") + error);
    });
}

void MqttSink::start()
{
    const MqttConnectionSettings &c = settings.connection;
    if (c.password && !c.url.tls && !MqttUrls::isLoopback(c.url.host))
        say(Cli::tr("warning: the password goes to %1 in clear text; use mqtts:// across a "
                    "network")
                .arg(c.url.host));
    client->open();
}

MqttMessage MqttSink::bridgeStatus(bool online) const
{
    return MqttMessages::bridgeStatus(settings.prefix, settings.hostName, online);
}

void MqttSink::identified(const QString &port, const UnitIdentity &unit)
{
    if (finishing || !unit.known)
        return;
    const QString place = port + QLatin1Char(' ') + QString::number(unit.address);
    const QString before = serialAt.value(place);
    if (!before.isEmpty() && before != unit.serial)
        announce(before, units[before].presence.gone()); // taken off the line
    serialAt.insert(place, unit.serial);
    Unit &known = units[unit.serial];
    if (!known.announced || !sameIdentity(known.identity, unit))
        discover(unit);
    known.identity = unit;
    known.announced = true;
    announce(unit.serial, known.presence.heard());
}

void MqttSink::reading(const ReadingRecord &record)
{
    if (finishing || !record.unit || !record.unit->known)
        return;
    const QString serial = record.unit->serial;
    if (!units.value(serial).announced)
        identified(record.port, *record.unit);
    const std::optional<bool> change = units[serial].presence.polled(record.result);
    if (change == true)
        announce(serial, change);
    enqueue(MqttMessages::state(settings.prefix, record, queue.dropped()));
    if (change == false)
        announce(serial, change);
}

void MqttSink::discover(const UnitIdentity &unit)
{
    if (!settings.discovery)
        return;
    const MqttMessages::DiscoveryContext context{settings.prefix, settings.hostName,
                                                 readingScale(settings.hundredths).decimals};
    for (MqttQuantity quantity : MqttMessages::quantitiesOf(settings.what))
        enqueue(MqttMessages::discovery(context, unit, quantity));
}

void MqttSink::announce(const QString &serial, std::optional<bool> online)
{
    if (online)
        enqueue(MqttMessages::availability(settings.prefix, serial, *online));
}

void MqttSink::enqueue(MqttMessage message)
{
    if (queue.push(std::move(message)) && !droppingSaid) {
        droppingSaid = true;
        say(Cli::tr("the queue is full (%1 messages): the oldest are dropped")
                .arg(settings.queueBound));
    }
    send();
}

// Hands the oldest messages not sent yet to the connection, as many as may be unacknowledged.
void MqttSink::send()
{
    while (client->isConnected() && queue.inFlight() < MqttClient::MaxInFlight) {
        const MqttMessage *next = queue.nextUnsent();
        if (!next)
            return;
        const int messageId = client->publish(*next);
        if (messageId == 0)
            return;
        queue.sent(messageId);
    }
}

void MqttSink::connected()
{
    if (outageSaid) {
        const qint64 dropped = queue.dropped() - droppedBeforeOutage;
        say(dropped > 0
                ? Cli::tr("connected again; %1 messages were dropped meanwhile").arg(dropped)
                : Cli::tr("connected again"));
    }
    everConnected = true;
    outageSaid = droppingSaid = false;
    client->publish(bridgeStatus(true));
    client->subscribe(MqttMessages::bridgeTopic(settings.prefix, settings.hostName));
    send();
}

void MqttSink::lost(const QString &reason)
{
    queue.resendAll();
    if (outageSaid)
        return;
    outageSaid = true;
    droppedBeforeOutage = queue.dropped();
    say((everConnected ? Cli::tr("connection lost (%1); readings wait in memory, up to %2 "
                                 "messages, until the broker is back")
                       : Cli::tr("cannot connect (%1); readings wait in memory, up to %2 "
                                 "messages, until the broker answers"))
            .arg(reason)
            .arg(settings.queueBound));
}

void MqttSink::acknowledged(int messageId)
{
    queue.acknowledge(messageId);
    send();
}

// Another run on this PC (one per port) that ended said the bridge is offline; while this one
// runs, it is not.
void MqttSink::bridgeStatusHeard(const QByteArray &topic, const QByteArray &payload)
{
    if (!finishing && topic == MqttMessages::bridgeTopic(settings.prefix, settings.hostName) &&
        payload == bridgeStatus(false).payload)
        client->publish(bridgeStatus(true));
}

bool MqttSink::finish(int withinMs)
{
    if (finishing)
        return false;
    for (auto unit = units.cbegin(); unit != units.cend(); ++unit)
        if (unit->presence.isOnline())
            enqueue(MqttMessages::availability(settings.prefix, unit.key(), false));
    enqueue(bridgeStatus(false));
    finishing = true;
    if (!wasRefused) {
        QEventLoop wait;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
        connect(client, &MqttClient::acknowledged, &wait, [&] {
            if (queue.isEmpty())
                wait.quit();
        });
        connect(this, &MqttSink::refused, &wait, &QEventLoop::quit);
        limit.start(withinMs);
        if (!queue.isEmpty())
            wait.exec();
    }
    client->close();
    if (queue.dropped() > 0)
        say(Cli::tr("%1 messages were dropped in all (--mqtt-queue %2)")
                .arg(queue.dropped())
                .arg(settings.queueBound));
    if (!queue.isEmpty())
        say(Cli::tr("%1 messages did not reach the broker before the end").arg(queue.size()));
    return queue.dropped() == 0 && queue.isEmpty();
}

void MqttSink::say(const QString &text) const
{
    Console::err(QStringLiteral("tervin-cli: %1: %2").arg(settings.connection.url.text(), text));
}
