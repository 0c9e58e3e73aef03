#include "protocol/requestline.h"

#include "protocol/modbusreply.h"

#include <QTimer>

RequestLine::RequestLine(Writer writer, QObject *parent)
    : QObject(parent), writer(std::move(writer)), deadline(new QTimer(this))
{
    deadline->setObjectName(QStringLiteral("responseDeadline"));
    deadline->setSingleShot(true);
    deadline->setTimerType(Qt::PreciseTimer);
    connect(deadline, &QTimer::timeout, this, &RequestLine::expire);
}

int RequestLine::timeoutMs(const QByteArray &request) const
{
    return fixedTimeoutMs > 0 ? fixedTimeoutMs : Transaction::responseTimeoutMs(request, baud);
}

void RequestLine::submit(const Request &request, Place place)
{
    if (place == First)
        waiting.push_front(request);
    else
        waiting.push_back(request);
    if (!busy)
        writeNext();
}

bool RequestLine::poll(const Request &request)
{
    if (busy || !waiting.empty()) {
        ++stats.skipped;
        owedPoll = request;
        pollOwed = true;
        emit statisticsChanged();
        return false;
    }
    pollOwed = false;
    write(request);
    return true;
}

void RequestLine::write(const Request &request)
{
    if (!writer(request))
        return; // nothing went out: the line stays free
    busy = true;
    current = request;
    ++stats.requests;
    sentAt.start();
    deadline->start(timeoutMs(request.frame));
    emit statisticsChanged();
}

// Waiting one-off requests go first, then the periodic read the line owes; a request that could
// not be written leaves the line free for the next.
void RequestLine::writeNext()
{
    while (!busy && !waiting.empty()) {
        const Request next = waiting.front();
        waiting.pop_front();
        write(next);
    }
    if (!busy && pollOwed) {
        pollOwed = false;
        write(owedPoll);
    }
}

Transaction::Fit RequestLine::offer(const QByteArray &reply)
{
    const Transaction::Fit fit =
        busy ? Transaction::fit(current.frame, reply) : Transaction::Fit::OtherRequest;
    if (fit != Transaction::Fit::Answer) {
        // Another slave's frame is a bad frame on this link; anything else answers an earlier
        // request.
        ++(fit == Transaction::Fit::OtherSlave ? stats.badFrames : stats.late);
        emit statisticsChanged();
        return fit;
    }
    deadline->stop();
    busy = false;
    ++stats.replies;
    stats.exceptions += ModbusReply::isException(reply) ? 1 : 0;
    stats.lastResponseMs = int(sentAt.elapsed());
    stats.totalResponseMs += stats.lastResponseMs;
    emit statisticsChanged();
    QTimer::singleShot(0, this, &RequestLine::writeNext);
    return Transaction::Fit::Answer;
}

void RequestLine::expire()
{
    busy = false;
    ++stats.timeouts;
    emit statisticsChanged();
    emit timedOut(current, timeoutMs(current.frame));
    writeNext();
}

void RequestLine::countBadFrame()
{
    ++stats.badFrames;
    emit statisticsChanged();
}

void RequestLine::abandon()
{
    deadline->stop();
    busy = false;
}

void RequestLine::resetStatistics()
{
    stats = LinkStatistics();
    emit statisticsChanged();
}
