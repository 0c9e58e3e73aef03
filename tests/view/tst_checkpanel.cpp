// The Line window's Check mode on the fake line in virtual time: the window's own poll cycle feeds
// the check; the table's columns show each unit's deviation, settle and verdict in their colours;
// settings that are not ones are said and nothing is sent; the report, and a file of it that cannot
// be written; the window in both languages on a 1366 x 768 screen.
#include "fakeline.h"
#include "inchinese.h"
#include "report/checkreport.h"
#include "testsupport.h"
#include "view/checkpanel.h"
#include "view/elidedlabel.h"
#include "view/linecheck.h"
#include "view/linewindow.h"

using namespace TestSupport;
using LinkHarness::Rig;

namespace {
constexpr qint64 Minute = 60 * 1000;

// A Line window on the fake line: Tervin-Cs at 1 and 3 (3 reads 0.5 °C warm), a Tervin-F at 2
// reading 0.3 °C cool, and the reference at 9.
struct CheckBench
{
    // Or Tervin-Cs at these addresses, each with its offsets (°C, %RH).
    explicit CheckBench(const QMap<int, QPair<double, double>> &units = {})
        : line(rig), window(&rig.session)
    {
        const QList<int> addresses = units.isEmpty() ? QList<int>{1, 2, 3, 9} : units.keys();
        for (int address : addresses) {
            TransmitterModel &unit = line.add(
                address, address == 2 && units.isEmpty() ? FahrenheitDeviceType : quint16(1));
            unit.settings().serialNumber[2] = quint16(0x9a00 + address); // 123456789a<address>
            rig.session.roster().unit(address);                          // as a scan lists them
            offset(unit, units.value(address).first, units.value(address).second);
        }
        if (units.isEmpty()) {
            offset(line.units[1], -0.3); // the unit at 2
            offset(line.units[2], 0.5);  // the unit at 3
        }
        window.setHundredths(true); // the window's Magnification at *100
        window.show();
    }
    static void offset(TransmitterModel &unit, double celsius, double humidity = 0)
    {
        SensorError error;
        error.temperature.offset = celsius;
        error.humidity.offset = humidity;
        unit.setSensorError(error);
    }
    void mode(bool on)
    {
        if (modeButton()->isChecked() != on)
            modeButton()->click();
    }
    QPushButton *modeButton() { return child<QPushButton>(&window, "pushButtonCheckMode"); }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(&window, name); }
    QComboBox *reference() { return child<QComboBox>(&window, "comboBoxCheckReference"); }
    CheckPanel *panel() { return child<CheckPanel>(&window, "checkPanel"); }
    QTableView *view() { return child<QTableView>(&window, "tableViewUnits"); }
    // A cell of the unit at this address, in the column headed so.
    QVariant cell(int address, const QString &heading, int role = Qt::DisplayRole)
    {
        QAbstractItemModel *model = view()->model();
        for (int column = 0; column < model->columnCount(); ++column)
            if (model->headerData(column, Qt::Horizontal).toString() == heading)
                return model->index(rowOfUnit(model, address), column).data(role);
        return QVariant();
    }

    Rig rig;
    LinkHarness::FakeLine line;
    LineWindow window;
};
} // namespace

