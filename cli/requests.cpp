#include "requests.h"

#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"

namespace Requests {

QByteArray deviceInfo(int slave)
{
    return DeviceInfo::request(quint8(slave));
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

ModbusReply::Selector selectorOf(What what)
{
    switch (what) {
    case What::Temperature:
        return ModbusReply::TemperatureOnly;
    case What::Humidity:
        return ModbusReply::HumidityOnly;
    case What::DewPoint:
        return ModbusReply::DewPointOnly;
    case What::All:
        break;
    }
    return ModbusReply::AllReadings;
}

QByteArray readings(int slave, quint16 deviceType, What what, bool hundredths)
{
    return ModbusReply::readingsRequest(quint8(slave), deviceType, selectorOf(what), hundredths);
}

Reading readingOf(const QByteArray &reply, const QByteArray &request, quint16 deviceType)
{
    return ModbusReply::decode(reply, ModbusFrame::startRegisterOf(request), deviceType).reading;
}

} // namespace Requests
