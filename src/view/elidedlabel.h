#pragma once

#include <QLabel>

// A one-line status label that takes the width it is given and never asks for more: a text too
// long for it ends in "…", and the whole text is its tooltip. A text that does not change is not
// set again, so a status that is repeated costs no layout and no repaint.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    void setText(const QString &text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
