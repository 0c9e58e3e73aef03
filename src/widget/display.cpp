// Displays of decoded values: readings, address, baud rate, device type and information.
#include "widget/widget.h"

#include "comm/commstate.h"
#include "forms/widgetform.h"
#include "link/linkfollower.h"
#include "protocol/deviceinfo.h"
#include "protocol/protocol.h"
#include "view/trendwindow.h"
#include "widget/polltarget.h"

#include <QTimer>

namespace {
constexpr int StatisticsRefreshMs = 1000;
const QChar DegreeCelsius(0x2103);
const QChar DegreeFahrenheit(0x2109);
} // namespace

void Widget::ShowAddress()
{
    form->lineEditAddress->setText(QString::number(CommState.deviceAddress));
}

void Widget::ShowBaudRate()
{
    form->comboBoxBaudRate->setCurrentIndex(int(CommState.deviceBaudCode) - 1);
}

void Widget::ShowDeviceType()
{
    form->comboBoxDeviceType->setCurrentIndex(CommState.deviceType);
    // Order the items so that each names the scale of the block its index reads: index 0
    // reads the second block, hundredths for device type 0 and tenths for the others. The
    // scale chosen stays while the blocks keep their order (Tervin-C and Tervin-F share it).
    const QString chosen = form->comboBoxRegister->currentText();
    const bool sameType =
        registerItemsType >= 0 && (registerItemsType == 0) == (CommState.deviceType == 0);
    registerItemsType = CommState.deviceType;
    form->comboBoxRegister->clear();
    if (CommState.deviceType == 0) {
        form->comboBoxRegister->addItem(QStringLiteral("*100"));
        form->comboBoxRegister->addItem(QStringLiteral("*10"));
    } else {
        form->comboBoxRegister->addItem(QStringLiteral("*10"));
        form->comboBoxRegister->addItem(QStringLiteral("*100"));
    }
    if (sameType)
        form->comboBoxRegister->setCurrentText(chosen);
}

void Widget::ShowDeviceInfo()
{
    ShowAddress();
    ShowBaudRate();
    form->labelVersions->setText(tr("Firmware version:") + tr("V") +
                                 DeviceInfo::firmwareText(CommState.firmwareVersion));
    form->labelSerialNumber->setText(tr("Serial number:") + serialShown);
    form->comboBoxSensorType->setCurrentIndex(CommState.sensorType);
    ShowDeviceType();
    timerDelay->start(Timing::DisplayDelayMs);
}

void Widget::ShowHumitureX100(int selector)
{
    ShowHumiture(selector, HundredthsScale);
}

void Widget::ShowHumitureX10(int selector)
{
    ShowHumiture(selector, TenthsScale);
}

// Selector 0 shows all three readings, 1 to 3 one of them; the others get their dash text.
void Widget::ShowHumiture(int selector, const ReadingScale &scale)
{
    const double divisor = scale.divisor;
    const int decimals = scale.decimals;
    QString temperature = tr("Temperature:---");
    QString humidity = tr("Humidity:---");
    QString dewPoint = tr("DewTemp:---");
    if (selector == 0 || selector == 1)
        temperature = tr("Temperature:") +
                      FormatReading(float(CommState.temperatureRaw / divisor), decimals, false);
    if (selector == 0 || selector == 2)
        humidity =
            tr("Humidity:") + FormatReading(float(CommState.humidityRaw / divisor), decimals, true);
    if (selector == 0 || selector == 3)
        dewPoint =
            tr("DewTemp:") + FormatReading(float(CommState.dewPointRaw / divisor), decimals, false);
    ShowReadingLabels(temperature, humidity, dewPoint);
}

void Widget::ShowStatusDashes()
{
    ShowReadingLabels(tr("Temperature:---"), tr("Humidity:---"), tr("DewTemp:---"));
}

// A reading is fresh again: the three labels get its texts and the stale mark goes.
void Widget::ShowReadingLabels(const QString &temperature, const QString &humidity,
                               const QString &dewPoint)
{
    form->labelTemperature->setText(temperature);
    form->labelHumidity->setText(humidity);
    form->labelDewTemp->setText(dewPoint);
}

// A poll went unanswered: the readings on screen turn grey until the next one arrives.
void Widget::MarkReadingsStale()
{
    GreyReadings();
}

