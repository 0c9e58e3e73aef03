// Construction, initial control state and signal connections of the main window.
#include "widget/widget.h"

#include "appicon.h"
#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "view/linewindow.h"
#include "view/trendwindow.h"
#include "widget/polltarget.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

namespace {
constexpr int BaudItem9600 = 3;
}

Widget::Widget(QWidget *parent) : QWidget(parent), form(new WidgetForm)
{
    form->setupUi(this);
    versionText = QStringLiteral(" V") + buildDate.toString(QStringLiteral("yyyy.MM.dd")) +
                  QStringLiteral(".") + buildTime.toString(QStringLiteral("hhmm"));
    setWindowTitle(tr("Tervin Test Tools") + QStringLiteral("  ") + versionText);
    setWindowIcon(appIcon());
    form->comboBoxBaudRate->setCurrentIndex(BaudItem9600);

    serialPort = new QSerialPort(this);
    serialPort->setObjectName(QStringLiteral("serialPort"));
    timerClear = new QTimer(this);
    timerRead = new QTimer(this);
    timerAuto = new QTimer(this);
    timerDelay = new QTimer(this);
    timerClear->setObjectName(QStringLiteral("timerClear"));
    timerRead->setObjectName(QStringLiteral("timerRead"));
    timerAuto->setObjectName(QStringLiteral("timerAuto"));
    timerDelay->setObjectName(QStringLiteral("timerDelay"));
    link = new LinkSession(new SerialLinkPort(serialPort, this), &clock, this);
    link->setObjectName(QStringLiteral("linkSession"));
    follower = new LinkFollower(link, this);
    search = new RateSearch(
        link, [this](int baudRate) { return ApplySearchRate(baudRate); }, this);
    pollTarget = new PollTarget(link, this);
    trendWindow = new TrendWindow(this);
    lineWindow = new LineWindow(link, this);
    monotonic.start();

    setInitialControlState();
    connectSignals();
    ShowLinkState();
}

Widget::~Widget()
{
    delete lineWindow; // it shows the session's roster, which goes with the window's children
    delete form;
}

void Widget::setInitialControlState()
{
    form->comboBoxDeviceType->clear();
    form->comboBoxDeviceType->addItem(QStringLiteral("Tervin-O"));
    form->comboBoxDeviceType->addItem(QStringLiteral("Tervin-C"));
    form->comboBoxDeviceType->addItem(QStringLiteral("Tervin-F"));
    form->lineEditPeriod->setText(QStringLiteral("1000"));
    // The device and sensor types are set at the factory: read-only from this window.
    form->pushButtonTypeSetting->setEnabled(false);
    form->pushButtonSensorTypeSetting->setEnabled(false);
    ShowPollRegisters();
    FixReadingLabelSizes();
}

// The reading labels keep the size of the widest reading they can show: a new reading repaints its
// label and lays out nothing.
void Widget::FixReadingLabelSizes()
{
    const QString widestTemperature = QStringLiteral("<font color=red>-3276.8\u2109  </font>");
    const QString widestHumidity = QStringLiteral("<font color=red>6553.5%  </font>");
    const std::pair<QLabel *, QString> widest[] = {
        {form->labelTemperature, tr("Temperature:") + widestTemperature},
        {form->labelHumidity, tr("Humidity:") + widestHumidity},
        {form->labelDewTemp, tr("DewTemp:") + widestTemperature}};
    for (const auto &[label, text] : widest) {
        const QString shown = label->text();
        label->setText(text);
        const QSize size = label->sizeHint();
        label->setText(shown);
        label->setFixedSize(size);
    }
}