class TestCheckPanel : public QObject
{
    Q_OBJECT

private slots:
    // The journey: Check mode, the reference row, a minute's settle, Start check (which starts
    // the window's polling), the verdicts in the table in their colours, Report….
    void aLineIsCheckedFromTheTable()
    {
        CheckBench bench;
        QCOMPARE(bench.view()->model()->columnCount(), int(UnitTable::ColumnCount));
        bench.mode(true);
        QVERIFY(bench.panel()->isVisible());
        // The verdict beside the serial number.
        QHeaderView *header = bench.view()->horizontalHeader();
        QCOMPARE(header->visualIndex(UnitTable::ColumnCount + LineCheck::VerdictColumn),
                 UnitTable::Serial + 1);
        bench.reference()->setCurrentIndex(bench.reference()->findData(9));
        QVERIFY(!bench.edit("lineEditReferenceTemperature")->isEnabled());
        bench.edit("lineEditSettle")->setText("1m");
        click(bench.window, "pushButtonStartCheck");
        QVERIFY(bench.window.isPolling());
        QCOMPARE(child<QPushButton>(&bench.window, "pushButtonStartCheck")->text(), "Stop check");
        bench.rig.clock.advance(Minute / 2);
        // Settling: the time left, the deviation so far in grey; the table takes it in a second.
        QTRY_VERIFY(
            bench.cell(3, "Settled").toString().contains(QRegularExpression("^3[01] s left$")));
        QCOMPARE(bench.cell(3, "Verdict").toString(), "settling");
        QCOMPARE(bench.cell(3, "Deviation \u00B0C", Qt::ForegroundRole).value<QColor>().name(),
                 "#666666");
        bench.rig.clock.advance(2 * Minute);
        QCOMPARE(bench.panel()->check().isRunning(), false); // every unit judged
        QVERIFY(bench.window.isPolling());                   // the window still polls
        QStringList shown; // by column, the units at 1, 2 (a Tervin-F, in its own unit too), 3, 9
        for (const char *heading : {"Verdict", "Deviation \u00B0C", "Deviation %RH", "Settled"})
            for (int address : {1, 2, 3, 9})
                shown << bench.cell(address, heading).toString();
        QCOMPARE(shown.join(" | "),
                 "pass | fail | fail | reference | +0.00 \u00B0C | -0.30 \u00B0C "
                 "(-0.54 \u00B0F) | +0.50 \u00B0C |  | +0.00 %RH | +0.00 %RH | "
                 "+0.00 %RH |  | yes | yes | yes | ");
        QCOMPARE(bench.cell(1, "Verdict", Qt::ForegroundRole).value<QColor>().name(), "#1a7f37");
        QCOMPARE(bench.cell(3, "Verdict", Qt::ForegroundRole).value<QColor>().name(), "#c62828");
        QVERIFY(bench.cell(3, "Deviation \u00B0C", Qt::ToolTipRole)
                    .toString()
                    .contains("tolerance \u00B10.2 \u00B0C"));
        QCOMPARE(child<ElidedLabel>(&bench.window, "labelCheckStatus")->text(),
                 "Check done: 3 unit(s): 1 pass, 2 fail");
        QTemporaryDir folder;
        QVERIFY(bench.panel()->writeReport("lot 42", folder.filePath("lot42.pdf")));
        QVERIFY(QFileInfo(folder.filePath("lot42.pdf")).size() > 0);
        QVERIFY(QFileInfo(folder.filePath("lot42.csv")).size() > 0);
        bench.mode(false);
        QCOMPARE(bench.view()->model()->columnCount(), int(UnitTable::ColumnCount));
    }

