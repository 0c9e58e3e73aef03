#pragma once

#include <QByteArray>

#include <array>
#include <memory>
#include <vector>

// Append-only store of short text lines, each with a one-byte tag. Lines are packed into
// chunks of a fixed number of lines, so an append never copies more than one chunk and
// the overhead is a 4-byte offset per line.
class LineStore
{
public:
    void append(quint8 tag, const QByteArray &utf8);
    void clear();
    int size() const { return count; }
    quint8 tag(int line) const;
    QByteArray text(int line) const;
    // Bytes held, for the benchmark.
    qint64 memoryBytes() const;
    // The next line after `from` (or the previous one before it) whose text holds `lowerPattern`
    // when lower-cased, wrapping around; -1 when no line does. Searches the packed bytes.
    int find(const QByteArray &lowerPattern, int from, bool backwards) const;

private:
    static constexpr int LinesPerChunk = 4096;
    struct Chunk
    {
        QByteArray bytes; // per line: tag byte, then the text
        std::array<quint32, LinesPerChunk> starts;
        int lines = 0;
    };
    const Chunk &chunkOf(int line) const { return *chunks[size_t(line / LinesPerChunk)]; }
    std::pair<int, int> span(int line) const;
    int lineAtOffset(int chunk, int offset) const;
    int findInChunk(int chunk, const QByteArray &lowerPattern, int firstLine, int lastLine,
                    bool backwards) const;

    std::vector<std::unique_ptr<Chunk>> chunks;
    int count = 0;
};