void Widget::connectSignals()
{
    connect(form->pushButtonLink, SIGNAL(clicked()), this, SLOT(PushButtonLinkSlot()));
    connect(form->pushButtonClose, SIGNAL(clicked()), this, SLOT(PushButtonCloseSlot()));
    connect(form->pushButtonRead, SIGNAL(clicked()), this, SLOT(PushButtonReadSlot()));
    connect(form->pushButtonAddress, SIGNAL(clicked()), this, SLOT(PushButtonAddressSlot()));
    connect(form->pushButtonBaudRate, SIGNAL(clicked()), this, SLOT(PushButtonBaudRateSlot()));
    connect(form->pushButtonAddressRead, SIGNAL(clicked()), this,
            SLOT(PushButtonAddressReadSlot()));
    connect(form->pushButtonTypeRead, SIGNAL(clicked()), this, SLOT(PushButtonTypeReadSlot()));
    connect(form->pushButtonTypeSetting, SIGNAL(clicked()), this,
            SLOT(PushButtonTypeSettingSlot()));
    connect(form->pushButtonSensorTypeRead, SIGNAL(clicked()), this,
            SLOT(PushButtonSensorTypeReadSlot()));
    connect(form->pushButtonSensorTypeSetting, SIGNAL(clicked()), this,
            SLOT(PushButtonSensorTypeSettingSlot()));
    connect(form->checkBoxSaveToFile, SIGNAL(stateChanged(int)), this, SLOT(CheckBoxSaveSlot(int)));
    connect(timerClear, SIGNAL(timeout()), this, SLOT(TimerClearSlot()));
    connect(timerRead, SIGNAL(timeout()), this, SLOT(ReadHumitureOrder()));
    connect(timerAuto, SIGNAL(timeout()), this, SLOT(AUTOUartInit()));
    connect(timerDelay, SIGNAL(timeout()), this, SLOT(TimerDelaySlot()));
    connect(serialPort, SIGNAL(readyRead()), this, SLOT(my_readuart()));
    connect(link, &LinkSession::written, this, &Widget::OnWritten);
    connect(link, &LinkSession::notSent, this, &Widget::OnNotSent);
    connect(link, &LinkSession::answered, this, &Widget::OnAnswered);
    connect(link, &LinkSession::timedOut, this, &Widget::OnTimedOut);
    connect(link, &LinkSession::late, this, &Widget::OnLate);
    connect(link, &LinkSession::dropped, this, &Widget::OnDropped);
    connect(link, &LinkSession::portLost, this, &Widget::LosePort);
    connect(link, &LinkSession::followingChange, this, &Widget::FollowChange);
    connect(link, &LinkSession::identified, this, &Widget::OnIdentified);
    connect(link, &LinkSession::slowUnit, this, &Widget::OnSlowUnit);
    connect(link, &LinkSession::answeringChanged, this, &Widget::ShowLinkState);
    connect(search, &RateSearch::asking, this, &Widget::SearchAsking);
    connect(search, &RateSearch::finished, this, &Widget::SearchFinished);
    // The polls take an address once it is entered, never a half-typed one, and only once a unit
    // answers there.
    connect(form->lineEditAddress, &QLineEdit::editingFinished, this, &Widget::AddressEntered);
    connect(pollTarget, &PollTarget::moved, this, &Widget::PollsMoved);
    connect(pollTarget, &PollTarget::noUnitAt, this, &Widget::NoUnitAt);
    connect(pollTarget, &PollTarget::unitAnswered, this, &Widget::AcceptReply);
    connect(link, &LinkSession::statisticsChanged, this, &Widget::ShowStatistics);
    connect(follower, &LinkFollower::back, this, &Widget::AdapterBack);
    connect(follower, &LinkFollower::gaveUp, this, &Widget::AdapterGone);
    connect(form->pushButtonTrend, &QPushButton::clicked, this, [this] {
        trendWindow->show();
        trendWindow->raise();
    });
    connect(form->pushButtonLine, &QPushButton::clicked, this, [this] {
        lineWindow->show();
        lineWindow->raise();
    });
    connect(lineWindow, &LineWindow::unitChosen, pollTarget, &PollTarget::set);
    connect(lineWindow, &LineWindow::polled, this, &Widget::LineUnitPolled);
    connect(pollTarget, &PollTarget::moved, lineWindow, &LineWindow::showChosen);
    connect(form->comboBoxRegister, &QComboBox::currentTextChanged, lineWindow,
            [this](const QString &scale) { lineWindow->setHundredths(scale == "*100"); });
    connect(form->checkBoxSaveReadings, &QCheckBox::toggled, this, &Widget::SaveReadingsToggled);
    for (QComboBox *pollChoice : {form->comboBoxRegister, form->comboBoxNum})
        connect(pollChoice, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &Widget::ShowPollRegisters);
}

void Widget::PushButtonCloseSlot()
{
    QCoreApplication::quit();
}

// One box at a time for the same message: a box runs its own event loop, in which the timers
// that raised it may try again. Where the caller asks, handle points to the box while it is open.
void Widget::showError(const QString &text, QMessageBox **handle)
{
    if (boxesOpen.contains(text))
        return;
    boxesOpen << text;
    QMessageBox box(QMessageBox::Information, tr("Error"), text, QMessageBox::Ok, this);
    if (handle)
        *handle = &box;
    box.exec();
    if (handle)
        *handle = nullptr;
    boxesOpen.removeOne(text);
}
