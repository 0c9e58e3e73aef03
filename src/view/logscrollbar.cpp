#include "view/logscrollbar.h"

#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>

LogScrollBar::Look LogScrollBar::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        sliderPosition() == minimum(), sliderPosition() == maximum()};
}

// Every other change repaints the bar, so the look before this one is the one on the screen.
// A range that grows while the bar is needed is not announced: the scroll area would only lay its
// bars out again, which repaints them, for a bar that stays where it is.
void LogScrollBar::setLogRange(int last, bool follow)
{
    const Look before = look();
    const bool staysShown = maximum() > 0 && last >= maximum();
    quiet = true;
    {
        const QSignalBlocker unannounced(staysShown ? this : nullptr);
        setRange(0, last);
    }
    if (follow)
        setValue(last);
    quiet = false;
    if (!(look() == before))
        update();
}

void LogScrollBar::sliderChange(SliderChange change)
{
    if (!quiet)
        QScrollBar::sliderChange(change); // which asks for a repaint
}
