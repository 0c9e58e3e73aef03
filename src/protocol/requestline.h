#pragma once

#include "protocol/transaction.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>

#include <deque>
#include <functional>

class QTimer;

// What happened on the line since the link was made.
struct LinkStatistics
{
    int requests = 0;   // frames written
    int replies = 0;    // answers, exceptions among them
    int timeouts = 0;   // requests whose answer did not come in time
    int badFrames = 0;  // bad CRC, cut off, dropped by silence, or from another slave
    int exceptions = 0; // exception replies
    int late = 0;       // valid frames that answered no outstanding request
    int skipped = 0;    // periodic reads not sent because the line was busy
    int lastResponseMs = -1;
    qint64 totalResponseMs = 0;

    int meanResponseMs() const { return replies > 0 ? int(totalResponseMs / replies) : -1; }
};

// One transaction on the line at a time, as Modbus RTU on a serial line requires: a request is
// outstanding from the moment it is written until its answer is accepted or its response
// timeout passes, and nothing else is written meanwhile. One-off requests that come while the
// line is busy wait their turn, in order; a periodic read that finds it busy is skipped, and the
// last one skipped goes out as soon as the line is free, so polling runs as fast as the line
// allows. The owner writes the frames (Writer) and offers every valid frame that arrives.
class RequestLine : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray frame;
        int kind = 0; // what the owner needs to know when it is answered or times out
    };
    // Writes a request to the port; false when nothing was written (the port is closed).
    using Writer = std::function<bool(const Request &)>;
    enum Place { InTurn, First };

    explicit RequestLine(Writer writer, QObject *parent = nullptr);

    void setBaudRate(int baudRate) { baud = baudRate; }
    // A fixed response timeout instead of the one the line's rate gives (0: derive it).
    void setFixedTimeoutMs(int ms) { fixedTimeoutMs = ms; }
    int timeoutMs(const QByteArray &request) const;

    // A one-off request: written now when the line is free, otherwise when its turn comes.
    void submit(const Request &request, Place place = InTurn);
    // A periodic read: written now when the line is free; otherwise skipped, and written when
    // the line frees unless a later read replaces it. Returns whether it was written now.
    bool poll(const Request &request);
    // A complete frame with a valid CRC arrived. An answer ends the outstanding transaction (the
    // owner handles it before anything else is written); a frame from another slave counts as a
    // bad frame, any other frame as late, and neither changes anything else.
    Transaction::Fit offer(const QByteArray &reply);
    void countBadFrame();
    // Forgets the outstanding request, as when the port is opened anew; waiting ones stay.
    void abandon();

    bool isBusy() const { return busy; }
    // The request written last: the outstanding one, or the one just answered or timed out.
    const Request &lastRequest() const { return current; }
    const LinkStatistics &statistics() const { return stats; }
    void resetStatistics();

signals:
    void timedOut(const RequestLine::Request &request, int timeoutMs);
    void statisticsChanged();

private:
    void write(const Request &request);
    void expire();
    void writeNext();

    Writer writer;
    QTimer *deadline;
    QElapsedTimer sentAt;
    std::deque<Request> waiting;
    Request owedPoll;
    bool pollOwed = false;
    bool busy = false;
    Request current;
    int baud = 9600;
    int fixedTimeoutMs = 0;
    LinkStatistics stats;
};
