// The link: the Link button, port opening and the automatic baud search.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "comm/serialport.h"
#include "forms/serialportsettingdialog.h"
#include "forms/widgetform.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QTimer>

// The link stays as it is while the dialog is open (its own port is listed as free), and after
// Cancel; a search under way stops.
void Widget::PushButtonLinkSlot()
{
    if (searching)
        EndSearch();
    SerialportSettingDialog dialog(nullptr, serialPort->isOpen() ? CommState.portName : QString());
    if (dialog.exec() != QDialog::Accepted)
        return;
    StopReconnecting();
    serialPort->close();
    searchFailed = false;
    line->resetStatistics();
    staleSince = QTime();
    linkNote.clear();
    searching = CommState.baudRate == 0;
    searchAtSlave0 = false;
    if (CommState.baudRate != 0)
        OpenSerialPort();
    else
        AUTOUartInit();
    ShowLinkState();
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
        EndSearch();
        searchFailed = true;
        ShowLinkState();
        showError(tr("Communication error!"));
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
// the dialog's data bits, parity and stop bits are recorded only); the reason when it cannot.
QString Widget::OpenConfiguredPort()
{
    const QString failure =
        openTransmitterPort(*serialPort, CommState.portName, CommState.baudRate);
    if (!failure.isEmpty())
        return failure;
    CommState.rxBuffer.clear();
    ++portOpenings;
    ShowLinkState();
    return QString();
}

bool Widget::OpenSerialPort(RequestKind deviceInfoKind)
{
    const QString failure = OpenConfiguredPort();
    if (!failure.isEmpty()) {
        if (CommState.portName.isEmpty())
            showError(tr("No serial port was chosen."));
        else
            showError(tr("Cannot open the serial port %1: %2").arg(CommState.portName, failure));
        return false;
    }
    SendDeviceInfoRead(deviceInfoKind);
    return true;
}

// Every opening starts a new exchange: the device-information read goes first.
void Widget::SendDeviceInfoRead(RequestKind kind)
{
    line->abandon();
    line->setBaudRate(CommState.baudRate);
    const quint8 slave = searchAtSlave0 ? Modbus::BroadcastAddress : quint8(GetDeviceAddress());
    line->submit({ModbusFrame::buildRequest(slave, Modbus::ReadHoldingRegisters, Reg::Address,
                                            Reg::DeviceInfoCount),
                  kind},
                 RequestLine::First);
}

// An unplugged adapter surfaces as an error on the open port, sometimes only as a ReadError
// repeated for ever: any error ends the link. It is handled once the slot that met it is done,
// and only if the port has not been opened anew since: a dying port may report errors while it
// is being closed for a reopening.
void Widget::handlePortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !serialPort->isOpen())
        return;
    QTimer::singleShot(0, this, [this, reason = serialPort->errorString(), opening = portOpenings] {
        if (opening == portOpenings && serialPort->isOpen())
            LosePort(reason);
    });
}

// The port is gone: the search stops, the loss is logged, the tool waits for the adapter to come
// back, and the user is told once.
void Widget::LosePort(const QString &reason)
{
    const bool wasSearching = searching;
    EndSearch();
    serialPort->close();
    CommState.rxBuffer.clear();
    LogNote(tr("%1 lost: %2").arg(CommState.portName, reason));
    BreakTrend();
    if (!wasSearching) // a rate still being searched is nothing to come back to
        StartReconnecting();
    ShowLinkState();
    showError(tr("USB device error, please reconnect USB device!"));
}

// Whether the tool is linked, to which port and at which rate.
void Widget::ShowLinkState()
{
    QString state;
    if (searching)
        state = searchAtSlave0 ? tr("searching %1 at slave 0…").arg(CommState.baudRate)
                               : tr("searching %1…").arg(CommState.baudRate);
    else if (serialPort->isOpen() && searchFailed)
        state = tr("%1: no answer at any rate").arg(CommState.portName);
    else if (serialPort->isOpen())
        state = tr("%1 at %2, linked").arg(CommState.portName).arg(serialPort->baudRate());
    else if (timerReconnect->isActive())
        state = tr("port lost");
    else
        state = tr("not linked");
    form->labelLinkState->setText(state);
}
