// The command set: the requests of the Device group, Read/Stop and the periodic read.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QTimer>

namespace {
// The "Magnification:" item at index 0 reads the second block (see ShowDeviceType).
constexpr int SecondBlockItem = 0;
enum MeasurementItem { AllItem = 0, TemperatureItem, HumidityItem, DewPointItem, StatusItem };
} // namespace

namespace {
// The registers a periodic read asks for, as the "Magnification:" and measurement items choose.
struct RegisterRange
{
    quint16 start;
    quint16 count;
};
RegisterRange pollRegisters(int registerItem, int measurementItem)
{
    const quint16 block = registerItem == SecondBlockItem ? Reg::SecondBlock : 0;
    const bool single = measurementItem >= TemperatureItem && measurementItem <= StatusItem;
    if (!single)
        return {block, Reg::BlockSize};
    return {quint16(block + measurementItem - TemperatureItem), 1};
}

QString registerText(int address)
{
    return QStringLiteral("0x%1").arg(address, 4, 16, QLatin1Char('0'));
}

// The text of an address field as a slave address: 1 to 247, or 0 for anything else.
quint16 slaveAddressOf(const QString &text)
{
    const int address = text.toInt();
    const bool valid = address >= Modbus::MinSlaveAddress && address <= Modbus::MaxSlaveAddress;
    return valid ? quint16(address) : 0;
}
} // namespace

quint16 Widget::GetDeviceAddress() const
{
    return slaveAddressOf(form->lineEditAddress->text());
}

// The field's address becomes the polls' when its editing finishes (Return, or the focus leaves
// it) or when the tool sets it. An address that is not one (a text, 300) changes nothing: Setting
// and Read say what is wrong with it.
void Widget::CommitAddress()
{
    const QString text = form->lineEditAddress->text();
    if (text.isEmpty() || slaveAddressOf(text) != 0)
        committedAddress = text;
}

quint16 Widget::PollAddress() const
{
    return slaveAddressOf(committedAddress);
}

// Polling ends: the readings on screen are no longer current.
void Widget::StopPolling()
{
    if (!IsPeriodicReadOn())
        return;
    form->pushButtonRead->setText(tr("Read"));
    timerRead->stop();
    BreakTrend();
    GreyReadings();
}

// A one-off request goes out now, or once the line is free.
void Widget::SendOneOffRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 value,
                               RequestKind kind)
{
    // The address write leaves bytes already received where they are.
    link->submit({ModbusFrame::buildRequest(slave, function, startRegister, value), kind,
                  kind == AddressWriteRequest});
}

void Widget::ReadRegisterOrder(quint16 startRegister, quint16 count)
{
    SendOneOffRequest(quint8(GetDeviceAddress()), Modbus::ReadHoldingRegisters, startRegister,
                      count, OneOffRequest);
}

void Widget::WriteRegisterOrder(quint16 startRegister, quint16 value)
{
    SendOneOffRequest(quint8(GetDeviceAddress()), Modbus::WriteSingleRegister, startRegister, value,
                      OneOffRequest);
}

void Widget::PushButtonAddressReadSlot()
{
    SendOneOffRequest(Modbus::BroadcastAddress, Modbus::ReadHoldingRegisters, Reg::Address, 1,
                      OneOffRequest);
}

void Widget::PushButtonAddressSlot()
{
    const QString text = form->lineEditAddress->text();
    if (text.isEmpty()) {
        showError(tr("The address is empty!"));
        return;
    }
    const int address = text.toInt();
    if (address < Modbus::MinSlaveAddress || address > Modbus::MaxSlaveAddress) {
        showError(tr("The address is between 1 and 247!"));
        return;
    }
    if (!ConfirmAddressWrite())
        return;
    SendOneOffRequest(Modbus::BroadcastAddress, Modbus::WriteSingleRegister, Reg::Address,
                      quint16(address), AddressWriteRequest);
}

