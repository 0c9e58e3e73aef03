#pragma once

#include "protocol/requestline.h"
#include "view/messageview.h"

#include <QSerialPort>
#include <QString>
#include <QTime>
#include <QWidget>

class QTimer;
namespace Ui {
class Widget;
}
using WidgetForm = Ui::Widget;

// The tool's main window: link control, the command set, the reply parser, the displays
// and the frame log. Each concern lives in a source file of its own.
class Widget : public QWidget
{
    Q_OBJECT

public:
    explicit Widget(QWidget *parent = nullptr);
    ~Widget() override;

    // CRC-16 of Modbus RTU with its two bytes exchanged (the CRC's low byte in the high half).
    static quint16 ModbusCrc16(const quint8 *data, quint16 length);

    // Frame log: one time-stamped line per frame in the view and, while capturing, in the file.
    void AppendMessage(const QString &frameText, bool received);

private slots:
    void PushButtonLinkSlot();
    void my_readuart();
    void AUTOUartInit();
    void PushButtonReadSlot();
    void ReadHumitureOrder();
    void PushButtonCloseSlot();
    void PushButtonAddressSlot();
    void PushButtonBaudRateSlot();
    void PushButtonAddressReadSlot();
    void PushButtonTypeReadSlot();
    void PushButtonTypeSettingSlot();
    void CheckBoxSaveSlot(int State);
    void PushButtonReadSNSlot();
    void TimerDelaySlot();
    void TimerClearSlot();
    void PushButtonSensorTypeReadSlot();
    void PushButtonSensorTypeSettingSlot();

private:
    // construction
    void setInitialControlState();
    void connectSignals();

    // link
    bool OpenSerialPort();
    void handlePortError(QSerialPort::SerialPortError error);
    void showError(const QString &text);

    // frame codec
    bool SendFrame(const QByteArray &frame);

    // the line: one request at a time
    enum RequestKind { PollRequest, OneOffRequest, AddressWriteRequest };
    bool Transmit(const RequestLine::Request &request);
    void ReportTimeout(const RequestLine::Request &request, int timeoutMs);
    void DropReceivedBytes();
    void ShowStatistics();

    // command set
    quint16 GetDeviceAddress() const;
    void ReadRegisterOrder(quint16 startRegister, quint16 count);
    void WriteRegisterOrder(quint16 startRegister, quint16 value);
    void SendOneOffRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 value,
                           bool clearsRxBuffer);
    int NormalisedPeriod();
    bool IsPeriodicReadOn() const;

    // reply parser
    void AcceptReply(const QByteArray &frame);
    void ReportAdapterFailure();

    // display
    void ShowAddress();
    void ShowBaudRate();
    void ShowDeviceType();
    void ShowDeviceInfo();
    void ShowHumitureX100(int selector);
    void ShowHumitureX10(int selector);
    void ShowHumiture(int selector, double divisor, int decimals);
    void ShowStatusDashes();
    void ShowReadingLabels(const QString &temperature, const QString &humidity,
                           const QString &dewPoint);
    void MarkReadingsStale();
    QString FormatReading(float value, int decimals, bool humidity) const;

    // message log
    void LogLine(MessageView::Kind kind, const QString &frameText, const QString &note = QString());
    void LogNote(const QString &note);
    void CaptureLine(const QString &line);

    WidgetForm *form;
    QTimer *timerClear;
    QTimer *timerRead;
    QTimer *timerAuto;
    QTimer *timerDelay;
    QSerialPort *serialPort;
    quint16 requestRegister;
    QString versionText;
    QString captureFileName;
    bool captureErrorShown = false; // one box per capture period
    RequestLine *line;
    QTime staleSince; // the first poll without a reply since the last reading; null when fresh
};
