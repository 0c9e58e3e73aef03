// Frame codec of the window: the CRC routine (the link session writes the frames).
#include "widget/widget.h"

#include "protocol/modbusframe.h"

quint16 Widget::ModbusCrc16(const quint8 *data, quint16 length)
{
    const quint16 crc = ModbusFrame::crc16(reinterpret_cast<const char *>(data), length);
    return quint16((crc << 8) | (crc >> 8));
}
