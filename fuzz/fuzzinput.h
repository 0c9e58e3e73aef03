#pragma once

// A fuzz target's input, read a byte at a time; past its end every byte is 0.

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size) : data(data), size(size) {}
    bool atEnd() const { return pos >= size; }
    quint8 byte() { return pos < size ? data[pos++] : 0; }
    quint16 word() { return quint16(byte() << 8 | byte()); }
    template <typename T, size_t N> T pick(const T (&items)[N]) { return items[byte() % N]; }
    // Up to count bytes, fewer where the input ends.
    QByteArray bytes(int count)
    {
        QByteArray taken;
        while (count-- > 0 && !atEnd())
            taken += char(byte());
        return taken;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t pos = 0;
};
