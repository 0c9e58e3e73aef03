#include "view/linestore.h"

#include <algorithm>

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

void LineStore::clear()
{
    chunks.clear();
    count = 0;
}

// The line of a chunk whose bytes hold this offset.
int LineStore::lineAtOffset(int chunk, int offset) const
{
    const Chunk &c = *chunks[size_t(chunk)];
    const auto begin = c.starts.begin(), end = begin + c.lines;
    const int index = int(std::upper_bound(begin, end, quint32(offset)) - begin) - 1;
    return chunk * LinesPerChunk + index;
}

// A match within lines firstLine..lastLine of one chunk, the first or the last of them.
int LineStore::findInChunk(int chunk, const QByteArray &lowerPattern, int firstLine, int lastLine,
                           bool backwards) const
{
    const QByteArray bytes = chunks[size_t(chunk)]->bytes.toLower();
    const int begin = span(firstLine).first, end = span(lastLine).second;
    int pos = backwards ? bytes.lastIndexOf(lowerPattern, end - lowerPattern.size())
                        : bytes.indexOf(lowerPattern, begin);
    while (pos >= begin && pos + lowerPattern.size() <= end) {
        const int line = lineAtOffset(chunk, pos);
        if (pos + lowerPattern.size() <= span(line).second && pos > span(line).first)
            return line; // within one line's text, not across two
        pos = backwards ? bytes.lastIndexOf(lowerPattern, pos - 1)
                        : bytes.indexOf(lowerPattern, pos + 1);
    }
    return -1;
}

int LineStore::find(const QByteArray &lowerPattern, int from, bool backwards) const
{
    if (lowerPattern.isEmpty() || count == 0)
        return -1;
    const int step = backwards ? -1 : 1;
    int line = ((from + step) % count + count) % count;
    for (int searched = 0; searched < count;) {
        const int chunk = line / LinesPerChunk;
        const int chunkFirst = chunk * LinesPerChunk;
        const int chunkLast = std::min(count, chunkFirst + LinesPerChunk) - 1;
        const int first = backwards ? chunkFirst : line, last = backwards ? line : chunkLast;
        const int found = findInChunk(chunk, lowerPattern, first, last, backwards);
        if (found >= 0)
            return found;
        searched += last - first + 1;
        line = backwards ? (first == 0 ? count - 1 : first - 1) : (last + 1) % count;
    }
    return -1;
}
