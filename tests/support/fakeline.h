#pragma once

// Units on the fake port's line in virtual time, as the virtual transmitter's line has them: each
// answers its own address and slave 0 at its own rate, several answers collide
// (Collision::overlap), and each unit turns the line around in its own time. A reply comes in two
// pieces, its first byte and then the rest at the wire's pace; a request written while units are
// answering collides with them: it is not heard, and the rest of their reply is garbled.

#include "collision.h"
#include "linkharness.h"
#include "transmittermodel.h"

#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace LinkHarness {

class FakeLine
{
public:
    explicit FakeLine(Rig &rig) : rig(rig)
    {
        rig.port.onWrite = [this](const QByteArray &request) { heard(request); };
    }

    // A unit at this address and the line's rate, like the virtual transmitter's first, with the
    // last word of its serial number made from the address; returns its index.
    int add(int address, quint16 deviceType = 1, int turnaroundMs = 5)
    {
        DeviceSettings settings;
        settings.address = quint8(address);
        settings.baudCode = quint16(Modbus::baudCodeOfRate(rig.port.baudRate()));
        settings.deviceType = deviceType;
        settings.serialNumber[2] = quint16(0x9a00 + address);
        return add(settings, turnaroundMs);
    }
    int add(const DeviceSettings &settings, int turnaroundMs = 5)
    {
        units.emplace_back(settings);
        turnarounds.push_back(turnaroundMs);
        muted.push_back(false);
        return int(units.size()) - 1;
    }
    TransmitterModel &unit(int index) { return units.at(size_t(index)); }
    // Another transmitter in the place of this one, as when a unit is swapped on the bench.
    void replace(int index, const DeviceSettings &settings)
    {
        units.at(size_t(index)) = TransmitterModel(settings);
    }
    void mute(int index, bool on) { muted.at(size_t(index)) = on; }
    // The unit reports this address in its device information, wherever it answers.
    void reportAddress(int index, int address) { reported[index] = address; }
    void setTurnaround(int index, int ms) { turnarounds.at(size_t(index)) = ms; }

    QList<QByteArray> requestsHeard; // in order, each with the slave it went to
    int collisions = 0;              // requests written while units were answering

private:
    void heard(const QByteArray &request)
    {
        const qint64 now = rig.clock.nowMs();
        const int rate = rig.port.baudRate();
        if (now < answeringUntil) {
            ++collisions;
            *spoilt = true;
            return;
        }
        requestsHeard << request;
        QList<QByteArray> answers;
        int turnaround = -1;
        for (size_t i = 0; i < units.size(); ++i) {
            if (muted[i] || units[i].baudRate() != rate)
                continue;
            QByteArray reply = units[i].handle(request);
            units[i].applyPendingBaudCode();
            const auto stale = reported.find(int(i));
            if (stale != reported.end() && reply.size() > 4 &&
                ModbusFrame::startRegisterOf(request) == Reg::Address && reply.at(1) == 3) {
                reply[3] = char(stale->second >> 8);
                reply[4] = char(stale->second);
                reply = ModbusFrame::withCrc(reply.left(reply.size() - 2));
            }
            if (reply.isEmpty())
                continue;
            answers << reply;
            turnaround = turnaround < 0 ? turnarounds[i] : std::min(turnaround, turnarounds[i]);
        }
        if (answers.isEmpty())
            return;
        const QByteArray bytes =
            answers.size() == 1 ? answers.first() : Collision::overlap(answers);
        const qint64 start = now + Transaction::wireTimeMs(request.size(), rate) + turnaround;
        answeringUntil = start + Transaction::wireTimeMs(bytes.size(), rate);
        spoilt = std::make_shared<bool>(false);
        rig.clock.at(start + Transaction::wireTimeMs(1, rate),
                     [this, first = bytes.left(1)] { rig.probe.deliver(first); });
        rig.clock.at(answeringUntil, [this, rest = bytes.mid(1), spoilt = spoilt]() mutable {
            if (*spoilt && !rest.isEmpty())
                rest[rest.size() - 1] = char(rest.back() ^ 0xFF);
            rig.probe.deliver(rest);
        });
    }

    Rig &rig;
    std::deque<TransmitterModel> units;
    std::vector<int> turnarounds;
    std::vector<bool> muted;
    std::map<int, int> reported;
    qint64 answeringUntil = -1;
    std::shared_ptr<bool> spoilt = std::make_shared<bool>(false);
};

} // namespace LinkHarness
