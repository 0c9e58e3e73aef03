#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGINT and SIGTERM end the run as they always have, by the signal itself, but only after the
// event loop has called beforeEnd: the lines held for later ports are written first, so every
// record already made reaches the output, each a whole line. Handled while this object lives.
class Interruption : public QObject
{
public:
    explicit Interruption(std::function<void()> beforeEnd, QObject *parent = nullptr);
    ~Interruption() override;

private:
    void arrived();

    std::function<void()> beforeEnd;
    QSocketNotifier *notifier = nullptr;
};
