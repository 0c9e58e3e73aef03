// Fuzz target of the receive path: arbitrary chunk sequences fed through recognition and
// decoding exactly as the window's receive slot feeds them, against every request register.
//
// Input: byte 0 picks the request register, byte 1 the device type; then chunks, each a
// length byte followed by that many bytes.
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/transaction.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {
const quint16 RequestRegisters[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0005, 0x0006,
                                    0x0007, 0x0100, 0x0101, 0x0103, 0x0104, 0x0107, 0x1234};

// The parser sees an exact-size copy, so a read past the end trips AddressSanitizer.
ModbusReply::Verdict evaluate(const QByteArray &buffer, const QByteArray &request, quint16 reg,
                              quint16 deviceType)
{
    std::vector<char> exact(buffer.constBegin(), buffer.constEnd());
    const QByteArray frame = QByteArray::fromRawData(exact.data(), int(exact.size()));
    const ModbusReply::Verdict verdict = ModbusReply::recognise(frame);
    if (verdict == ModbusReply::Verdict::Accept) {
        (void)Transaction::fit(request, frame);
        (void)ModbusReply::decode(frame, reg, deviceType);
        if (ModbusReply::isException(frame))
            (void)ModbusReply::exceptionText(ModbusReply::exceptionCode(frame));
    }
    return verdict;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const quint16 reg =
        RequestRegisters[data[0] % (sizeof RequestRegisters / sizeof *RequestRegisters)];
    const quint16 deviceType = data[1] % 4;
    const QByteArray request = ModbusFrame::buildRequest(1, data[1] & 0x80 ? 6 : 3, reg, data[1]);
    QByteArray buffer;
    size_t pos = 2;
    while (pos < size) {
        const size_t length = std::min<size_t>(data[pos], size - pos - 1);
        buffer.append(reinterpret_cast<const char *>(data + pos + 1), int(length));
        pos += 1 + length;
        if (length == 0)
            continue; // the session never evaluates an arrival of nothing
        if (evaluate(buffer, request, reg, deviceType) != ModbusReply::Verdict::Wait)
            buffer.clear(); // accepted or dropped, as the window does
        else
            (void)ModbusReply::flaw(buffer); // what the window says when it drops them
    }
    return 0;
}
