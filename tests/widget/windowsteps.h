#pragma once

// Steps the window's tests take again and again beside the bench: a transmitter set up or
// misbehaving in one way, the adapter pulled out, the Link dialog looked at and cancelled, more
// replies waited for, polling stopped with its last reply in, a check box ticked.

#include "testsupport.h"

#include <QCheckBox>

namespace TestSupport {

// A record with one field set: with(&Faults::corruptCrc, true), with(&DeviceSettings::address, 3).
template <typename Record, typename Field, typename Value>
Record with(Field Record::*field, Value value)
{
    Record record;
    record.*field = Field(value);
    return record;
}

// What the window says when the adapter is pulled out.
inline const QString AdapterLost = "Error/USB device error, please reconnect USB device!";

// Pulls the bench's adapter out; the box the window shows.
inline QString unplug(Bench &bench)
{
    bench.transmitter.unplug();
    return nextBox();
}

// Clicks Link and cancels the dialog; what it offered: "title rate|port".
inline QString offeredByLink(Widget &window)
{
    QString offered;
    onNextDialog([&offered](QDialog *dialog) {
        offered = dialog->windowTitle() + ' ' +
                  child<QComboBox>(dialog, "comboBoxBaud")->currentText() + '|' +
                  child<QComboBox>(dialog, "comboBoxName")->currentText();
        click(*dialog, "pushButtonCancel");
    });
    click(window, "pushButtonLink");
    return offered;
}

// Waits for this many more replies in the view.
inline bool repliesFollow(Widget &window, int count, int timeoutMs = 5000)
{
    const int before = frames(window, "RX").size();
    return QTest::qWaitFor([&] { return frames(window, "RX").size() >= before + count; },
                           timeoutMs);
}

// Stops polling and waits for the view to end with the last poll's reply.
inline bool stopPolling(Widget &window)
{
    click(window, "pushButtonRead");
    MessageView *log = view(window);
    return QTest::qWaitFor(
        [&] { return log->lineKind(log->lineCount() - 1) == MessageView::Kind::Received; });
}

inline void tick(Widget &window, const char *checkBox, bool on = true)
{
    child<QCheckBox>(&window, checkBox)->setChecked(on);
}

} // namespace TestSupport
