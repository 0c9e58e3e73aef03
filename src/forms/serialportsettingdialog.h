#pragma once

#include <QDialog>
#include <QSerialPort>

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

// Why a port cannot be opened, in the user's words: "permission denied (add your account to the
// dialout group)" when the device file is closed to this account, "in use" when it is open but
// another program holds it, otherwise the system's reason.
QString portProblem(QSerialPort::SerialPortError error, bool deviceAccessible,
                    const QString &systemReason);
