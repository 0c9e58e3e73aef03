#include "view/checkpanel.h"

#include "link/checksettings.h"
#include "protocol/deviceinfo.h"
#include "report/checkreport.h"
#include "view/elidedlabel.h"
#include "view/linecheck.h"
#include "view/unittable.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int TickMs = 1000;
constexpr int TypedReference = 0; // the reference combo's data for typed values
const QString DefaultSettle = QStringLiteral("10m");

// "SHT2X/3X ±0.2, SHT3X/4X ±0.2": what each sensor family is held to unless set.
QString familyDefaults(double Tolerances::*quantity)
{
    QStringList parts;
    for (quint16 family : sensorFamilies())
        parts << QStringLiteral("%1 ±%2")
                     .arg(DeviceInfo::sensorTypeName(family))
                     .arg(familyTolerances(family).*quantity, 0, 'f', 1);
    return parts.join(QStringLiteral(", "));
}

QLineEdit *edit(const QString &text, const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(text, parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

constexpr int FieldMargin = 16; // a line edit's frame and its text's margins

// The family defaults are read in full.
void fitPlaceholder(QLineEdit *field)
{
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(field->placeholderText()) +
                           FieldMargin);
}

// A field as wide as the longest value it takes, so that the reference's name is read in full.
void fitValue(QLineEdit *field, const QString &longest)
{
    field->setMaximumWidth(field->fontMetrics().horizontalAdvance(longest) + FieldMargin);
}

QPushButton *button(const QString &text, const char *name, QWidget *parent)
{
    auto *pushButton = new QPushButton(text, parent);
    pushButton->setObjectName(QLatin1String(name));
    return pushButton;
}
} // namespace

CheckPanel::CheckPanel(LinkSession *session, UnitTable *table, QTableView *view, QWidget *parent)
    : QWidget(parent), session(session), table(table), view(view),
      lineCheck(
          std::make_unique<LineCheck>(&session->roster(), [session] { return session->nowMs(); })),
      ticker(new QTimer(this))
{
    setObjectName(QStringLiteral("checkPanel"));
    buildControls();
    connect(ticker, &QTimer::timeout, this, &CheckPanel::tick);
    setVisible(false);
}

CheckPanel::~CheckPanel()
{
    if (table)
        table->setExtraColumns(nullptr);
}

void CheckPanel::buildControls()
{
    modeSwitch = button(tr("Check"), "pushButtonCheckMode", parentWidget());
    modeSwitch->setCheckable(true);
    modeSwitch->setToolTip(tr("Check mode: every unit of the line against a reference, judged "
                              "once settled from the readings of the line's polls"));
    reference = new QComboBox(this);
    reference->setObjectName(QStringLiteral("comboBoxCheckReference"));
    reference->setSizeAdjustPolicy(QComboBox::AdjustToContents); // serial numbers come later
    reference->setToolTip(tr("The reference: a unit of the line (a calibrated transmitter beside "
                             "the others), or values typed from a reference instrument"));
    referenceTemperature = edit(QString(), "lineEditReferenceTemperature", this);
    referenceTemperature->setPlaceholderText(QStringLiteral("23.5:0.1"));
    referenceTemperature->setToolTip(tr("The reference instrument's temperature in °C and, "
                                        "after a colon, its uncertainty: 23.5:0.1. Empty: "
                                        "temperature is not judged"));
    referenceHumidity = edit(QString(), "lineEditReferenceHumidity", this);
    referenceHumidity->setPlaceholderText(QStringLiteral("45:1.5"));
    referenceHumidity->setToolTip(tr("The reference instrument's humidity in %RH and, after a "
                                     "colon, its uncertainty: 45:1.5. Empty: humidity is not "
                                     "judged"));
    fitValue(referenceTemperature, QStringLiteral("-40.00:0.05 "));
    fitValue(referenceHumidity, QStringLiteral("100.00:0.05 "));
    settle = edit(DefaultSettle, "lineEditSettle", this);
    fitValue(settle, QStringLiteral("168h00m00s"));
    settle->setToolTip(tr("How long the readings of a unit and of the reference must stay "
                          "within 0.1 °C and 0.5 %RH before it is judged: 10m, 90s, 1h30m; "
                          "at least 1m"));
    toleranceTemperature = edit(QString(), "lineEditToleranceTemperature", this);
    toleranceTemperature->setPlaceholderText(familyDefaults(&Tolerances::temperature));
    fitPlaceholder(toleranceTemperature);
    toleranceTemperature->setToolTip(tr("The tolerance of every unit in °C. Empty: each "
                                        "unit's sensor family's, as shown"));
    toleranceHumidity = edit(QString(), "lineEditToleranceHumidity", this);
    toleranceHumidity->setPlaceholderText(familyDefaults(&Tolerances::humidity));
    fitPlaceholder(toleranceHumidity);
    toleranceHumidity->setToolTip(tr("The tolerance of every unit in %RH. Empty: each unit's "
                                     "sensor family's, as shown"));
    startButton = button(tr("Start check"), "pushButtonStartCheck", this);
    startButton->setToolTip(tr("Starts the check of the listed units (polling the line if it "
                               "is not), or stops it where it stands"));
    reportButton = button(tr("Report…"), "pushButtonCheckReport", this);
    reportButton->setToolTip(tr("Writes the check's report as it stands, as PDF and as CSV "
                                "beside it, with your note"));
    reportButton->setEnabled(false);
    status = new ElidedLabel(this);
    status->setObjectName(QStringLiteral("labelCheckStatus"));

    auto *referenceRow = new QHBoxLayout;
    referenceRow->addWidget(new QLabel(tr("Reference:"), this));
    referenceRow->addWidget(reference);
    referenceRow->addWidget(new QLabel(tr("Temperature:"), this));
    referenceRow->addWidget(referenceTemperature);
    referenceRow->addWidget(new QLabel(tr("Humidity:"), this));
    referenceRow->addWidget(referenceHumidity);
    referenceRow->addWidget(new QLabel(tr("Settle time:"), this));
    referenceRow->addWidget(settle);
    referenceRow->addStretch(1);
    auto *judgeRow = new QHBoxLayout;
    judgeRow->addWidget(new QLabel(tr("Tolerance ± °C:"), this));
    judgeRow->addWidget(toleranceTemperature);
    judgeRow->addWidget(new QLabel(tr("± %RH:"), this));
    judgeRow->addWidget(toleranceHumidity);
    judgeRow->addWidget(startButton);
    judgeRow->addWidget(reportButton);
    judgeRow->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(referenceRow);
    layout->addLayout(judgeRow);
    layout->addWidget(status);

    connect(modeSwitch, &QPushButton::toggled, this, &CheckPanel::modeToggled);
    connect(reference, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &CheckPanel::referenceChosen);
    connect(startButton, &QPushButton::clicked, this, &CheckPanel::startClicked);
    connect(reportButton, &QPushButton::clicked, this, &CheckPanel::reportClicked);
    refreshReferences();
}

