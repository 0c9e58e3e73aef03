// The link: the Link button, port opening and the automatic baud search.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/serialportsettingdialog.h"
#include "forms/widgetform.h"
#include "protocol/modbusframe.h"
#include "protocol/protocol.h"

#include <QTimer>

void Widget::PushButtonLinkSlot()
{
    serialPort->close();
    SerialportSettingDialog dialog;
    if (dialog.exec() != QDialog::Accepted)
        return;
    line->resetStatistics();
    staleSince = QTime();
    if (CommState.baudRate != 0)
        OpenSerialPort();
    else
        AUTOUartInit();
}

// One step of the search, run at Link and then every 500 ms: keep the rate whose
// device-information read was answered, or apply the next candidate.
void Widget::AUTOUartInit()
{
    if (CommState.autoBaudIndex != 0 && CommState.responseReceived == 1) {
        form->comboBoxBaudRate->setCurrentText(QString::number(CommState.baudRate));
        timerAuto->stop();
        return;
    }
    if (CommState.autoBaudIndex == 0)
        CommState.responseReceived = 0;
    if (CommState.autoBaudIndex >= CommState.autoBaudCount) {
        timerAuto->stop();
        showError(tr("Communication error!"));
        return;
    }
    CommState.baudRate = CommState.baudCandidates[CommState.autoBaudIndex];
    ++CommState.autoBaudIndex;
    timerAuto->stop(); // no further step while an open failure is being reported
    if (OpenSerialPort())
        timerAuto->start(Timing::AutoBaudStepMs);
}

bool Widget::OpenSerialPort()
{
    serialPort->close();
    serialPort->setPortName(CommState.portName);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        QString reason = serialPort->errorString();
        if (serialPort->error() == QSerialPort::PermissionError)
            reason += QStringLiteral("\n") +
                      tr("Your account needs access to the serial device (on Linux, membership "
                         "of the dialout group).");
        if (CommState.portName.isEmpty())
            showError(tr("No serial port was chosen."));
        else
            showError(tr("Cannot open the serial port %1: %2").arg(CommState.portName, reason));
        return false;
    }
    serialPort->setBaudRate(CommState.baudRate, QSerialPort::AllDirections);
    // The transmitters talk 8N1; the dialog's data bits, parity and stop bits are recorded only.
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::NoFlowControl);
    CommState.rxBuffer.clear();
    // A new opening starts a new exchange: the device-information read goes first.
    line->abandon();
    line->setBaudRate(CommState.baudRate);
    line->submit(
        {ModbusFrame::buildRequest(quint8(GetDeviceAddress()), Modbus::ReadHoldingRegisters,
                                   Reg::Address, Reg::DeviceInfoCount),
         OneOffRequest},
        RequestLine::First);
    return true;
}

// An unplugged adapter surfaces as an error on the open port, sometimes only as a ReadError
// repeated for ever: any error ends the link, and the user is told once.
void Widget::handlePortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || !serialPort->isOpen())
        return;
    serialPort->close();
    CommState.rxBuffer.clear();
    showError(tr("USB device error, please reconnect USB device!"));
}
