#pragma once

#include <QDialog>

struct CommStateRecord;
namespace Ui {
class SerialportSettingDialog;
}
using SettingDialogForm = Ui::SerialportSettingDialog;

// The port and rate of the tool's link to a unit, as the dialog offers them; an empty port name
// when there is no link.
struct CurrentLink
{
    QString portName;
    int baudRate = 0;
};

// Modal choice of the serial port and the baud rate ("AUTO" searches the candidates).
// On OK the choice goes into CommState; building the dialog reloads the search table.
class SerialportSettingDialog : public QDialog
{
    Q_OBJECT

public:
    // current: the tool's link, offered first (its port, which the tool may hold open, is listed
    // as free to choose again); without one the dialog offers the last choice made in it.
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
