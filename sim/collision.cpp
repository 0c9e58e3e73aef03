#include "collision.h"

#include "protocol/modbusframe.h"

#include <algorithm>
#include <vector>

namespace {
constexpr int BitsPerByte = 10; // start bit, 8 data bits (least significant first), stop bit
constexpr int DataBits = 8;

// The line's level bit by bit: true is a mark (idle, or a 1), false a space.
std::vector<bool> lineLevels(const QList<QByteArray> &replies)
{
    int length = 0;
    for (int i = 0; i < replies.size(); ++i)
        length = std::max(length, i * Collision::SkewBits + BitsPerByte * int(replies[i].size()));
    std::vector<bool> line(size_t(length), true);
    for (int i = 0; i < replies.size(); ++i) {
        for (int j = 0; j < replies[i].size(); ++j) {
            const size_t start = size_t(i * Collision::SkewBits + BitsPerByte * j);
            line[start] = false; // the start bit
            for (int bit = 0; bit < DataBits; ++bit)
                if ((quint8(replies[i][j]) >> bit & 1) == 0)
                    line[start + 1 + size_t(bit)] = false;
        }
    }
    return line;
}

// A UART receiver: waits for a start bit, samples eight data bits and passes the byte on even
// when its stop bit is missing (a pseudo-terminal has no framing errors to report).
QByteArray decode(const std::vector<bool> &line)
{
    auto level = [&line](size_t pos) { return pos >= line.size() || line[pos]; };
    QByteArray bytes;
    for (size_t pos = 0; pos < line.size();) {
        if (level(pos)) {
            ++pos;
            continue;
        }
        quint8 byte = 0;
        for (int bit = 0; bit < DataBits; ++bit)
            if (level(pos + 1 + size_t(bit)))
                byte |= quint8(1 << bit);
        bytes.append(char(byte));
        pos += BitsPerByte;
    }
    return bytes;
}

bool crcFits(const QByteArray &frame)
{
    return frame.size() > 2 && ModbusFrame::crc16(frame.constData(), frame.size() - 2) ==
                                   quint16(quint8(frame.at(frame.size() - 2)) |
                                           (quint8(frame.at(frame.size() - 1)) << 8));
}
} // namespace

QByteArray Collision::overlap(const QList<QByteArray> &replies)
{
    QByteArray bytes = decode(lineLevels(replies));
    if (replies.size() > 1 && crcFits(bytes))
        bytes[bytes.size() - 1] = char(bytes.at(bytes.size() - 1) ^ 0xFF);
    return bytes;
}
