// Construction, initial control state and signal connections of the main window.
#include "widget/widget.h"

#include "appicon.h"
#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "view/trendwindow.h"

#include <QCoreApplication>
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
    line = new RequestLine(
        [this](const RequestLine::Request &request) { return Transmit(request); }, this);
    line->setObjectName(QStringLiteral("requestLine"));
    timerReconnect = new QTimer(this);
    timerReconnect->setObjectName(QStringLiteral("timerReconnect"));
    trendWindow = new TrendWindow(this);
    monotonic.start();

    setInitialControlState();
    connectSignals();
    ShowLinkState();
}

Widget::~Widget()
{
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
    // Unplugging an adapter shows up only as an error on the open port.
    connect(serialPort, &QSerialPort::errorOccurred, this, &Widget::handlePortError);
    connect(line, &RequestLine::timedOut, this, &Widget::ReportTimeout);
    connect(line, &RequestLine::statisticsChanged, this, &Widget::ShowStatistics);
    connect(timerReconnect, &QTimer::timeout, this, &Widget::TryReconnect);
    connect(form->pushButtonTrend, &QPushButton::clicked, this, [this] {
        trendWindow->show();
        trendWindow->raise();
    });
    connect(form->checkBoxSaveReadings, &QCheckBox::toggled, this, &Widget::SaveReadingsToggled);
}

// Nothing came back in time: said in the view, and a poll's readings turn stale.
void Widget::ReportTimeout(const RequestLine::Request &request, int timeoutMs)
{
    LogNote(tr("no reply within %1 ms").arg(timeoutMs));
    if (request.kind == PollRequest) {
        MarkReadingsStale();
        BreakTrend();
    }
    FollowTimeout(request);
}

void Widget::PushButtonCloseSlot()
{
    QCoreApplication::quit();
}

void Widget::showError(const QString &text)
{
    QMessageBox::information(this, tr("Error"), text, QMessageBox::Ok);
}
