#pragma once

#include <QString>
#include <QVector>

#include <qcustomplot.h>

// The ticks of the trend's time axis, in seconds since the epoch, labelled in local time. The step
// is a round one (1, 2 or 5 ms up to 12 h, then whole days) and the label shows what that step
// needs, so no two labels are alike at any zoom:
//   below a second "hh:mm:ss.zzz", below a minute "hh:mm:ss", below a day "hh:mm", each over the
//   date "MM-dd"; a day or more, the date alone. The date carries the year where the ticks span
//   years, and the time its zone where the clock went back (the same hour twice in autumn).
struct TimeTicks
{
    double step = 0;
    QVector<double> ticks;
    QVector<QString> labels;
};
// At most maxTicks steps (three or more) fit between lower and upper.
TimeTicks timeTicks(double lower, double upper, int maxTicks);

// Hands the time axis of a QCustomPlot the ticks above; its tick count is the most ticks.
class TimeTicker : public QCPAxisTicker
{
public:
    void generate(const QCPRange &range, const QLocale &locale, QChar formatChar, int precision,
                  QVector<double> &ticks, QVector<double> *subTicks,
                  QVector<QString> *tickLabels) override;
};
