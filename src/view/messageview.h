#pragma once

#include "view/linestore.h"

#include <QAbstractScrollArea>
#include <QColor>

// The frame log of the window. Keeps every line of the run in a compact store and paints
// only the lines in sight, so appending stays cheap however long the run.
class MessageView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString plainText READ plainText)
    Q_PROPERTY(int lineCount READ lineCount)

public:
    enum class Kind : quint8 { Sent, Received, NotSent };

    explicit MessageView(QWidget *parent = nullptr);

    void appendLine(Kind kind, const QString &text);

    int lineCount() const { return store.size(); }
    QString lineText(int line) const;
    Kind lineKind(int line) const;
    static QColor colorOf(Kind kind);

    // Every line, newline-separated, as plain text.
    QString plainText() const;
    QString selectedText() const;
    bool hasSelection() const { return anchorLine >= 0; }
    int selectionStart() const;
    int selectionEnd() const;

    int firstVisibleLine() const;
    int visibleLineCount() const;
    // True while the view follows the newest line (scrolled to the bottom).
    bool isFollowing() const;
    // Lines that arrived while the user was reading further up.
    int unseenLines() const { return unseen; }
    qint64 memoryBytes() const { return store.memoryBytes(); }

public slots:
    void copy() const;
    void selectAll();
    void clearSelection();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int lineHeight() const;
    int lineAt(int y) const;
    void updateScrollRanges();
    void moveCursorTo(int line, bool extendSelection);
    void ensureVisible(int line);
    void paintUnseenBanner(class QPainter &painter);

    LineStore store;
    int anchorLine = -1; // selection: lines between anchorLine and cursorLine, inclusive
    int cursorLine = -1;
    int unseen = 0;
    int widestLine = 0; // pixels
};
