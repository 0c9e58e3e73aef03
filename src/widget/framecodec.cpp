// Frame codec of the window: the CRC routine and the emission of request frames.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "protocol/modbusframe.h"

quint16 Widget::ModbusCrc16(const quint8 *data, quint16 length)
{
    const quint16 crc = ModbusFrame::crc16(reinterpret_cast<const char *>(data), length);
    return quint16((crc << 8) | (crc >> 8));
}

// Writes the frame, marks the exchange as waiting for its reply and logs the frame. A frame
// that did not reach the port is logged as not sent and kept out of the capture file.
bool Widget::SendFrame(const QByteArray &frame)
{
    QString failure;
    if (!serialPort->isOpen())
        failure = tr("port closed");
    else if (serialPort->write(frame) != frame.size())
        failure = serialPort->errorString();
    CommState.responseReceived = 0;
    const QString text = ModbusFrame::hexText(frame);
    if (failure.isEmpty())
        AppendMessage(text, false);
    else
        LogLine(MessageView::Kind::NotSent, text, tr("(not sent: %1)").arg(failure));
    return failure.isEmpty();
}
