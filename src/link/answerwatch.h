#pragma once

#include <QtGlobal>

#include <optional>

// Whether a unit (or a line) answers: it is silent once three requests in a row have gone
// unanswered and two seconds have passed without an answer, whichever comes later, so that
// neither a single lost reply nor a fast poll says "no answer" too soon, and a slow poll says it
// by its third request. One answer makes it answering again. Times are monotonic milliseconds.
class AnswerWatch
{
public:
    static constexpr int SilentAfterRequests = 3;
    static constexpr int SilentAfterMs = 2000;

    // The wait for an answer starts now (a new link).
    void restart(qint64 nowMs)
    {
        *this = AnswerWatch();
        lastAnswerMs = nowMs;
    }
    void answered(qint64 nowMs)
    {
        missed = 0;
        firstMissMs.reset();
        lastAnswerMs = nowMs;
        silent = false;
    }
    // A request written at sentAtMs ended without an answer at nowMs.
    void unanswered(qint64 sentAtMs, qint64 nowMs)
    {
        if (!firstMissMs)
            firstMissMs = sentAtMs;
        ++missed;
        silent = missed >= SilentAfterRequests && nowMs - lastAnswerMs >= SilentAfterMs;
    }

    bool isSilent() const { return silent; }
    int missedInARow() const { return missed; }
    // Since when no answer has come: the first request that went unanswered; set while silent.
    std::optional<qint64> silentSinceMs() const
    {
        return silent ? firstMissMs : std::optional<qint64>();
    }

private:
    int missed = 0;
    std::optional<qint64> firstMissMs;
    qint64 lastAnswerMs = 0;
    bool silent = false;
};
