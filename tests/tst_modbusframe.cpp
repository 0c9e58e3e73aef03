// CRC and request frames, against the check value, the worked frames and the vectors.
#include "protocol/modbusframe.h"
#include "vectors.h"
#include "widget/widget.h"

#include <QRegularExpression>
#include <QtTest>

class TestModbusFrame : public QObject
{
    Q_OBJECT

private slots:
    void crcCheckValue()
    {
        QCOMPARE(ModbusFrame::crc16("123456789", 9), quint16(0x4B37));
        const auto *digits = reinterpret_cast<const quint8 *>("123456789");
        QCOMPARE(Widget::ModbusCrc16(digits, 9), quint16(0x374B)); // bytes exchanged
    }

    void crcOfNothing()
    {
        QCOMPARE(ModbusFrame::crc16("", 0), quint16(0xFFFF));
        QCOMPARE(Widget::ModbusCrc16(nullptr, 0), quint16(0xFFFF));
    }

    void workedFrames_data()
    {
        QTest::addColumn<int>("slave");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("hex");
        QTest::newRow("address read") << 0 << 3 << 0x100 << 1 << "0003010000018427";
        QTest::newRow("set address 5") << 0 << 6 << 0x100 << 5 << "00060100000549e4";
        QTest::newRow("device information") << 1 << 3 << 0x100 << 8 << "01030100000845f0";
        QTest::newRow("block 0x0000") << 1 << 3 << 0 << 4 << "0103000000044409";
        QTest::newRow("baud code 4") << 1 << 6 << 0x101 << 4 << "010601010004d835";
    }

    void workedFrames()
    {
        QFETCH(int, slave);
        QFETCH(int, function);
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(QString, hex);
        const QByteArray frame = ModbusFrame::buildRequest(quint8(slave), quint8(function),
                                                           quint16(reg), quint16(value));
        QCOMPARE(frame.size(), 8);
        QCOMPARE(ModbusFrame::hexText(frame), hex);
    }

    // "read slave 5 reg 0x0001 count 1" / "write slave 9 reg 0x0100 value 247"
    void requestVectors_data()
    {
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("what");
        for (const Vector &vector : loadVectors())
            if (vector.kind == QLatin1String("request"))
                QTest::newRow(qPrintable(vector.what)) << vector.bytes << vector.what;
    }

    void requestVectors()
    {
        QFETCH(QByteArray, expected);
        QFETCH(QString, what);
        const QRegularExpression pattern(
            QStringLiteral("(read|write) slave (\\d+) reg 0x([0-9a-f]+) (count|value) (\\d+)"));
        const auto match = pattern.match(what);
        QVERIFY2(match.hasMatch(), qPrintable(what));
        const quint8 function = match.captured(1) == QLatin1String("read") ? 0x03 : 0x06;
        const QByteArray frame = ModbusFrame::buildRequest(
            quint8(match.captured(2).toInt()), function,
            quint16(match.captured(3).toInt(nullptr, 16)), quint16(match.captured(5).toInt()));
        QCOMPARE(frame.toHex(), expected.toHex());
    }

    // Every vector frame, request or reply, carries a CRC that ours reproduces.
    void crcOfEveryVector()
    {
        const QList<Vector> vectors = loadVectors();
        QVERIFY(vectors.size() >= 20);
        for (const Vector &vector : vectors) {
            const QByteArray body = vector.bytes.left(vector.bytes.size() - 2);
            const quint16 crc = ModbusFrame::crc16(body);
            QCOMPARE(quint8(vector.bytes.at(vector.bytes.size() - 2)), quint8(crc & 0xFF));
            QCOMPARE(quint8(vector.bytes.at(vector.bytes.size() - 1)), quint8(crc >> 8));
        }
    }

    void hexTextIsLowerCaseWithoutSeparators()
    {
        const QString text =
            ModbusFrame::hexText(ModbusFrame::buildRequest(0xF7, 3, 0xABCD, 0xEF01));
        QCOMPARE(text.size(), 16);
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{16}$")).match(text).hasMatch());
        QVERIFY(text.startsWith(QLatin1String("f703abcdef01")));
    }
};

QTEST_APPLESS_MAIN(TestModbusFrame)
#include "tst_modbusframe.moc"
