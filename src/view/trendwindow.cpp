#include "view/trendwindow.h"

#include "view/trendticks.h"

#include <qcustomplot.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {
constexpr int RedrawIntervalMs = 200;
// About one tick label in this many pixels of the time axis ("14:02:17.125" needs some 80).
constexpr int PixelsPerTick = 150;
const QColor SeriesColours[] = {QColor(200, 40, 40), QColor(30, 90, 200), QColor(20, 140, 60)};
// A hidden series' legend entry: its text and its line.
const QColor HiddenColour(190, 190, 190);
const QColor ShownTextColour(Qt::black);
// A layout row or column with this stretch gets no more than its least size.
constexpr double NarrowestStretch = 0.001;
} // namespace

TrendWindow::TrendWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), plot(new QCustomPlot(this)),
      ticker(QSharedPointer<TimeTicker>::create()), hover(new QLabel(this)),
      statistics(new QLabel(this)), followButton(new QPushButton(tr("Follow"), this)),
      redrawTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(tr("Trend"));
    setAttribute(Qt::WA_QuitOnClose, false); // the main window's Close ends the tool
    resize(1100, 600);
    hover->setObjectName(QStringLiteral("labelHover"));
    statistics->setObjectName(QStringLiteral("labelVisibleStatistics"));
    followButton->setObjectName(QStringLiteral("pushButtonFollow"));
    setUpPlot();

    auto *clearButton = new QPushButton(tr("Clear"), this);
    auto *imageButton = new QPushButton(tr("Save image"), this);
    auto *csvButton = new QPushButton(tr("Export CSV"), this);
    clearButton->setObjectName(QStringLiteral("pushButtonClear"));
    imageButton->setObjectName(QStringLiteral("pushButtonSaveImage"));
    csvButton->setObjectName(QStringLiteral("pushButtonExportCsv"));
    followButton->setToolTip(tr("Back to the newest reading, at the width zoomed to"));
    clearButton->setToolTip(tr("Forget every reading drawn so far"));
    imageButton->setToolTip(tr("Save the chart as it is shown, as a PNG image"));
    csvButton->setToolTip(tr("Write the readings in sight to a CSV file, as the readings file"));
    connect(followButton, &QPushButton::clicked, this, &TrendWindow::follow);
    connect(clearButton, &QPushButton::clicked, this, &TrendWindow::clear);
    connect(imageButton, &QPushButton::clicked, this, &TrendWindow::askAndSaveImage);
    connect(csvButton, &QPushButton::clicked, this, &TrendWindow::askAndExportCsv);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(hover, 1);
    for (QPushButton *button : {followButton, clearButton, imageButton, csvButton})
        buttons->addWidget(button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(plot, 1);
    layout->addWidget(statistics);
    layout->addLayout(buttons);

    redrawTimer->setSingleShot(true);
    connect(redrawTimer, &QTimer::timeout, this, &TrendWindow::redraw);
    followButton->setEnabled(false);
    redraw();
}

// Three graphs on the time axis, humidity on the right; the legend in a row of its own above the
// plot, where it never covers the newest readings; dragging and zooming along the time only.
void TrendWindow::setUpPlot()
{
    plot->setObjectName(QStringLiteral("trendPlot"));
    for (int series = 0; series < TrendData::SeriesCount; ++series) {
        QCPAxis *values = series == TrendData::Humidity ? plot->yAxis2 : plot->yAxis;
        QCPGraph *graph = plot->addGraph(plot->xAxis, values);
        graph->setName(seriesName(series));
        graph->setPen(
            QPen(SeriesColours[series], 1)); // a thin line keeps a dense trend quick to draw
        graph->setAdaptiveSampling(false);   // the data is decimated already
    }
    plot->xAxis->setTicker(ticker);
    plot->yAxis2->setVisible(true);
    plot->yAxis2->setLabel(tr("Humidity (%)"));
    plot->legend->setVisible(true);
    plot->legend->setFillOrder(QCPLayoutGrid::foColumnsFirst);
    plot->legend->setBorderPen(Qt::NoPen);
    // The legend at the left of a row above the plot: as short and as narrow as it can be (a tiny
    // stretch factor), an empty element taking the rest of the row.
    auto *top = new QCPLayoutGrid;
    plot->plotLayout()->insertRow(0);
    plot->plotLayout()->addElement(0, 0, top);
    plot->plotLayout()->setRowStretchFactor(0, NarrowestStretch);
    plot->axisRect()->insetLayout()->take(plot->legend);
    top->addElement(0, 0, plot->legend);
    top->addElement(0, 1, new QCPLayoutElement(plot));
    top->setColumnStretchFactor(0, NarrowestStretch);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->axisRect()->setRangeDrag(Qt::Horizontal);
    plot->axisRect()->setRangeZoom(Qt::Horizontal);
    plot->axisRect()->setRangeDragAxes(plot->xAxis, nullptr);
    plot->axisRect()->setRangeZoomAxes(plot->xAxis, nullptr);
    plot->installEventFilter(this);
    connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &TrendWindow::userChangedRange);
    connect(plot, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent *event) { showHover(event->pos()); });
    connect(plot, &QCustomPlot::legendClick, this,
            [this](QCPLegend *, QCPAbstractLegendItem *item, QMouseEvent *) {
                if (auto *entry = qobject_cast<QCPPlottableLegendItem *>(item))
                    for (int series = 0; series < TrendData::SeriesCount; ++series)
                        if (plot->graph(series) == entry->plottable())
                            toggleSeries(series);
            });
}

