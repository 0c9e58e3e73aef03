#include "forms/serialportsettingdialog.h"

#include "comm/commstate.h"
#include "forms/settingdialogform.h"
#include "link/portfailure.h"
#include "protocol/protocol.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <iterator>
#include <type_traits>

namespace {
constexpr int AutoItem = 0;
// Wide enough for a /dev/serial/by-id/... path.
constexpr int PortNameCharacters = 64;

// The last choice made in the dialog, offered again while the tool runs.
QString lastPortName;
int lastBaudItem = AutoItem;
} // namespace

void loadBaudCandidates(CommStateRecord &state)
{
    static_assert(std::size(Modbus::SearchOrder) ==
                  std::extent_v<decltype(CommStateRecord::baudCandidates)>);
    std::copy(std::begin(Modbus::SearchOrder), std::end(Modbus::SearchOrder), state.baudCandidates);
    state.autoBaudIndex = 0;
    state.autoBaudCount = quint8(std::size(Modbus::SearchOrder));
}

SerialportSettingDialog::SerialportSettingDialog(QWidget *parent, const CurrentLink &current)
    : QDialog(parent), form(new SettingDialogForm)
{
    form->setupUi(this);
    setWindowTitle(tr("Serial port"));
    form->comboBoxName->setMinimumContentsLength(PortNameCharacters);
    form->comboBoxName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    listOpenablePorts(current.held ? current.portName : QString());
    loadBaudCandidates(CommState);
    offer(current);
    connect(form->pushButtonOK, SIGNAL(clicked()), this, SLOT(ClickedOKSlots()));
    connect(form->pushButtonCancel, SIGNAL(clicked()), this, SLOT(ClickedCancelSlots()));
}

SerialportSettingDialog::~SerialportSettingDialog()
{
    delete form;
}

// The link's port and rate, where the unit is now (after a verified change, its new rate); without
// a link, the last ones chosen here.
void SerialportSettingDialog::offer(const CurrentLink &current)
{
    const int rateItem = form->comboBoxBaud->findText(QString::number(current.baudRate));
    const bool linked = current.baudRate != 0 && rateItem > AutoItem;
    form->comboBoxBaud->setCurrentIndex(linked ? rateItem : lastBaudItem);
    const QString port = linked ? current.portName : lastPortName;
    if (!port.isEmpty())
        form->comboBoxName->setCurrentText(port);
}

// Only ports that open now are offered: one held by another program would fail the link. The
// others are named below the list with the reason. The box stays editable for paths the system
// does not list (pseudo-terminals, by-id links).
void SerialportSettingDialog::listOpenablePorts(const QString &portInUse)
{
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    QStringList problems;
    for (const QSerialPortInfo &info : ports) {
        if (!portInUse.isEmpty() &&
            (info.portName() == portInUse || info.systemLocation() == portInUse)) {
            form->comboBoxName->addItem(info.portName()); // free to choose, it is ours
            continue;
        }
        QSerialPort probe;
        probe.setPort(info);
        if (probe.open(QIODevice::ReadWrite)) {
            form->comboBoxName->addItem(info.portName());
            probe.close();
            continue;
        }
        const PortFailure failure{
            openFailureKind(probe.error(), true, deviceAccessible(info.systemLocation())),
            probe.errorString()};
        problems << tr("%1: %2", "a port and why it cannot be opened")
                        .arg(info.portName(), failure.text());
    }
    form->comboBoxName->setCurrentIndex(form->comboBoxName->count() > 0 ? 0 : -1);
    if (ports.isEmpty())
        problems << tr("No serial port found. Is the adapter plugged in?");
    form->labelPortHint->setText(problems.join(QLatin1Char('\n')));
    form->labelPortHint->setVisible(!problems.isEmpty());
}

void SerialportSettingDialog::ClickedCancelSlots()
{
    reject();
}

void SerialportSettingDialog::ClickedOKSlots()
{
    CommState.portName = form->comboBoxName->currentText().trimmed();
    CommState.baudRate = form->comboBoxBaud->currentIndex() == AutoItem
                             ? 0
                             : form->comboBoxBaud->currentText().toInt();
    CommState.parity = form->comboBoxParity->currentIndex();
    CommState.dataBits = form->comboBoxData->currentText().toInt();
    CommState.stopBits = form->comboBoxStop->currentText().toInt();
    lastPortName = CommState.portName;
    lastBaudItem = form->comboBoxBaud->currentIndex();
    accept();
}
