// The link: the Link button, port opening and the automatic baud search.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/serialportsettingdialog.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QTimer>

// The link stays as it is while the dialog is open (its own port is listed as free), and after
// Cancel. A search under way ends: Cancel then leaves the tool not linked, never at a rate where
// nothing answered.
void Widget::PushButtonLinkSlot()
{
    const bool wasSearching = searching;
    const CurrentLink current = LinkToOffer();
    if (searching)
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
    link->close();
    link->forgetUnit();
    GreyReadings();
    searchFailed = false;
    heardDuringSearch.clear();
    otherUnitNote.clear();
    link->resetStatistics();
    staleSince = QTime();
    follower->setNote(QString());
    searching = CommState.baudRate == 0;
    searchAtSlave0 = false;
    if (CommState.baudRate != 0)
        OpenSerialPort();
    else
        AUTOUartInit();
    ShowLinkState();
}

// The link as the Link dialog offers it: the port the tool holds, and the rate where the tool has
// put it (not a search's candidate, nor the last rate of a search that found nothing); or the
// port and rate the tool waits for after a loss.
CurrentLink Widget::LinkToOffer() const
{
    CurrentLink current;
    current.held = serialPort->isOpen();
    const bool linked = (current.held && !searching && !searchFailed) || follower->isWaiting();
    if (current.held || linked)
        current.portName = CommState.portName;
    if (linked)
        current.baudRate = CommState.baudRate;
    return current;
}

void Widget::EndSearch()
{
    timerAuto->stop();
    searching = false;
    searchAtSlave0 = false;
    ShowLinkState();
}

// One step of the search, run at Link and then every 500 ms: keep the rate whose
// device-information read was answered, or apply the next candidate.
void Widget::AUTOUartInit()
{
    // A candidate whose answer is still arriving gets the time it takes.
    if (CommState.autoBaudIndex != 0 && link->isBusy())
        return;
    if (CommState.autoBaudIndex != 0 && CommState.responseReceived == 1) {
        form->comboBoxBaudRate->setCurrentText(QString::number(CommState.baudRate));
        EndSearch();
        return;
    }
    if (CommState.autoBaudIndex == 0)
        CommState.responseReceived = 0;
    if (CommState.autoBaudIndex >= CommState.autoBaudCount && !searchAtSlave0 &&
        GetDeviceAddress() != Modbus::BroadcastAddress) {
        // These devices always answer at slave 0. The address in the field may be the last
        // unit's: once it got no answer at any rate, the search runs again at slave 0.
        LogNote(tr("no answer from slave %1 at any rate; searching again at slave 0")
                    .arg(GetDeviceAddress()));
        searchAtSlave0 = true;
        CommState.autoBaudIndex = 0;
    }
    if (CommState.autoBaudIndex >= CommState.autoBaudCount) {
        FailSearch();
        return;
    }
    CommState.baudRate = CommState.baudCandidates[CommState.autoBaudIndex];
    ++CommState.autoBaudIndex;
    timerAuto->stop(); // no further step while an open failure is being reported
    // The port may be lost while it is being opened, which ends the search.
    if (OpenSerialPort() && searching)
        timerAuto->start(Timing::AutoBaudStepMs);
    else
        searching = false;
    ShowLinkState();
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
        if (searching)
            EndSearch();
        if (CommState.portName.isEmpty())
            showError(tr("No serial port was chosen."));
        else
            showError(
                tr("Cannot open the serial port %1: %2").arg(CommState.portName, failure.text()));
        return false;
    }
    SendDeviceInfoRead(OneOffRequest);
    return true;
}

// Every opening starts a new exchange: the device-information read goes first.
void Widget::SendDeviceInfoRead(RequestKind kind)
{
    const quint16 address = kind == ReconnectRequest ? PollAddress() : GetDeviceAddress();
    const quint8 slave = searchAtSlave0 ? Modbus::BroadcastAddress : quint8(address);
    link->submit({ModbusFrame::buildRequest(slave, Modbus::ReadHoldingRegisters, Reg::Address,
                                            Reg::DeviceInfoCount),
                  kind},
                 LinkSession::First);
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

// Something came back at the candidate rate, but no answer: said if the search fails.
void Widget::NoteHeardDuringSearch(const QString &what)
{
    if (!searching)
        return;
    const QString heard = tr("at %1: %2").arg(CommState.baudRate).arg(what);
    if (!heardDuringSearch.contains(heard))
        heardDuringSearch << heard;
}

// The port is gone: the search stops, the loss is logged, the tool waits for the adapter to come
// back, and the user is told once (the box closes itself when the adapter is back).
void Widget::LosePort(const PortFailure &failure)
{
    const bool wasSearching = searching;
    EndSearch();
    answeredHere = false;
    CommState.rxBuffer.clear();
    LogNote(tr("%1 lost: %2").arg(CommState.portName, failure.text()));
    BreakTrend();
    GreyReadings();
    // A rate still being searched is nothing to come back to.
    if (!wasSearching && !CommState.portName.isEmpty() && CommState.baudRate != 0) {
        follower->startWaiting(CommState.portName, CommState.baudRate);
        follower->setNote(tr("waiting for the adapter to come back"));
    }
    ShowLinkState();
    showError(tr("USB device error, please reconnect USB device!"), &lossBox);
}

// Whether the tool is linked, to which port and at which rate: "linked" only once the device has
// answered there.
void Widget::ShowLinkState()
{
    const QString state = LinkStateText();
    form->labelLinkState->setText(state);
}

QString Widget::LinkStateText() const
{
    if (searching)
        return searchAtSlave0 ? tr("searching %1 at slave 0…").arg(CommState.baudRate)
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
    return answeredHere ? tr("%1 at %2, linked").arg(where).arg(rate)
                        : tr("%1 at %2, no answer").arg(where).arg(rate);
}
