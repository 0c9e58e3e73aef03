#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QTime>

// The one process-wide record shared by the window, the parser and the settings dialog.
// Plain fields, read and written directly; everything runs on the GUI thread.
struct CommStateRecord
{
    QString portName;
    QByteArray rxBuffer;
    quint16 deviceAddress = 0;
    quint16 deviceBaudCode = 0;
    quint16 firmwareVersion = 0;
    quint16 deviceType = 0;
    quint16 sensorType = 0;
    qint32 baudRate = 0; // 0 means "AUTO": search the candidates
    qint32 dataBits = 0;
    qint32 parity = 0; // dialog item index: 0 "NO", 1 "ODD", 2 "EVEN"
    qint32 stopBits = 0;
    qint32 baudCandidates[6] = {};
    quint8 autoBaudIndex = 0;
    quint8 autoBaudCount = 0;
    quint8 responseReceived = 0;
    qint32 temperatureRaw = 0;
    quint16 humidityRaw = 0;
    qint32 dewPointRaw = 0;
};

extern CommStateRecord CommState;

// Build stamps, computed from the compiler's __DATE__ and __TIME__ at static initialisation.
extern const QDate buildDate;
extern const QTime buildTime;

// "Aug  1 2024" -> 2024-08-01; the month is read in English whatever the user's locale.
QDate parseBuildDate(const QString &compilerDate);
QTime parseBuildTime(const QString &compilerTime);
