#include "virtualtransmitter.h"

#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int ClosedSlavePollMs = 20;

int rateOfSpeed(speed_t speed)
{
    switch (speed) {
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    default:
        return 0;
    }
}

double byteTimeMs(int rate)
{
    return rate > 0 ? 10 * 1000.0 / rate : 0; // 10 bits a byte
}

// 3.5 character times (11 bits a character), at least 1.75 ms.
int silentIntervalMs(int rate)
{
    const double ms = rate > 0 ? 3.5 * 11 * 1000.0 / rate : 1.75;
    return std::max(2, int(std::ceil(ms)));
}
} // namespace

VirtualTransmitter::VirtualTransmitter(const DeviceSettings &settings, QObject *parent)
    : QObject(parent), silence(new QTimer(this)), retry(new QTimer(this)), pacer(new QTimer(this))
{
    units.emplace_back(settings);
    clock.start();
    silence->setSingleShot(true);
    silence->setTimerType(Qt::PreciseTimer);
    connect(silence, &QTimer::timeout, this, &VirtualTransmitter::frameEnded);
    pacer->setTimerType(Qt::PreciseTimer);
    connect(pacer, &QTimer::timeout, this, &VirtualTransmitter::paceOut);
    retry->setSingleShot(true);
    connect(retry, &QTimer::timeout, this, [this] {
        if (notifier)
            notifier->setEnabled(true);
    });
}

void VirtualTransmitter::setWire(bool on, int turnaround, int latencyMs)
{
    wire = on;
    turnaroundMs = turnaround;
    adapterLatencyMs = std::max(1, latencyMs);
}

int VirtualTransmitter::addUnit(const DeviceSettings &settings)
{
    units.emplace_back(settings);
    return unitCount() - 1;
}

int VirtualTransmitter::addUnit(quint8 address)
{
    DeviceSettings settings = model().settings();
    settings.address = address;
    settings.serialNumber[2] = quint16(settings.serialNumber[2] + unitCount());
    return addUnit(settings);
}

VirtualTransmitter::~VirtualTransmitter()
{
    unplug();
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
}

