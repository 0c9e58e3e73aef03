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

void Widget::OnAnswered(const LinkSession::Request &request, const QByteArray &reply,
                        const ModbusReply::Decoded &decoded)
{
    CommState.rxBuffer.clear();
    if (!answeredHere) {
        answeredHere = true;
        ShowLinkState();
    }
    if (request.kind == LinkSession::VerifyKind) {
        // Shown once the session has checked that it is the same unit (ShowVerification).
        CommState.responseReceived = 1;
        AppendMessage(ModbusFrame::hexText(reply), true);
        return;
    }
    AcceptReply(reply, decoded);
    if (request.kind == ReconnectRequest)
        AnswerAfterLoss();
}

void Widget::AcceptReply(const QByteArray &frame, const ModbusReply::Decoded &decoded)
{
    StoreDecoded(decoded);
    Reading reading = decoded.reading;
    reading.address = ModbusFrame::slaveOf(frame);
    reading.serial = link->unit().known ? link->unit().serial : QString();
    RecordReading(reading);
    ShowDecoded(decoded);
    CommState.responseReceived = 1;
    const QString text = ModbusFrame::hexText(frame);
    if (ModbusReply::isException(frame))
        LogLine(MessageView::Kind::Received, text,
                ModbusReply::exceptionText(ModbusReply::exceptionCode(frame)));
    else
        AppendMessage(text, true);
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
    NoteHeardDuringSearch(tr("a late reply"));
    LogLine(MessageView::Kind::Received, ModbusFrame::hexText(frame), tr("(late, ignored)"));
}

// Bytes that never became an accepted reply: shown with the reason, and kept out of the capture
// file. A failing adapter's storm is not worth a line of its own: its loss is told instead.
void Widget::OnDropped(const QByteArray &bytes, LinkSession::DropReason reason)
{
    CommState.rxBuffer.clear();
    QString text;
    QString heard;
    switch (reason) {
    case LinkSession::DropReason::Incomplete:
        text = tr("(incomplete)");
        heard = tr("a garbled reply (incomplete)");
        break;
    case LinkSession::DropReason::BadCrc:
        text = tr("(bad CRC)");
        heard = tr("a garbled reply (bad CRC)");
        break;
    case LinkSession::DropReason::ExtraBytes:
        text = tr("(extra bytes)");
        heard = tr("a garbled reply (extra bytes)");
        break;
    case LinkSession::DropReason::OtherSlave:
        text = tr("(from slave %1)").arg(ModbusFrame::slaveOf(bytes));
        heard = tr("a reply from slave %1").arg(ModbusFrame::slaveOf(bytes));
        break;
    case LinkSession::DropReason::AdapterNoise:
        return;
    }
    LogLine(MessageView::Kind::Dropped, ModbusFrame::hexText(bytes), text);
    NoteHeardDuringSearch(heard);
}

// Another transmitter answers on the port than the one linked (swapped behind the same adapter,
// or another adapter under the same name): said in the view and in the link state; the button
// requests meant for the old unit are dropped, its readings grey, and the trend starts anew.
// Polling goes on with the new unit.
void Widget::OnIdentified(const UnitIdentity &unit, const UnitIdentity &previous)
{
    if (!unit.isOtherUnit(previous))
        return;
    otherUnitNote = tr("a different unit is on %1 now: %2").arg(CommState.portName, unit.label());
    LogNote(otherUnitNote);
    link->dropWaiting();
    GreyReadings();
    trendWindow->startSegment();
    ShowLinkState();
}
