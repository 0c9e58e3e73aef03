// The command set: the requests of the Device group, Read/Stop and the periodic read.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "widget/polltarget.h"

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

// An address entered (Return, or the field left) is where the technician wants the polls: they
// go there once a unit answers there (PollTarget). An emptied field stops the next poll, which
// says so. An address that is not one (a text, 300) changes nothing: Setting and Read say what is
// wrong with it.
void Widget::AddressEntered()
{
    const QString text = form->lineEditAddress->text();
    if (text.isEmpty())
        pollTarget->clear();
    else if (slaveAddressOf(text) != 0)
        pollTarget->enter(slaveAddressOf(text));
}

// Polling ends: the readings on screen are no longer current.
void Widget::StopPolling()
{
    if (!IsPeriodicReadOn())
        return;
    form->pushButtonRead->setText(tr("Read"));
    timerRead->stop();
    link->forgetOwedPoll();
    BreakTrend();
    GreyReadings();
}

// A one-off request goes out now, or once the line is free; the next periodic read comes a
// second after it.
void Widget::SendOneOffRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 value)
{
    LinkRequest request;
    request.frame = ModbusFrame::buildRequest(slave, function, startRegister, value);
    request.done = [this](const LinkOutcome &outcome) { OneOffEnded(outcome); };
    timerRead->start(Timing::OneOffReadDelayMs);
    link->submit(request);
}

void Widget::ReadRegisterOrder(quint16 startRegister, quint16 count)
{
    SendOneOffRequest(quint8(GetDeviceAddress()), Modbus::ReadHoldingRegisters, startRegister,
                      count);
}

void Widget::WriteRegisterOrder(quint16 startRegister, quint16 value)
{
    SendOneOffRequest(quint8(GetDeviceAddress()), Modbus::WriteSingleRegister, startRegister,
                      value);
}

void Widget::PushButtonAddressReadSlot()
{
    SendOneOffRequest(Modbus::BroadcastAddress, Modbus::ReadHoldingRegisters, Reg::Address, 1);
}

// The polls stay on the unit they are on until the write has been echoed and the unit read back
// at its new address. Before the write, slave 0 is asked who would take it.
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
    pollTarget->cancelTrial();
    checkBroadcastWrite(
        link, 0, [this, address](const BroadcastCheck &check) { WriteAddress(address, check); });
}

void Widget::WriteAddress(int address, const BroadcastCheck &check)
{
    if (check.portGone() || !ConfirmAddressWrite(address, check))
        return;
    timerRead->start(Timing::OneOffReadDelayMs);
    pollTarget->writeAddress(address, [this](const LinkOutcome &outcome) { OneOffEnded(outcome); });
}

// The address write goes to slave 0, which every device on the line takes as its own: each would
// get the new address. The technician confirms it, until they say not to ask again; when more
// than one unit is known or heard on the line, the question names them, every time.
bool Widget::ConfirmAddressWrite(int address, const BroadcastCheck &check)
{
    if (!askBeforeAddressWrite && !check.several())
        return true;
    QString text = tr("The new address is sent to every device on the line. Connect only one "
                      "transmitter. Continue?");
    if (check.several() && check.addresses.size() > 1)
        text = tr("%n units answer on this line: every one of them would take address %1 (%2). "
                  "Continue?",
                  nullptr, int(check.addresses.size()))
                   .arg(address)
                   .arg(check.names());
    else if (check.several())
        text = tr("Several units answer on this line at once: every one of them would take "
                  "address %1. Continue?")
                   .arg(address);
    QMessageBox box(QMessageBox::Question, tr("Address"), text, QMessageBox::Yes | QMessageBox::No,
                    this);
    if (!check.several())
        box.setCheckBox(new QCheckBox(tr("Don't ask again this session"), &box));
    const bool yes = box.exec() == QMessageBox::Yes;
    if (box.checkBox() && box.checkBox()->isChecked())
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
    // The port is lost, the device not yet heard again, or a search is looking for it.
    if (follower->pollsPaused() || search->isRunning())
        return;
    if (pollTarget->address() == 0 && !form->lineEditAddress->text().isEmpty())
        return; // no unit heard yet: the polls begin once one answers
    if (pollTarget->address() == 0) {
        StopPolling();
        showError(tr("The address is empty!"));
        return;
    }
    const RegisterRange range =
        pollRegisters(form->comboBoxRegister->currentIndex(), form->comboBoxNum->currentIndex());
    CommState.deviceAddress = quint16(pollTarget->address());
    // While a request is outstanding this tick sends nothing; the line sends it when it frees.
    LinkRequest request;
    request.frame = ModbusFrame::buildRequest(
        quint8(CommState.deviceAddress), Modbus::ReadHoldingRegisters, range.start, range.count);
    request.done = [this](const LinkOutcome &outcome) { PollEnded(outcome); };
    link->poll(request);
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
