#include "mqtturl.h"

#include "options.h"
#include "protocol/values.h"

#include <QRegularExpression>

namespace {
const QString PlainScheme = QStringLiteral("mqtt://");
const QString TlsScheme = QStringLiteral("mqtts://");

QString usage()
{
    return Cli::tr("give mqtt://host[:port] or mqtts://host[:port]");
}

bool isHostName(const QString &host)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return name.match(host).hasMatch();
}

bool isBracketedAddress(const QString &host)
{
    static const QRegularExpression v6(QStringLiteral("^\\[[0-9A-Fa-f:.]*:[0-9A-Fa-f:.]*\\]$"));
    return v6.match(host).hasMatch();
}

// "host", "host:port", "[v6]" or "[v6]:port": the host and the port text (empty when none).
bool splitAuthority(const QString &authority, QString &host, QString &port)
{
    const int close = int(authority.indexOf(QLatin1Char(']')));
    const int colon = int(authority.lastIndexOf(QLatin1Char(':')));
    const bool bracketed = authority.startsWith(QLatin1Char('['));
    const bool hasPort = colon > close && (bracketed || authority.count(QLatin1Char(':')) == 1);
    host = hasPort ? authority.left(colon) : authority;
    port = hasPort ? authority.mid(colon + 1) : QString();
    if (bracketed)
        return isBracketedAddress(host) && (hasPort || close == authority.size() - 1);
    return isHostName(host);
}
} // namespace

QString MqttUrl::text() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? '[' + host + ']' : host;
    return (tls ? TlsScheme : PlainScheme) + shownHost + ':' + QString::number(port);
}

namespace MqttUrls {

QString parse(const QString &text, MqttUrl &url)
{
    const bool tls = text.startsWith(TlsScheme);
    if (!tls && !text.startsWith(PlainScheme))
        return Cli::tr("%1 is not an MQTT URL: %2").arg(Values::shown(text), usage());
    const QString authority = text.mid((tls ? TlsScheme : PlainScheme).size());
    if (authority.contains(QLatin1Char('@')))
        return Cli::tr("%1: a user name or password does not go in the URL; give "
                       "--mqtt-user and --mqtt-password-file")
            .arg(Values::shown(text));
    static const QRegularExpression beyondPort(QStringLiteral("[/?#]"));
    if (authority.contains(beyondPort))
        return Cli::tr("%1 has more than a host and a port: %2").arg(Values::shown(text), usage());
    QString host;
    QString portText;
    if (authority.isEmpty() || !splitAuthority(authority, host, portText))
        return Cli::tr("%1 has no valid host: %2").arg(Values::shown(text), usage());
    int port = tls ? TlsPort : PlainPort;
    if (authority.endsWith(QLatin1Char(':')) || !portText.isEmpty()) {
        const QString problem = Values::wholeNumber(portText, 1, MaxPort, QString(), port);
        if (!problem.isEmpty())
            return Cli::tr("port %1").arg(problem);
    }
    if (host.startsWith(QLatin1Char('[')))
        host = host.mid(1, host.size() - 2);
    url = MqttUrl{tls, host, port};
    return QString();
}

bool isLoopback(const QString &host)
{
    static const QRegularExpression ipv4Loopback(QStringLiteral("^127\\.[0-9.]+$"));
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           ipv4Loopback.match(host).hasMatch() || host == QLatin1String("::1");
}

} // namespace MqttUrls
