#include "mqttqueue.h"

#include <algorithm>
#include <utility>

bool MqttQueue::push(MqttMessage message)
{
    // A message may wait for hours among a hundred thousand: it keeps no spare room, and its
    // topic, which a few hundred messages share, is kept once.
    message.payload.squeeze();
    const auto known = topics.constFind(message.topic);
    if (known != topics.cend())
        message.topic = *known;
    else
        topics.insert(message.topic);
    entries.push_back({std::move(message), 0});
    if (int(entries.size()) <= bound)
        return false;
    if (handed > 0)
        --handed; // its acknowledgement, if it comes, finds nothing
    entries.pop_front();
    ++droppedCount;
    return true;
}

const MqttMessage *MqttQueue::nextUnsent() const
{
    return handed < int(entries.size()) ? &entries[size_t(handed)].message : nullptr;
}

void MqttQueue::sent(int messageId)
{
    entries[size_t(handed++)].messageId = messageId;
}

bool MqttQueue::acknowledge(int messageId)
{
    const auto end = entries.begin() + handed;
    const auto found = std::find_if(
        entries.begin(), end, [messageId](const Entry &e) { return e.messageId == messageId; });
    if (found == end)
        return false;
    entries.erase(found);
    --handed;
    return true;
}

void MqttQueue::resendAll()
{
    for (int i = 0; i < handed; ++i)
        entries[size_t(i)].messageId = 0;
    handed = 0;
}
