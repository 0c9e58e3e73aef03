// The chart libraries Debian offers, measured as each is meant to be used, with three series of
// readings (temperature, humidity, dew point): the cost of appending one reading, one full
// redraw of the whole range at 1100 px wide, and the memory a reading takes. Prints figures.
// Usage: chart_candidates qtcharts|qwt|qcustomplot
#include "benchsupport.h"

#include <qcustomplot.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_series_data.h>

#include <QApplication>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <vector>

using namespace BenchSupport;

namespace {
constexpr int Width = 1100, Height = 600;
const int Sizes[] = {10000, 100000, 864000};

double ms(Clock::duration d)
{
    return micros(d) / 1000;
}

// A day of readings at 100 ms: slow drift, and a one-sample spike now and then.
double reading(int series, int i)
{
    const double t = i / 10.0;
    const double base[] = {23.5, 45.0, 11.0};
    return base[series] + std::sin(t / 600.0) + (i % 50000 == 0 ? 15.0 : 0.0);
}

// One candidate: how to append a reading at time t (seconds), how to let the time axis follow
// it, and the widget that draws them.
struct Candidate
{
    std::function<void(double t, int i)> append;
    std::function<void(double t)> follow;
    QWidget *widget;
    // Loads readings from..to-1 at once where the library has a faster way than appending.
    std::function<void(int from, int to)> fill;
};

Candidate qtCharts()
{
    using namespace QtCharts;
    auto *chart = new QChart;
    std::vector<QLineSeries *> series;
    for (int s = 0; s < 3; ++s) {
        series.push_back(new QLineSeries);
        chart->addSeries(series.back());
    }
    chart->createDefaultAxes();
    auto *view = new QChartView(chart);
    chart->axes(Qt::Vertical).first()->setRange(0, 70);
    // Appending point by point redoes the chart's geometry each time: the series are filled in
    // one replace() instead, which is how a chart of this size would be loaded.
    auto fill = [series](int from, int to) {
        for (int s = 0; s < 3; ++s) {
            QVector<QPointF> points = series[size_t(s)]->pointsVector();
            for (int i = from; i < to; ++i)
                points.append(QPointF(i / 10.0, reading(s, i)));
            series[size_t(s)]->replace(points);
        }
    };
    return {[series](double t, int i) {
                for (int s = 0; s < 3; ++s)
                    series[size_t(s)]->append(t, reading(s, i));
            },
            [chart](double t) { chart->axes(Qt::Horizontal).first()->setRange(0, t); }, view, fill};
}

// Qwt with its samples in vectors of its own (QwtPointSeriesData would be copied per append).
class Samples : public QwtSeriesData<QPointF>
{
public:
    size_t size() const override { return points.size(); }
    QPointF sample(size_t i) const override { return points[i]; }
    QRectF boundingRect() const override { return bounds; }
    void append(const QPointF &p)
    {
        points.push_back(p);
        bounds = bounds.isNull() ? QRectF(p, QSizeF(0, 0)) : bounds.united(QRectF(p, QSizeF(0, 0)));
    }
    std::vector<QPointF> points;
    QRectF bounds;
};

Candidate qwt()
{
    auto *plot = new QwtPlot;
    std::vector<Samples *> samples;
    for (int s = 0; s < 3; ++s) {
        auto *curve = new QwtPlotCurve;
        curve->setPaintAttribute(QwtPlotCurve::FilterPoints, true);
        samples.push_back(new Samples);
        curve->setData(samples.back());
        curve->attach(plot);
    }
    return {[samples](double t, int i) {
                for (int s = 0; s < 3; ++s)
                    samples[size_t(s)]->append(QPointF(t, reading(s, i)));
            },
            [plot](double t) { plot->setAxisScale(QwtPlot::xBottom, 0, t); }, plot};
}

Candidate qcustomplot()
{
    auto *plot = new QCustomPlot;
    for (int s = 0; s < 3; ++s)
        plot->addGraph();
    plot->yAxis->setRange(0, 70);
    return {[plot](double t, int i) {
                for (int s = 0; s < 3; ++s)
                    plot->graph(s)->addData(t, reading(s, i));
            },
            [plot](double t) { plot->xAxis->setRange(0, t); }, plot};
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString which = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const long rssBefore = rssKiB();
    Candidate candidate;
    if (which == QLatin1String("qtcharts"))
        candidate = qtCharts();
    else if (which == QLatin1String("qwt"))
        candidate = qwt();
    else if (which == QLatin1String("qcustomplot"))
        candidate = qcustomplot();
    else {
        std::fprintf(stderr, "usage: chart_candidates qtcharts|qwt|qcustomplot\n");
        return 2;
    }
    candidate.widget->resize(Width, Height);
    candidate.widget->show();
    QCoreApplication::processEvents();
    const long rssEmpty = rssKiB();
    std::printf("== %s: 3 series, %d x %d px\n", qPrintable(which), Width, Height);
    std::printf("%10s %16s %16s %14s\n", "readings", "append us", "full redraw ms", "B/reading");
    int i = 0;
    for (int size : Sizes) {
        if (candidate.fill)
            candidate.fill(i, size);
        else
            for (int at = i; at < size; ++at)
                candidate.append(at / 10.0, at);
        i = size;
        // One more reading, timed alone: the library's own work for an append and for following
        // it on the time axis, without the redraw.
        const auto start = Clock::now();
        candidate.append(i / 10.0, i);
        candidate.follow(i / 10.0);
        const double appendUs = ms(Clock::now() - start) * 1000;
        ++i;
        std::vector<double> redraws;
        for (int r = 0; r < 3; ++r) {
            const auto drawStart = Clock::now();
            if (auto *plot = qobject_cast<QwtPlot *>(candidate.widget))
                plot->replot();
            if (auto *plot = qobject_cast<QCustomPlot *>(candidate.widget))
                plot->replot();
            (void)candidate.widget->grab();
            redraws.push_back(ms(Clock::now() - drawStart));
        }
        std::sort(redraws.begin(), redraws.end());
        std::printf("%10d %16.2f %16.1f %14.1f\n", i, appendUs, redraws[1],
                    (rssKiB() - rssEmpty) * 1024.0 / i);
    }
    std::printf("(process grew by %ld KiB in all)\n\n", rssKiB() - rssBefore);
    return 0;
}
