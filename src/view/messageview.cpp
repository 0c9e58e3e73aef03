#include "view/messageview.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

// Texts belong to the main window's translation context: the view is part of it.
namespace {
constexpr int TextMargin = 4;
}

MessageView::MessageView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void MessageView::appendLine(Kind kind, const QString &text)
{
    const bool following = isFollowing();
    store.append(quint8(kind), text.toUtf8());
    const int width = fontMetrics().horizontalAdvance(text) + 2 * TextMargin;
    widestLine = std::max(widestLine, width);
    if (!following)
        ++unseen;
    updateScrollRanges();
    if (following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

QString MessageView::lineText(int line) const
{
    return QString::fromUtf8(store.text(line));
}

MessageView::Kind MessageView::lineKind(int line) const
{
    return Kind(store.tag(line));
}

QColor MessageView::colorOf(Kind kind)
{
    switch (kind) {
    case Kind::Sent:
        return QColor(Qt::red);
    case Kind::Received:
        return QColor(Qt::darkGreen);
    case Kind::NotSent:
        return QColor(Qt::gray);
    }
    return QColor(Qt::black);
}

QString MessageView::plainText() const
{
    QStringList lines;
    lines.reserve(store.size());
    for (int i = 0; i < store.size(); ++i)
        lines.append(lineText(i));
    return lines.join(QLatin1Char('\n'));
}

int MessageView::selectionStart() const
{
    return hasSelection() ? std::min(anchorLine, cursorLine) : -1;
}

int MessageView::selectionEnd() const
{
    return hasSelection() ? std::max(anchorLine, cursorLine) : -1;
}

QString MessageView::selectedText() const
{
    QStringList lines;
    for (int i = selectionStart(); hasSelection() && i <= selectionEnd(); ++i)
        lines.append(lineText(i));
    return lines.join(QLatin1Char('\n'));
}

void MessageView::copy() const
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}

void MessageView::selectAll()
{
    if (store.size() == 0)
        return;
    anchorLine = 0;
    cursorLine = store.size() - 1;
    viewport()->update();
}

void MessageView::clearSelection()
{
    anchorLine = cursorLine = -1;
    viewport()->update();
}

int MessageView::lineHeight() const
{
    return std::max(1, fontMetrics().lineSpacing());
}

int MessageView::visibleLineCount() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

int MessageView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

bool MessageView::isFollowing() const
{
    return verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

int MessageView::lineAt(int y) const
{
    const int line = firstVisibleLine() + std::max(0, y) / lineHeight();
    return std::min(line, store.size() - 1);
}

void MessageView::updateScrollRanges()
{
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, store.size() - visibleLineCount()));
    vertical->setPageStep(visibleLineCount());
    vertical->setSingleStep(1);
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, widestLine - viewport()->width()));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(fontMetrics().averageCharWidth());
}

void MessageView::resizeEvent(QResizeEvent *event)
{
    const bool following = isFollowing();
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRanges();
    if (following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void MessageView::scrollContentsBy(int, int)
{
    if (isFollowing())
        unseen = 0;
    viewport()->update();
}

void MessageView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const int height = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int x = TextMargin - horizontalScrollBar()->value();
    const int first = firstVisibleLine();
    const int last = std::min(store.size() - 1, first + visibleLineCount());
    for (int line = first; line <= last; ++line) {
        const int top = (line - first) * height;
        const bool selected = hasSelection() && line >= selectionStart() && line <= selectionEnd();
        if (selected) {
            painter.fillRect(0, top, viewport()->width(), height, palette().highlight());
            painter.setPen(palette().highlightedText().color());
        } else {
            painter.setPen(colorOf(lineKind(line)));
        }
        painter.drawText(x, top + ascent, lineText(line));
    }
    if (unseen > 0)
        paintUnseenBanner(painter);
}

void MessageView::paintUnseenBanner(QPainter &painter)
{
    const QString text = QCoreApplication::translate(
        "Widget", "%n new line(s) below - press End to follow", nullptr, unseen);
    const QFontMetrics metrics = fontMetrics();
    QRect box(0, 0, metrics.horizontalAdvance(text) + 4 * TextMargin, lineHeight() + TextMargin);
    box.moveBottomRight(viewport()->rect().bottomRight() - QPoint(TextMargin, TextMargin));
    painter.fillRect(box, palette().toolTipBase());
    painter.setPen(palette().toolTipText().color());
    painter.drawText(box, Qt::AlignCenter, text);
}

void MessageView::ensureVisible(int line)
{
    QScrollBar *vertical = verticalScrollBar();
    if (line < vertical->value())
        vertical->setValue(line);
    else if (line >= vertical->value() + visibleLineCount())
        vertical->setValue(line - visibleLineCount() + 1);
}

void MessageView::moveCursorTo(int line, bool extendSelection)
{
    if (store.size() == 0)
        return;
    line = std::clamp(line, 0, store.size() - 1);
    if (!extendSelection || anchorLine < 0)
        anchorLine = line;
    cursorLine = line;
    ensureVisible(line);
    viewport()->update();
}

void MessageView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const int current = cursorLine >= 0 ? cursorLine : firstVisibleLine();
    switch (event->key()) {
    case Qt::Key_Up:
        moveCursorTo(current - 1, shift);
        break;
    case Qt::Key_Down:
        moveCursorTo(current + 1, shift);
        break;
    case Qt::Key_PageUp:
        moveCursorTo(current - visibleLineCount(), shift);
        break;
    case Qt::Key_PageDown:
        moveCursorTo(current + visibleLineCount(), shift);
        break;
    case Qt::Key_Home:
        moveCursorTo(0, shift);
        break;
    case Qt::Key_End:
        moveCursorTo(store.size() - 1, shift);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        break;
    case Qt::Key_Escape:
        clearSelection();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void MessageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || store.size() == 0)
        return QAbstractScrollArea::mousePressEvent(event);
    moveCursorTo(lineAt(event->pos().y()), event->modifiers() & Qt::ShiftModifier);
}

void MessageView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || store.size() == 0)
        return QAbstractScrollArea::mouseMoveEvent(event);
    int line = lineAt(event->pos().y());
    if (event->pos().y() < 0)
        line = firstVisibleLine() - 1; // dragging above the view scrolls up
    moveCursorTo(line, true);
}

void MessageView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept(); // the selection was made on press and move
}

void MessageView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QCoreApplication::translate("Widget", "Copy"), this,
                                         &MessageView::copy, QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction *selectAllAction =
        menu.addAction(QCoreApplication::translate("Widget", "Select All"), this,
                       &MessageView::selectAll, QKeySequence::SelectAll);
    selectAllAction->setEnabled(store.size() > 0);
    menu.exec(event->globalPos());
}
