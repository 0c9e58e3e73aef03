#pragma once

#include "view/trenddata.h"

#include <QWidget>

class QCustomPlot;
class QLabel;
class QPushButton;
class QTimer;
class TimeTicker;

// The trend of the readings: temperature and dew point on the left axis in the unit of the newest
// reading (older readings in another unit are converted to it), humidity on the right in per
// cent, against clock time. It follows the newest reading until the user drags or zooms it
// (Follow returns to following); the lines break where polls went unanswered, polling stopped or
// the unit changed. Every series is drawn decimated to the pixels, so a day of readings redraws
// as fast as a minute. Appending only stores; the chart redraws at most five times a second.
class TrendWindow : public QWidget
{
    Q_OBJECT

public:
    explicit TrendWindow(QWidget *parent = nullptr);

    void addReading(qint64 monotonicMs, qint64 wallMs, const Reading &reading);
    void addBreak(qint64 monotonicMs);
    // Another unit answers behind the same port: the lines break after the last reading, and the
    // next reading's unit and block are taken afresh.
    void startSegment();
    const TrendData &data() const { return trend; }
    // The time range shown, in milliseconds since the first reading.
    double fromMs() const { return shownFrom; }
    double toMs() const { return shownTo; }
    bool isFollowing() const { return following; }
    // Shows this range, as the user's dragging and zooming does (it stops the following).
    void showRange(double fromMs, double toMs);

    // What the file dialogs propose: Data/Trend-YYYYMMDD-hhmmss.<suffix> under the current folder.
    static QString proposedPath(const QDateTime &now, const QString &suffix);
    // The path with ".<suffix>" added unless it ends in it already.
    static QString withSuffix(const QString &path, const QString &suffix);

public slots:
    void follow();
    void clear();
    void redraw();
    bool saveImage(const QString &path);
    // The readings in the range shown, in the readings file's format, each row in the unit its
    // reading came in (the unit column says which).
    bool exportCsv(const QString &path) const;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static QString seriesName(int series);
    QString unitOf(int series) const;
    void setUpPlot();
    void scheduleRedraw();
    void userChangedRange();
    void showHover(const QPoint &pos);
    int nearestReading(double ms) const;
    void toggleSeries(int series);
    QString askForFile(const QString &title, const QString &suffix, const QString &filter);
    void askAndSaveImage();
    void askAndExportCsv();
    double keyOf(double ms) const;
    double msOf(double key) const;

    TrendData trend;
    QCustomPlot *plot;
    QSharedPointer<TimeTicker> ticker;
    QLabel *hover;
    QLabel *statistics;
    QPushButton *followButton;
    QTimer *redrawTimer;
    bool following = true;
    bool settingRange = false;
    double span = -1; // the width the user zoomed to; -1: the whole run
    double shownFrom = 0, shownTo = 0;
};
