// Fuzz target of the link session on a fake port in virtual time, with one to four units on the
// line: the input chooses the pieces of bytes and their moments, the units' answers (colliding
// where several answer), the requests and how they are submitted, a poll cycle over the units, the
// response timeout, the rate, the port's errors and reopenings. After every step the probe
// (tests/support/linkharness.h) checks the session's rules; a broken rule aborts with the events
// that led to it.
//
// Input: byte 0 the rate, byte 1 a fixed response timeout (0: the rate's), byte 2 the units (their
// number and addresses, two of them possibly alike); then steps, each an operation byte and its
// operands.
#include "fuzzinput.h"
#include "line.h"
#include "link/pollcycle.h"
#include "linkharness.h"
#include "transmittermodel.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace LinkHarness;

namespace {
const quint16 Registers[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0007, 0x0100,
                             0x0101, 0x0103, 0x0104, 0x0107, 0x0108, 0x1234, 0xffff};
const quint8 Functions[] = {Modbus::ReadHoldingRegisters, Modbus::WriteSingleRegister, 0x04, 0x10};
const PortFailure::Kind Failures[] = {PortFailure::Unplugged, PortFailure::FailingAdapter,
                                      PortFailure::PermissionDenied, PortFailure::Other};
constexpr int MaxPieceBytes = 40;
constexpr int MaxSteps = 200;

// The units of the line: their number from the input, at addresses 1 to 4, the last possibly at
// the address of the one before; each of another device type.
std::deque<TransmitterModel> unitsOnTheLine(int rate, FuzzInput &in)
{
    const quint8 shape = in.byte();
    std::deque<TransmitterModel> units;
    const int count = 1 + shape % 4;
    for (int i = 0; i < count; ++i) {
        DeviceSettings settings;
        settings.address = quint8(i > 0 && i == count - 1 && shape & 0x10 ? i : i + 1);
        settings.baudCode = quint16(Modbus::baudCodeOfRate(rate));
        settings.deviceType = quint16(i % 3);
        settings.serialNumber[2] = quint16(i);
        settings.temperature = i % 2 ? -20.5 : 23.5;
        units.emplace_back(settings);
    }
    return units;
}

// The units' answer to the request on the line, as the line carries it (several collide), as it
// is or with one byte changed.
QByteArray deviceAnswer(std::deque<TransmitterModel> &units, const LinkSession &session,
                        FuzzInput &in)
{
    const QByteArray &frame = session.lastRequest().frame;
    QByteArray answer = answerOnLine(units, frame, session.baudRate(), Faults()).bytes;
    const quint8 damage = in.byte();
    if (damage >= 0xC0 && !answer.isEmpty())
        answer[damage % answer.size()] = char(answer.at(damage % answer.size()) ^ in.byte());
    return answer;
}

LinkRequest request(Rig &rig, FuzzInput &in)
{
    const quint8 slave = in.byte() % 6; // 0, the units, or addresses where none listens
    const quint8 function = in.pick(Functions);
    const quint16 reg = in.pick(Registers);
    const quint16 value = in.byte() % 10;
    LinkRequest r =
        rig.request(ModbusFrame::buildRequest(slave, function, reg, value), in.byte() % 3);
    r.keepsReceived = in.byte() % 8 == 0;
    return r;
}

// One step: something happens on the line, in the owner or in time.
void step(Rig &rig, std::deque<TransmitterModel> &units, PollCycle &cycle, FuzzInput &in)
{
    switch (in.byte() % 13) {
    case 0: // bytes from the far end, as chosen
        rig.probe.deliver(in.bytes(in.byte() % MaxPieceBytes));
        break;
    case 1: // the device answers the request on the line, in two pieces
    {
        const QByteArray answer = deviceAnswer(units, rig.session, in);
        const int cut = answer.isEmpty() ? 0 : in.byte() % answer.size();
        const int gapMs = in.byte() * 2;
        rig.probe.deliver(answer.left(cut));
        rig.clock.at(rig.clock.nowMs() + gapMs,
                     [&rig, rest = answer.mid(cut)] { rig.probe.deliver(rest); });
        break;
    }
    case 2:
    case 3: // time passes
        rig.clock.advance(in.byte() % 2 ? in.byte() : in.word());
        break;
    case 4:
        rig.session.submit(request(rig, in),
                           in.byte() % 2 ? LinkSession::First : LinkSession::InTurn);
        break;
    case 5:
        rig.session.poll(request(rig, in));
        break;
    case 6:
        rig.port.fail(in.pick(Failures));
        break;
    case 7:
        rig.probe.givenUp();
        rig.session.open(QStringLiteral("ttyFAKE"), in.pick(Modbus::BaudRates));
        break;
    case 8:
        rig.probe.givenUp();
        rig.session.setBaudRate(in.pick(Modbus::BaudRates));
        break;
    case 9:
        if (in.byte() % 2) {
            rig.probe.givenUp();
            rig.session.abandon();
        } else {
            rig.session.dropWaiting();
        }
        break;
    case 10: // the response timeout, set while the line is free
        if (!rig.session.isBusy())
            rig.session.setFixedTimeoutMs(in.byte() * 4);
        break;
    case 11: // a failing adapter's storm
        rig.probe.deliver(
            QByteArray(AdapterFailureBytes + in.byte() % 4, char(in.byte() & 0x80 ? 0xFF : 0)));
        break;
    case 12: // polling the line starts or stops
        if (cycle.isRunning()) {
            cycle.stop();
        } else {
            cycle.setPeriodMs(100 + in.byte() * 10);
            cycle.start();
        }
        break;
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzInput in(data, size);
    Rig rig(Modbus::BaudRates[in.byte() % 6]);
    rig.session.setFixedTimeoutMs(in.byte() * 4);
    std::deque<TransmitterModel> units = unitsOnTheLine(rig.session.baudRate(), in);
    PollCycle cycle(&rig.session);
    cycle.setUnits({1, 2, 3, 4});
    for (int steps = 0; !in.atEnd() && steps < MaxSteps; ++steps) {
        step(rig, units, cycle, in);
        rig.probe.checkNow();
    }
    cycle.stop();
    rig.clock.advance(600000); // every deadline and silence runs out
    rig.probe.checkNow();
    if (!rig.probe.faults.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(rig.probe.faults.join('\n')));
        std::abort();
    }
    return 0;
}
