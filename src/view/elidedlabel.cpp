#include "view/elidedlabel.h"

#include "view/panelbackground.h"

#include <QPainter>

namespace {
constexpr int MinimumWidthChars = 8;
}

ElidedLabel::ElidedLabel(QWidget *parent) : QFrame(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString &text)
{
    if (text == fullText)
        return;
    fullText = text;
    setToolTip(text);
    update();
}

QSize ElidedLabel::sizeHint() const
{
    return minimumSizeHint();
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().averageCharWidth() * MinimumWidthChars + margins.left() + margins.right(),
            fontMetrics().height() + margins.top() + margins.bottom()};
}

void ElidedLabel::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(fullText, Qt::ElideRight, area.width()));
}

void ElidedLabel::showEvent(QShowEvent *event)
{
    QFrame::showEvent(event);
    fillLikeItsPanel(this);
}
