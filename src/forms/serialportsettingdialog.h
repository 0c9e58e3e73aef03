#pragma once

#include <QDialog>

struct CommStateRecord;
namespace Ui {
class SerialportSettingDialog;
}
using SettingDialogForm = Ui::SerialportSettingDialog;

// The tool's link as the dialog needs to know it: its port, and the rate where the unit is (0 when
// the tool knows of none: no link, a search, a search that found nothing).
struct CurrentLink
{
    QString portName;
    int baudRate = 0;
    bool held = false; // the tool holds the port open, so the port is free to choose again
};

// Modal choice of the serial port and the baud rate ("AUTO" searches the candidates).
// On OK the choice goes into CommState; building the dialog reloads the search table.
class SerialportSettingDialog : public QDialog
{
    Q_OBJECT

public:
    // current: the tool's link, whose port and rate are offered first; without a rate the dialog
    // offers the last choice made in it.
    explicit SerialportSettingDialog(QWidget *parent = nullptr,
                                     const CurrentLink &current = CurrentLink());
    ~SerialportSettingDialog() override;

private slots:
    void ClickedCancelSlots();
    void ClickedOKSlots();

private:
    void listOpenablePorts(const QString &portInUse);
    void offer(const CurrentLink &current);

    SettingDialogForm *form;
};

// Candidate rates of the automatic search, in trial order.
void loadBaudCandidates(CommStateRecord &state);
