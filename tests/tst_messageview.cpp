// The message view: every line kept in order, colours, selection and copy, following the
// newest line, keyboard navigation, and a long run.
#include "testsupport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

using namespace TestSupport;

namespace {
QString lineNumber(int i)
{
    return QStringLiteral("2026-12-06 10:00:00->TX  %1").arg(i, 8, 10, QLatin1Char('0'));
}

void fill(MessageView &view, int lines)
{
    for (int i = 0; i < lines; ++i)
        view.appendLine(i % 2 ? MessageView::Kind::Received : MessageView::Kind::Sent,
                        lineNumber(i));
}

// Counts the pixels of a colour within the band of one visible line.
int pixelsOfColour(const QImage &image, int top, int height, const QColor &colour)
{
    int count = 0;
    for (int y = top; y < top + height && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == colour;
    return count;
}
} // namespace

class TestMessageView : public QObject
{
    Q_OBJECT

    MessageView *view = nullptr;

private slots:
    void init()
    {
        view = new MessageView;
        view->setFont(QFont(QStringLiteral("Arial"), 10));
        view->resize(500, 200);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }

    void cleanup() { delete view; }

    void linesArePaintedInTheirColours()
    {
        view->appendLine(MessageView::Kind::Sent, lineNumber(0));
        view->appendLine(MessageView::Kind::Received, lineNumber(1));
        view->appendLine(MessageView::Kind::NotSent, lineNumber(2));
        const QImage image = view->viewport()->grab().toImage();
        const int height = view->fontMetrics().lineSpacing();
        QVERIFY(pixelsOfColour(image, 0, height, Qt::red) > 20);
        QCOMPARE(pixelsOfColour(image, 0, height, QColor(0, 128, 0)), 0);
        QVERIFY(pixelsOfColour(image, height, height, QColor(0, 128, 0)) > 20);
        QCOMPARE(pixelsOfColour(image, height, height, Qt::red), 0);
        QVERIFY(pixelsOfColour(image, 2 * height, height, Qt::gray) > 20);
    }

    void copyPutsExactlyTheSelectedLines()
    {
        fill(*view, 5);
        const int height = view->fontMetrics().lineSpacing();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, height + 2));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          QPoint(10, 3 * height + 2));
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), lineNumber(1) + QLatin1Char('\n') +
                                                        lineNumber(2) + QLatin1Char('\n') +
                                                        lineNumber(3));
        QTest::keyClick(view, Qt::Key_Up, Qt::ShiftModifier); // keyboard extends it too
        QCOMPARE(view->selectedText(), lineNumber(1) + QLatin1Char('\n') + lineNumber(2));
    }

    void dragSelects()
    {
        fill(*view, 5);
        const int height = view->fontMetrics().lineSpacing();
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(10, 2));
        QMouseEvent move(QEvent::MouseMove, QPoint(10, 2 * height + 2), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(10, 2 * height + 2));
        QCOMPARE(view->selectionStart(), 0);
        QCOMPARE(view->selectionEnd(), 2);
    }

    void contextMenuOffersCopyAndSelectAll()
    {
        fill(*view, 3);
        QStringList offered;
        QTimer::singleShot(50, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *action : menu->actions())
                offered << action->text() + (action->isEnabled() ? "" : " (disabled)");
            menu->actions().at(1)->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10),
                                view->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(view->viewport(), &event);
        QCOMPARE(offered,
                 QStringList({QStringLiteral("Copy (disabled)"), QStringLiteral("Select All")}));
        QCOMPARE(view->selectedText(), view->plainText());
        view->copy();
        QCOMPARE(QApplication::clipboard()->text().count(QLatin1Char('\n')), 2);
    }

    void followsTheNewestLineUntilTheUserScrollsUp()
    {
        fill(*view, 1000);
        QVERIFY(view->isFollowing());
        QCOMPARE(view->firstVisibleLine() + view->visibleLineCount(), 1000);
        view->verticalScrollBar()->setValue(100);
        fill(*view, 10);
        QCOMPARE(view->firstVisibleLine(), 100); // no jump while reading
        QVERIFY(!view->isFollowing());
        QCOMPARE(view->unseenLines(), 10);
        QTest::keyClick(view, Qt::Key_End);
        QVERIFY(view->isFollowing());
        QCOMPARE(view->unseenLines(), 0);
        fill(*view, 1);
        QCOMPARE(view->firstVisibleLine() + view->visibleLineCount(), 1011);
    }

    void keyboardNavigation()
    {
        fill(*view, 500);
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(view->firstVisibleLine(), 0);
        QCOMPARE(view->selectionStart(), 0);
        const int page = view->visibleLineCount();
        QTest::keyClick(view, Qt::Key_PageDown);
        QCOMPARE(view->selectionStart(), page);
        QTest::keyClick(view, Qt::Key_PageDown);
        QCOMPARE(view->selectionStart(), 2 * page);
        QVERIFY(view->firstVisibleLine() > 0);
        QTest::keyClick(view, Qt::Key_PageUp);
        QCOMPARE(view->selectionStart(), page);
        QTest::keyClick(view, Qt::Key_End);
        QCOMPARE(view->selectionStart(), 499);
        QVERIFY(view->isFollowing());
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(view->selectionStart(), 0);
        QCOMPARE(view->selectionEnd(), 499);
    }

    void longRunStaysResponsive()
    {
        const int lines = 300000;
        fill(*view, lines);
        QCOMPARE(view->lineCount(), lines);
        view->appendLine(MessageView::Kind::Sent, QStringLiteral("last"));
        QVERIFY(!view->viewport()->grab().isNull());
        QCOMPARE(view->lineText(lines), QStringLiteral("last"));
        QCOMPARE(view->lineText(123456), lineNumber(123456));
        QCOMPARE(view->lineKind(123457), MessageView::Kind::Received);
        QVERIFY(view->isFollowing());
    }

    // During polling the view holds exactly what the capture file holds, in order.
    void viewMatchesTheCaptureFile()
    {
        Bench bench;
        child<QCheckBox>(&bench.window, "checkBoxSaveToFile")->setChecked(true);
        QVERIFY(bench.linkAtDeviceRate());
        bench.edit("lineEditPeriod")->setText(QStringLiteral("100"));
        click(bench.window, "pushButtonRead");
        QTRY_VERIFY_WITH_TIMEOUT(received(bench.window).size() >= 30, 15000);
        click(bench.window, "pushButtonRead");
        QTRY_COMPARE(sent(bench.window).size(), received(bench.window).size());
        QFile file(QStringLiteral("Data/") +
                   QDir(QStringLiteral("Data")).entryList(QDir::Files).value(0));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(file.readAll()),
                 TestSupport::view(bench.window)->plainText() + QLatin1Char('\n'));
        QCOMPARE(TestSupport::view(bench.window)->property("lineCount").toInt(),
                 2 * received(bench.window).size());
    }
};

QTEST_MAIN(TestMessageView)
#include "tst_messageview.moc"