void CheckPanel::modeToggled(bool on)
{
    if (!on && lineCheck->isRunning())
        end(tr("Check stopped"));
    setVisible(on);
    showColumns(on);
    refreshReferences();
    if (on)
        ticker->start(TickMs);
    else
        ticker->stop();
}

// The check's columns beside the serial number, which the verdict is recorded against.
void CheckPanel::showColumns(bool on)
{
    table->setExtraColumns(on ? lineCheck.get() : nullptr);
    if (!on)
        return;
    QHeaderView *header = view->horizontalHeader();
    for (int column = 0; column < LineCheck::ColumnCount; ++column)
        header->moveSection(header->visualIndex(UnitTable::ColumnCount + column),
                            header->visualIndex(UnitTable::Serial) + 1 + column);
}

QString CheckPanel::settingsFromFields(CheckSettings &settings) const
{
    const int address = reference->currentData().toInt();
    settings.reference.address = address;
    auto typed = [&](QLineEdit *field, auto read, std::optional<double> CheckReference::*value,
                     double CheckReference::*uncertainty) {
        const QString text = field->text().trimmed();
        if (address != TypedReference || text.isEmpty())
            return QString();
        double given = 0;
        const QString problem = read(text, given, settings.reference.*uncertainty);
        settings.reference.*value = given;
        return problem;
    };
    auto tolerance = [](QLineEdit *field, std::optional<double> &value) {
        const QString text = field->text().trimmed();
        double given = 0;
        const QString problem =
            text.isEmpty() ? QString() : CheckInput::positiveNumber(text, given);
        if (!text.isEmpty())
            value = given;
        return problem;
    };
    const QList<std::pair<QString, QString>> problems{
        {tr("Temperature"),
         typed(referenceTemperature, CheckInput::referenceTemperature, &CheckReference::temperature,
               &CheckReference::temperatureUncertainty)},
        {tr("Humidity"), typed(referenceHumidity, CheckInput::referenceHumidity,
                               &CheckReference::humidity, &CheckReference::humidityUncertainty)},
        {tr("Settle time"), CheckInput::settleTime(settle->text().trimmed(), settings.settleMs)},
        {tr("Tolerance °C"), tolerance(toleranceTemperature, settings.temperatureTolerance)},
        {tr("Tolerance %RH"), tolerance(toleranceHumidity, settings.humidityTolerance)}};
    for (const auto &[field, problem] : problems)
        if (!problem.isEmpty())
            return tr("%1: %2").arg(field, problem);
    return CheckInput::settingsProblem(settings, session->roster().addresses());
}

