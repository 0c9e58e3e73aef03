#include "interruption.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int Ending[] = {SIGINT, SIGTERM};

// The handler only wakes the event loop: a byte, the signal's number, down a pipe.
int wakeRead = -1;
int wakeWrite = -1;

extern "C" void wake(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(wakeWrite, &byte, 1);
    errno = savedErrno;
}

// A signal ignored when the run started (a background job of a script, nohup) stays ignored.
void handle(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART; // a line being written is finished, not cut
    sigemptyset(&action.sa_mask);
    for (int signalNumber : Ending) {
        struct sigaction before = {};
        sigaction(signalNumber, nullptr, &before);
        if (before.sa_handler != SIG_IGN)
            sigaction(signalNumber, &action, nullptr);
    }
}

// Ends the process by the signal, as if it had never been caught.
void endBy(int signalNumber)
{
    handle(SIG_DFL);
    std::raise(signalNumber);
}
} // namespace

Interruption::Interruption(std::function<void()> beforeEnd, QObject *parent)
    : QObject(parent), beforeEnd(std::move(beforeEnd))
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default: the run still ends, only held lines are lost
    wakeRead = ends[0];
    wakeWrite = ends[1];
    notifier = new QSocketNotifier(wakeRead, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &Interruption::arrived);
    handle(wake);
}

Interruption::~Interruption()
{
    if (!notifier)
        return;
    handle(SIG_DFL);
    char byte = 0;
    const bool pending = ::read(wakeRead, &byte, 1) == 1; // came when no event loop ran
    ::close(wakeRead);
    ::close(wakeWrite);
    wakeRead = wakeWrite = -1;
    if (pending)
        endBy(byte);
}

void Interruption::arrived()
{
    char byte = 0;
    if (::read(wakeRead, &byte, 1) != 1)
        return;
    beforeEnd();
    endBy(byte);
}
