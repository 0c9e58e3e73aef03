#pragma once

#include "link/broadcastcheck.h"
#include "link/linksession.h"
#include "link/ratesearch.h"
#include "protocol/reading.h"
#include "view/messageview.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <QTime>
#include <QWidget>

struct CurrentLink;
class LineWindow;
class LinkFollower;
class PollTarget;
class QMessageBox;
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
    void FixReadingLabelSizes();
    void connectSignals();

    // link
    PortFailure OpenConfiguredPort();
    bool OpenSerialPort();
    void ReportOpenFailure(const PortFailure &failure);
    void SendDeviceInfoRead(quint8 slave, std::function<void(const LinkOutcome &)> then);
    void LosePort(const PortFailure &failure);
    CurrentLink LinkToOffer() const;
    void StartSearch();
    bool ApplySearchRate(int baudRate);
    void SearchAsking(int baudRate, int slave, int pass);
    void SearchFinished(const LinkOutcome &last);
    void EndSearch();
    void FailSearch();
    QString HeardText(const HeardInstead &heard) const;
    void ShowLinkState();
    QString LinkStateText() const;
    void SetLinkNote(const QString &note);
    void showError(const QString &text, QMessageBox **handle = nullptr);

    // the line's events
    void OnWritten(const LinkSession::Request &request);
    void OnNotSent(const LinkSession::Request &request, const QString &reason);
    void OnAnswered(const LinkSession::Request &request, const QByteArray &reply);
    void OnTimedOut(const LinkSession::Request &request, int timeoutMs);
    void OnLate(const QByteArray &frame);
    void OnDropped(const QByteArray &bytes, LinkSession::DropReason reason);
    void OnIdentified(int address, const UnitIdentity &unit, const UnitIdentity &previous);
    void OnSlowUnit(int slave, int answerStartMs, int timeoutMs);
    void StartRequest(const LinkSession::Request &request);

    // how the window's own requests end
    void PollEnded(const LinkOutcome &outcome);
    void OneOffEnded(const LinkOutcome &outcome);
    void ReconnectEnded(const LinkOutcome &outcome);

    // following the device: verified setting changes, reconnect after a replug
    void FollowChange(const SettingChange &change);
    void ShowVerification(const Verification &result);
    void AnswerAfterLoss();
    void AdapterBack();
    void AdapterGone();
    void ShowStatistics();
    void WriteStatistics();

    // the unit the window shows and polls
    void LineUnitPolled(int address, const LinkOutcome &outcome);
    void PollsMoved(int address);
    void NoUnitAt(int address, int stays);
    void ShowUnit(int address);
    void ClearDeviceGroup();

    // command set
    quint16 GetDeviceAddress() const;
    void AddressEntered();
    void StopPolling();
    void ReadRegisterOrder(quint16 startRegister, quint16 count);
    void WriteRegisterOrder(quint16 startRegister, quint16 value);
    void SendOneOffRequest(quint8 slave, quint8 function, quint16 startRegister, quint16 value);
    void WriteAddress(int address, const BroadcastCheck &check);
    bool ConfirmAddressWrite(int address, const BroadcastCheck &check);
    int NormalisedPeriod();
    bool IsPeriodicReadOn() const;
    void ShowPollRegisters();

    // reply parser
    void AcceptReply(const LinkOutcome &outcome);
    void StoreDecoded(const ModbusReply::Decoded &decoded);
    void ShowDecoded(const ModbusReply::Decoded &decoded);

    // display
    void ShowAddress();
    void ShowBaudRate();
    void ShowDeviceType();
    void ShowDeviceInfo();
    void ShowHumitureX100(int selector);
    void ShowHumitureX10(int selector);
    void ShowHumiture(int selector, const ReadingScale &scale);
    void ShowStatusDashes();
    void ShowReadingLabels(const QString &temperature, const QString &humidity,
                           const QString &dewPoint);
    void MarkReadingsStale();
    void GreyReadings();
    QString FormatReading(float value, int decimals, bool humidity) const;

    // message log
    void LogLine(MessageView::Kind kind, const QString &frameText, const QString &note = QString());
    void LogNote(const QString &note);
    void CaptureLine(const QString &line);
    void AppendToDataFile(const QString &name, const QString &header, const QString &line,
                          bool &errorShown, const QString &failureText);
    void StartDataFile(const QString &name, const QString &note, bool &errorShown);

    // readings: the trend and the readings file
    void RecordReading(const Reading &reading, bool onTrend);
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
    SystemClock clock;              // the link session's timers run on it
    LinkSession *link;
    LinkFollower *follower;
    RateSearch *search;              // the automatic baud search
    PollTarget *pollTarget;          // the unit the window shows and polls
    bool searchFailed = false;       // the last search found no device
    QStringList heardDuringSearch;   // what came back at rates that gave no valid answer
    bool answeredHere = false;       // the device has answered at this opening and rate
    QString otherUnitNote;           // a different unit came on this port
    QString shownLinkState;          // the link state without its note, as last shown
    QString serialShown;             // the serial number of the last device information
    int registerItemsType = -1;      // the device type the "Magnification:" items are ordered for
    QStringList boxesOpen;           // one box at a time for the same message
    QMessageBox *lossBox = nullptr;  // the box about a lost adapter, closed when it is back
    bool statisticsDue = false;      // the statistics line is to be written anew
    QElapsedTimer statisticsWritten; // since the statistics line was last written
    bool askBeforeAddressWrite = true;
    TrendWindow *trendWindow;
    LineWindow *lineWindow;
    QElapsedTimer monotonic;  // the trend's clock, which no clock change moves
    QString readingsFileName; // empty while readings are not saved
    bool readingsErrorShown = false;
};