// The address write goes to slave 0, which every device on the line takes as its own: each would
// get the new address. The technician confirms it, until they say not to ask again.
bool Widget::ConfirmAddressWrite()
{
    if (!askBeforeAddressWrite)
        return true;
    QMessageBox box(QMessageBox::Question, tr("Address"),
                    tr("The new address is sent to every device on the line. Connect only one "
                       "transmitter. Continue?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setCheckBox(new QCheckBox(tr("Don't ask again this session"), &box));
    const bool yes = box.exec() == QMessageBox::Yes;
    if (box.checkBox()->isChecked())
        askBeforeAddressWrite = false;
    return yes;
}

void Widget::PushButtonBaudRateSlot()
{
    WriteRegisterOrder(Reg::BaudCode, quint16(form->comboBoxBaudRate->currentIndex() + 1));
}

void Widget::PushButtonTypeReadSlot()
{
    ReadRegisterOrder(Reg::DeviceType, 1);
}

void Widget::PushButtonTypeSettingSlot()
{
    WriteRegisterOrder(Reg::DeviceType, quint16(form->comboBoxDeviceType->currentIndex()));
}

void Widget::PushButtonSensorTypeReadSlot()
{
    ReadRegisterOrder(Reg::SensorType, 1);
}

void Widget::PushButtonSensorTypeSettingSlot()
{
    WriteRegisterOrder(Reg::SensorType, quint16(form->comboBoxSensorType->currentIndex()));
}

void Widget::PushButtonReadSNSlot()
{
    ReadRegisterOrder(Reg::SerialNumber, Reg::SerialNumberCount);
}

int Widget::NormalisedPeriod()
{
    int period = form->lineEditPeriod->text().toInt();
    if (period < Timing::MinPeriodMs) {
        period = Timing::MinPeriodMs;
        form->lineEditPeriod->setText(QString::number(period));
    }
    return period;
}

bool Widget::IsPeriodicReadOn() const
{
    return form->pushButtonRead->text() != tr("Read");
}

void Widget::PushButtonReadSlot()
{
    const int period = NormalisedPeriod();
    if (!IsPeriodicReadOn()) {
        form->pushButtonRead->setText(tr("Stop"));
        timerRead->start(period);
    } else {
        StopPolling();
    }
}

void Widget::ReadHumitureOrder()
{
    const int period = NormalisedPeriod();
    if (!IsPeriodicReadOn())
        return;
    timerRead->start(period);
    if (follower->pollsPaused()) // the port is lost, or the device not yet heard again
        return;
    if (committedAddress.isEmpty()) {
        StopPolling();
        showError(tr("The address is empty!"));
        return;
    }
    const RegisterRange range =
        pollRegisters(form->comboBoxRegister->currentIndex(), form->comboBoxNum->currentIndex());
    CommState.deviceAddress = PollAddress();
    // While a request is outstanding this tick sends nothing; the line sends it when it frees.
    link->poll({ModbusFrame::buildRequest(quint8(CommState.deviceAddress),
                                          Modbus::ReadHoldingRegisters, range.start, range.count),
                PollRequest});
}

// The Read button's tooltip names the registers its periodic read asks for.
void Widget::ShowPollRegisters()
{
    const RegisterRange range =
        pollRegisters(form->comboBoxRegister->currentIndex(), form->comboBoxNum->currentIndex());
    const QString first = registerText(range.start);
    form->pushButtonRead->setToolTip(
        range.count == 1
            ? tr("Reads register %1 (function 03) every period; press again to stop").arg(first)
            : tr("Reads registers %1 to %2 (function 03) every period; press again to stop")
                  .arg(first, registerText(range.start + range.count - 1)));
}

// The bookkeeping of every request, whether or not it reached the wire.
void Widget::StartRequest(const LinkSession::Request &request)
{
    requestRegister = ModbusFrame::startRegisterOf(request.frame);
    CommState.responseReceived = 0;
    if (!request.keepsReceived)
        CommState.rxBuffer.clear();
    // The next periodic read comes one second after a one-off request.
    if (request.kind != PollRequest)
        timerRead->start(Timing::OneOffReadDelayMs);
}

void Widget::OnWritten(const LinkSession::Request &request)
{
    StartRequest(request);
    AppendMessage(ModbusFrame::hexText(request.frame), false);
}

// A frame that did not reach the port is logged as not sent and kept out of the capture file. A
// closed port is said in the session's words; a write that failed on an open port comes with the
// system's text, told as a lost port's cause is.
void Widget::OnNotSent(const LinkSession::Request &request, const QString &reason)
{
    StartRequest(request);
    const QString cause =
        serialPort->isOpen()
            ? PortFailure{lossKind(serialPort->error(), deviceExists(CommState.portName)), reason}
                  .text()
            : reason;
    LogLine(MessageView::Kind::NotSent, ModbusFrame::hexText(request.frame),
            tr("(not sent: %1)").arg(cause));
}

// The session drops unfinished bytes after the same silence; this only keeps the window's own
// record of the receive buffer.
void Widget::TimerClearSlot()
{
    timerClear->stop();
    CommState.rxBuffer.clear();
}

void Widget::TimerDelaySlot()
{
    timerDelay->stop();
}
