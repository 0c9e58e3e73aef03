#pragma once

#include <QDialog>

struct CommStateRecord;
namespace Ui {
class SerialportSettingDialog;
}
using SettingDialogForm = Ui::SerialportSettingDialog;

// Modal choice of the serial port and the baud rate ("AUTO" searches the candidates).
// On OK the choice goes into CommState; building the dialog reloads the search table.
class SerialportSettingDialog : public QDialog
{
    Q_OBJECT

public:
    // portInUse: the port the tool itself holds open, listed as free to choose again.
    explicit SerialportSettingDialog(QWidget *parent = nullptr,
                                     const QString &portInUse = QString());
    ~SerialportSettingDialog() override;

private slots:
    void ClickedCancelSlots();
    void ClickedOKSlots();

private:
    void listOpenablePorts(const QString &portInUse);

    SettingDialogForm *form;
};

// Candidate rates of the automatic search, in trial order.
void loadBaudCandidates(CommStateRecord &state);
