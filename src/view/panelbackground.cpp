#include "view/panelbackground.h"

#include <QGroupBox>
#include <QImage>
#include <QPalette>
#include <QWidget>

namespace {
QWidget *panelOf(QWidget *widget)
{
    QWidget *panel = widget->parentWidget();
    while (panel && !panel->isWindow() && !qobject_cast<QGroupBox *>(panel))
        panel = panel->parentWidget();
    return panel;
}
} // namespace

void fillLikeItsPanel(QWidget *label)
{
    QWidget *panel = panelOf(label);
    if (!panel)
        return;
    QImage drawn(panel->size(), QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    panel->render(&drawn, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    const QPoint centre = label->mapTo(panel, label->rect().center());
    if (!drawn.rect().contains(centre))
        return;
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, drawn.pixelColor(centre));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}
