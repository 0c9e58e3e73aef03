#pragma once

#include <QtGlobal>

// Numbers of the transmitter's Modbus RTU protocol and of the window's timing.
namespace Modbus {

constexpr quint8 ReadHoldingRegisters = 0x03;
constexpr quint8 WriteSingleRegister = 0x06;
constexpr quint8 WriteMultipleRegisters = 0x10;
constexpr quint8 ExceptionFlag = 0x80; // set in the function code of an exception reply

constexpr int RequestLength = 8;
// A reply is its payload plus slave address, function code, one length/first byte and CRC.
constexpr int ReplyOverhead = 5;
constexpr int WriteEchoPayload = 3; // register (2) + value (2) - the byte counted in the overhead

constexpr quint8 BroadcastAddress = 0; // the device answers the address commands at slave 0
constexpr quint16 MinSlaveAddress = 1;
constexpr quint16 MaxSlaveAddress = 247;

// The device's baud-rate codes 1 to 6 (register 0x0101), in code order.
constexpr int BaudRates[] = {1200, 2400, 4800, 9600, 19200, 115200};
// The automatic search tries the six rates in this order.
constexpr int SearchOrder[] = {115200, 19200, 9600, 4800, 2400, 1200};
// 0 when the code is not one of the six.
constexpr int baudRateOfCode(int code)
{
    return code >= 1 && code <= 6 ? BaudRates[code - 1] : 0;
}
// 0 when the rate is not one of the six.
constexpr int baudCodeOfRate(int rate)
{
    for (int code = 1; code <= 6; ++code)
        if (BaudRates[code - 1] == rate)
            return code;
    return 0;
}

} // namespace Modbus

// Register map of the transmitter.
namespace Reg {

constexpr quint16 Temperature = 0x0000; // first block: tenths for device type 0
constexpr quint16 Humidity = 0x0001;
constexpr quint16 DewPoint = 0x0002;
constexpr quint16 Status = 0x0003;
constexpr quint16 SecondBlock = 0x0004; // same four quantities, the other resolution
constexpr quint16 BlockSize = 4;

constexpr quint16 Address = 0x0100;
constexpr quint16 BaudCode = 0x0101;
constexpr quint16 Firmware = 0x0102;
constexpr quint16 DeviceType = 0x0103;
constexpr quint16 SerialNumber = 0x0104;
constexpr quint16 SerialNumberCount = 3;
constexpr quint16 SensorType = 0x0107;
constexpr quint16 DeviceInfoCount = 8; // 0x0100 to 0x0107

} // namespace Reg

namespace Timing {

constexpr int ReceiveSilenceMs = 200;   // unfinished bytes are dropped after this much silence
constexpr int AutoBaudStepMs = 500;     // time each candidate rate gets to answer
constexpr int OneOffReadDelayMs = 1000; // next periodic read after a one-off request
constexpr int MinPeriodMs = 100;
constexpr int DisplayDelayMs = 100;

// A byte on the line is 10 bits: start, 8 data, stop.
constexpr int BitsPerByte = 10;
// How long a device may take to turn the line around before its reply starts. The virtual
// transmitter needs 5 ms; these transmitters answer within about 50 ms, slower RS-485 devices
// within 100 ms; the rest is room for a busy PC to notice the reply.
constexpr int TurnaroundAllowanceMs = 150;

// A unit that answers after its request timed out teaches the line a longer wait for it: half as
// long again as it took, in steps of 10 ms, never more than this. After the first request of a
// unit that had been answering goes unanswered, the line stays quiet until this long after it
// was written, so that a late answer arrives on a free line and is seen for what it is.
constexpr int LateAnswerCeilingMs = 1000;
constexpr int LateAnswerStepMs = 10;

// Finding units on a line: the wait for an answer to begin after the request has gone out is
// about 20 ms at 9600 bit/s (192 bit times, room for a device's turnaround and the PC's
// latency), scaled for other rates, and never under 10 ms, which a USB adapter may add alone.
// Once the first byte of an answer has come, the silence rule finishes it.
constexpr int ScanAnswerStartBits = 192;
constexpr int ScanAnswerStartMinMs = 10;

} // namespace Timing

// Receive buffer limits: more than this is discarded unseen; a buffer this full (less one)
// of 0x00/0xFF bytes is the signature of a failing USB serial adapter.
constexpr int RxBufferCap = 1024;
constexpr int AdapterFailureBytes = 1023;
