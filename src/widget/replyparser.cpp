// Reception: the link session gathers the arriving bytes and matches them to the request on the
// line; the window shows what it makes of them and keeps its own record of the exchange.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "view/trendwindow.h"
#include "widget/polltarget.h"

#include <QDebug>
#include <QTimer>

// Runs at every arrival, after the session has taken the bytes: the window's receive buffer
// mirrors what is still unfinished, and timerClear runs out 200 ms after the last arrival.
void Widget::my_readuart()
{
    timerClear->start(Timing::ReceiveSilenceMs);
    CommState.rxBuffer = link->received();
    qDebug() << CommState.rxBuffer.toHex();
}

// Every reply to a request, logged as it comes; what it means is for the request's own end.
void Widget::OnAnswered(const LinkSession::Request &, const QByteArray &reply)
{
    CommState.rxBuffer.clear();
    CommState.responseReceived = 1;
    if (!answeredHere) {
        answeredHere = true;
        ShowLinkState();
    }
    const QString text = ModbusFrame::hexText(reply);
    if (ModbusReply::isException(reply))
        LogLine(MessageView::Kind::Received, text,
                ModbusReply::exceptionText(ModbusReply::exceptionCode(reply)));
    else
        AppendMessage(text, true);
}

// An answer the window asked for: what it carried is stored, recorded and shown. A read of the
// device information or of the address tells where a unit answers: the polls go there.
void Widget::AcceptReply(const LinkOutcome &outcome)
{
    const ModbusReply::Decoded &decoded = outcome.decoded;
    StoreDecoded(decoded);
    const int from = ModbusFrame::slaveOf(outcome.reply);
    RecordReading(decoded.reading, from == pollTarget->address());
    ShowDecoded(decoded);
    CommState.responseReceived = 1;
    const bool read = ModbusFrame::functionOf(outcome.reply) == Modbus::ReadHoldingRegisters;
    const bool tellsWhere = decoded.display == ModbusReply::Display::DeviceInfo ||
                            decoded.display == ModbusReply::Display::Address;
    if (read && tellsWhere)
        pollTarget->set(from);
}

// The one place where what a reply carried goes into CommState.
void Widget::StoreDecoded(const ModbusReply::Decoded &decoded)
{
    const ModbusReply::DeviceFields &device = decoded.device;
    CommState.deviceAddress = device.address.value_or(CommState.deviceAddress);
    CommState.deviceBaudCode = device.baudCode.value_or(CommState.deviceBaudCode);
    CommState.firmwareVersion = device.firmware.value_or(CommState.firmwareVersion);
    CommState.deviceType = device.deviceType.value_or(CommState.deviceType);
    CommState.sensorType = device.sensorType.value_or(CommState.sensorType);
    if (!device.serial.isEmpty())
        serialShown = device.serial;
    const ModbusReply::RawReadings &raw = decoded.raw;
    CommState.temperatureRaw = raw.temperature.value_or(CommState.temperatureRaw);
    CommState.humidityRaw = raw.humidity.value_or(CommState.humidityRaw);
    CommState.dewPointRaw = raw.dewPoint.value_or(CommState.dewPointRaw);
}

void Widget::ShowDecoded(const ModbusReply::Decoded &decoded)
{
    using ModbusReply::Display;
    switch (decoded.display) {
    case Display::Nothing:
        break;
    case Display::ReadingsX10:
        ShowHumitureX10(decoded.selector);
        break;
    case Display::ReadingsX100:
        ShowHumitureX100(decoded.selector);
        break;
    case Display::StatusDashes:
        ShowStatusDashes();
        break;
    case Display::Address:
        ShowAddress();
        break;
    case Display::BaudRate:
        ShowBaudRate();
        break;
    case Display::DeviceType:
        ShowDeviceType();
        break;
    case Display::SensorType:
        form->comboBoxSensorType->setCurrentIndex(CommState.sensorType);
        break;
    case Display::DeviceInfo:
        ShowDeviceInfo();
        qDebug() << "SenorType=" << CommState.sensorType;
        break;
    }
}

// A frame that answers no outstanding request: shown, never decoded.
void Widget::OnLate(const QByteArray &frame)
{
    CommState.rxBuffer.clear();
    LogLine(MessageView::Kind::Received, ModbusFrame::hexText(frame), tr("(late, ignored)"));
}

// Bytes that never became an accepted reply: shown with the reason, and kept out of the capture
// file. A failing adapter's storm is not worth a line of its own: its loss is told instead.
void Widget::OnDropped(const QByteArray &bytes, LinkSession::DropReason reason)
{
    CommState.rxBuffer.clear();
    QString text;
    switch (reason) {
    case LinkSession::DropReason::Incomplete:
        text = tr("(incomplete)");
        break;
    case LinkSession::DropReason::BadCrc:
        text = tr("(bad CRC)");
        break;
    case LinkSession::DropReason::ExtraBytes:
        text = tr("(extra bytes)");
        break;
    case LinkSession::DropReason::OtherSlave:
        text = tr("(from slave %1)").arg(ModbusFrame::slaveOf(bytes));
        break;
    case LinkSession::DropReason::AdapterNoise:
        return;
    }
    LogLine(MessageView::Kind::Dropped, ModbusFrame::hexText(bytes), text);
}

// Another transmitter answers at an address than the one known there (swapped behind the same
// adapter, or another adapter under the same name): said in the view. For the window's unit it is
// said in the link state too; the button requests meant for the old unit are dropped, its
// readings grey, and the trend starts anew. Polling goes on with the new unit.
void Widget::OnIdentified(int address, const UnitIdentity &unit, const UnitIdentity &previous)
{
    if (!unit.isOtherUnit(previous))
        return;
    if (address != pollTarget->address()) {
        LogNote(tr("a different unit is at address %1 on %2 now: %3")
                    .arg(address)
                    .arg(CommState.portName, unit.label()));
        return;
    }
    otherUnitNote = tr("a different unit is on %1 now: %2").arg(CommState.portName, unit.label());
    LogNote(otherUnitNote);
    link->dropWaiting();
    GreyReadings();
    trendWindow->startSegment();
    ShowLinkState();
}

// Nothing came back in time: said in the view; the request's own end says what it means.
void Widget::OnTimedOut(const LinkSession::Request &, int timeoutMs)
{
    LogNote(tr("no reply within %1 ms").arg(timeoutMs));
}

// A unit that answers late is given a longer wait: said once.
void Widget::OnSlowUnit(int, int answerStartMs, int timeoutMs)
{
    LogNote(
        tr("the unit answers after %1 ms: waiting up to %2 ms").arg(answerStartMs).arg(timeoutMs));
}

void Widget::PollEnded(const LinkOutcome &outcome)
{
    if (outcome.answered()) {
        AcceptReply(outcome);
    } else if (outcome.result == LinkOutcome::TimedOut || outcome.result == LinkOutcome::Garbled) {
        MarkReadingsStale();
        BreakTrend();
    }
}

void Widget::OneOffEnded(const LinkOutcome &outcome)
{
    if (outcome.answered())
        AcceptReply(outcome);
    if (outcome.verification)
        ShowVerification(*outcome.verification);
}

// A unit of the line polled from the Line window: every reading goes to the readings file; the
// window's own unit's also to its labels and the trend.
void Widget::LineUnitPolled(int address, const LinkOutcome &outcome)
{
    const bool windowsUnit = address == pollTarget->address();
    if (outcome.answered() && !windowsUnit) {
        RecordReading(outcome.decoded.reading, false);
        return;
    }
    if (windowsUnit)
        PollEnded(outcome);
}
