// The message view: colours, selection and copy by mouse, keyboard and menu, following the
// newest line, and a long run. The reading labels and status lines, which paint themselves.
#include "testsupport.h"
#include "view/elidedlabel.h"
#include "view/messageview.h"
#include "view/readinglabel.h"

namespace {
QString line(int i)
{
    return QString("2026-12-06 10:00:00->TX  %1").arg(i, 8, 10, QLatin1Char('0'));
}

QString lines(int first, int last)
{
    QStringList text;
    for (int i = first; i <= last; ++i)
        text << line(i);
    return text.join('\n');
}

// The colours painted in a widget, or in a band of its rows.
QSet<QRgb> coloursIn(QWidget &widget, int top = 0, int bottom = -1)
{
    const QImage image = widget.grab().toImage();
    QSet<QRgb> painted;
    for (int y = top; y < (bottom < 0 ? image.height() : bottom); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted << image.pixel(x, y);
    return painted;
}
} // namespace

class TestMessageView : public QObject
{
    Q_OBJECT

    MessageView *view = nullptr;
    int height = 0;

    void fill(int count)
    {
        for (int i = view->lineCount(), end = i + count; i < end; ++i)
            view->appendLine(i % 2 ? MessageView::Kind::Received : MessageView::Kind::Sent,
                             line(i));
    }
    QPoint at(int row) const { return QPoint(10, row * height + 2); }
    // What the painting so far left on the screen, and what painting it all anew draws, the
    // scroll bars included.
    QImage onScreen() const
    {
        return view->screen()
            ->grabWindow(view->winId(), 0, 0, view->width(), view->height())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    QImage repainted() const
    {
        return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void init()
    {
        view = new MessageView;
        view->resize(500, 200);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        height = view->fontMetrics().lineSpacing();
    }

    void cleanup() { delete view; }

    // Each line is painted in its colour alone: red sent, green received, grey not sent.
    void linesArePaintedInTheirColours()
    {
        const QColor colours[] = {Qt::red, QColor(0, 128, 0), Qt::gray};
        for (auto kind :
             {MessageView::Kind::Sent, MessageView::Kind::Received, MessageView::Kind::NotSent})
            view->appendLine(kind, line(0));
        for (int row = 0; row < 3; ++row) {
            const QSet<QRgb> painted =
                coloursIn(*view->viewport(), row * height, (row + 1) * height);
            for (int colour = 0; colour < 3; ++colour)
                QCOMPARE(painted.contains(colours[colour].rgb()), row == colour);
        }
    }

    // A reading's name in the window's text colour, its value in the colour it was given alone.
    void readingLabelPaintsTheValueInItsColour()
    {
        // Not grey: black text blended over the window's grey could make any grey.
        const QString colours[] = {"red", "blue", "green"};
        for (const QString &colour : colours) {
            ReadingLabel label(
                QString("Temperature:<font color=%1>-23.45\u2103  </font>").arg(colour));
            label.adjustSize();
            const QSet<QRgb> painted = coloursIn(label);
            QVERIFY(painted.contains(label.palette().color(QPalette::WindowText).rgb()));
            for (const QString &other : colours)
                QCOMPARE(painted.contains(QColor(other).rgb()), other == colour);
        }
    }

    // A status line paints its own background, in the colour its group box shows around it.
    void statusLineLooksLikeItsPanel()
    {
        QGroupBox panel("Message");
        auto *status = new ElidedLabel;
        status->setText("linked");
        auto *plain = new QWidget;
        plain->setFixedHeight(20);
        auto *rows = new QVBoxLayout(&panel);
        rows->addWidget(status);
        rows->addWidget(plain);
        panel.resize(300, 100);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QVERIFY(status->autoFillBackground());
        const QImage drawn = panel.grab().toImage();
        const QPoint besideText = status->geometry().topRight() + QPoint(-4, status->height() / 2);
        QCOMPARE(drawn.pixelColor(besideText), drawn.pixelColor(plain->geometry().center()));
    }

    void selectionAndCopy()
    {
        fill(5);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at(1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, at(3));
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), lines(1, 3));
        QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(view->selectedText(), lines(1, 2));
        QTest::keyClick(view, Qt::Key_Escape);
        QStringList offered; // the context menu, with nothing selected
        QTimer::singleShot(50, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            for (QAction *action : menu->actions())
                offered << action->text() + (action->isEnabled() ? "" : " (disabled)");
            menu->actions().at(1)->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, at(0), view->mapToGlobal(at(0)));
        QApplication::sendEvent(view->viewport(), &event);
        QCOMPARE(offered.join(','), "Copy (disabled),Select All,Find,Clear");
        QCOMPARE(view->selectedText(), lines(0, 4));
        QCOMPARE(view->plainText(), lines(0, 4));
    }

    // Beyond the first chunk of the store too, every line is kept and found again.
    void keyboardAndFollowing()
    {
        fill(5000);
        QTRY_COMPARE(view->firstVisibleLine() + view->visibleLineCount(), 5000);
        QTRY_VERIFY(view->verticalScrollBar()->isVisible());
        const int page = view->visibleLineCount();
        QTest::keyClick(view, Qt::Key_Home);
        QTest::keyClick(view, Qt::Key_PageDown);
        QTest::keyClick(view, Qt::Key_PageDown);
        QTest::keyClick(view, Qt::Key_PageUp);
        QTest::keyClick(view, Qt::Key_Down);
        QCOMPARE(view->selectionStart(), page + 1);
        QVERIFY(view->firstVisibleLine() > 0 && view->firstVisibleLine() <= page + 1);
        fill(10);
        QVERIFY(view->firstVisibleLine() <= page + 1); // no jump while reading
        QCOMPARE(view->unseenLines(), 10);
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->selectedText(), line(5009));
        QCOMPARE(view->unseenLines(), 0);
        fill(1);
        QTRY_COMPARE(view->firstVisibleLine() + view->visibleLineCount(), 5011);
        fill(1); // and the reader scrolls up before it came into sight
        QTest::keyClick(view, Qt::Key_PageUp);
        QTRY_COMPARE(view->unseenLines(), 1);
        QCOMPARE(view->lineKind(4097), MessageView::Kind::Received);
    }

