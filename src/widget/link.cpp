// The link: the Link button, port opening and the automatic baud search.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/serialportsettingdialog.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"
#include "view/linewindow.h"
#include "widget/polltarget.h"

#include <QTime>
#include <QTimer>

// The link stays as it is while the dialog is open (its own port is listed as free), and after
// Cancel. A search under way ends: Cancel then leaves the tool not linked, never at a rate where
// nothing answered. A new link starts clean: nothing of the previous unit stays on screen.
void Widget::PushButtonLinkSlot()
{
    const bool wasSearching = search->isRunning();
    const CurrentLink current = LinkToOffer();
    if (wasSearching)
        EndSearch();
    SerialportSettingDialog dialog(nullptr, current);
    if (dialog.exec() != QDialog::Accepted) {
        if (wasSearching) {
            StopPolling();
            link->close();
            ShowLinkState();
        }
        return;
    }
    follower->stopWaiting();
    lineWindow->linkChanged();
    link->close();
    link->forgetUnits();
    pollTarget->clear();
    ClearDeviceGroup();
    searchFailed = false;
    heardDuringSearch.clear();
    otherUnitNote.clear();
    SetLinkNote(QString());
    link->resetStatistics();
    if (CommState.baudRate != 0) {
        pollTarget->enter(GetDeviceAddress()); // nothing heard yet: the polls go there
        OpenSerialPort();
    } else {
        StartSearch();
    }
    ShowLinkState();
}

// The link as the Link dialog offers it: the port the tool holds, and the rate where the tool has
// put it (not a search's candidate, nor the last rate of a search that found nothing); or the
// port and rate the tool waits for after a loss.
CurrentLink Widget::LinkToOffer() const
{
    CurrentLink current;
    current.held = serialPort->isOpen();
    const bool searching = search->isRunning();
    const bool linked = (current.held && !searching && !searchFailed) || follower->isWaiting();
    if (current.held || linked)
        current.portName = CommState.portName;
    if (linked)
        current.baudRate = CommState.baudRate;
    return current;
}

// "AUTO": the device information is asked at each candidate rate in turn, from the field's
// address; a field that is not slave 0 gets a second run at slave 0, which every unit answers,
// for the address there may be the last unit's.
void Widget::StartSearch()
{
    CommState.autoBaudIndex = 0;
    CommState.responseReceived = 0;
    RateSearch::Plan plan;
    const int field = GetDeviceAddress();
    plan.passes << QList<int>{field};
    if (field != Modbus::BroadcastAddress)
        plan.passes << QList<int>{Modbus::BroadcastAddress};
    for (int i = 0; i < CommState.autoBaudCount; ++i)
        plan.rates << CommState.baudCandidates[i];
    search->start(plan);
    if (search->isRunning())
        timerAuto->start(Timing::AutoBaudStepMs);
}

// One step of the search, every 500 ms: the candidate's answer ends it, otherwise the next
// candidate rate is applied. A candidate whose answer is still arriving gets the time it takes.
void Widget::AUTOUartInit()
{
    if (!search->isRunning()) {
        timerAuto->stop();
        return;
    }
    if (search->candidateEnded())
        search->advance();
}

// A candidate rate: the port opened anew at it, as the search goes.
bool Widget::ApplySearchRate(int baudRate)
{
    CommState.baudRate = baudRate;
    ++CommState.autoBaudIndex;
    timerAuto->stop(); // no further step while an open failure is being reported
    const PortFailure failure = OpenConfiguredPort();
    if (failure.failed()) {
        ReportOpenFailure(failure);
        return false;
    }
    timerAuto->start(Timing::AutoBaudStepMs);
    return true;
}

void Widget::SearchAsking(int baudRate, int slave, int pass)
{
    if (pass == 1 && slave == Modbus::BroadcastAddress && baudRate == CommState.baudCandidates[0]) {
        // These devices always answer at slave 0: the address in the field may be the last
        // unit's, and it got no answer at any rate.
        CommState.autoBaudIndex = 1;
        LogNote(tr("no answer from slave %1 at any rate; searching again at slave 0")
                    .arg(GetDeviceAddress()));
    }
    ShowLinkState();
}

void Widget::SearchFinished(const LinkOutcome &last)
{
    timerAuto->stop();
    if (last.result == LinkOutcome::Lost || !link->isOpen()) {
        ShowLinkState();
        return; // the loss is told where the port is lost
    }
    if (!last.answered()) {
        for (const HeardInstead &heard : search->heard())
            heardDuringSearch << tr("at %1: %2").arg(heard.baudRate).arg(HeardText(heard));
        FailSearch();
        return;
    }
    form->comboBoxBaudRate->setCurrentText(QString::number(CommState.baudRate));
    AcceptReply(last);
    EndSearch();
}

void Widget::EndSearch()
{
    timerAuto->stop();
    search->stop();
    ShowLinkState();
}

