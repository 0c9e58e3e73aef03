// Reception: gathers the arriving bytes and hands complete replies to the decoder.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

#include <QDebug>
#include <QTimer>

void Widget::my_readuart()
{
    timerClear->start(Timing::ReceiveSilenceMs);
    CommState.rxBuffer.append(serialPort->readAll());
    const QByteArray frame = CommState.rxBuffer;
    qDebug() << frame.toHex();

    switch (ModbusReply::recognise(frame)) {
    case ModbusReply::Verdict::Discard:
        DropReceivedBytes();
        return;
    case ModbusReply::Verdict::AdapterFailure:
        ReportAdapterFailure();
        return;
    case ModbusReply::Verdict::Wait:
        return;
    case ModbusReply::Verdict::Accept:
        switch (line->offer(frame)) {
        case Transaction::Fit::Answer:
            AcceptReply(frame);
            FollowAnswer(line->lastRequest(), frame);
            break;
        case Transaction::Fit::OtherRequest:
            // It answers a request that is no longer outstanding: shown, never decoded.
            LogLine(MessageView::Kind::Received, ModbusFrame::hexText(frame),
                    tr("(late, ignored)"));
            break;
        case Transaction::Fit::OtherSlave:
            LogLine(MessageView::Kind::Dropped, ModbusFrame::hexText(frame),
                    tr("(from slave %1)").arg(quint8(frame.at(0))));
            break;
        }
        CommState.rxBuffer.clear();
        return;
    }
}

void Widget::AcceptReply(const QByteArray &frame)
{
    using ModbusReply::Display;
    const ModbusReply::Effect effect = ModbusReply::decode(frame, requestRegister, CommState);
    RecordReading(readingOf(effect, CommState));
    switch (effect.display) {
    case Display::Nothing:
        break;
    case Display::ReadingsX10:
        ShowHumitureX10(effect.selector);
        break;
    case Display::ReadingsX100:
        ShowHumitureX100(effect.selector);
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
    CommState.responseReceived = 1;
    const QString text = ModbusFrame::hexText(frame);
    if (ModbusReply::isException(frame)) {
        const quint8 code = ModbusReply::exceptionCode(frame);
        LogLine(MessageView::Kind::Received, text,
                tr("exception 0x%1 (%2)")
                    .arg(code, 2, 16, QLatin1Char('0'))
                    .arg(tr(ModbusReply::exceptionMeaning(code))));
    } else
        AppendMessage(text, true);
    CommState.rxBuffer.clear();
}

// A buffer full of 0x00/0xFF is what a failing USB serial adapter delivers.
void Widget::ReportAdapterFailure()
{
    LosePort(tr("a storm of 0x00/0xFF bytes, the sign of a failing adapter"));
}
