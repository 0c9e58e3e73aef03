// The production check's report, run as tervin-cli will run it: a QGuiApplication on the offscreen
// platform. The PDF's text as pdftotext extracts it, in English and in Chinese with its fonts
// embedded; the CSV read back, as the second point of a two-point check reads it; files that
// cannot be written.
#include "checkrun.h"
#include "inchinese.h"
#include "report/checkcsv.h"
#include "report/checkreport.h"

#include <QGuiApplication>
#include <QtTest>

using namespace CheckRun;
using TestSupport::InChinese;

namespace {
const QString Note = QStringLiteral("lot 42, \"chamber 2\"\n批号 42");

// A line of nine units checked against typed values for 31 minutes: two off beyond ±0.2 °C, a
// Tervin-F, one too noisy to settle, one silent at the end, one back from a silence and settling.
QList<UnitResult> checkedLine(double humidity = 45)
{
    LineUnit tervinF = unitAt(5, 0.1);
    tervinF.deviceType = FahrenheitDeviceType;
    LineUnit noisy = unitAt(7);
    noisy.error.temperature.noise = 0.05;
    LineUnit gone = unitAt(8);
    gone.silences = {{minutes(5), -1}};
    LineUnit back = unitAt(9);
    back.silences = {{minutes(5), minutes(25)}};
    LineUnit sloped = unitAt(4, 0, -0.931);
    sloped.error.humidity.slope = 0.857;
    sloped.sensorType = 1;
    Line line(typedReference(23.5, humidity, 0.05, 0.5),
              {unitAt(1), unitAt(2, -0.1, 1), unitAt(3, 0.5), sloped, tervinF, unitAt(6, -0.4),
               noisy, gone, back},
              steadyChamber(23.5, humidity));
    line.runTo(minutes(31));
    return line.check.results(line.nowMs);
}

CheckReportContent contentOf(const QList<UnitResult> &units, double humidity = 45)
{
    CheckReportContent content;
    content.time = QDateTime(QDate(2026, 12, 7), QTime(14, 2, 17), Qt::OffsetFromUTC, 3600);
    content.note = Note;
    content.settings = typedReference(23.5, humidity, 0.05, 0.5);
    content.units = units;
    return content;
}

QString pdfText(const QString &path, bool layout = true)
{
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"), (layout ? QStringList{"-layout"} : QStringList())
                                                     << path << "-");
    pdftotext.waitForFinished(30000);
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// The one line of the table that names this serial: its verdict, and no other verdict, on it
// ("合格" is part of "不合格", so a verdict's text is looked for only where it is not part of
// the one expected).
QString verdictProblem(const QString &text, const QString &serial, Verdict verdict)
{
    const QStringList lines = text.split(QLatin1Char('\n')).filter(serial);
    if (lines.size() != 1)
        return QStringLiteral("%1 lines name %2").arg(lines.size()).arg(serial);
    const QString expected = verdictText(verdict);
    QString rest = lines[0];
    if (!rest.contains(expected))
        return QStringLiteral("no '%1' in: %2").arg(expected, lines[0]);
    rest.remove(expected);
    for (Verdict other :
         {Verdict::Pass, Verdict::Fail, Verdict::Settling, Verdict::Unstable, Verdict::NoAnswer})
        if (other != verdict && !expected.contains(verdictText(other)) &&
            rest.contains(verdictText(other)))
            return QStringLiteral("'%1' too in: %2").arg(verdictText(other), lines[0]);
    return QString();
}
} // namespace

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
                 "pdftotext is missing: scripts/setup.sh installs poppler-utils");
    }

    // Every unit's serial with its verdict on its line, the header's figures, in the language of
    // the window; every font embedded.
    void pdf_data()
    {
        QTest::addColumn<bool>("inChinese");
        QTest::addColumn<bool>("twoPoints");
        QTest::addColumn<QString>("header"); // texts the header has, between bars
        // The last of the English ones is the Tervin-F's mean.
        QTest::newRow("English")
            << false << false
            << "Production check|2026-12-07 14:02:17 UTC+01:00|批号 42|23.5 °C "
               "±0.05 °C, 45 %RH ±0.5 %RH|over 10 min|SHT3X/4X ±1.8 %RH|9 units: "
               "4 pass, 2 fail, 1 settling, 1 unstable, 1 no answer|74.480 °F";
        QTest::newRow("Chinese") << true << false
                                 << "生产检验|UTC+01:00|批号 42|合格|不合格|无应答";
        QTest::newRow("two points") << false << true
                                    << "unit = 0.8569 × reference + 6.222|unit = 1.0000 × "
                                       "reference + 1.000";
    }

    void pdf()
    {
        QFETCH(bool, inChinese);
        QFETCH(bool, twoPoints);
        QFETCH(QString, header);
        InChinese language(inChinese);
        const QList<UnitResult> units = checkedLine(twoPoints ? 75 : 45);
        CheckReportContent content = contentOf(units);
        if (twoPoints) {
            content.twoPoints = combinePoints(checkedLine(33), units);
            content.units.clear();
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("check.pdf"));
        QVERIFY(Report::writeCheck(content, {path, QString()}).isComplete());
        const QString text = pdfText(path);
        for (const QString &expected : header.split('|'))
            QVERIFY2(text.contains(expected) || pdfText(path, false).contains(expected),
                     qPrintable(expected + " not in:\n" + text));
        // A two-point report names each unit on the row of its first point.
        for (const UnitResult &unit : twoPoints ? checkedLine(33) : units) {
            const QString problem = verdictProblem(text, unit.identity.serial, unit.verdict);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {path});
        QVERIFY(fonts.waitForFinished(30000));
        const QStringList lines = QString(fonts.readAllStandardOutput()).split('\n').mid(2);
        QVERIFY(!lines.filter(QRegularExpression("\\S")).isEmpty());
        for (const QString &line : lines.filter(QRegularExpression("\\S")))
            QVERIFY2(line.contains(QRegularExpression("\\byes\\s+yes\\s+yes\\b")) ||
                         line.contains(QRegularExpression("\\byes\\s+no\\s+yes\\b")),
                     qPrintable("a font not embedded: " + line));
    }

    // The CSV read back as the first point of a two-point check: every unit with every figure it
    // carries, so that written again it is the same file.
    void csvReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("check.csv"));
        QVERIFY(Report::writeCheck(contentOf(checkedLine()), {QString(), path}).isComplete());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QVERIFY(data.startsWith("\xEF\xBB\xBFtime,point,address,serial,"));
        QList<UnitResult> read;
        QCOMPARE(CheckCsv::readFirstPoint(data, read), QString());
        QCOMPARE(QString(CheckCsv::document(contentOf(read))), QString(data));
    }

    void csvErrors_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("error");
        const QByteArray header = CheckCsv::header().toUtf8();
        const QByteArray good = CheckCsv::document(contentOf(checkedLine().mid(0, 1)));
        QTest::newRow("empty") << QByteArray() << "not a check report: it has no column time";
        QTest::newRow("a readings file") << QByteArray("time,temperature,humidity\n")
                                         << "not a check report: it has no column point";
        QByteArray badVerdict = good;
        badVerdict.replace(",pass,", ",passed,");
        QTest::newRow("a verdict") << badVerdict << "line 2: 'passed' is not a verdict";
        QByteArray badNumber = good;
        badNumber.replace(",pass,23.500,", ",pass,23.5x,");
        QTest::newRow("a number") << badNumber
                                  << "line 2: '23.5x' in mean_temperature is not a number";
        QByteArray second = good;
        second.replace("+01:00,1,", "+01:00,2,");
        QTest::newRow("two points already")
            << second
            << "line 2: the report already combines two points; give the first point's report";
    }

    void csvErrors()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, error);
        QList<UnitResult> read;
        QCOMPARE(CheckCsv::readFirstPoint(data, read), error);
        QVERIFY(read.isEmpty());
    }

    // A file that cannot be written is named, with why, in the user's language; the other file is
    // written all the same.
    void unwritable_data()
    {
        QTest::addColumn<bool>("pdfFails"); // or the CSV
        QTest::addColumn<QString>("where"); // under the temporary folder
        QTest::addColumn<bool>("inChinese");
        QTest::addColumn<QString>("why");
        QTest::newRow("PDF, no such folder")
            << true << "missing/check" << false << "no such folder";
        QTest::newRow("PDF, a file in the way")
            << true << "file/check" << false << "a file stands where the folder should be";
        QTest::newRow("CSV, no such folder")
            << false << "missing/check" << false << "no such folder";
        QTest::newRow("PDF, in Chinese") << true << "missing/check" << true << "文件夹不存在";
    }

    void unwritable()
    {
        QFETCH(bool, pdfFails);
        QFETCH(QString, where);
        QFETCH(bool, inChinese);
        QFETCH(QString, why);
        InChinese language(inChinese);
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const QString bad = dir.filePath(where);
        const QString good = dir.filePath(QStringLiteral("good"));
        Report::Files files{pdfFails ? bad + ".pdf" : good + ".pdf",
                            pdfFails ? good + ".csv" : bad + ".csv"};
        const Report::Outcome outcome = Report::writeCheck(contentOf(checkedLine()), files);
        const QString error = pdfFails ? outcome.pdfError : outcome.csvError;
        const QString path = pdfFails ? files.pdf : files.csv;
        const QString expected = inChinese ? QStringLiteral("无法写入报告 %1：%2")
                                           : QStringLiteral("Cannot write the report %1: %2");
        QCOMPARE(error, expected.arg(path, why));
        QVERIFY((pdfFails ? outcome.csvError : outcome.pdfError).isEmpty());
        QVERIFY(QFileInfo(pdfFails ? files.csv : files.pdf).size() > 0);
        QVERIFY(!QFileInfo::exists(path));
    }

    // The CSV sits beside the PDF under the same name, as tervin-cli --report and the window's
    // Report… write them.
    void filesBeside_data()
    {
        QTest::addColumn<QString>("pdf");
        QTest::addColumn<QString>("csv");
        QTest::newRow(".pdf") << QString("lot42.pdf") << QString("lot42.csv");
        QTest::newRow(".PDF, a folder, a space")
            << QString("/r/Lot 42.PDF") << QString("/r/Lot 42.csv");
        QTest::newRow("no .pdf") << QString("lot42") << QString("lot42.csv");
        QTest::newRow("another suffix") << QString("lot42.csv") << QString("lot42.csv.csv");
    }
    void filesBeside()
    {
        QFETCH(QString, pdf);
        QFETCH(QString, csv);
        const Report::Files files = Report::filesBeside(pdf);
        QCOMPARE(files.pdf, pdf);
        QCOMPARE(files.csv, csv);
    }
};

int main(int argc, char *argv[])
{
    Report::useOffscreenPlatform(); // as tervin-cli does before its QGuiApplication
    QGuiApplication app(argc, argv);
    TestReport test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_report.moc"