bool VirtualTransmitter::start(QString *error)
{
    int slaveFd = -1;
    char name[256] = {};
    if (openpty(&masterFd, &slaveFd, name, nullptr, nullptr) != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Raw line until the tool configures it; the slave end is the tool's to open.
    termios settings{};
    tcgetattr(slaveFd, &settings);
    cfmakeraw(&settings);
    const speed_t initial = B9600;
    cfsetispeed(&settings, initial);
    cfsetospeed(&settings, initial);
    tcsetattr(slaveFd, TCSANOW, &settings);
    ::close(slaveFd);
    fcntl(masterFd, F_SETFL, fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    // Programs this process starts must not hold the line: unplug() would not hang it up.
    fcntl(masterFd, F_SETFD, FD_CLOEXEC);
    slavePath = QString::fromLocal8Bit(name);

    notifier = new QSocketNotifier(masterFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &VirtualTransmitter::readMaster);
    return true;
}

bool VirtualTransmitter::makeLink(const QString &path, QString *error)
{
    QFile::remove(path);
    if (!QFile::link(slavePath, path)) {
        if (error)
            *error = QStringLiteral("cannot create the link %1").arg(path);
        return false;
    }
    linkPath = path;
    return true;
}

// A USB adapter's device node goes with it: so does the link. A request that had reached the
// line is recorded as heard (it goes unanswered); the reply on its way is cut off.
void VirtualTransmitter::unplug()
{
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
    if (masterFd >= 0)
        readMaster();
    if (!incoming.isEmpty()) {
        received.append(incoming);
        frameLog.heard(incoming);
    }
    silence->stop();
    pacer->stop();
    incoming.clear();
    if (masterFd >= 0)
        frameLog.event("UNPLUG");
    ++plugs;
    delete notifier;
    notifier = nullptr;
    if (masterFd >= 0)
        ::close(masterFd);
    masterFd = -1;
}

bool VirtualTransmitter::replug(QString *error)
{
    unplug();
    if (!start(error))
        return false;
    frameLog.event("REPLUG", slavePath);
    return linkPath.isEmpty() || makeLink(linkPath, error);
}

void VirtualTransmitter::clearHistory()
{
    received.clear();
    sent.clear();
}

int VirtualTransmitter::lineBaudRate() const
{
    termios settings{};
    if (masterFd < 0 || tcgetattr(masterFd, &settings) != 0)
        return 0;
    return rateOfSpeed(cfgetospeed(&settings));
}

// Frames are timed at the line's rate when a unit listens there, or else at the slowest unit's
// rate, so that what no one hears is still recorded as whole frames.
int VirtualTransmitter::frameRate() const
{
    const int line = lineBaudRate();
    int slowest = 0;
    for (const TransmitterModel &unit : units) {
        if (unit.baudRate() == line)
            return line;
        slowest = slowest == 0 ? unit.baudRate() : std::min(slowest, unit.baudRate());
    }
    return slowest;
}

void VirtualTransmitter::readMaster()
{
    QByteArray arrived;
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(masterFd, chunk, sizeof chunk);
        if (n > 0) {
            arrived.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EAGAIN)
            break;
        // EIO: no one holds the slave end open. Look again a little later.
        notifier->setEnabled(false);
        retry->start(ClosedSlavePollMs);
        break;
    }
    if (arrived.isEmpty())
        return;
    if (!wire) {
        incoming.append(arrived);
        silence->start(silentIntervalMs(frameRate()));
        return;
    }
    const qint64 now = clock.elapsed();
    if (now < answeringUntil) {
        // Two talkers on a two-wire line: the device hears nothing, its reply breaks up.
        ++collisionCount;
        garbled = true;
        return;
    }
    // The request is on the wire for its bytes' time; the frame ends with its last byte.
    incoming.append(arrived);
    const double byteMs = byteTimeMs(frameRate());
    arrivalEnd = std::max(now, arrivalEnd) + qint64(std::ceil(arrived.size() * byteMs));
    silence->start(int(arrivalEnd - now));
}

void VirtualTransmitter::frameEnded()
{
    const QByteArray frame = incoming;
    incoming.clear();
    received.append(frame);
    frameLog.heard(frame);
    emit requestReceived(frame);
    if (muted)
        return;
    const int lineRate = lineBaudRate();
    const LineAnswer answer = answerOnLine(units, frame, lineRate, fault, verbose);
    if (answer.answering == 0)
        return;
    collisionCount += answer.answering - 1;
    QByteArray reply = answer.bytes;
    const char *tag = corruptAtRandom(reply);
    frameLog.replying(reply, answer.answering > 1 ? "collision" : tag);
    // The replies go out at the rate the request came in, the answering units' own.
    respond(reply, byteTimeMs(lineRate));
}

void VirtualTransmitter::respond(const QByteArray &bytes, double byteMs)
{
    if (wire) {
        const int wait = turnaroundMs + fault.delayMs;
        answeringUntil = clock.elapsed() + wait + qint64(bytes.size() * byteMs);
        garbled = false;
        QTimer::singleShot(wait, this, [this, bytes, byteMs, plug = plugs] {
            if (plug == plugs)
                transmit(bytes, byteMs);
        });
    } else if (fault.delayMs > 0) {
        QTimer::singleShot(fault.delayMs, this, [this, bytes, plug = plugs] {
            if (plug == plugs)
                sendPieces(bytes);
        });
    } else {
        sendPieces(bytes);
    }
}

// The reply goes out a byte time per byte, as a UART at the device's rate sends it.
void VirtualTransmitter::transmit(const QByteArray &bytes, double byteMs)
{
    if (masterFd < 0)
        return;
    sent.append(bytes);
    emit replySent(bytes);
    outgoing = bytes;
    outgoingSent = 0;
    outgoingStart = clock.elapsed();
    outgoingByteMs = byteMs;
    if (adapterLatencyMs <= 1)
        paceOut();
    // What has come by each tick of the adapter's latency timer is handed on together.
    if (outgoingSent < outgoing.size())
        pacer->start(adapterLatencyMs);
}

// Each byte reaches the other end when its last bit is on the wire.
void VirtualTransmitter::paceOut()
{
    const qint64 elapsed = clock.elapsed() - outgoingStart;
    const int due = std::min(int(outgoing.size()), int(elapsed / outgoingByteMs));
    QByteArray piece = outgoing.mid(outgoingSent, due - outgoingSent);
    if (garbled) // what follows a collision is noise to the receiver
        for (char &byte : piece)
            byte = char(~byte);
    if (!piece.isEmpty())
        writeMaster(piece, false);
    outgoingSent = due;
    if (outgoingSent >= outgoing.size())
        pacer->stop();
}

void VirtualTransmitter::writeMaster(const QByteArray &bytes, bool record)
{
    if (masterFd < 0)
        return;
    if (::write(masterFd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        return;
    frameLog.wrote(bytes);
    if (!record)
        return;
    sent.append(bytes);
    emit replySent(bytes);
}
