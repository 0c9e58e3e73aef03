#include "view/linestore.h"

void LineStore::append(quint8 tag, const QByteArray &utf8)
{
    if (chunks.empty() || chunks.back()->lines == LinesPerChunk) {
        if (!chunks.empty())
            chunks.back()->bytes.squeeze(); // a full chunk keeps no spare capacity
        chunks.push_back(std::make_unique<Chunk>());
    }
    Chunk &chunk = *chunks.back();
    chunk.starts[size_t(chunk.lines)] = quint32(chunk.bytes.size());
    chunk.bytes.append(char(tag));
    chunk.bytes.append(utf8);
    ++chunk.lines;
    ++count;
}

std::pair<int, int> LineStore::span(int line) const
{
    const Chunk &chunk = chunkOf(line);
    const int index = line % LinesPerChunk;
    const int begin = int(chunk.starts[size_t(index)]);
    const int end =
        index + 1 < chunk.lines ? int(chunk.starts[size_t(index + 1)]) : chunk.bytes.size();
    return {begin, end};
}

quint8 LineStore::tag(int line) const
{
    return quint8(chunkOf(line).bytes.at(span(line).first));
}

QByteArray LineStore::text(int line) const
{
    const auto [begin, end] = span(line);
    return chunkOf(line).bytes.mid(begin + 1, end - begin - 1);
}

qint64 LineStore::memoryBytes() const
{
    qint64 total = qint64(chunks.capacity() * sizeof(void *));
    for (const auto &chunk : chunks)
        total += qint64(sizeof(Chunk)) + chunk->bytes.capacity();
    return total;
}
