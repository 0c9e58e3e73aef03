#include "view/messageview.h"

#include "view/logscrollbar.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScrollBar>

#include <algorithm>

// Texts belong to the main window's translation context: the view is part of it.
namespace {
constexpr int ClearWithoutAskingLines = 10000;
// Lines appended within this time scroll into sight together, a few times a second: a request
// and its reply, and at short periods several polls, cost one scroll of the view and one paint
// instead of one each. Moving the lines drawn is most of what following a busy line costs.
constexpr int NewLinesDelayMs = 200;

} // namespace

MessageView::MessageView(QWidget *parent)
    : QAbstractScrollArea(parent), lineBar(new LogScrollBar(this)), findBar(new QWidget(this)),
      findEdit(new QLineEdit(findBar)), findStatus(new QLabel(findBar)),
      newLinesTimer(new QTimer(this))
{
    newLinesTimer->setObjectName(QStringLiteral("newLinesTimer"));
    newLinesTimer->setSingleShot(true);
    newLinesTimer->setInterval(NewLinesDelayMs);
    connect(newLinesTimer, &QTimer::timeout, this, &MessageView::showNewLines);
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBar(lineBar);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);

    findBar->setObjectName(QStringLiteral("findBar"));
    findEdit->setObjectName(QStringLiteral("findEdit"));
    findStatus->setObjectName(QStringLiteral("findStatus"));
    findEdit->setPlaceholderText(QCoreApplication::translate(
        "Widget", "Find text or hex bytes (Enter: next, Shift+Enter: previous)"));
    findEdit->installEventFilter(this);
    auto *row = new QHBoxLayout(findBar);
    row->setContentsMargins(TextMargin, 2, TextMargin, 2);
    row->addWidget(findEdit, 1);
    row->addWidget(findStatus);
    findBar->setAutoFillBackground(true);
    findBar->hide();
}

// While following, the lines in sight move up by a row (scrollContentsBy) and only the new row is
// painted; further up, only the banner that counts the unseen lines changes.
void MessageView::appendLine(Kind kind, const QString &text)
{
    const bool following = isFollowing();
    store.append(quint8(kind), text.toUtf8());
    widestLine = std::max(widestLine, lineWidth(kind, text));
    if (following) {
        if (unshownFrom < 0)
            unshownFrom = store.size() - 1;
        if (!newLinesTimer->isActive())
            newLinesTimer->start();
    } else {
        const QRect banner = unseenBannerRect();
        ++unseen;
        updateScrollRanges();
        viewport()->update(banner | unseenBannerRect());
    }
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
    case Kind::Dropped:
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

void MessageView::clear()
{
    if (store.size() > ClearWithoutAskingLines &&
        QMessageBox::question(this, QCoreApplication::translate("Widget", "Clear"),
                              QCoreApplication::translate("Widget",
                                                          "Drop the %n line(s) from the view? The "
                                                          "capture file keeps them.",
                                                          nullptr, store.size()),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    store.clear();
    anchorLine = cursorLine = -1;
    unseen = 0;
    unshownFrom = -1;
    widestLine = 0;
    widestLineKnown = true;
    updateScrollRanges();
    viewport()->update();
}

// Hexadecimal bytes are looked for as the log writes them: "01 03 02" as "010302".
QByteArray MessageView::searchKey(const QString &pattern)
{
    static const QRegularExpression hexBytes(
        QStringLiteral("^\\s*[0-9a-fA-F]{2}(\\s+[0-9a-fA-F]{2})+\\s*$"));
    QString key = pattern;
    if (hexBytes.match(key).hasMatch())
        key.remove(QLatin1Char(' '));
    return key.toLower().toUtf8();
}

bool MessageView::find(const QString &text, bool backwards)
{
    pattern = text;
    const int from = cursorLine >= 0 ? cursorLine : (backwards ? 0 : store.size() - 1);
    const int line = store.find(searchKey(text), from, backwards);
    findStatus->setText(text.isEmpty() ? QString()
                        : line < 0     ? QCoreApplication::translate("Widget", "not found")
                                       : QCoreApplication::translate("Widget", "line %1 of %2")
                                         .arg(line + 1)
                                         .arg(store.size()));
    if (line >= 0)
        moveCursorTo(line, false);
    viewport()->update();
    return line >= 0;
}

void MessageView::showFindBar()
{
    findBar->show();
    placeFindBar();
    findEdit->setFocus();
    findEdit->selectAll();
}

void MessageView::hideFindBar()
{
    findBar->hide();
    pattern.clear();
    setViewportMargins(0, 0, 0, 0);
    setFocus();
    viewport()->update();
}

void MessageView::placeFindBar()
{
    if (findBar->isHidden())
        return;
    const int height = findBar->sizeHint().height();
    setViewportMargins(0, 0, 0, height);
    const QRect area = viewport()->geometry();
    findBar->setGeometry(area.left(), area.bottom() + 1, area.width(), height);
}

bool MessageView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != findEdit || event->type() != QEvent::KeyPress)
        return QAbstractScrollArea::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        find(findEdit->text(), key->modifiers() & Qt::ShiftModifier);
        return true;
    }
    if (key->key() == Qt::Key_Escape) {
        hideFindBar();
        return true;
    }
    return false;
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

// The vertical bar counts lines, the horizontal one pixels. Following, the first line in sight
// moves with the range.
// The lines appended since the last scroll come into sight together; if the user has scrolled up
// meanwhile, they count as unseen instead.
void MessageView::showNewLines()
{
    if (unshownFrom < 0)
        return;
    const int first = std::exchange(unshownFrom, -1);
    if (isFollowing()) {
        updateScrollRanges(true);
        updateRowsFrom(first);
        return;
    }
    const QRect banner = unseenBannerRect();
    unseen += store.size() - first;
    updateScrollRanges();
    viewport()->update(banner | unseenBannerRect());
}

void MessageView::updateScrollRanges(bool follow)
{
    QScrollBar *horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, widestLine - viewport()->width()));
    horizontal->setPageStep(viewport()->width());
    horizontal->setSingleStep(fontMetrics().averageCharWidth());
    lineBar->setPageStep(visibleLineCount());
    lineBar->setSingleStep(1);
    lineBar->setLogRange(std::max(0, store.size() - visibleLineCount()), follow);
}

void MessageView::resizeEvent(QResizeEvent *event)
{
    const bool following = isFollowing();
    QAbstractScrollArea::resizeEvent(event);
    placeFindBar();
    updateScrollRanges(following);
}

void MessageView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        lastWidths = {}; // measured in the old font, as are the lines held
        widestLineKnown = store.size() == 0;
    }
    QAbstractScrollArea::changeEvent(event);
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
    if (event->matches(QKeySequence::Find)) {
        showFindBar();
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
    // The shortcuts are set apart: Qt 6 deprecates addAction() with a trailing shortcut.
    QAction *copyAction =
        menu.addAction(QCoreApplication::translate("Widget", "Copy"), this, &MessageView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    QAction *selectAllAction = menu.addAction(QCoreApplication::translate("Widget", "Select All"),
                                              this, &MessageView::selectAll);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(store.size() > 0);
    menu.addAction(QCoreApplication::translate("Widget", "Find"), this, &MessageView::showFindBar)
        ->setShortcut(QKeySequence::Find);
    QAction *clearAction =
        menu.addAction(QCoreApplication::translate("Widget", "Clear"), this, &MessageView::clear);
    clearAction->setEnabled(store.size() > 0);
    menu.exec(event->globalPos());
}
