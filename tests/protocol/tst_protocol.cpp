// The protocol core without a window: CRC and requests against an independent implementation's
// frames, reply recognition, decoding against every request register, and the build stamps.
#include "comm/commstate.h"
#include "protocol/deviceinfo.h"
#include "protocol/modbusframe.h"
#include "protocol/modbusreply.h"
#include "protocol/transaction.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QtTest>

using ModbusReply::Display;
using ModbusReply::Verdict;
using TestSupport::loadVectors;

namespace {
// The fields a decoded reply carries that differ from a record holding address 44, baud code 4,
// firmware 123, the given device type, sensor 1, readings t 11, h 22, d 33.
QString changes(const ModbusReply::Decoded &decoded, quint16 deviceType)
{
    const ModbusReply::DeviceFields &d = decoded.device;
    const ModbusReply::RawReadings &r = decoded.raw;
    const std::optional<qint64> after[] = {d.address,    d.baudCode,    d.firmware, d.deviceType,
                                           d.sensorType, r.temperature, r.humidity, r.dewPoint};
    const qint64 before[] = {44, 4, 123, deviceType, 1, 11, 22, 33};
    const char *names[] = {"addr", "baud", "fw", "type", "sensor", "t", "h", "d"};
    QStringList changed;
    for (int i = 0; i < 8; ++i)
        if (after[i] && *after[i] != before[i])
            changed << QString("%1 %2").arg(names[i]).arg(*after[i]);
    return changed.join(' ');
}
} // namespace

class TestProtocol : public QObject
{
    Q_OBJECT

private slots:
    void crc()
    {
        QCOMPARE(ModbusFrame::crc16("123456789", 9), quint16(0x4B37));
        QCOMPARE(Widget::ModbusCrc16(reinterpret_cast<const quint8 *>("123456789"), 9),
                 quint16(0x374B)); // the window's routine returns it byte-exchanged
        QCOMPARE(Widget::ModbusCrc16(nullptr, 0), quint16(0xFFFF));
        for (const QStringList &vector : loadVectors()) // every frame's CRC, request or reply
            QCOMPARE(ModbusFrame::hexText(ModbusFrame::withCrc(
                         QByteArray::fromHex(vector[1].toLatin1()).chopped(2))),
                     vector[1]);
    }

    // "read slave 5 reg 0x0001 count 1", "write slave 9 reg 0x0100 value 247", ...
    void requestsMatchTheVectors()
    {
        const QRegularExpression request("(read|write) slave (\\d+) reg 0x(\\w+) \\w+ (\\d+)");
        int checked = 0;
        for (const QStringList &vector : loadVectors()) {
            const auto field = request.match(vector[2]);
            if (vector[0] != "request" || !field.hasMatch())
                continue;
            const QByteArray frame = ModbusFrame::buildRequest(
                quint8(field.captured(2).toInt()), field.captured(1) == "read" ? 0x03 : 0x06,
                quint16(field.captured(3).toInt(nullptr, 16)), quint16(field.captured(4).toInt()));
            QCOMPARE(ModbusFrame::hexText(frame), vector[1]);
            ++checked;
        }
        QCOMPARE(checked, 16);
    }

