#pragma once

#include <QRect>
#include <QScrollBar>

// The message view's vertical bar. Its range grows with every line, yet once the log is long the
// handle keeps its smallest size at the bottom: setLogRange() repaints the bar only when the
// handle, or whether it stands at an end, changes.
class LogScrollBar : public QScrollBar
{
public:
    explicit LogScrollBar(QWidget *parent = nullptr) : QScrollBar(Qt::Vertical, parent) {}

    // The range 0..last and, when following, the value last, as one change. valueChanged() goes
    // out as usual.
    void setLogRange(int last, bool follow);

protected:
    void sliderChange(SliderChange change) override;

private:
    struct Look
    {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look &other) const
        {
            return handle == other.handle && atMinimum == other.atMinimum &&
                   atMaximum == other.atMaximum;
        }
    };
    Look look() const;

    bool quiet = false;
};
