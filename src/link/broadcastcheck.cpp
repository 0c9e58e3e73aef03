#include "link/broadcastcheck.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QCoreApplication>

QString BroadcastCheck::names() const
{
    QStringList named;
    for (int i = 0; i < addresses.size(); ++i)
        named << (serials.value(i).isEmpty() ? QString::number(addresses[i])
                                             : QCoreApplication::translate("Link", "%1 (serial %2)")
                                                   .arg(addresses[i])
                                                   .arg(serials[i]));
    return named.join(QStringLiteral(", "));
}

void checkBroadcastWrite(LinkSession *session, int retries,
                         std::function<void(const BroadcastCheck &)> done)
{
    LinkRequest request;
    request.frame = DeviceInfo::request(Modbus::BroadcastAddress);
    request.retries = retries;
    request.done = [session, done = std::move(done)](const LinkOutcome &outcome) {
        BroadcastCheck check;
        check.asked = outcome;
        check.garbled = outcome.result == LinkOutcome::Garbled;
        check.answered = outcome.answered();
        QList<int> known = session->roster().answering();
        const int atSlave0 = outcome.answered() ? ModbusFrame::slaveOf(outcome.reply) : 0;
        if (atSlave0 != 0 && !known.contains(atSlave0))
            known << atSlave0;
        std::sort(known.begin(), known.end());
        for (int address : known) {
            check.addresses << address;
            check.serials << session->roster().serialAt(address);
        }
        done(check);
    };
    session->submit(request, LinkSession::First);
}
