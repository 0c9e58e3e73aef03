#pragma once

// Units on the fake port's line in virtual time, as the virtual transmitter's line has them: each
// answers its own address and slave 0 at its own rate, several answers collide
// (Collision::overlap), and each unit turns the line around in its own time. A reply comes in two
// pieces, its first byte and then the rest at the wire's pace; a request written while units are
// answering collides with them: it is not heard, and the rest of their reply is garbled. Requests
// are counted from 1, for the faults given by number.

#include "collision.h"
#include "linkharness.h"
#include "transmittermodel.h"

#include <QSet>

#include <deque>
#include <functional>
#include <map>
#include <memory>

namespace LinkHarness {

class FakeLine
{
public:
    using Deliver = std::function<void(const QByteArray &)>;

    // What the units send reaches the port through `deliver` (by default straight to it).
    FakeLine(VirtualClock &clock, FakePort &port, Deliver deliver = Deliver())
        : clock(clock), port(port),
          deliver(deliver ? std::move(deliver) : [&port](const QByteArray &b) { port.deliver(b); })
    {
        port.onWrite = [this](const QByteArray &request) { heard(request); };
    }
    // On a rig, through its probe, which accounts for every byte.
    explicit FakeLine(Rig &rig)
        : FakeLine(rig.clock, rig.port,
                   [&rig](const QByteArray &bytes) { rig.probe.deliver(bytes); })
    {
    }

    // A unit at this address and the line's rate, like the virtual transmitter's first, its
    // serial number counting up in the last word from 123456789abc.
    TransmitterModel &add(int address, quint16 deviceType = 0, int turnaroundMs = 5)
    {
        DeviceSettings settings;
        settings.address = quint8(address);
        settings.baudCode = quint16(Modbus::baudCodeOfRate(port.baudRate()));
        settings.deviceType = deviceType;
        settings.serialNumber[2] = quint16(0x9abc + units.size());
        return add(settings, turnaroundMs);
    }
    TransmitterModel &add(const DeviceSettings &settings, int turnaroundMs = 5)
    {
        units.emplace_back(settings);
        turnarounds.push_back(turnaroundMs);
        return units.back();
    }
    void mute(const TransmitterModel &unit, bool on)
    {
        if (on)
            muted.insert(&unit);
        else
            muted.remove(&unit);
    }
    // The unit reports this address in its device information, wherever it answers.
    void reportAddress(const TransmitterModel &unit, int address) { reported[&unit] = address; }

    std::deque<TransmitterModel> units;
    QSet<int> unheard; // requests no unit hears
    QSet<int> garbled; // requests whose reply arrives with a bad CRC
    QSet<int> refused; // requests the units answer with an exception
    // The adapter pulled while this request goes out: before the units hear it, or after they
    // have heard it and before their reply.
    int lostAt = 0;
    bool lostAfterHeard = false;
    QList<qint64> writtenAt;
    int collisions = 0; // requests written while units were answering
    bool talkingOverSpoilsAll = false; // a reply talked over loses its slave byte too

private:
    QByteArray answerOf(TransmitterModel &unit, const QByteArray &request, int number)
    {
        QByteArray reply = unit.handle(request);
        unit.applyPendingBaudCode();
        if (!reply.isEmpty() && refused.contains(number))
            return TransmitterModel::exceptionReply(unit.settings().address, quint8(request.at(1)),
                                                    2);
        const auto stale = reported.find(&unit);
        if (stale != reported.end() && reply.size() > 4 && reply.at(1) == 3 &&
            ModbusFrame::startRegisterOf(request) == Reg::Address) {
            reply[3] = char(stale->second >> 8);
            reply[4] = char(stale->second);
            reply = ModbusFrame::withCrc(reply.left(reply.size() - 2));
        }
        return reply;
    }

    void heard(const QByteArray &request)
    {
        const qint64 now = clock.nowMs();
        writtenAt << now;
        const int number = int(writtenAt.size());
        const bool lost = number == lostAt;
        if (now < answeringUntil) {
            ++collisions;
            *spoilt = true;
            return;
        }
        if (lost && !lostAfterHeard)
            port.fail(PortFailure::Unplugged);
        if (unheard.contains(number) || (lost && !lostAfterHeard))
            return;
        const int rate = port.baudRate();
        QList<QByteArray> answers;
        int turnaround = -1;
        for (size_t i = 0; i < units.size(); ++i) {
            if (muted.contains(&units[i]) || units[i].baudRate() != rate)
                continue;
            const QByteArray reply = answerOf(units[i], request, number);
            if (reply.isEmpty())
                continue;
            answers << reply;
            turnaround = turnaround < 0 ? turnarounds[i] : std::min(turnaround, turnarounds[i]);
        }
        if (lost)
            port.fail(PortFailure::Unplugged);
        if (answers.isEmpty() || lost)
            return;
        QByteArray bytes = answers.size() == 1 ? answers.first() : Collision::overlap(answers);
        if (garbled.contains(number))
            bytes[bytes.size() - 1] = char(bytes.back() ^ 0x40);
        const qint64 start = now + Transaction::wireTimeMs(request.size(), rate) + turnaround;
        answeringUntil = start + Transaction::wireTimeMs(int(bytes.size()), rate);
        spoilt = std::make_shared<bool>(false);
        clock.at(start + Transaction::wireTimeMs(1, rate),
                 [this, first = bytes.left(1), spoilt = spoilt]() mutable {
                     if (*spoilt && talkingOverSpoilsAll)
                         first[0] = char(first.at(0) ^ 0xFF);
                     deliver(first);
                 });
        clock.at(answeringUntil, [this, rest = bytes.mid(1), spoilt = spoilt]() mutable {
            if (*spoilt && !rest.isEmpty())
                rest[rest.size() - 1] = char(rest.back() ^ 0xFF);
            deliver(rest);
        });
    }

    VirtualClock &clock;
    FakePort &port;
    Deliver deliver;
    std::vector<int> turnarounds;
    QSet<const TransmitterModel *> muted;
    std::map<const TransmitterModel *, int> reported;
    qint64 answeringUntil = -1;
    std::shared_ptr<bool> spoilt = std::make_shared<bool>(false);
};

} // namespace LinkHarness
