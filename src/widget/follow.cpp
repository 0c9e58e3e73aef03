// Following the device: a changed baud rate or address is verified where the device now listens
// (the link session reads it back), and a lost adapter is waited for and linked again when it
// comes back.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "widget/polltarget.h"

#include <QMessageBox>

// The device took the write: at the new rate, the window's record follows it.
void Widget::FollowChange(const SettingChange &change)
{
    if (change.kind == SettingChange::BaudRate) {
        CommState.baudRate = change.value;
        answeredHere = false;
        ShowLinkState();
    }
}

// How the read-back after a change came out: in the link state, until the state changes, and in
// the view. The polls follow the unit where it answered: at its new address, or where it answered
// while it reports another; where it did not answer at all, they stay where they were.
void Widget::ShowVerification(const Verification &result)
{
    const bool address = result.change.kind == SettingChange::Address;
    const bool answered =
        result.outcome == Verification::Verified || result.outcome == Verification::OtherValue;
    if (answered) {
        StoreDecoded(result.reply);
        ShowDecoded(result.reply);
        if (address) // where the unit answered, which PollTarget has moved the polls to
            form->lineEditAddress->setText(QString::number(pollTarget->address()));
    }
    const QString note = !result.verified() ? tr("not verified: %1").arg(result.reason())
                         : address          ? tr("address %1, verified").arg(result.change.value)
                                            : tr("now at %1, verified").arg(result.change.value);
    LogNote(note);
    SetLinkNote(note);
    if (result.verified())
        return;
    if (result.outcome == Verification::NoAnswer)
        showError(address ? tr("The device did not answer at address %1 after the change.")
                                .arg(result.change.value)
                          : tr("The device did not answer at %1 after the change. Use Link with "
                               "AUTO to find it.")
                                .arg(result.change.value));
    else
        showError(tr("The change is not verified: %1.").arg(result.reason()));
}

// The unit is back after a lost port, or did not answer: polling resumes either way.
void Widget::ReconnectEnded(const LinkOutcome &outcome)
{
    if (outcome.answered())
        AcceptReply(outcome);
    AnswerAfterLoss();
}

// The device information after a lost port came back, or did not: polling resumes.
void Widget::AnswerAfterLoss()
{
    follower->resumePolls();
}

void Widget::AdapterBack()
{
    if (lossBox) // the box about the loss is out of date
        lossBox->accept();
    SetLinkNote(QString());
    LogNote(tr("%1 is back").arg(CommState.portName));
    SendDeviceInfoRead(quint8(pollTarget->address()),
                       [this](const LinkOutcome &outcome) { ReconnectEnded(outcome); });
}

void Widget::AdapterGone()
{
    const int minutes = follower->reconnectLimitMinutes();
    SetLinkNote(tr("the adapter did not come back"));
    LogNote(
        tr("%1 did not come back within %n minute(s)", nullptr, minutes).arg(CommState.portName));
    showError(tr("The adapter did not come back within %n minute(s). Use Link once it is "
                 "plugged in again.",
                 nullptr, minutes));
}