    void recognition()
    {
        for (const QStringList &vector : loadVectors()) {
            const QByteArray reply = QByteArray::fromHex(vector[1].toLatin1());
            if (vector[0] != "reply")
                continue;
            QCOMPARE(ModbusReply::recognise(reply), Verdict::Accept);
            for (int n = 0; n < reply.size(); ++n)
                QCOMPARE(ModbusReply::recognise(reply.left(n)), Verdict::Wait);
            for (const QByteArray &bad : {reply + '\x01', '\x55' + reply, reply + reply})
                QCOMPARE(ModbusReply::recognise(bad), Verdict::Wait);
            QByteArray corrupt = reply;
            corrupt[corrupt.size() - 2] = char(corrupt.at(corrupt.size() - 2) ^ 0x01);
            QCOMPARE(ModbusReply::recognise(corrupt), Verdict::Wait);
        }
        QCOMPARE(ModbusReply::expectedLength(QByteArray::fromHex("0110")), 8);
        // The receive cap, and the failing adapter's storm: 1023 of 0x00/0xFF, at most 1024.
        QByteArray noise(1024, '\0');
        noise[10] = 'x';
        QCOMPARE(ModbusReply::recognise(noise), Verdict::AdapterFailure);
        noise[11] = 'y';
        noise[12] = '\xFF';
        QCOMPARE(ModbusReply::recognise(noise), Verdict::Wait);
        QCOMPARE(ModbusReply::recognise(QByteArray(1023, '\xFF')), Verdict::AdapterFailure);
        QCOMPARE(ModbusReply::recognise(QByteArray(1022, '\0')), Verdict::Wait);
        QCOMPARE(ModbusReply::recognise(QByteArray(1024, '\x12')), Verdict::Wait);
        QCOMPARE(ModbusReply::recognise(QByteArray(1025, '\0')), Verdict::Discard);
    }

    // Wire time at 10 bits a byte, rounded up, plus the 150 ms turnaround allowance.
    void responseTimeouts()
    {
        auto request = [](quint8 function, quint16 reg, quint16 value) {
            return ModbusFrame::buildRequest(1, function, reg, value);
        };
        QCOMPARE(Transaction::responseTimeoutMs(request(3, 0x100, 8), 9600), 31 + 150);  // 8 + 21
        QCOMPARE(Transaction::responseTimeoutMs(request(3, 0, 4), 1200), 175 + 150);     // 8 + 13
        QCOMPARE(Transaction::responseTimeoutMs(request(6, 0x101, 5), 115200), 2 + 150); // 8 + 8
        QCOMPARE(Transaction::longestReplyLength(ModbusFrame::buildRequest(1, 0x2B, 0, 0)), 5);
    }

    void whatAnswersARequest()
    {
        using Transaction::Fit;
        auto reply = [](const char *hex) { return ModbusFrame::withCrc(QByteArray::fromHex(hex)); };
        const QByteArray read4 = ModbusFrame::buildRequest(1, 3, 0, 4);
        const QByteArray write = ModbusFrame::buildRequest(1, 6, 0x101, 5);
        const QByteArray toAll = ModbusFrame::buildRequest(0, 3, 0x100, 1);
        QCOMPARE(Transaction::fit(read4, reply("010308000100020003000400")), Fit::Answer);
        QCOMPARE(Transaction::fit(read4, reply("0103060001000200030000")), Fit::OtherRequest);
        QCOMPARE(Transaction::fit(read4, reply("018302")), Fit::Answer);
        QCOMPARE(Transaction::fit(read4, reply("018602")), Fit::OtherRequest);
        QCOMPARE(Transaction::fit(read4, reply("090308000100020003000400")), Fit::OtherSlave);
        QCOMPARE(Transaction::fit(toAll, reply("0903020009")), Fit::Answer); // under its own
        QCOMPARE(Transaction::fit(write, write), Fit::Answer);
        QCOMPARE(Transaction::fit(write, ModbusFrame::buildRequest(1, 6, 0x101, 4)),
                 Fit::OtherRequest);
        QCOMPARE(Transaction::fit(write, ModbusFrame::buildRequest(1, 6, 0x100, 5)),
                 Fit::OtherRequest);
        QCOMPARE(Transaction::fit(write, reply("0103020005")), Fit::OtherRequest);
    }

