#pragma once

#include <QPainter>
#include <QString>

#include <algorithm>

// Text of plain ASCII (a frame's line, a time, a number) needs no shaping: it is drawn straight
// from its glyph advances, several times cheaper than shaping it. Anything else is shaped as usual.
inline void drawPlainText(QPainter &painter, const QPointF &baseline, const QString &text)
{
    const bool ascii =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        painter.drawText(baseline, text, Qt::TextBypassShaping, 0);
    else
        painter.drawText(baseline, text);
}
