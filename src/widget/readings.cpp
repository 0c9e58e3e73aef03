// Readings: every accepted reading goes to the trend and, while "Save readings" is ticked, to a
// readings file for spreadsheets.
#include "widget/widget.h"

#include "forms/widgetform.h"
#include "view/trendwindow.h"

#include <QDateTime>

// Every reading goes to the readings file with its address and serial; only the window's unit's
// to the trend, so that its lines and statistics never mix units.
void Widget::RecordReading(const Reading &reading, bool onTrend)
{
    if (reading.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (onTrend)
        trendWindow->addReading(monotonic.elapsed(), now.toMSecsSinceEpoch(), reading);
    if (!readingsFileName.isEmpty())
        AppendToDataFile(readingsFileName, ReadingsCsv::fileHeader(),
                         ReadingsCsv::row(now, reading), readingsErrorShown,
                         tr("Cannot write the readings file %1: %2"));
}

// Polls went unanswered or polling stopped: the trend's lines do not bridge the gap.
void Widget::BreakTrend()
{
    trendWindow->addBreak(monotonic.elapsed());
}

void Widget::SaveReadingsToggled(bool on)
{
    readingsFileName =
        on ? QStringLiteral("Readings") +
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss")) +
                 QStringLiteral(".csv")
           : QString();
    if (on)
        StartDataFile(readingsFileName, tr("Saving the readings to %1"), readingsErrorShown);
}
