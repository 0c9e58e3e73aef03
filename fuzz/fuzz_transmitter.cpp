// Fuzz target of the virtual transmitter's request handling: one to four units on a line, each
// with its own address, rate and type, hear frames at a rate (Modbus requests with a good CRC, or
// any bytes) and answer as answerOnLine() says. After every frame: a frame that is not a request
// for a unit, or that comes at another rate, changes nothing and gets no answer; a unit's answer
// is a valid frame that answers the request as the tool judges it (Transaction::fit), no longer
// than the longest reply the tool waits for; the settings stay within the device's ranges; and
// replies that collide never pass the CRC. A broken rule aborts.
//
// Input: byte 0 the number of units, then four bytes a unit (address, rate code, type, sensor);
// then frames, each a header byte and its fields.
#include "fuzzinput.h"
#include "line.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "protocol/transaction.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
constexpr int MaxUnits = 4;
constexpr int MaxFrames = 64;
const quint16 Registers[] = {0x0000, 0x0003, 0x0004, 0x0007, 0x0008, 0x0100, 0x0101,
                             0x0102, 0x0103, 0x0104, 0x0106, 0x0107, 0x0108, 0xfffe};

void require(bool holds, const char *rule, const QByteArray &frame, const QByteArray &answer)
{
    if (holds)
        return;
    std::fprintf(stderr, "%s: frame %s, answer %s\n", rule, frame.toHex().constData(),
                 answer.toHex().constData());
    std::abort();
}

bool sameSettings(const DeviceSettings &a, const DeviceSettings &b)
{
    return a.address == b.address && a.baudCode == b.baudCode && a.deviceType == b.deviceType &&
           a.sensorType == b.sensorType;
}

bool inRange(const DeviceSettings &s)
{
    return s.address >= Modbus::MinSlaveAddress && s.address <= Modbus::MaxSlaveAddress &&
           Modbus::baudRateOfCode(s.baudCode) != 0 && s.deviceType <= 2 && s.sensorType <= 1;
}

// A request as the tool would build it (good CRC), or any bytes.
QByteArray frameFrom(FuzzInput &in, const std::deque<TransmitterModel> &units)
{
    const quint8 header = in.byte();
    if (header % 8 == 0) {
        QByteArray bytes;
        for (int n = in.byte() % 12; n > 0; --n)
            bytes += char(in.byte());
        return bytes;
    }
    const quint8 pick = in.byte();
    const quint8 slave = pick % 3 == 0   ? quint8(0)
                         : pick % 3 == 1 ? units[pick % units.size()].settings().address
                                         : in.byte();
    const quint8 function = header & 0x10   ? Modbus::WriteSingleRegister
                            : header & 0x20 ? in.byte()
                                            : Modbus::ReadHoldingRegisters;
    const quint16 reg = header & 0x40 ? in.word() : Registers[in.byte() % 14];
    const quint16 value = header & 0x80 ? in.word() : in.byte() % 10;
    return ModbusFrame::buildRequest(slave, function, reg, value);
}

bool isRequestFor(const QByteArray &frame, const TransmitterModel &unit)
{
    const quint8 slave = ModbusFrame::slaveOf(frame);
    return frame.size() == Modbus::RequestLength && ModbusFrame::withCrc(frame.left(6)) == frame &&
           (slave == Modbus::BroadcastAddress || slave == unit.settings().address);
}

void checkAnswer(const QByteArray &frame, const QByteArray &answer, quint8 address)
{
    require(ModbusReply::recognise(answer) == ModbusReply::Verdict::Accept,
            "an answer the tool cannot accept", frame, answer);
    require(quint8(answer.at(0)) == address, "an answer under another address", frame, answer);
    require(Transaction::fit(frame, answer) == Transaction::Fit::Answer,
            "an answer that does not fit its request", frame, answer);
    require(answer.size() <= Transaction::longestReplyLength(frame),
            "an answer longer than the tool waits for", frame, answer);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    std::deque<TransmitterModel> units;
    for (int n = 1 + in.byte() % MaxUnits; n > 0; --n) {
        DeviceSettings settings;
        settings.address = quint8(1 + in.byte() % 4); // few addresses, so that some are shared
        settings.baudCode = quint16(1 + in.byte() % 6);
        settings.deviceType = quint16(in.byte() % 3);
        settings.sensorType = quint16(in.byte() % 2);
        units.emplace_back(settings);
    }
    for (int frames = 0; !in.atEnd() && frames < MaxFrames; ++frames) {
        const QByteArray frame = frameFrom(in, units);
        const int lineRate = Modbus::BaudRates[in.byte() % 6];
        std::vector<DeviceSettings> before;
        std::vector<bool> hears;
        for (const TransmitterModel &unit : units) {
            before.push_back(unit.settings());
            hears.push_back(unit.baudRate() == lineRate && isRequestFor(frame, unit));
        }
        const LineAnswer answer = answerOnLine(units, frame, lineRate, Faults());
        const int hearing = int(std::count(hears.begin(), hears.end(), true));
        require(answer.answering == hearing, "units answered that did not hear", frame,
                answer.bytes);
        for (size_t i = 0; i < units.size(); ++i) {
            require(inRange(units[i].settings()), "a setting out of range", frame, answer.bytes);
            require(hears[i] || sameSettings(units[i].settings(), before[i]),
                    "a unit changed by a frame it did not hear", frame, answer.bytes);
            require(ModbusFrame::functionOf(frame) == Modbus::WriteSingleRegister ||
                        sameSettings(units[i].settings(), before[i]),
                    "a unit changed by a read", frame, answer.bytes);
            if (hears[i] && hearing == 1)
                checkAnswer(frame, answer.bytes, before[i].address);
        }
        if (hearing > 1)
            require(ModbusReply::recognise(answer.bytes) != ModbusReply::Verdict::Accept,
                    "replies that collide passed the CRC", frame, answer.bytes);
    }
    return 0;
}
