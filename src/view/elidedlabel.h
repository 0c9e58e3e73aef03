#pragma once

#include <QFrame>
#include <QString>

// A one-line status line that takes the width it is given and never asks for more: a text too
// long for it ends in "…", and the whole text is its tooltip. Its size does not depend on its
// text, so a new text repaints the line and lays out nothing; a text that does not change is not
// set again.
class ElidedLabel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)

public:
    explicit ElidedLabel(QWidget *parent = nullptr);

    QString text() const { return fullText; }
    void setText(const QString &text);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QString fullText;
};
