#pragma once

#include "view/trenddata.h"

#include <QWidget>

class QCustomPlot;
class QLabel;
class QPushButton;
class QTimer;

// The trend of the readings: temperature and dew point on the left axis in the device's unit,
// humidity on the right in per cent, against clock time. It follows the newest reading until
// the user drags or zooms it (Follow returns to following); the lines break where polls went
// unanswered or polling stopped. Every series is drawn decimated to the pixels, so a day of
// readings redraws as fast as a minute. Appending only stores; the chart redraws at most five
// times a second.
class TrendWindow : public QWidget
{
    Q_OBJECT

public:
    explicit TrendWindow(QWidget *parent = nullptr);

    void addReading(qint64 monotonicMs, qint64 wallMs, const Reading &reading);
    void addBreak(qint64 monotonicMs);
    const TrendData &data() const { return trend; }
    // The time range shown, in milliseconds since the first reading.
    double fromMs() const { return shownFrom; }
    double toMs() const { return shownTo; }
    bool isFollowing() const { return following; }
    // Shows this range, as the user's dragging and zooming does (it stops the following).
    void showRange(double fromMs, double toMs);

public slots:
    void follow();
    void clear();
    void redraw();
    bool saveImage(const QString &path);
    // The readings in the range shown, in the readings file's format.
    bool exportCsv(const QString &path) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    static QString seriesName(int series);
    void scheduleRedraw();
    void userChangedRange();
    void showHover(double key);
    void toggleSeries(int series);
    void askAndSaveImage();
    void askAndExportCsv();
    double keyOf(double ms) const;
    double msOf(double key) const;

    TrendData trend;
    QCustomPlot *plot;
    QLabel *hover;
    QLabel *statistics;
    QPushButton *followButton;
    QTimer *redrawTimer;
    bool following = true;
    bool settingRange = false;
    double span = -1; // the width the user zoomed to; -1: the whole run
    double shownFrom = 0, shownTo = 0;
    QString unit = QStringLiteral("\u00B0C");
};
