#pragma once

#include <QLabel>

// A reading of the main window. Its text is the rich text the window sets
// ("Temperature:<font color=red>23.45℃  </font>"); it paints that as two runs of plain text, the
// name and the value in its colour, instead of laying out a rich-text document for every new
// reading. Any other text is painted as a label paints it.
class ReadingLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
};