    void fieldsAndExceptionTexts()
    {
        const QByteArray frame = QByteArray::fromHex("0103ff38");
        QCOMPARE(ModbusReply::signedField(frame, 2), -200);
        QCOMPARE(ModbusReply::field(frame, 3), quint16(0x38)); // only the first byte present
        QCOMPARE(ModbusReply::field(frame, 4), quint16(0));
        QCOMPARE(ModbusReply::exceptionText(2), "exception 0x02 (illegal data address)");
        QCOMPARE(ModbusReply::exceptionText(0x7f), "exception 0x7f (unknown exception)");
    }

    // What a technician reads off the device information, and where each type keeps each scale.
    void deviceInformation()
    {
        QCOMPARE(QStringList({DeviceInfo::firmwareText(123), DeviceInfo::firmwareText(1234),
                              DeviceInfo::firmwareText(5)}),
                 QStringList({"1.2.3", "2.3.4", "0.0.5"}));
        QCOMPARE(QStringList({DeviceInfo::deviceTypeName(2), DeviceInfo::deviceTypeName(3),
                              DeviceInfo::sensorTypeName(1), DeviceInfo::sensorTypeName(2)}),
                 QStringList({"Tervin-F", "3", "SHT3X/4X", "2"}));
        const QByteArray info = QByteArray::fromHex("01031000010004007b0000123456789abc0001");
        QCOMPARE(DeviceInfo::serialNumber(ModbusFrame::withCrc(info)), "123456789abc");
        QCOMPARE(DeviceInfo::serialNumber(ModbusFrame::withCrc(info.left(3 + 12))), "");
        QCOMPARE(
            QList<int>({ModbusReply::readingsBlock(0, false), ModbusReply::readingsBlock(0, true),
                        ModbusReply::readingsBlock(1, false), ModbusReply::readingsBlock(2, true)}),
            QList<int>({0, 4, 4, 0}));
    }

    // The replies of decode-vectors.txt, decoded from a record holding recognisable values.
    void decode_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const QString &line : TestSupport::linesOf(TERVIN_TEST_DATA "/decode-vectors.txt"))
            if (!line.startsWith('#'))
                QTest::newRow(qPrintable(line.section('|', 0, 0).trimmed())) << line.split('|');
    }

    void decode()
    {
        QFETCH(QStringList, row);
        QByteArray reply = QByteArray::fromHex(row[1].trimmed().toLatin1());
        if (ModbusReply::recognise(reply) != Verdict::Accept)
            reply = ModbusFrame::withCrc(reply);
        const quint16 deviceType = quint16(row[3].toInt());
        const auto effect =
            ModbusReply::decode(reply, quint16(row[2].toInt(nullptr, 16)), deviceType);
        const QStringList displays = {"nothing", "x10",  "x100", "dashes", "address",
                                      "info",    "baud", "type", "sensor"};
        const bool reading =
            effect.display == Display::ReadingsX10 || effect.display == Display::ReadingsX100;
        QCOMPARE(displays.value(int(effect.display)) +
                     (reading ? QString("/%1").arg(effect.selector) : ""),
                 row[4].trimmed());
        QCOMPARE(changes(effect, deviceType), row[5].trimmed());
        if (reading) { // the same raw values, scaled by the block, in the device's unit
            const double divisor = effect.display == Display::ReadingsX10 ? 10 : 100;
            QCOMPARE(effect.reading.temperature.has_value(), effect.raw.temperature.has_value());
            QCOMPARE(effect.reading.humidity.value_or(-1),
                     effect.raw.humidity ? *effect.raw.humidity / divisor : -1);
            QCOMPARE(effect.reading.fahrenheit, deviceType == 2);
        }
    }

    void buildStamps()
    {
        QLocale::setDefault(QLocale(QLocale::German)); // month names are read in English
        QCOMPARE(parseBuildDate("Aug  1 2024"), QDate(2024, 8, 1));
        QCOMPARE(parseBuildDate("Dec 11 2026"), QDate(2026, 12, 11));
        QCOMPARE(parseBuildTime("10:13:21"), QTime(10, 13, 21));
        QVERIFY(buildDate.isValid() && buildTime.isValid());
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