    // Eight units checked against typed values, with a tolerance set for every unit instead of
    // the family's: 3 reads 0.5 °C warm and passes within ±0.6 less ±0.05; the report names
    // exactly 6 (3 %RH low) and 7 (0.7 °C warm) as failed, against their serial numbers.
    void aBatchAgainstTypedValuesAndATolerance()
    {
        QMap<int, QPair<double, double>> units{{3, {0.5, 0}}, {6, {0, -3}}, {7, {0.7, 0}}};
        for (int address : {1, 2, 4, 5, 8})
            units[address] = {0, 0};
        CheckBench bench(units);
        bench.mode(true);
        bench.edit("lineEditReferenceTemperature")->setText("23.5:0.05");
        bench.edit("lineEditReferenceHumidity")->setText("45:0.5");
        bench.edit("lineEditToleranceTemperature")->setText("0.6");
        bench.edit("lineEditSettle")->setText("1m");
        click(bench.window, "pushButtonStartCheck");
        bench.rig.clock.advance(2 * Minute);
        QVERIFY(!bench.panel()->check().isRunning());
        QCOMPARE(bench.cell(3, "Deviation \u00B0C", Qt::ToolTipRole).toString(),
                 "mean 24.000 \u00B0C, reference 23.500 \u00B0C, tolerance \u00B10.6 \u00B0C "
                 "less \u00B10.05 \u00B0C");
        QTemporaryDir folder;
        QVERIFY(bench.panel()->writeReport("lot 42", folder.filePath("lot42.pdf")));
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", folder.filePath("lot42.pdf"), "-"});
        QVERIFY(pdftotext.waitForFinished(30000));
        const QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput()).split('\n');
        QList<int> failed;
        for (int address = 1; address <= 8; ++address) {
            const QString serial = QString("123456789a%1").arg(address, 2, 10, QChar('0'));
            const QStringList row = lines.filter(serial);
            QCOMPARE(row.size(), 1);
            const QStringList words = row[0].split(' ', Qt::SkipEmptyParts);
            QVERIFY(words.contains("fail") != words.contains("pass")); // one verdict on its line
            if (words.contains("fail"))
                failed << address;
        }
        QCOMPARE(failed, QList<int>({6, 7}));
    }

    // Settings that are not ones are said in a box, naming the field; the check does not start
    // and nothing is sent.
    void settingsThatAreNotOnes_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("box"); // after "Error/Check: "
        auto row = [](const char *name, const char *field, const char *text, const char *box) {
            QTest::newRow(name) << QString(field) << QString(text) << QString(box);
        };
        row("settle 59s", "lineEditSettle", "59s", "Settle time: 59s is shorter than 1 minute");
        row("tolerance negative", "lineEditToleranceTemperature", "-0.2",
            "Tolerance \u00B0C: -0.2 is negative");
        row("tolerance not a number", "lineEditToleranceHumidity", "abc",
            "Tolerance %RH: abc is not a number");
        row("reference beyond the sensor", "lineEditReferenceTemperature", "126",
            "Temperature: 126 is out of range (-40 to 125 \u00B0C)");
        row("no reference value", "lineEditReferenceTemperature", "",
            "the reference has neither a temperature nor a humidity");
    }
    void settingsThatAreNotOnes()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        QFETCH(QString, box);
        CheckBench bench;
        bench.mode(true);
        bench.edit("lineEditReferenceTemperature")->setText("23.5:0.05");
        bench.edit(qPrintable(field))->setText(text);
        click(bench.window, "pushButtonStartCheck");
        QCOMPARE(nextBox(), "Error/Check: " + box);
        QVERIFY(!bench.panel()->check().hasResults());
        QVERIFY(!bench.window.isPolling());
        QVERIFY(bench.rig.port.writes.isEmpty());
    }

    // Not linked: the check does not start, and says why.
    void notLinked()
    {
        CheckBench bench;
        bench.rig.session.close();
        bench.mode(true);
        bench.edit("lineEditReferenceTemperature")->setText("23.5");
        click(bench.window, "pushButtonStartCheck");
        QCOMPARE(child<ElidedLabel>(&bench.window, "labelCheckStatus")->text(),
                 "Not linked: use Link in the main window first.");
        QVERIFY(!bench.panel()->check().hasResults());
        QVERIFY(!bench.window.isPolling());
    }

    // A report file that cannot be written is said in a box naming it, in the user's language;
    // the other file is written all the same.
    void aReportThatCannotBeWritten_data() { inBothLanguages(); }
    void aReportThatCannotBeWritten()
    {
        QFETCH(bool, inChinese);
        InChinese language(inChinese);
        CheckBench bench;
        bench.mode(true);
        bench.edit("lineEditReferenceTemperature")->setText("23.5");
        click(bench.window, "pushButtonStartCheck");
        bench.rig.clock.advance(Minute);
        QTemporaryDir folder;
        const QString pdf = folder.filePath("check.pdf");
        QVERIFY(QDir().mkpath(pdf)); // a folder where the PDF should go
        QVERIFY(!bench.panel()->writeReport("lot 42", pdf));
        const QString box = nextBox();
        QVERIFY2(box.startsWith(
                     (inChinese ? "报告/无法写入报告 " : "Report/Cannot write the report ") + pdf),
                 qPrintable(box));
        QVERIFY(QFileInfo(folder.filePath("check.csv")).size() > 0);
    }

    // The Check mode fits a 1366 x 768 screen in either language, and every control says what it
    // is for. (That none of its texts stays in English in Chinese, tst_window checks with every
    // text of the Line window.)
    void fitsTheScreenInBothLanguages_data() { inBothLanguages(); }
    void fitsTheScreenInBothLanguages()
    {
        QFETCH(bool, inChinese);
        InChinese language(inChinese);
        CheckBench bench;
        bench.mode(true);
        const QSize least = bench.window.minimumSizeHint();
        QVERIFY2(least.width() <= 1366 && least.height() <= 700,
                 qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));
        QList<QWidget *> controls = bench.panel()->findChildren<QWidget *>();
        for (QWidget *control : controls << bench.modeButton()) {
            const bool fieldLabel =
                qobject_cast<QLabel *>(control) && control->objectName().isEmpty();
            if (!fieldLabel &&
                (qobject_cast<QLabel *>(control) || qobject_cast<QAbstractButton *>(control) ||
                 qobject_cast<QLineEdit *>(control) || qobject_cast<QComboBox *>(control)))
                QVERIFY2(!control->toolTip().isEmpty(), qPrintable(control->objectName()));
        }
    }

private:
    static void inBothLanguages()
    {
        QTest::addColumn<bool>("inChinese");
        QTest::newRow("English") << false;
        QTest::newRow("Chinese") << true;
    }
};

TERVIN_GUI_TEST_MAIN(TestCheckPanel)
#include "tst_checkpanel.moc"