// The readings on screen are no longer the linked unit's current ones.
void Widget::GreyReadings()
{
    for (QLabel *label : {form->labelTemperature, form->labelHumidity, form->labelDewTemp})
        if (label->text().contains(QStringLiteral("<font color=red>")))
            label->setText(label->text().replace(QStringLiteral("<font color=red>"),
                                                 QStringLiteral("<font color=gray>")));
}

// The statistics change several times a poll (written, answered, ...): the line is written at
// once when it has not been for a second, and otherwise when that second is over.
void Widget::ShowStatistics()
{
    if (statisticsDue)
        return;
    const qint64 sinceWritten =
        statisticsWritten.isValid() ? statisticsWritten.elapsed() : StatisticsRefreshMs;
    if (sinceWritten >= StatisticsRefreshMs) {
        WriteStatistics();
        return;
    }
    statisticsDue = true;
    QTimer::singleShot(int(StatisticsRefreshMs - sinceWritten), this, [this] {
        statisticsDue = false;
        WriteStatistics();
    });
}

// The line's counters; on a line of several units, the window's unit's own, which the Line window
// lists beside the others.
void Widget::WriteStatistics()
{
    statisticsWritten.start();
    LinkStatistics s = link->statistics();
    const LineUnit *unit =
        link->roster().size() > 1 ? link->roster().find(pollTarget->address()) : nullptr;
    if (unit) {
        const UnitHealth &h = unit->health;
        s.requests = h.requests;
        s.replies = h.replies;
        s.timeouts = h.timeouts;
        s.badFrames = h.badFrames;
        s.exceptions = h.exceptions;
        s.late = h.late;
        s.lastResponseMs = h.lastResponseMs;
        s.totalResponseMs = h.totalResponseMs;
    }
    auto ms = [](int value) { return value < 0 ? QStringLiteral("-") : QString::number(value); };
    const QString text = tr("Sent %1, replies %2, timeouts %3, bad frames %4, exceptions %5, late "
                            "%6, skipped %7, response %8 ms (mean %9 ms)")
                             .arg(s.requests)
                             .arg(s.replies)
                             .arg(s.timeouts)
                             .arg(s.badFrames)
                             .arg(s.exceptions)
                             .arg(s.late)
                             .arg(s.skipped)
                             .arg(ms(s.lastResponseMs), ms(s.meanResponseMs()));
    form->labelStatistics->setText(unit ? tr("Address %1: %2").arg(unit->address).arg(text)
                                        : text);
}

// The polls went to another unit: the Device group shows it as far as it is known, and nothing of
// the unit before stays on screen; the trend starts anew.
void Widget::PollsMoved(int address)
{
    form->lineEditAddress->setText(QString::number(address));
    ShowUnit(address);
    ShowStatistics();
    BreakTrend();
    trendWindow->startSegment();
}

void Widget::ShowUnit(int address)
{
    const LineUnit *unit = link->roster().find(address);
    ShowReadingLabels(tr("Temperature:"), tr("Humidity:"), tr("DewTemp:"));
    if (!unit || !unit->identity.known) {
        ClearDeviceGroup();
        return;
    }
    const UnitIdentity &identity = unit->identity;
    CommState.deviceAddress = quint16(address);
    CommState.deviceBaudCode = identity.baudCode;
    CommState.firmwareVersion = identity.firmware;
    CommState.deviceType = identity.deviceType;
    CommState.sensorType = identity.sensorType;
    serialShown = identity.serial;
    ShowDeviceInfo();
}

// Nothing of a unit: the Device group and the readings as the window first shows them.
void Widget::ClearDeviceGroup()
{
    serialShown.clear();
    form->labelVersions->setText(QString());
    form->labelSerialNumber->setText(QString());
    form->comboBoxDeviceType->setCurrentIndex(-1);
    form->comboBoxSensorType->setCurrentIndex(-1);
    ShowReadingLabels(tr("Temperature:"), tr("Humidity:"), tr("DewTemp:"));
}

// The address entered got no answer: the polls stay on the unit they were on, and the view says
// so once.
void Widget::NoUnitAt(int address, int stays)
{
    LogNote(
        tr("no unit answers at address %1; polling address %2 as before").arg(address).arg(stays));
}

QString Widget::FormatReading(float value, int decimals, bool humidity) const
{
    QString text = QStringLiteral("<font color=red>") + QString::number(value, 'f', decimals);
    if (humidity)
        return text + QStringLiteral("%  </font>");
    const QChar unit = isFahrenheitDevice(CommState.deviceType) ? DegreeFahrenheit : DegreeCelsius;
    return text + unit + QStringLiteral("  </font>");
}
