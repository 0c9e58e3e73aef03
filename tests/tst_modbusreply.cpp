// Reply recognition and decoding, without a window.
#include "comm/commstate.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/protocol.h"
#include "vectors.h"

#include <QtTest>

using ModbusReply::Display;
using ModbusReply::Verdict;

using ModbusFrame::withCrc;

class TestModbusReply : public QObject
{
    Q_OBJECT

    CommStateRecord state;

private slots:
    void init() { state = CommStateRecord(); }

    void everyVectorReplyIsAcceptedWholeAndOnlyWhole()
    {
        for (const Vector &vector : loadVectors()) {
            if (vector.kind != QLatin1String("reply"))
                continue;
            QCOMPARE(ModbusReply::recognise(vector.bytes), Verdict::Accept);
            for (int n = 0; n < vector.bytes.size(); ++n)
                QCOMPARE(ModbusReply::recognise(vector.bytes.left(n)), Verdict::Wait);
            QCOMPARE(ModbusReply::recognise(vector.bytes + '\x01'), Verdict::Wait);
            QCOMPARE(ModbusReply::recognise(QByteArray(1, '\x55') + vector.bytes), Verdict::Wait);
            QByteArray corrupt = vector.bytes;
            corrupt[corrupt.size() - 1] = char(corrupt.at(corrupt.size() - 1) ^ 0x01);
            QCOMPARE(ModbusReply::recognise(corrupt), Verdict::Wait);
        }
    }

    void lengthsFollowTheFunctionCode()
    {
        QCOMPARE(ModbusReply::expectedLength(QByteArray::fromHex("010302")), 7);
        QCOMPARE(ModbusReply::expectedLength(QByteArray::fromHex("0106")), 8);
        QCOMPARE(ModbusReply::expectedLength(QByteArray::fromHex("0110")), 8);
        QCOMPARE(ModbusReply::expectedLength(QByteArray::fromHex("0183")), 5);
        QCOMPARE(ModbusReply::expectedLength(QByteArray::fromHex("01")), 5);
    }

    void twoRepliesInOneBufferWait()
    {
        const QByteArray reply = QByteArray::fromHex("01030200017984");
        QCOMPARE(ModbusReply::recognise(reply + reply), Verdict::Wait);
    }

    void oversizeAndAdapterNoise()
    {
        QCOMPARE(ModbusReply::recognise(QByteArray(1025, '\x12')), Verdict::Discard);
        QCOMPARE(ModbusReply::recognise(QByteArray(1025, '\0')), Verdict::Discard);
        QCOMPARE(ModbusReply::recognise(QByteArray(1023, '\0')), Verdict::AdapterFailure);
        QCOMPARE(ModbusReply::recognise(QByteArray(1024, '\xFF')), Verdict::AdapterFailure);
        QCOMPARE(ModbusReply::recognise(QByteArray(1022, '\0')), Verdict::Wait);
        QByteArray mixed(1024, '\0');
        mixed[10] = 'x';
        QCOMPARE(ModbusReply::recognise(mixed), Verdict::AdapterFailure); // 1023 noise bytes
        mixed[11] = 'y';
        QCOMPARE(ModbusReply::recognise(mixed), Verdict::Wait);
    }

    void emptyBufferWaits() { QCOMPARE(ModbusReply::recognise(QByteArray()), Verdict::Wait); }

    void fieldReadingRule()
    {
        const QByteArray frame = QByteArray::fromHex("0103ff38");
        QCOMPARE(ModbusReply::field(frame, 2), quint16(0xFF38));
        QCOMPARE(ModbusReply::signedField(frame, 2), -200);
        QCOMPARE(ModbusReply::field(frame, 3), quint16(0x38)); // only the first byte present
        QCOMPARE(ModbusReply::field(frame, 4), quint16(0));
        QCOMPARE(ModbusReply::field(frame, -1), quint16(0));
    }

