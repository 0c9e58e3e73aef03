#pragma once

#include "link/linksession.h"

#include <QObject>

// Where the window's polls go: the unit last heard, until another address is known to answer.
//
// An address the technician enters (Return, or leaving the field) is tried first: its device
// information is asked, and the polls move there only once a unit answers. If none does, they stay
// on the unit they were on, and the window says so once. With no unit heard yet there is nothing
// to stay on, and the polls go to the entered address at once. The tool itself moves the polls
// where it has heard a unit (a search, an address read, a verified address write, a unit chosen
// in the Line window). So no poll goes to an address a write has not yet moved a unit to, however
// the field was left before Setting was pressed.
class PollTarget : public QObject
{
    Q_OBJECT

public:
    explicit PollTarget(LinkSession *session, QObject *parent = nullptr);

    int address() const { return current; } // 0: none yet
    // A unit was heard here: the polls go here at once.
    void set(int address);
    // The technician entered this address.
    void enter(int address);
    // An address write is under way: the address entered waits for its verification instead.
    void cancelTrial();
    // Writes the address (to slave 0, which the unit takes whatever its address): the polls
    // follow the unit once it has echoed the write and been read back, to where it answered the
    // read-back (the new address, or there while it reports another); where it did not answer,
    // they stay. `then` runs with how the write ended.
    void writeAddress(int address, std::function<void(const LinkOutcome &)> then);
    void clear();

signals:
    void moved(int address);
    // No unit answered at the address entered; the polls stay at `stays`.
    void noUnitAt(int address, int stays);
    // A unit answered at the address entered: its device information, before the polls move.
    void unitAnswered(const LinkOutcome &outcome);

private:
    bool unitHeardAt(int address) const;
    void tried(int address, const LinkOutcome &outcome);

    LinkSession *session;
    int current = 0;
    int trial = 0;
    int generation = 0;
    int saidNoUnitAt = 0; // said once per address entered
};
