#include "view/readinglabel.h"

#include "view/panelbackground.h"
#include "view/plaintext.h"

#include <QPainter>

namespace {
const QString ColourStart = QStringLiteral("<font color=");
const QString ColourEnd = QStringLiteral("</font>");

// "name<font color=colour>value</font>", or false for any other text.
bool splitReading(const QString &text, QString &name, QString &colour, QString &value)
{
    const int start = int(text.indexOf(ColourStart));
    const int close = start < 0 ? -1 : int(text.indexOf(QLatin1Char('>'), start));
    if (close < 0 || !text.endsWith(ColourEnd))
        return false;
    name = text.left(start);
    colour = text.mid(start + ColourStart.size(), close - start - ColourStart.size());
    value = text.mid(close + 1, text.size() - close - 1 - ColourEnd.size());
    return !name.contains(QLatin1Char('<')) && !value.contains(QLatin1Char('<'));
}
} // namespace

void ReadingLabel::paintEvent(QPaintEvent *event)
{
    QString name, colour, value;
    if (!splitReading(text(), name, colour, value)) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect area = contentsRect();
    const int baseline =
        area.top() + (area.height() - fontMetrics().height()) / 2 + fontMetrics().ascent();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area.left(), baseline, name);
    painter.setPen(QColor(colour));
    drawPlainText(painter, QPointF(area.left() + fontMetrics().horizontalAdvance(name), baseline),
                  value);
}

void ReadingLabel::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    fillLikeItsPanel(this);
}