    void blockReadingsFollowDeviceType_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("deviceType");
        QTest::addColumn<int>("display");
        QTest::newRow("0x0000 type 0 tenths") << 0 << 0 << int(Display::ReadingsX10);
        QTest::newRow("0x0000 type 1 hundredths") << 0 << 1 << int(Display::ReadingsX100);
        QTest::newRow("0x0004 type 0 hundredths") << 4 << 0 << int(Display::ReadingsX100);
        QTest::newRow("0x0004 type 2 tenths") << 4 << 2 << int(Display::ReadingsX10);
    }

    void blockReadingsFollowDeviceType()
    {
        QFETCH(int, reg);
        QFETCH(int, deviceType);
        QFETCH(int, display);
        state.deviceType = quint16(deviceType);
        const auto effect = ModbusReply::decode(QByteArray::fromHex("010308ff38ff38ff9c000026e0"),
                                                quint16(reg), state);
        QCOMPARE(int(effect.display), display);
        QCOMPARE(effect.selector, int(ModbusReply::AllReadings));
        QCOMPARE(state.temperatureRaw, -200);
        QCOMPARE(state.humidityRaw, quint16(0xFF38)); // humidity is unsigned
        QCOMPARE(state.dewPointRaw, -100);
    }

    void singleReadings_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("selector");
        QTest::newRow("temperature") << 0 << int(ModbusReply::TemperatureOnly);
        QTest::newRow("humidity") << 1 << int(ModbusReply::HumidityOnly);
        QTest::newRow("dew point") << 2 << int(ModbusReply::DewPointOnly);
        QTest::newRow("temperature 2") << 4 << int(ModbusReply::TemperatureOnly);
        QTest::newRow("humidity 2") << 5 << int(ModbusReply::HumidityOnly);
        QTest::newRow("dew point 2") << 6 << int(ModbusReply::DewPointOnly);
    }

    void singleReadings()
    {
        QFETCH(int, reg);
        QFETCH(int, selector);
        const auto effect =
            ModbusReply::decode(withCrc(QByteArray::fromHex("01030211d7")), quint16(reg), state);
        QCOMPARE(effect.selector, selector);
        const int stored = selector == ModbusReply::TemperatureOnly ? state.temperatureRaw
                           : selector == ModbusReply::HumidityOnly  ? state.humidityRaw
                                                                    : state.dewPointRaw;
        QCOMPARE(stored, 0x11D7);
    }

    void statusShowsDashes()
    {
        const QByteArray reply = withCrc(QByteArray::fromHex("0103020000"));
        QCOMPARE(ModbusReply::decode(reply, 3, state).display, Display::StatusDashes);
        QCOMPARE(ModbusReply::decode(reply, 7, state).display, Display::StatusDashes);
    }

    // Replies that do not fit the request store nothing and show nothing.
    void mismatchedShapesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("reg");
        QTest::newRow("block with byte count 6")
            << withCrc(QByteArray::fromHex("010306000100020003")) << 0;
        QTest::newRow("humidity with byte count 0") << withCrc(QByteArray::fromHex("010300")) << 1;
        QTest::newRow("dew point answered by block")
            << QByteArray::fromHex("010308092911d704410000cb08") << 2;
        QTest::newRow("humidity exception") << QByteArray::fromHex("018302c0f1") << 1;
        QTest::newRow("temperature by write echo") << QByteArray::fromHex("01060101000519f5") << 0;
        QTest::newRow("serial number")
            << withCrc(QByteArray::fromHex("010306123456789abc")) << 0x104;
        QTest::newRow("address exception") << QByteArray::fromHex("0183030131") << 0x100;
    }

    void mismatchedShapesAreIgnored()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, reg);
        state.temperatureRaw = 11;
        state.humidityRaw = 22;
        state.dewPointRaw = 33;
        state.deviceAddress = 44;
        const auto effect = ModbusReply::decode(reply, quint16(reg), state);
        QCOMPARE(effect.display, Display::Nothing);
        QCOMPARE(state.temperatureRaw, 11);
        QCOMPARE(state.humidityRaw, quint16(22));
        QCOMPARE(state.dewPointRaw, 33);
        QCOMPARE(state.deviceAddress, quint16(44));
    }

    void deviceInformation()
    {
        state.sensorType = 1;
        auto effect = ModbusReply::decode(QByteArray::fromHex("01030200017984"), 0x100, state);
        QCOMPARE(effect.display, Display::Address);
        QCOMPARE(state.deviceAddress, quint16(1));

        // Byte count 8: address to device type; the sensor type stays as it was.
        effect = ModbusReply::decode(withCrc(QByteArray::fromHex("0103080005000300e50002")), 0x100,
                                     state);
        QCOMPARE(effect.display, Display::DeviceInfo);
        QCOMPARE(state.deviceAddress, quint16(5));
        QCOMPARE(state.deviceBaudCode, quint16(3));
        QCOMPARE(state.firmwareVersion, quint16(229));
        QCOMPARE(state.deviceType, quint16(2));
        QCOMPARE(state.sensorType, quint16(1));

        effect = ModbusReply::decode(
            QByteArray::fromHex("01031000010004007b0000123456789abc0001d3ee"), 0x100, state);
        QCOMPARE(effect.display, Display::DeviceInfo);
        QCOMPARE(state.deviceAddress, quint16(1));
        QCOMPARE(state.deviceBaudCode, quint16(4));
        QCOMPARE(state.firmwareVersion, quint16(123));
        QCOMPARE(state.deviceType, quint16(0));
        QCOMPARE(state.sensorType, quint16(1));
    }

    // A short device-information reply leaves what it does not carry; CRC bytes are no value.
    void shortDeviceInformationKeepsTheRest()
    {
        state.firmwareVersion = 321;
        state.deviceType = 1;
        const auto effect =
            ModbusReply::decode(withCrc(QByteArray::fromHex("01030400070002")), 0x100, state);
        QCOMPARE(effect.display, Display::DeviceInfo);
        QCOMPARE(state.deviceAddress, quint16(7));
        QCOMPARE(state.deviceBaudCode, quint16(2));
        QCOMPARE(state.firmwareVersion, quint16(321));
        QCOMPARE(state.deviceType, quint16(1));
    }

    void settingsFromReadsAndEchoes()
    {
        auto effect = ModbusReply::decode(QByteArray::fromHex("01060101000519f5"), 0x101, state);
        QCOMPARE(effect.display, Display::BaudRate);
        QCOMPARE(state.deviceBaudCode, quint16(5));
        effect = ModbusReply::decode(withCrc(QByteArray::fromHex("0103020002")), 0x103, state);
        QCOMPARE(effect.display, Display::DeviceType);
        QCOMPARE(state.deviceType, quint16(2));
        effect = ModbusReply::decode(QByteArray::fromHex("01030200017984"), 0x107, state);
        QCOMPARE(effect.display, Display::SensorType);
        QCOMPARE(state.sensorType, quint16(1));
        // The address write's echo carries the new address in its low value byte.
        effect = ModbusReply::decode(QByteArray::fromHex("00060100000549e4"), 0x100, state);
        QCOMPARE(effect.display, Display::Nothing);
        QCOMPARE(state.deviceAddress, quint16(5));
        // A sensor-type write echo is not a sensor-type read.
        effect = ModbusReply::decode(QByteArray::fromHex("010601070001f837"), 0x107, state);
        QCOMPARE(effect.display, Display::Nothing);
    }

    void exceptionTexts()
    {
        QVERIFY(ModbusReply::isException(QByteArray::fromHex("018302c0f1")));
        QVERIFY(!ModbusReply::isException(QByteArray::fromHex("01030200017984")));
        QCOMPARE(ModbusReply::exceptionCode(QByteArray::fromHex("018302c0f1")), quint8(2));
        QCOMPARE(ModbusReply::exceptionText(2),
                 QStringLiteral("exception 0x02 (illegal data address)"));
        QCOMPARE(ModbusReply::exceptionText(3),
                 QStringLiteral("exception 0x03 (illegal data value)"));
        QCOMPARE(ModbusReply::exceptionText(0x7f),
                 QStringLiteral("exception 0x7f (unknown exception)"));
    }
};

QTEST_APPLESS_MAIN(TestModbusReply)
#include "tst_modbusreply.moc"
