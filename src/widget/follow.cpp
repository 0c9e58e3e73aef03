// Following the device: a changed baud rate or address is verified where the device now listens
// (the link session reads it back), and a lost adapter is waited for and linked again when it
// comes back.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"

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

void Widget::ShowVerification(const Verification &result)
{
    const bool address = result.change.kind == SettingChange::Address;
    if (result.outcome == Verification::Verified || result.outcome == Verification::OtherValue) {
        StoreDecoded(result.reply);
        ShowDecoded(result.reply);
    }
    if (result.verified()) {
        follower->setNote(address ? tr("address %1, verified").arg(result.change.value)
                                  : tr("now at %1, verified").arg(result.change.value));
        return;
    }
    follower->setNote(tr("not verified: %1").arg(result.reason()));
    if (result.outcome == Verification::NoAnswer)
        showError(address ? tr("The device did not answer at address %1 after the change.")
                                .arg(result.change.value)
                          : tr("The device did not answer at %1 after the change. Use Link with "
                               "AUTO to find it.")
                                .arg(result.change.value));
    else
        showError(tr("The change is not verified: %1.").arg(result.reason()));
}

// Nothing came back in time: said in the view, and a poll's readings turn stale.
void Widget::OnTimedOut(const LinkSession::Request &request, int timeoutMs)
{
    LogNote(tr("no reply within %1 ms").arg(timeoutMs));
    OnGarbled(request);
}

// The request got no answer that could be read.
void Widget::OnGarbled(const LinkSession::Request &request)
{
    if (request.kind == PollRequest) {
        MarkReadingsStale();
        BreakTrend();
    }
    if (request.kind == ReconnectRequest)
        AnswerAfterLoss(); // the port is back; a silent device shows as stale readings
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
    follower->setNote(QString());
    LogNote(tr("%1 is back").arg(CommState.portName));
    ShowLinkState();
    SendDeviceInfoRead(ReconnectRequest);
}

void Widget::AdapterGone()
{
    const int minutes = follower->reconnectLimitMinutes();
    ShowLinkState();
    follower->setNote(tr("the adapter did not come back"));
    LogNote(
        tr("%1 did not come back within %n minute(s)", nullptr, minutes).arg(CommState.portName));
    showError(tr("The adapter did not come back within %n minute(s). Use Link once it is "
                 "plugged in again.",
                 nullptr, minutes));
}