QString TrendWindow::seriesName(int series)
{
    switch (series) {
    case TrendData::Temperature:
        return tr("Temperature");
    case TrendData::Humidity:
        return tr("Humidity");
    default:
        return tr("Dew point");
    }
}

// The unit signs the main window shows: U+2103 or U+2109, and "%".
QString TrendWindow::unitOf(int series) const
{
    if (series == TrendData::Humidity)
        return QStringLiteral("%");
    return trend.fahrenheit() ? QStringLiteral("\u2109") : QStringLiteral("\u2103");
}

void TrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
}

bool TrendWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == plot && event->type() == QEvent::Leave)
        hover->clear();
    return QWidget::eventFilter(watched, event);
}

double TrendWindow::keyOf(double ms) const
{
    const QDateTime wall = trend.wallTime(0);
    return (wall.isValid() ? wall.toMSecsSinceEpoch() / 1000.0 : 0) + ms / 1000.0;
}

double TrendWindow::msOf(double key) const
{
    return (key - keyOf(0)) * 1000.0;
}

void TrendWindow::addReading(qint64 monotonicMs, qint64 wallMs, const Reading &reading)
{
    trend.append(monotonicMs, wallMs, reading);
    scheduleRedraw();
}

void TrendWindow::addBreak(qint64 monotonicMs)
{
    trend.addBreak(monotonicMs);
    scheduleRedraw();
}

void TrendWindow::startSegment()
{
    trend.startSegment();
    hover->clear();
    scheduleRedraw();
}

void TrendWindow::scheduleRedraw()
{
    if (isVisible() && !redrawTimer->isActive())
        redrawTimer->start(RedrawIntervalMs);
}

void TrendWindow::follow()
{
    following = true;
    followButton->setEnabled(false);
    redraw();
}

void TrendWindow::clear()
{
    trend.clear();
    hover->clear();
    span = -1;
    follow();
}

void TrendWindow::showRange(double fromMs, double toMs)
{
    QSignalBlocker quiet(plot->xAxis);
    plot->xAxis->setRange(keyOf(fromMs), keyOf(toMs));
    userChangedRange();
}

void TrendWindow::userChangedRange()
{
    if (settingRange)
        return;
    following = false;
    followButton->setEnabled(true);
    span = plot->xAxis->range().size() * 1000.0;
    redraw();
}

