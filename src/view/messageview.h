#pragma once

#include "view/linestore.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QTimer>

#include <array>

class QLabel;
class QLineEdit;

// The frame log of the window. Keeps every line of the run in a compact store and paints
// only the lines in sight, so appending stays cheap however long the run. Ctrl+F opens a find
// bar; the context menu copies, selects and clears.
class MessageView : public QAbstractScrollArea
{
    Q_OBJECT
    Q_PROPERTY(QString plainText READ plainText)
    Q_PROPERTY(int lineCount READ lineCount)

public:
    // Dropped: received bytes that never became a reply, shown but not captured.
    enum class Kind : quint8 { Sent, Received, NotSent, Dropped };
    static constexpr int KindCount = 4;

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

    // Moves to the next line (or the previous) that holds the text, or the hexadecimal bytes
    // with or without spaces ("01 03 02"); false when none does. An empty pattern finds nothing.
    bool find(const QString &pattern, bool backwards = false);
    QString findPattern() const { return pattern; }
    static QByteArray searchKey(const QString &pattern);

public slots:
    void copy() const;
    void selectAll();
    void clearSelection();
    // Empties the view, asking first when it holds more than 10,000 lines.
    void clear();
    void showFindBar();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int TextMargin = 4; // pixels left of the text, and right of the widest line
    struct MeasuredLine
    {
        QString text;
        int width = 0;
    };

    int lineHeight() const;
    int lineAt(int y) const;
    void updateScrollRanges(bool follow = false);
    void moveCursorTo(int line, bool extendSelection);
    void ensureVisible(int line);
    int lineWidth(Kind kind, const QString &text);
    void updateRowsFrom(int line);
    void showNewLines();
    QRect movedArea(int dy) const;
    QRect unseenBannerRect() const;
    void paintLine(class QPainter &painter, int line, int top);
    void paintUnseenBanner(class QPainter &painter);
    void paintMatches(class QPainter &painter, const QString &text, int x, int top);
    void placeFindBar();
    void hideFindBar();

    LineStore store;
    int anchorLine = -1; // selection: lines between anchorLine and cursorLine, inclusive
    int cursorLine = -1;
    int unseen = 0;
    int widestLine = 0;          // pixels
    bool widestLineKnown = true; // false once the font changed under the lines held
    QString pattern;             // what the find bar looks for
    int unshownFrom = -1;        // the first line appended but not yet scrolled into sight
    QTimer *newLinesTimer;       // shows the lines appended meanwhile, in one scroll

    std::array<MeasuredLine, KindCount> lastWidths; // the last line of each kind
    class LogScrollBar *lineBar;
    QWidget *findBar;
    QLineEdit *findEdit;
    QLabel *findStatus;
};