void CheckPanel::startClicked()
{
    if (lineCheck->isRunning()) {
        end(tr("Check stopped"));
        return;
    }
    if (!session->isOpen()) {
        status->setText(tr("Not linked: use Link in the main window first."));
        return;
    }
    const QList<int> units = session->roster().addresses();
    if (units.isEmpty()) {
        status->setText(tr("No unit listed: Scan first."));
        return;
    }
    CheckSettings settings;
    const QString problem = settingsFromFields(settings);
    if (!problem.isEmpty()) {
        QMessageBox::information(this, tr("Error"), tr("Check: %1").arg(problem));
        return;
    }
    lineCheck->start(settings, units);
    ending.clear();
    startButton->setText(tr("Stop check"));
    enableFields();
    emit pollWanted();
    showStatus();
}

void CheckPanel::end(const QString &why)
{
    lineCheck->stop();
    ending = why;
    startButton->setText(tr("Start check"));
    enableFields();
    table->refresh();
    showStatus();
}

void CheckPanel::polled(int address, const LinkOutcome &outcome)
{
    if (lineCheck->polled(address, outcome))
        end(tr("Check done"));
}

void CheckPanel::pollingChanged(bool on)
{
    if (!on && lineCheck->isRunning())
        end(tr("Check stopped with the polling"));
}

void CheckPanel::tick()
{
    if (lineCheck->endIfPastDeadline())
        end(tr("Check done"));
    refreshReferences();
    showStatus();
}

void CheckPanel::showStatus()
{
    if (!lineCheck->hasResults())
        return;
    QString text = lineCheck->summary();
    if (lineCheck->isRunning()) {
        const qint64 left = lineCheck->deadlineMs() - session->nowMs();
        const QTime by = QTime::currentTime().addMSecs(int(left));
        text = tr("Checking: %1; done by %2 at the latest")
                   .arg(text, by.toString(QStringLiteral("HH:mm")));
    } else {
        text = tr("%1: %2").arg(ending, text);
    }
    status->setText(text);
}

// The units of the roster as references to choose from, by address and serial number once
// known; the choice kept.
void CheckPanel::refreshReferences()
{
    QStringList items{tr("Typed values")};
    const QList<int> units = session->roster().addresses();
    for (int address : units) {
        const QString serial = session->roster().serialAt(address);
        items << (serial.isEmpty() ? tr("Address %1").arg(address)
                                   : tr("Address %1, %2").arg(address).arg(serial));
    }
    QStringList shown;
    for (int i = 0; i < reference->count(); ++i)
        shown << reference->itemText(i);
    if (shown == items)
        return;
    const int chosen = reference->currentData().toInt();
    const QSignalBlocker quiet(reference);
    reference->clear();
    reference->addItem(items.first(), TypedReference);
    for (int i = 0; i < units.size(); ++i)
        reference->addItem(items[i + 1], units[i]);
    reference->setCurrentIndex(std::max(0, reference->findData(chosen)));
    enableFields();
}

void CheckPanel::referenceChosen()
{
    enableFields();
}

void CheckPanel::enableFields()
{
    const bool editable = !lineCheck->isRunning();
    const bool typed = reference->currentData().toInt() == TypedReference;
    for (QWidget *field :
         {static_cast<QWidget *>(reference), static_cast<QWidget *>(settle),
          static_cast<QWidget *>(toleranceTemperature), static_cast<QWidget *>(toleranceHumidity)})
        field->setEnabled(editable);
    referenceTemperature->setEnabled(editable && typed);
    referenceHumidity->setEnabled(editable && typed);
    reportButton->setEnabled(lineCheck->hasResults());
}

void CheckPanel::reportClicked()
{
    bool given = false;
    const QString note = QInputDialog::getMultiLineText(
        this, tr("Report"), tr("Your note for the report (lot, order, chamber):"), lastNote,
        &given);
    if (!given)
        return;
    lastNote = note;
    QDir().mkpath(QStringLiteral("Data"));
    const QString proposed = QDir::current().filePath(
        QStringLiteral("Data/Check-") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")) +
        QStringLiteral(".pdf"));
    QString path =
        QFileDialog::getSaveFileName(this, tr("Report"), proposed, tr("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    writeReport(note, path);
}

bool CheckPanel::writeReport(const QString &note, const QString &pdf)
{
    const Report::Files files = Report::filesBeside(pdf);
    const Report::Outcome outcome =
        Report::writeCheck(lineCheck->reportContent(note, QDateTime::currentDateTime()), files);
    if (!outcome.isComplete()) {
        QStringList problems{outcome.pdfError, outcome.csvError};
        problems.removeAll(QString());
        QMessageBox::warning(this, tr("Report"), problems.join(QLatin1Char('\n')));
        return false;
    }
    status->setText(
        tr("The report is in %1 and %2")
            .arg(QDir::toNativeSeparators(files.pdf), QDir::toNativeSeparators(files.csv)));
    return true;
}
