#pragma once

#include "link/linksession.h"

#include <QWidget>

class CheckPanel;
class LineScan;
class PollCycle;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class UnitTable;

// The units on the line of the window's port: a scan that finds them, a switch that polls them
// all round after round, and a table of what each one is, reads and how it answers. Choosing a
// row makes that unit the window's unit.
class LineWindow : public QWidget
{
    Q_OBJECT

public:
    LineWindow(LinkSession *session, QWidget *parent = nullptr);

    // A new link: scanning and polling stop; the table shows the new line's roster.
    void linkChanged();
    bool isPolling() const;
    // Which register block the polls read (the window's Magnification: hundredths or tenths).
    void setHundredths(bool hundredths);
    // The unit the window is on, selected in the table.
    void showChosen(int address);

signals:
    void unitChosen(int address);
    // A unit's poll ended: its readings, or why there are none.
    void polled(int address, const LinkOutcome &outcome);
    // Polling the line started or stopped.
    void pollingChanged(bool on);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void scanClicked();
    void scanProgress(int asked, int total);
    void scanFinished(bool cancelled);
    void pollClicked();
    void stopPolling();
    void rowChosen();
    void copyRows();
    void exportCsv();
    void refreshSoon();
    void refresh();
    void setNote(const QString &text);
    QList<int> selectedRows() const;

    LinkSession *session;
    LineScan *scan;
    PollCycle *cycle;
    UnitTable *table;
    QSortFilterProxyModel *sorted;
    QLineEdit *addresses;
    QPushButton *scanButton;
    QPushButton *cancelButton;
    QProgressBar *progress;
    QLineEdit *period;
    QPushButton *pollButton;
    QPushButton *copyButton;
    QPushButton *exportButton;
    QTableView *view;
    CheckPanel *checkPanel;
    QLabel *note;
    QTimer *refreshTimer; // the table anew a second (ages), and soon after a poll
    QTimer *soon;
    qint64 scanStartMs = 0;
    QList<int> cutOff;
    QList<int> collided;
    int found = 0;
    int chosen = 0; // the window's unit, selected again when the rows change
};
