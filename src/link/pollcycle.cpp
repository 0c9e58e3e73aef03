#include "link/pollcycle.h"

#include "protocol/deviceinfo.h"

#include <algorithm>

namespace {
constexpr int SilentUnitEveryRounds = 10;
}

PollCycle::PollCycle(LinkSession *session, QObject *parent)
    : QObject(parent), session(session),
      periodTimer(session->timeSource()->makeTimer([this] { periodPassed(); }))
{
}

void PollCycle::setUnits(const QList<int> &addresses)
{
    order = addresses;
    for (int address : order)
        session->roster().unit(address);
}

void PollCycle::setReadings(ModbusReply::Selector selector, bool fromHundredths)
{
    what = selector;
    hundredths = fromHundredths;
}

int PollCycle::roundsToSkip(int missedInARow)
{
    if (missedInARow <= 0)
        return 0;
    const int every = missedInARow > 4 ? SilentUnitEveryRounds : 1 << (missedInARow - 1);
    return std::min(every, SilentUnitEveryRounds) - 1;
}

void PollCycle::start()
{
    if (running)
        return;
    running = true;
    ++generation;
    beginRound();
}

void PollCycle::stop()
{
    running = false;
    inRound = false;
    owed = false;
    ++generation;
    periodTimer->stop();
}

void PollCycle::beginRound()
{
    ++round;
    inRound = true;
    owed = false;
    index = -1;
    periodTimer->start(periodMs);
    next();
}

void PollCycle::periodPassed()
{
    if (!running)
        return;
    if (inRound)
        owed = true;
    else
        beginRound();
}

void PollCycle::next()
{
    while (++index < order.size()) {
        const int address = order.at(index);
        if (dueRound[address] <= round) {
            ask(address);
            return;
        }
    }
    inRound = false;
    emit roundEnded(round);
    if (running && owed)
        beginRound();
}

// A unit not identified yet is asked who it is first; so is one that did not answer its last
// request, for another unit may have taken its place (a unit swapped on the line falls silent
// while it is changed).
void PollCycle::ask(int address)
{
    const LineUnit *unit = session->roster().find(address);
    if (unit && unit->identity.known && unit->watch.missedInARow() == 0) {
        read(address);
        return;
    }
    send(address, DeviceInfo::request(quint8(address)), [this, address](const LinkOutcome &o) {
        const LineUnit *known = session->roster().find(address);
        if (o.answered() && !o.isException() && known && known->identity.known)
            read(address);
        else
            finishUnit(address, o);
    });
}

void PollCycle::read(int address)
{
    const QByteArray frame = ModbusReply::readingsRequest(
        quint8(address), session->roster().deviceTypeAt(address), what, hundredths);
    send(address, frame, [this, address](const LinkOutcome &o) { finishUnit(address, o); });
}

void PollCycle::send(int, const QByteArray &frame, std::function<void(const LinkOutcome &)> then)
{
    LinkRequest request;
    request.frame = frame;
    request.retries = retries;
    const int asked = generation;
    request.done = [this, asked, then = std::move(then)](const LinkOutcome &outcome) {
        if (asked == generation && running)
            then(outcome);
    };
    session->submit(request);
}

void PollCycle::finishUnit(int address, const LinkOutcome &outcome)
{
    const LineUnit *unit = session->roster().find(address);
    const int missed = unit ? unit->watch.missedInARow() : 0;
    dueRound[address] = round + 1 + roundsToSkip(missed);
    emit polled(address, outcome);
    if (!running)
        return;
    if (outcome.result == LinkOutcome::Lost || outcome.result == LinkOutcome::NotSent) {
        stop();
        emit interrupted(outcome);
        return;
    }
    next();
}
