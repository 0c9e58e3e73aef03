#include "protocol/modbusframe.h"

#include "protocol/protocol.h"

namespace ModbusFrame {

quint16 crc16(const char *data, int length)
{
    quint16 crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= static_cast<quint8>(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001)
                            : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

quint16 crc16(const QByteArray &bytes)
{
    return crc16(bytes.constData(), bytes.size());
}

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc = crc16(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

QByteArray buildRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 countOrValue)
{
    QByteArray frame;
    frame.reserve(Modbus::RequestLength);
    frame.append(char(slave));
    frame.append(char(function));
    frame.append(char(startRegister >> 8));
    frame.append(char(startRegister & 0xFF));
    frame.append(char(countOrValue >> 8));
    frame.append(char(countOrValue & 0xFF));
    return withCrc(frame);
}

namespace {
quint8 byteAt(const QByteArray &frame, int pos)
{
    return pos < frame.size() ? quint8(frame.at(pos)) : 0;
}
} // namespace

quint8 slaveOf(const QByteArray &request)
{
    return byteAt(request, 0);
}

quint8 functionOf(const QByteArray &request)
{
    return byteAt(request, 1);
}

quint16 startRegisterOf(const QByteArray &request)
{
    return quint16(byteAt(request, 2) << 8 | byteAt(request, 3));
}

quint16 countOrValueOf(const QByteArray &request)
{
    return quint16(byteAt(request, 4) << 8 | byteAt(request, 5));
}

QString hexText(const QByteArray &frame)
{
    return QString::fromLatin1(frame.toHex());
}

} // namespace ModbusFrame
