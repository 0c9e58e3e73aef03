#pragma once

#include "protocol/reading.h"
#include "protocol/requestline.h"
#include "view/messageview.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <QTime>
#include <QWidget>

class QTimer;
class TrendWindow;
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

    // How long to wait for a lost adapter to come back (ten minutes).
    void setReconnectLimit(int ms) { reconnectLimitMs = ms; }

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

    // the line: one request at a time
    enum RequestKind {
        PollRequest,
        OneOffRequest,
        AddressWriteRequest,
        BaudWriteRequest,
        VerifyAddressRequest, // the read-back at the new address
        VerifyBaudRequest,    // the device information at the new rate
        ReconnectRequest,     // the device information once a lost port is back
    };

    // link
    QString OpenConfiguredPort();
    bool OpenSerialPort(RequestKind deviceInfoKind = OneOffRequest);
    void SendDeviceInfoRead(RequestKind kind);
    void handlePortError(QSerialPort::SerialPortError error);
    void LosePort(const QString &reason);
    void EndSearch();
    void ShowLinkState();
    void showError(const QString &text);

    // following the device: verified setting changes, reconnect after a replug
    void FollowAnswer(const RequestLine::Request &request, const QByteArray &reply);
    void FollowTimeout(const RequestLine::Request &request);
    void FollowBaudRate(int baudRate);
    void StartReconnecting();
    void StopReconnecting();
    void TryReconnect();

    // frame codec
    bool SendFrame(const QByteArray &frame);

    bool Transmit(const RequestLine::Request &request);
    void ReportTimeout(const RequestLine::Request &request, int timeoutMs);
    void DropReceivedBytes();
    void ShowStatistics();

    // command set
    quint16 GetDeviceAddress() const;
    void ReadRegisterOrder(quint16 startRegister, quint16 count);
    void WriteRegisterOrder(quint16 startRegister, quint16 value, RequestKind kind = OneOffRequest);
    void SendOneOffRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 value,
                           RequestKind kind);
    bool ConfirmAddressWrite();
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
    void AppendToDataFile(const QString &name, const QString &header, const QString &line,
                          bool &errorShown, const QString &failureText);

    // readings: the trend and the readings file
    void RecordReading(const Reading &reading);
    void BreakTrend();
    void SaveReadingsToggled(bool on);

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
    QString linkNote; // the last change verified, or the wait for a lost adapter
    QTimer *timerReconnect;
    QElapsedTimer reconnectingFor;
    int reconnectLimitMs = 10 * 60 * 1000;
    bool pollsPaused = false;    // from a lost port until the device has answered again
    bool searching = false;      // an automatic baud search is under way
    bool searchAtSlave0 = false; // its second run, at the slave every device answers
    bool searchFailed = false;   // the last search found no device
    bool askBeforeAddressWrite = true;
    TrendWindow *trendWindow;
    QElapsedTimer monotonic;  // the trend's clock, which no clock change moves
    QString readingsFileName; // empty while readings are not saved
    bool readingsErrorShown = false;
    int portOpenings = 0; // which opening of the port an error belongs to
};