QString Widget::HeardText(const HeardInstead &heard) const
{
    switch (heard.kind) {
    case HeardInstead::Late:
        return tr("a late reply");
    case HeardInstead::OtherSlave:
        return tr("a reply from slave %1").arg(heard.slave);
    case HeardInstead::Garbled:
        break;
    }
    switch (heard.reason) {
    case LinkDropReason::BadCrc:
        return tr("a garbled reply (bad CRC)");
    case LinkDropReason::ExtraBytes:
        return tr("a garbled reply (extra bytes)");
    default:
        return tr("a garbled reply (incomplete)");
    }
}

// Opens the chosen port at CommState's rate, 8N1 without flow control (the transmitters talk 8N1;
// the dialog's data bits, parity and stop bits are recorded only); why it cannot, if it cannot.
PortFailure Widget::OpenConfiguredPort()
{
    const PortFailure failure = link->open(CommState.portName, CommState.baudRate);
    answeredHere = false;
    if (!failure.failed())
        CommState.rxBuffer.clear();
    ShowLinkState();
    return failure;
}

bool Widget::OpenSerialPort()
{
    const PortFailure failure = OpenConfiguredPort();
    if (failure.failed()) {
        ReportOpenFailure(failure);
        return false;
    }
    SendDeviceInfoRead(quint8(GetDeviceAddress()), [this](const LinkOutcome &outcome) {
        if (outcome.answered())
            AcceptReply(outcome);
    });
    return true;
}

// A port that cannot be opened ends a search, stops the polls and says why, once.
void Widget::ReportOpenFailure(const PortFailure &failure)
{
    if (search->isRunning())
        EndSearch();
    StopPolling();
    if (CommState.portName.isEmpty())
        showError(tr("No serial port was chosen."));
    else
        showError(tr("Cannot open the serial port %1: %2").arg(CommState.portName, failure.text()));
}

// Every opening starts a new exchange: the device-information read goes first.
void Widget::SendDeviceInfoRead(quint8 slave, std::function<void(const LinkOutcome &)> then)
{
    LinkRequest request;
    request.frame = DeviceInfo::request(slave);
    request.done = std::move(then);
    link->submit(request, LinkSession::First);
}

// No candidate answered: polling stops, and the link state names what came back at the rates
// where something did.
void Widget::FailSearch()
{
    EndSearch();
    searchFailed = true;
    StopPolling();
    GreyReadings();
    ShowLinkState();
    if (!heardDuringSearch.isEmpty())
        LogNote(LinkStateText());
    showError(tr("Communication error!"));
}

// The port is gone: the search stops, the loss is logged, the tool waits for the adapter to come
// back, and the user is told once (the box closes itself when the adapter is back).
void Widget::LosePort(const PortFailure &failure)
{
    const bool wasSearching = search->isRunning();
    EndSearch();
    answeredHere = false;
    CommState.rxBuffer.clear();
    LogNote(tr("%1 lost: %2").arg(CommState.portName, failure.text()));
    BreakTrend();
    GreyReadings();
    // A rate still being searched is nothing to come back to.
    if (!wasSearching && !CommState.portName.isEmpty() && CommState.baudRate != 0) {
        follower->startWaiting(CommState.portName, CommState.baudRate);
        SetLinkNote(tr("waiting for the adapter to come back"));
    }
    ShowLinkState();
    showError(tr("USB device error, please reconnect USB device!"), &lossBox);
}

// Whether the tool is linked, to which port and at which rate: "linked" only while the unit
// answers there. The result of the last change, or what the tool waits for, follows it until the
// state changes.
void Widget::ShowLinkState()
{
    const QString state = LinkStateText();
    if (state != shownLinkState)
        follower->setNote(QString()); // a note belongs to the state it was given in
    shownLinkState = state;
    const QString note = follower->note();
    form->labelLinkState->setText(
        note.isEmpty() ? state : tr("%1; %2", "link state; its note").arg(state, note));
}

void Widget::SetLinkNote(const QString &note)
{
    shownLinkState = LinkStateText(); // the note is for the state as it is now
    follower->setNote(note);
    ShowLinkState();
}

QString Widget::LinkStateText() const
{
    if (search->isRunning())
        return search->pass() > 0 ? tr("searching %1 at slave 0…").arg(CommState.baudRate)
                                  : tr("searching %1…").arg(CommState.baudRate);
    if (follower->isWaiting())
        return tr("port lost");
    if (!serialPort->isOpen())
        return tr("not linked");
    if (searchFailed && heardDuringSearch.isEmpty())
        return tr("%1: no answer at any rate").arg(CommState.portName);
    if (searchFailed)
        return tr("%1: no valid answer at any rate; %2")
            .arg(CommState.portName, heardDuringSearch.join(tr("; ", "between the rates")));
    if (!otherUnitNote.isEmpty())
        return otherUnitNote;
    const QString where = CommState.portName;
    const int rate = serialPort->baudRate();
    if (const std::optional<qint64> since = link->lineWatch().silentSinceMs()) {
        const QTime wall = QTime::currentTime().addMSecs(int(*since - link->nowMs()));
        return tr("%1 at %2, no answer since %3")
            .arg(where)
            .arg(rate)
            .arg(wall.toString(QStringLiteral("hh:mm:ss")));
    }
    return answeredHere ? tr("%1 at %2, linked").arg(where).arg(rate)
                        : tr("%1 at %2, no answer").arg(where).arg(rate);
}
