#pragma once

// The Modbus RTU frames of tests/data/modbus-rtu-frames.txt, produced by an independent
// Modbus implementation: "kind hex  # what" per line.

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QString>

struct Vector
{
    QString kind; // "request" or "reply"
    QByteArray bytes;
    QString what;
};

inline QList<Vector> loadVectors()
{
    QList<Vector> vectors;
    QFile file(QStringLiteral(TERVIN_TEST_DATA "/modbus-rtu-frames.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read the test vectors");
    const QRegularExpression pattern(
        QStringLiteral("^(request|reply)\\s+([0-9a-f]+)\\s+#\\s*(.*)$"));
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const auto match = pattern.match(line);
        if (match.hasMatch())
            vectors.append({match.captured(1), QByteArray::fromHex(match.captured(2).toLatin1()),
                            match.captured(3)});
    }
    return vectors;
}
