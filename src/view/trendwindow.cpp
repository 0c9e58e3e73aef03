#include "view/trendwindow.h"

#include <qcustomplot.h>

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {
constexpr int RedrawIntervalMs = 200;
const QColor SeriesColours[] = {QColor(200, 40, 40), QColor(30, 90, 200), QColor(20, 140, 60)};

std::optional<double> valueOf(float stored)
{
    return std::isnan(stored) ? std::nullopt : std::optional<double>(stored);
}
} // namespace

TrendWindow::TrendWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), plot(new QCustomPlot(this)), hover(new QLabel(this)),
      statistics(new QLabel(this)), followButton(new QPushButton(tr("Follow"), this)),
      redrawTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("trendWindow"));
    setWindowTitle(tr("Trend"));
    setAttribute(Qt::WA_QuitOnClose, false); // the main window's Close ends the tool
    resize(1100, 600);
    plot->setObjectName(QStringLiteral("trendPlot"));
    hover->setObjectName(QStringLiteral("labelHover"));
    statistics->setObjectName(QStringLiteral("labelVisibleStatistics"));
    followButton->setObjectName(QStringLiteral("pushButtonFollow"));
    for (int series = 0; series < TrendData::SeriesCount; ++series) {
        QCPAxis *values = series == TrendData::Humidity ? plot->yAxis2 : plot->yAxis;
        QCPGraph *graph = plot->addGraph(plot->xAxis, values);
        graph->setName(seriesName(series));
        graph->setPen(
            QPen(SeriesColours[series], 1)); // a thin line keeps a dense trend quick to draw
        graph->setAdaptiveSampling(false);   // the data is decimated already
    }
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss\ndd.MM."));
    plot->xAxis->setTicker(ticker);
    plot->yAxis2->setVisible(true);
    plot->yAxis2->setLabel(tr("Humidity (%)"));
    plot->legend->setVisible(true);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom | QCP::iSelectLegend);
    plot->axisRect()->setRangeDrag(Qt::Horizontal);
    plot->axisRect()->setRangeZoom(Qt::Horizontal);
    plot->axisRect()->setRangeDragAxes(plot->xAxis, nullptr);
    plot->axisRect()->setRangeZoomAxes(plot->xAxis, nullptr);
    connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &TrendWindow::userChangedRange);
    connect(plot, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent *event) { showHover(plot->xAxis->pixelToCoord(event->pos().x())); });
    connect(plot, &QCustomPlot::legendClick, this,
            [this](QCPLegend *, QCPAbstractLegendItem *item, QMouseEvent *) {
                if (auto *entry = qobject_cast<QCPPlottableLegendItem *>(item))
                    for (int series = 0; series < TrendData::SeriesCount; ++series)
                        if (plot->graph(series) == entry->plottable())
                            toggleSeries(series);
            });

    auto *clearButton = new QPushButton(tr("Clear"), this);
    auto *imageButton = new QPushButton(tr("Save image"), this);
    auto *csvButton = new QPushButton(tr("Export CSV"), this);
    clearButton->setObjectName(QStringLiteral("pushButtonClear"));
    imageButton->setObjectName(QStringLiteral("pushButtonSaveImage"));
    csvButton->setObjectName(QStringLiteral("pushButtonExportCsv"));
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

void TrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw();
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
    unit = reading.unit();
    scheduleRedraw();
}

void TrendWindow::addBreak(qint64 monotonicMs)
{
    trend.addBreak(monotonicMs);
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

// The range shown, each series decimated to the pixels of the plot, the value axes fitted to
// what is in sight, and its minimum, maximum and mean.
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
                     .arg(humidity ? QStringLiteral("%") : unit);
    }
    // A flat line still gets a little room; a spike widens the axis while it is in sight.
    for (auto [axis, range, found] :
         {std::tuple(plot->yAxis, left, leftFound), std::tuple(plot->yAxis2, right, rightFound)}) {
        if (!found)
            continue;
        const double margin = std::max(0.5, range.size() * 0.05);
        axis->setRange(range.lower - margin, range.upper + margin);
    }
    plot->yAxis->setLabel(tr("Temperature, dew point (%1)").arg(unit));
    statistics->setText(lines.isEmpty() ? tr("No readings in sight.")
                                        : tr("In sight: ") + lines.join(QStringLiteral("; ")));
    plot->replot();
}

// The time under the pointer and the three values of the reading nearest to it.
void TrendWindow::showHover(double key)
{
    if (trend.size() == 0)
        return;
    const double ms = msOf(key);
    int nearest = std::min(trend.lowerBound(ms), trend.size() - 1);
    if (nearest > 0 &&
        std::abs(trend.at(nearest - 1).ms - ms) < std::abs(trend.at(nearest).ms - ms))
        --nearest;
    const TrendData::Sample &sample = trend.at(nearest);
    if (TrendData::isBreak(sample))
        return;
    const Reading format = trend.formatAt(nearest);
    QStringList values;
    for (int series = 0; series < TrendData::SeriesCount; ++series)
        if (!std::isnan(sample.value[series]))
            values << seriesName(series) + QStringLiteral(" ") +
                          QString::number(sample.value[series], 'f', format.decimals) +
                          (series == TrendData::Humidity ? QStringLiteral(" %")
                                                         : QStringLiteral(" ") + format.unit());
    hover->setText(trend.wallTime(sample.ms).toString(QStringLiteral("hh:mm:ss.zzz  ")) +
                   values.join(QStringLiteral(", ")));
}

void TrendWindow::toggleSeries(int series)
{
    QCPGraph *graph = plot->graph(series);
    graph->setVisible(!graph->visible());
    plot->legend->itemWithPlottable(graph)->setTextColor(graph->visible() ? Qt::black : Qt::gray);
    redraw();
}

bool TrendWindow::saveImage(const QString &path)
{
    redraw();
    return plot->savePng(path, plot->width(), plot->height());
}

bool TrendWindow::exportCsv(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // UTF-8 whatever the locale (the unit is "°C"), written as bytes: the same in Qt 5 and Qt 6.
    bool written = true;
    auto out = [&](const QString &row) {
        const QByteArray bytes = (row + QLatin1Char('\n')).toUtf8();
        written = written && file.write(bytes) == bytes.size();
    };
    out(ReadingsCsv::header());
    const int end = trend.lowerBound(std::nextafter(shownTo, HUGE_VAL));
    for (int i = trend.lowerBound(shownFrom); i < end; ++i) {
        const TrendData::Sample &sample = trend.at(i);
        if (TrendData::isBreak(sample))
            continue;
        Reading reading = trend.formatAt(i);
        reading.temperature = valueOf(sample.value[TrendData::Temperature]);
        reading.humidity = valueOf(sample.value[TrendData::Humidity]);
        reading.dewPoint = valueOf(sample.value[TrendData::DewPoint]);
        out(ReadingsCsv::row(trend.wallTime(sample.ms), reading));
    }
    return written && file.flush();
}

void TrendWindow::askAndSaveImage()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save image"), QString(), tr("PNG images (*.png)"));
    if (!path.isEmpty() && !saveImage(path))
        QMessageBox::information(this, tr("Error"), tr("Cannot write the image %1.").arg(path));
}

void TrendWindow::askAndExportCsv()
{
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export CSV"), QString(), tr("CSV files (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        QMessageBox::information(this, tr("Error"), tr("Cannot write the file %1.").arg(path));
}
