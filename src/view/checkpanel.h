#pragma once

#include "link/linksession.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class ElidedLabel;
class LineCheck;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;
class UnitTable;
struct CheckSettings;

// The Line window's Check mode: every unit of the line against a reference, judged from the
// readings of the window's own polls. The reference is a row of the table or values typed from an
// instrument with their uncertainty; the tolerances default to each unit's sensor family; the
// settle time. The table shows each unit's deviation, the settle time it still needs and its
// verdict; Report… writes the PDF and the CSV beside it.
class CheckPanel : public QWidget
{
    Q_OBJECT

public:
    CheckPanel(LinkSession *session, UnitTable *table, QTableView *view, QWidget *parent = nullptr);
    ~CheckPanel() override;

    // The switch of the Check mode, for the window's row of controls.
    QPushButton *modeButton() const { return modeSwitch; }
    const LineCheck &check() const { return *lineCheck; }

    // Writes the report of the check as it stands, with the operator's note: the PDF at this path
    // and the CSV beside it. A file that cannot be written is said in a box naming it; the other
    // is written all the same. Returns whether both were.
    bool writeReport(const QString &note, const QString &pdf);

    // A poll of the window's cycle ended.
    void polled(int address, const LinkOutcome &outcome);
    // The window's polling started or stopped: a check needs it.
    void pollingChanged(bool on);

signals:
    // A check started: the line must be polled.
    void pollWanted();

private:
    void buildControls();
    void modeToggled(bool on);
    void showColumns(bool on);
    void startClicked();
    QString settingsFromFields(CheckSettings &settings) const;
    void end(const QString &why);
    void reportClicked();
    void tick();
    void refreshReferences();
    void referenceChosen();
    void showStatus();
    void enableFields();

    LinkSession *session;
    QPointer<UnitTable> table; // the window's, which may go first
    QTableView *view;
    std::unique_ptr<LineCheck> lineCheck;
    QPushButton *modeSwitch;
    QComboBox *reference;
    QLineEdit *referenceTemperature;
    QLineEdit *referenceHumidity;
    QLineEdit *toleranceTemperature;
    QLineEdit *toleranceHumidity;
    QLineEdit *settle;
    QPushButton *startButton;
    QPushButton *reportButton;
    ElidedLabel *status; // cut to its space: the window keeps its size whatever it says
    QTimer *ticker;      // the status and the deadline, a second apart
    QString ending;      // why the last check ended
    QString lastNote;
};
