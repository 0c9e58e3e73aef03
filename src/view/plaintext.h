#pragma once

#include <QPainter>
#include <QString>

#include <algorithm>

// Text of plain ASCII (a frame's line, a time, a number) needs no shaping: Qt 5 draws it straight
// from its glyph advances, several times cheaper than shaping it. Anything else, and any text
// under Qt 6 (which no longer offers the shortcut), is shaped as usual.
inline void drawPlainText(QPainter &painter, const QPointF &baseline, const QString &text)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    const bool ascii =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        painter.drawText(baseline, text, Qt::TextBypassShaping, 0);
        return;
    }
#endif
    painter.drawText(baseline, text);
}
