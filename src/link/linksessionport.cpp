// The link session's port: opening it, the rate, closing it, and a port that fails or goes away.
#include "link/linksession.h"

PortFailure LinkSession::open(const QString &portName, int baudRate)
{
    abandon();
    dropReceived();
    failureTimer->stop();
    learntTimeoutMs.clear();
    missedInARow.clear();
    ++openings;
    const PortFailure failure = port->open(portName, baudRate);
    if (!failure.failed())
        rate = baudRate;
    return failure;
}

void LinkSession::setBaudRate(int baudRate)
{
    abandon();
    dropReceived();
    port->setBaudRate(baudRate);
    rate = baudRate;
}

void LinkSession::close()
{
    abandon();
    dropReceived();
    failureTimer->stop();
    port->close();
}

// A port reports errors while its signal is being handled, and a dying port may report them
// while it is closed for a new opening: the error is handled afterwards, and only if the port
// has not been opened anew since.
void LinkSession::portFailed(const PortFailure &failure)
{
    if (failureTimer->isActive())
        return;
    pendingFailure = failure;
    failureOpening = openings;
    failureTimer->start(0);
}

void LinkSession::handleFailure()
{
    if (failureOpening == openings && port->isOpen())
        lose(pendingFailure);
}

// The port is gone: it is closed, what was received is dropped, the request on the line ends as
// lost, and the owner is told.
void LinkSession::lose(const PortFailure &failure)
{
    port->close();
    if (!buffer.isEmpty()) {
        const QByteArray bytes = buffer;
        buffer.clear();
        silenceTimer->stop();
        const DropReason reason = failure.kind == PortFailure::FailingAdapter
                                      ? DropReason::AdapterNoise
                                      : DropReason::Incomplete;
        emit dropped(bytes, reason);
    }
    const bool wasBusy = busy;
    const Request request = current;
    const int tries = currentTries;
    const std::optional<PendingChange> verifying = change;
    abandon();
    failureTimer->stop();
    if (wasBusy) {
        LinkOutcome outcome;
        outcome.result = LinkOutcome::Lost;
        outcome.reason = failure.text();
        outcome.tries = tries;
        change = verifying; // a read-back on the line ends its write's verification
        complete(request, outcome);
        change.reset();
    }
    emit portLost(failure);
}
