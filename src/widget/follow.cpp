// Following the device: a changed baud rate or address is verified where the device now listens,
// and a lost adapter is waited for and linked again when it comes back.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

#include <QTimer>

namespace {
constexpr int ReconnectIntervalMs = 1000;

quint16 valueWritten(const QByteArray &request)
{
    return quint16(quint8(request.at(4)) << 8 | quint8(request.at(5)));
}
} // namespace

void Widget::FollowAnswer(const RequestLine::Request &request, const QByteArray &reply)
{
    if (ModbusReply::isException(reply))
        return; // the device refused: nothing changed
    const quint16 value = valueWritten(request.frame);
    switch (request.kind) {
    case BaudWriteRequest:
        // The device listens at the new rate once its echo is out: follow it there (after this
        // reply has been handled, not from inside the port's own signal).
        QTimer::singleShot(0, this,
                           [this, rate = Modbus::baudRateOfCode(value)] { FollowBaudRate(rate); });
        break;
    case AddressWriteRequest:
        SendOneOffRequest(quint8(value), Modbus::ReadHoldingRegisters, Reg::Address, 1,
                          VerifyAddressRequest);
        break;
    case VerifyBaudRequest:
        linkNote = tr("now at %1, verified").arg(CommState.baudRate);
        ShowStatistics();
        break;
    case VerifyAddressRequest:
        linkNote = tr("address %1, verified").arg(quint8(request.frame.at(0)));
        ShowStatistics();
        break;
    case ReconnectRequest:
        pollsPaused = false;
        break;
    default:
        break;
    }
}

void Widget::FollowTimeout(const RequestLine::Request &request)
{
    switch (request.kind) {
    case VerifyBaudRequest:
        showError(tr("The device did not answer at %1 after the change. Use Link with AUTO to "
                     "find it.")
                      .arg(CommState.baudRate));
        break;
    case VerifyAddressRequest:
        showError(tr("The device did not answer at address %1 after the change.")
                      .arg(quint8(request.frame.at(0))));
        break;
    case ReconnectRequest:
        pollsPaused = false; // the port is back; a silent device shows as stale readings
        break;
    default:
        break;
    }
}

void Widget::FollowBaudRate(int baudRate)
{
    if (baudRate == 0 || !serialPort->isOpen())
        return;
    CommState.baudRate = baudRate;
    OpenSerialPort(VerifyBaudRequest);
}

// The port name and rate stay; every second the port is tried again, for ten minutes at most.
void Widget::StartReconnecting()
{
    if (CommState.portName.isEmpty() || CommState.baudRate == 0)
        return;
    pollsPaused = true;
    reconnectingFor.start();
    timerReconnect->start(ReconnectIntervalMs);
    ShowLinkState();
    linkNote = tr("waiting for the adapter to come back");
    ShowStatistics();
}

void Widget::StopReconnecting()
{
    timerReconnect->stop();
    pollsPaused = false;
    ShowLinkState();
}

void Widget::TryReconnect()
{
    if (reconnectingFor.elapsed() >= reconnectLimitMs) {
        StopReconnecting();
        const int minutes = (reconnectLimitMs + 59999) / 60000;
        linkNote = tr("the adapter did not come back");
        ShowStatistics();
        LogNote(tr("%1 did not come back within %n minute(s)", nullptr, minutes)
                    .arg(CommState.portName));
        showError(tr("The adapter did not come back within %n minute(s). Use Link once it is "
                     "plugged in again.",
                     nullptr, minutes));
        return;
    }
    if (!OpenConfiguredPort().isEmpty())
        return; // not back yet
    timerReconnect->stop();
    linkNote.clear();
    ShowStatistics();
    LogNote(tr("%1 is back").arg(CommState.portName));
    SendDeviceInfoRead(ReconnectRequest);
}
