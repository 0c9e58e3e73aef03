#pragma once

#include "mqttmessages.h"

#include <QSet>

#include <deque>

// The messages on their way to the broker, oldest first, kept in memory until the broker has
// acknowledged each (QoS 1's PUBACK): while it is unreachable they wait here, and a connection
// that ends before an acknowledgement came sends them again on the next, in the same order. The
// broker may so get a message twice; each carries its time. Past the bound the oldest are
// dropped and counted.
//
// The messages handed to the connection are always the oldest ones: a prefix of the queue, each
// with the message id libmosquitto gave it.
class MqttQueue
{
public:
    explicit MqttQueue(int bound) : bound(bound) {}

    // Adds the message; true when the oldest had to make room for it.
    bool push(MqttMessage message);
    // The oldest message not handed to the connection yet, or nullptr.
    const MqttMessage *nextUnsent() const;
    // That message went out with this id.
    void sent(int messageId);
    // The broker acknowledged the message with this id: it is done. False for an id not
    // handed out (a message dropped meanwhile).
    bool acknowledge(int messageId);
    // The connection ended: every message handed to it goes again, oldest first.
    void resendAll();

    int size() const { return int(entries.size()); }
    int inFlight() const { return handed; }
    bool isEmpty() const { return entries.empty(); }
    qint64 dropped() const { return droppedCount; }

private:
    struct Entry
    {
        MqttMessage message;
        int messageId = 0;
    };

    std::deque<Entry> entries;
    QSet<QByteArray> topics; // each topic once, shared by the messages on it
    int bound;
    int handed = 0;
    qint64 droppedCount = 0;
};
