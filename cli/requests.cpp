#include "requests.h"

#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

namespace Requests {

QByteArray deviceInfo(int slave)
{
    return ModbusFrame::buildRequest(quint8(slave), Modbus::ReadHoldingRegisters, Reg::Address,
                                     Reg::DeviceInfoCount);
}

QByteArray writeAddress(int address)
{
    return ModbusFrame::buildRequest(Modbus::BroadcastAddress, Modbus::WriteSingleRegister,
                                     Reg::Address, quint16(address));
}

QByteArray writeBaudRate(int slave, int baudRate)
{
    return ModbusFrame::buildRequest(quint8(slave), Modbus::WriteSingleRegister, Reg::BaudCode,
                                     quint16(Modbus::baudCodeOfRate(baudRate)));
}

QByteArray readings(int slave, quint16 deviceType, What what, bool hundredths)
{
    const bool all = what == What::All;
    const int offset = all ? 0 : int(what) - 1;
    const quint16 first = quint16(ModbusReply::readingsBlock(deviceType, hundredths) + offset);
    return ModbusFrame::buildRequest(quint8(slave), Modbus::ReadHoldingRegisters, first,
                                     all ? Reg::BlockSize : 1);
}

Reading readingOf(const QByteArray &reply, const QByteArray &request, quint16 deviceType)
{
    return ModbusReply::decode(reply, ModbusFrame::startRegisterOf(request), deviceType).reading;
}

} // namespace Requests