    // Ctrl+F finds text or hex bytes with or without spaces, Enter for the next, Shift+Enter for
    // the previous, wrapping around; the matches are marked. Nothing to find finds nothing.
    void find()
    {
        fill(5000);
        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        auto *edit = view->findChild<QLineEdit *>("findEdit");
        QVERIFY(edit->isVisible() && edit->hasFocus());
        QTest::keyClicks(edit, "00 00 43 21");
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(view->selectedText(), line(4321));
        QTest::keyClicks(edit, "0"); // "00 00 43 210": no longer hex bytes, and nowhere
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(view->findChild<QLabel *>("findStatus")->text(), "not found");
        QCOMPARE(view->selectionStart(), 4321);
        edit->setText("->tx  0000000");
        QTest::keyClick(edit, Qt::Key_Return); // wraps around to the first
        QCOMPARE(view->selectionStart(), 0);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(view->selectionStart(), 9);
        QVERIFY(!view->find("") && view->selectionStart() == 9);
        auto painted = [this] {
            return coloursIn(*view->viewport()).contains(QColor(255, 230, 120).rgb());
        };
        QVERIFY(!painted()); // the empty pattern marks nothing
        QVERIFY(view->find("TX  00004999") && view->selectionStart() == 4999);
        QVERIFY(view->find("->TX", true) && view->selectionStart() == 4998);
        QVERIFY(painted());
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!edit->isVisible() && view->findPattern().isEmpty());
    }

    // Scrolling moves the pixels drawn and only the rows uncovered are painted: after lines
    // arriving one, two or three per pass of the event loop, and after the user scrolls a line up
    // and a little to the left, the screen holds what a full repaint draws.
    void incrementalPaintingMatchesAFullRepaint_data()
    {
        QTest::addColumn<int>("width");   // 160: narrower than a line, the horizontal bar shows
        QTest::addColumn<int>("linesUp"); // scrolled up from the newest line
        QTest::addColumn<bool>("selection");
        QTest::addColumn<QString>("pattern");   // marked wherever it stands
        QTest::addColumn<int>("scrolledRight"); // pixels
        QTest::addColumn<bool>("biggerFont");   // before the user scrolls
        QTest::newRow("scrolled up, the banner counting") << 500 << 5 << false << "" << 0 << false;
        QTest::newRow("following, a selection and a find pattern")
            << 500 << 0 << true << "tx  0000006" << 0 << false;
        QTest::newRow("scrolled right") << 160 << 0 << false << "" << 60 << false;
        QTest::newRow("a bigger font") << 500 << 0 << false << "" << 0 << true;
    }
    void incrementalPaintingMatchesAFullRepaint()
    {
        QFETCH(int, width);
        QFETCH(int, linesUp);
        QFETCH(bool, selection);
        QFETCH(QString, pattern);
        QFETCH(int, scrolledRight);
        QFETCH(bool, biggerFont);
        view->resize(width, 600);
        QCoreApplication::processEvents();
        fill(60);
        QScrollBar *vertical = view->verticalScrollBar();
        QTRY_VERIFY(vertical->isVisible()); // once the lines fill the height
        view->find(pattern);
        view->clearSelection();
        vertical->setValue(vertical->maximum() - linesUp);
        view->horizontalScrollBar()->setValue(scrolledRight);
        if (selection)
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                              at(view->visibleLineCount() - 2));
        QCoreApplication::processEvents();
        for (int burst = 0; burst < 8; ++burst) {
            fill(1 + burst % 3);
            QCoreApplication::processEvents();
        }
        QCOMPARE(view->isFollowing(), linesUp == 0);
        QVERIFY(view->selectionStart() >= (selection ? view->firstVisibleLine() : -1));
        QTRY_COMPARE(onScreen(), repainted());
        if (biggerFont) { // the lines held grow wider than they were measured
            QFont font = view->font();
            font.setPointSizeF(font.pointSizeF() * 1.4);
            view->setFont(font);
            QCoreApplication::processEvents();
        }
        vertical->setValue(vertical->value() - 1);
        view->horizontalScrollBar()->setValue(scrolledRight / 2);
        QTRY_COMPARE(onScreen(), repainted());
    }

    // Clear empties the view, asking first when it holds more than 10,000 lines.
    void clear()
    {
        fill(10000);
        view->clear();
        QCOMPARE(view->lineCount(), 0);
        fill(10001);
        view->clear();
        QCOMPARE(TestSupport::nextBox(), "Clear/Drop the 10001 line(s) from the view? The capture "
                                         "file keeps them.");
        QCOMPARE(view->lineCount(), 0);
        fill(3);
        QCOMPARE(view->plainText(), lines(0, 2));
    }
};

TERVIN_GUI_TEST_MAIN(TestMessageView)
#include "tst_messageview.moc"
