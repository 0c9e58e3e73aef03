// The message view's painting: a row per line, the selection, the matches of the find bar and the
// banner of unseen lines. Scrolling moves the pixels already drawn, and a paint event paints only
// the rows it covers, so following a busy line costs one row's painting per new line.
#include "view/messageview.h"
#include "view/plaintext.h"

#include <QCoreApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
const QColor MatchColor(255, 230, 120);
} // namespace

// A poll's request is the same line until the clock's second changes, and so is the reply of a
// steady reading: the last line of each kind keeps its width instead of being laid out again.
int MessageView::lineWidth(Kind kind, const QString &text)
{
    MeasuredLine &last = lastWidths[size_t(kind)];
    if (last.text != text) {
        last.text = text;
        last.width = fontMetrics().horizontalAdvance(text) + 2 * TextMargin;
    }
    return last.width;
}

// The rows from this line's down to the bottom edge, where a partly visible row may be.
void MessageView::updateRowsFrom(int line)
{
    const int top = std::max(0, (line - firstVisibleLine()) * lineHeight());
    if (top < viewport()->height())
        viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
}

// The banner stays in its corner while the lines move under it, so with it in sight the whole
// viewport is painted again; otherwise the lines drawn are moved and only the rows uncovered are
// painted. The vertical bar counts lines, the horizontal one pixels.
void MessageView::scrollContentsBy(int dx, int dy)
{
    const bool bannerShown = unseen > 0;
    if (isFollowing())
        unseen = 0;
    if (bannerShown)
        viewport()->update();
    else
        viewport()->scroll(dx, dy * lineHeight(), movedArea(dy));
}

// Right of the widest line there is only background, unless a selected line, highlighted across
// the whole width, is or was in sight: scrolling need not move those pixels. (Scrolled to the
// right, the widest line reaches past the viewport.) Lines measured in another font may reach
// further.
QRect MessageView::movedArea(int dy) const
{
    const int firstBefore = firstVisibleLine() + dy;
    const int top = std::min(firstVisibleLine(), firstBefore);
    const int bottom = std::max(firstVisibleLine(), firstBefore) + visibleLineCount();
    const bool selectionInSight =
        hasSelection() && selectionStart() <= bottom && selectionEnd() >= top;
    if (selectionInSight || !widestLineKnown)
        return viewport()->rect();
    const int linesWidth = widestLine - horizontalScrollBar()->value();
    return QRect(0, 0, std::min(linesWidth, viewport()->width()), viewport()->height());
}

void MessageView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int height = lineHeight();
    const int first = firstVisibleLine();
    const int last = std::min(store.size() - 1, first + area.bottom() / height);
    for (int line = first + area.top() / height; line <= last; ++line)
        paintLine(painter, line, (line - first) * height);
    if (unseen > 0 && area.intersects(unseenBannerRect()))
        paintUnseenBanner(painter);
}

void MessageView::paintLine(QPainter &painter, int line, int top)
{
    const bool selected = hasSelection() && line >= selectionStart() && line <= selectionEnd();
    if (selected) {
        painter.fillRect(0, top, viewport()->width(), lineHeight(), palette().highlight());
        painter.setPen(palette().highlightedText().color());
    } else {
        painter.setPen(colorOf(lineKind(line)));
    }
    const int x = TextMargin - horizontalScrollBar()->value();
    const QString text = lineText(line);
    if (!pattern.isEmpty() && !selected)
        paintMatches(painter, text, x, top);
    drawPlainText(painter, QPointF(x, top + fontMetrics().ascent()), text);
}

// The found text is marked wherever it stands in sight.
void MessageView::paintMatches(QPainter &painter, const QString &text, int x, int top)
{
    const QString key = QString::fromUtf8(searchKey(pattern));
    for (int at = text.indexOf(key, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(key, at + 1, Qt::CaseInsensitive)) {
        const int left = x + fontMetrics().horizontalAdvance(text.left(at));
        const int width = fontMetrics().horizontalAdvance(text.mid(at, key.size()));
        painter.fillRect(left, top, width, lineHeight(), MatchColor);
    }
}

namespace {
QString unseenBannerText(int unseen)
{
    return QCoreApplication::translate("Widget", "%n new line(s) below - press End to follow",
                                       nullptr, unseen);
}
} // namespace

// In the bottom right corner; empty while no line is unseen.
QRect MessageView::unseenBannerRect() const
{
    if (unseen == 0)
        return QRect();
    QRect box(0, 0, fontMetrics().horizontalAdvance(unseenBannerText(unseen)) + 4 * TextMargin,
              lineHeight() + TextMargin);
    box.moveBottomRight(viewport()->rect().bottomRight() - QPoint(TextMargin, TextMargin));
    return box;
}

void MessageView::paintUnseenBanner(QPainter &painter)
{
    const QRect box = unseenBannerRect();
    painter.fillRect(box, palette().toolTipBase());
    painter.setPen(palette().toolTipText().color());
    painter.drawText(box, Qt::AlignCenter, unseenBannerText(unseen));
}