// The range shown, each series decimated to the pixels of the plot in the unit of the axis, the
// value axes fitted to what is in sight, and its minimum, maximum and mean.
void TrendWindow::redraw()
{
    redrawTimer->stop();
    const double last = trend.lastMs();
    if (following) {
        shownTo = std::max(last, 1000.0);
        shownFrom = span < 0 ? 0 : shownTo - span;
    } else {
        shownFrom = msOf(plot->xAxis->range().lower);
        shownTo = msOf(plot->xAxis->range().upper);
    }
    settingRange = true;
    plot->xAxis->setRange(keyOf(shownFrom), keyOf(shownTo));
    settingRange = false;
    const int pixels = std::max(1, plot->axisRect()->width());
    ticker->setTickCount(std::max(1, pixels / PixelsPerTick));
    plot->xAxis->setTickLabels(trend.size() > 0); // no made-up date on an empty chart
    const double origin = keyOf(0);
    QStringList lines;
    QCPRange left, right;
    bool leftFound = false, rightFound = false;
    for (int series = 0; series < TrendData::SeriesCount; ++series) {
        const Decimated shown = decimate(trend, series, shownFrom, shownTo, pixels);
        QVector<double> keys(shown.ms.size());
        for (int i = 0; i < keys.size(); ++i)
            keys[i] = origin + shown.ms[i] / 1000.0;
        plot->graph(series)->setData(keys, shown.values, true);
        if (shown.count == 0 || !plot->graph(series)->visible())
            continue;
        const bool humidity = series == TrendData::Humidity;
        QCPRange &range = humidity ? right : left;
        bool &found = humidity ? rightFound : leftFound;
        range = found ? QCPRange(std::min(range.lower, shown.min), std::max(range.upper, shown.max))
                      : QCPRange(shown.min, shown.max);
        found = true;
        lines << tr("%1: min %2, max %3, mean %4 %5")
                     .arg(seriesName(series))
                     .arg(shown.min, 0, 'f', 2)
                     .arg(shown.max, 0, 'f', 2)
                     .arg(shown.mean, 0, 'f', 2)
                     .arg(unitOf(series));
    }
    // A flat line still gets a little room; a spike widens the axis while it is in sight.
    for (auto [axis, range, found] :
         {std::tuple(plot->yAxis, left, leftFound), std::tuple(plot->yAxis2, right, rightFound)}) {
        if (!found)
            continue;
        const double margin = std::max(0.5, range.size() * 0.05);
        axis->setRange(range.lower - margin, range.upper + margin);
    }
    plot->yAxis->setLabel(tr("Temperature, dew point (%1)").arg(unitOf(TrendData::Temperature)));
    statistics->setText(lines.isEmpty()
                            ? tr("No readings in sight.")
                            : tr("In sight: ") + lines.join(tr("; ", "between the series")));
    plot->replot();
}

// The reading nearest to this time, past the breaks; -1 when there is none.
int TrendWindow::nearestReading(double ms) const
{
    int after = trend.lowerBound(ms);
    int before = after - 1;
    while (after < trend.size() && TrendData::isBreak(trend.at(after)))
        ++after;
    while (before >= 0 && TrendData::isBreak(trend.at(before)))
        --before;
    if (after >= trend.size())
        return before;
    if (before < 0)
        return after;
    return ms - trend.at(before).ms <= trend.at(after).ms - ms ? before : after;
}

// Over the plot: the time under the pointer and the values of the nearest reading, in the units
// of the axes. Elsewhere: nothing.
void TrendWindow::showHover(const QPoint &pos)
{
    const int nearest = plot->axisRect()->rect().contains(pos)
                            ? nearestReading(msOf(plot->xAxis->pixelToCoord(pos.x())))
                            : -1;
    if (nearest < 0) {
        hover->clear();
        return;
    }
    const int decimals = trend.formatAt(nearest).decimals;
    QStringList values;
    for (int series = 0; series < TrendData::SeriesCount; ++series) {
        const double value = trend.shownValue(nearest, series);
        if (!std::isnan(value))
            values << QStringLiteral("%1 %2 %3")
                          .arg(seriesName(series))
                          .arg(value, 0, 'f', decimals)
                          .arg(unitOf(series));
    }
    hover->setText(trend.wallTime(trend.at(nearest).ms).toString(QStringLiteral("hh:mm:ss.zzz  ")) +
                   values.join(tr(", ", "between the values of one reading")));
}

// A hidden series' legend entry is greyed, its text and its line alike.
void TrendWindow::toggleSeries(int series)
{
    QCPGraph *graph = plot->graph(series);
    const bool shown = !graph->visible();
    graph->setVisible(shown);
    graph->setPen(QPen(shown ? SeriesColours[series] : HiddenColour, 1));
    plot->legend->itemWithPlottable(graph)->setTextColor(shown ? ShownTextColour : HiddenColour);
    redraw();
}
