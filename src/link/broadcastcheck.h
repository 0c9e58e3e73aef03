#pragma once

#include "link/linksession.h"

#include <QList>

#include <functional>

// Before an address write, which goes to slave 0 and which every unit of the line takes as its
// own: who would take it. Slave 0 is asked for the device information; a garbled answer means
// several units answered at once, and the roster knows who has answered on this line.
struct BroadcastCheck
{
    bool garbled = false;  // slave 0 got several answers at once
    bool answered = false; // one unit answered slave 0 cleanly
    QList<int> addresses;  // the units known to answer on this line, the one at slave 0 among them
    QStringList serials;   // their serial numbers, where known, in the same order
    LinkOutcome asked;     // how slave 0's read ended

    // The port went away meanwhile: nothing is to be written.
    bool portGone() const
    {
        return asked.result == LinkOutcome::Lost || asked.result == LinkOutcome::NotSent;
    }

    // More than one unit would take the address.
    bool several() const { return garbled || addresses.size() > 1; }
    // "12 (serial 123456789abc), 30 (serial 0000deadbeef)"
    QString names() const;
};

void checkBroadcastWrite(LinkSession *session, int retries,
                         std::function<void(const BroadcastCheck &)> done);
