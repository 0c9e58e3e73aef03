#include "view/linewindow.h"

#include "comm/filefailure.h"
#include "link/linescan.h"
#include "link/pollcycle.h"
#include "protocol/protocol.h"
#include "protocol/values.h"
#include "view/checkpanel.h"
#include "view/unittable.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int RefreshMs = 1000;   // the ages tick by the second
constexpr int AfterPollMs = 1000; // readings are shown within a second of their coming
constexpr int MaxPeriodMs = 24 * 60 * 60 * 1000;
const char *const ByteOrderMark = "\xEF\xBB\xBF";
} // namespace

LineWindow::LineWindow(LinkSession *session, QWidget *parent)
    : QWidget(parent, Qt::Window), session(session), scan(new LineScan(session, this)),
      cycle(new PollCycle(session, this)),
      table(new UnitTable(
          &session->roster(), [session] { return session->nowMs(); }, this)),
      sorted(new QSortFilterProxyModel(this)), refreshTimer(new QTimer(this)),
      soon(new QTimer(this))
{
    setObjectName(QStringLiteral("lineWindow"));
    setWindowTitle(tr("Line"));
    setAttribute(Qt::WA_QuitOnClose, false); // the main window's Close ends the tool
    resize(1100, 420);
    buildControls();
    connect(scan, &LineScan::progress, this, &LineWindow::scanProgress);
    connect(scan, &LineScan::finished, this, &LineWindow::scanFinished);
    connect(scan, &LineScan::answered, this, [this] {
        ++found;
        refreshSoon();
    });
    connect(scan, &LineScan::cutOff, this, [this](int address) { cutOff << address; });
    connect(scan, &LineScan::collision, this, [this](int address) { collided << address; });
    connect(cycle, &PollCycle::polled, this, [this](int address, const LinkOutcome &outcome) {
        emit polled(address, outcome);
        refreshSoon();
    });
    connect(cycle, &PollCycle::interrupted, this, &LineWindow::stopPolling);
    connect(refreshTimer, &QTimer::timeout, this, &LineWindow::refresh);
    soon->setSingleShot(true);
    connect(soon, &QTimer::timeout, this, &LineWindow::refresh);
    refreshTimer->start(RefreshMs);
}

void LineWindow::buildControls()
{
    addresses = new QLineEdit(QStringLiteral("1-247"), this);
    addresses->setObjectName(QStringLiteral("lineEditScanAddresses"));
    addresses->setToolTip(tr("The addresses the scan asks: 1-247, or a list such as 1,5,9-12"));
    scanButton = new QPushButton(tr("Scan"), this);
    scanButton->setObjectName(QStringLiteral("pushButtonScan"));
    scanButton->setToolTip(tr("Asks each address for its device information, at the link's rate, "
                              "and lists every unit that answers"));
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progressBarScan"));
    progress->setFormat(tr("%v of %m addresses"));
    progress->setToolTip(tr("How far the scan has come"));
    cancelButton = new QPushButton(tr("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("pushButtonCancelScan"));
    cancelButton->setToolTip(tr("Stops the scan; the units found so far stay listed"));
    cancelButton->setEnabled(false);
    period = new QLineEdit(QStringLiteral("1000"), this);
    period->setObjectName(QStringLiteral("lineEditLinePeriod"));
    period->setToolTip(tr("Milliseconds between rounds (at least 100); a round asks every unit "
                          "once, and the next starts at once when a round takes longer"));
    pollButton = new QPushButton(tr("Poll line"), this);
    pollButton->setObjectName(QStringLiteral("pushButtonPollLine"));
    pollButton->setToolTip(tr("Reads every listed unit in turn, round after round; press again to "
                              "stop"));
    copyButton = new QPushButton(tr("Copy"), this);
    copyButton->setObjectName(QStringLiteral("pushButtonCopyUnits"));
    copyButton->setToolTip(tr("Copies the selected rows (or all) to the clipboard, as CSV"));
    exportButton = new QPushButton(tr("Export CSV"), this);
    exportButton->setObjectName(QStringLiteral("pushButtonExportUnits"));
    exportButton->setToolTip(tr("Writes the table to a CSV file"));
    view = new QTableView(this);
    view->setObjectName(QStringLiteral("tableViewUnits"));
    view->setToolTip(tr("The units on the line; choose one to make it the window's unit. Click a "
                        "heading to sort"));
    sorted->setSourceModel(table);
    sorted->setSortRole(UnitTable::SortRole);
    view->setModel(sorted);
    view->setSortingEnabled(true);
    view->sortByColumn(UnitTable::Address, Qt::AscendingOrder);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->hide();
    // Columns are fitted to their contents when rows come, not at every new reading: measuring
    // every cell at each refresh would cost more than all the rest of the window.
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    checkPanel = new CheckPanel(session, table, view, this);
    note = new QLabel(this);
    note->setObjectName(QStringLiteral("labelLineNote"));
    note->setWordWrap(true);

    auto *scanRow = new QHBoxLayout;
    scanRow->addWidget(new QLabel(tr("Addresses:"), this));
    scanRow->addWidget(addresses);
    scanRow->addWidget(scanButton);
    scanRow->addWidget(progress, 1);
    scanRow->addWidget(cancelButton);
    auto *pollRow = new QHBoxLayout;
    pollRow->addWidget(new QLabel(tr("Period (ms):"), this));
    pollRow->addWidget(period);
    pollRow->addWidget(pollButton);
    pollRow->addWidget(checkPanel->modeButton());
    pollRow->addStretch(1);
    pollRow->addWidget(copyButton);
    pollRow->addWidget(exportButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(scanRow);
    layout->addLayout(pollRow);
    layout->addWidget(checkPanel);
    layout->addWidget(view, 1);
    layout->addWidget(note);

    connect(scanButton, &QPushButton::clicked, this, &LineWindow::scanClicked);
    connect(cancelButton, &QPushButton::clicked, scan, &LineScan::cancel);
    connect(pollButton, &QPushButton::clicked, this, &LineWindow::pollClicked);
    connect(copyButton, &QPushButton::clicked, this, &LineWindow::copyRows);
    connect(this, &LineWindow::polled, checkPanel, &CheckPanel::polled);
    connect(this, &LineWindow::pollingChanged, checkPanel, &CheckPanel::pollingChanged);
    connect(checkPanel, &CheckPanel::pollWanted, this, [this] {
        if (!isPolling())
            pollClicked();
    });
    connect(exportButton, &QPushButton::clicked, this, &LineWindow::exportCsv);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &LineWindow::rowChosen);
    connect(view, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        QMenu menu(this);
        menu.addAction(tr("Copy"), this, &LineWindow::copyRows);
        menu.exec(view->viewport()->mapToGlobal(at));
    });
    auto *copy = new QShortcut(QKeySequence::Copy, view);
    connect(copy, &QShortcut::activated, this, &LineWindow::copyRows);
}

void LineWindow::linkChanged()
{
    scan->cancel();
    stopPolling();
    refresh();
    setNote(QString());
}

bool LineWindow::isPolling() const
{
    return cycle->isRunning();
}

void LineWindow::setHundredths(bool hundredths)
{
    cycle->setReadings(ModbusReply::AllReadings, hundredths);
}

void LineWindow::showChosen(int address)
{
    chosen = address;
    const int row = table->rowOf(address);
    if (row < 0)
        return;
    const QModelIndex shown = sorted->mapFromSource(table->index(row, 0));
    if (view->selectionModel()->isRowSelected(shown.row(), QModelIndex()))
        return;
    QSignalBlocker quiet(view->selectionModel());
    view->selectRow(shown.row());
}

// The scan asks the addresses at the link's rate, one after another; nothing is sent for a list
// that is not one.
void LineWindow::scanClicked()
{
    QList<int> list;
    const QString problem = Values::addressList(addresses->text().trimmed(), list);
    if (!problem.isEmpty()) {
        QMessageBox::information(this, tr("Error"), tr("Addresses: %1").arg(problem));
        return;
    }
    if (!session->isOpen()) {
        setNote(tr("Not linked: use Link in the main window first."));
        return;
    }
    found = 0;
    cutOff.clear();
    collided.clear();
    scanStartMs = session->nowMs();
    progress->setRange(0, int(list.size()));
    progress->setValue(0);
    scanButton->setEnabled(false);
    cancelButton->setEnabled(true);
    setNote(tr("Scanning at %1 bit/s…").arg(session->baudRate()));
    scan->start(list);
}

void LineWindow::scanProgress(int asked, int total)
{
    progress->setMaximum(total);
    progress->setValue(asked);
}

void LineWindow::scanFinished(bool cancelled)
{
    scanButton->setEnabled(true);
    cancelButton->setEnabled(false);
    const double seconds = (session->nowMs() - scanStartMs) / 1000.0;
    QStringList said{cancelled ? tr("Scan cancelled: %n unit(s) found so far", nullptr, found)
                               : tr("%n unit(s) found in %1 s", nullptr, found)
                                     .arg(seconds, 0, 'f', 1)};
    for (int address : collided)
        said << tr("garbled answers at %1: two units at one address?").arg(address);
    if (!cutOff.isEmpty())
        said << tr("answers cut off at %1: raise the timeout")
                    .arg(Values::addressListText(cutOff));
    QStringList serials; // a unit answering at two addresses: two rows, and said
    for (int address : session->roster().addresses()) {
        const QString serial = session->roster().serialAt(address);
        const QList<int> at = session->roster().addressesOf(serial);
        if (!serial.isEmpty() && at.size() > 1 && !serials.contains(serial)) {
            serials << serial;
            said << tr("serial %1 answers at addresses %2")
                        .arg(serial, Values::addressListText(at));
        }
    }
    setNote(said.join(QStringLiteral("; ")));
    refresh();
}

void LineWindow::pollClicked()
{
    if (cycle->isRunning()) {
        stopPolling();
        return;
    }
    int periodMs = 0;
    const QString problem =
        Values::wholeNumber(period->text().trimmed(), Timing::MinPeriodMs, MaxPeriodMs,
                            tr(" ms"), periodMs);
    if (!problem.isEmpty()) {
        QMessageBox::information(this, tr("Error"), tr("Period: %1").arg(problem));
        return;
    }
    const QList<int> units = session->roster().addresses();
    if (units.isEmpty()) {
        setNote(tr("No unit listed: Scan first."));
        return;
    }
    cycle->setPeriodMs(periodMs);
    cycle->setUnits(units);
    cycle->start();
    pollButton->setText(tr("Stop"));
    emit pollingChanged(true);
}

void LineWindow::stopPolling()
{
    const bool was = cycle->isRunning();
    cycle->stop();
    pollButton->setText(tr("Poll line"));
    session->roster().markReadingsStale();
    refresh();
    if (was)
        emit pollingChanged(false);
}

void LineWindow::rowChosen()
{
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    if (rows.size() == 1)
        emit unitChosen(table->addressAt(sorted->mapToSource(rows.first()).row()));
}

QList<int> LineWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        rows << sorted->mapToSource(index).row();
    if (rows.isEmpty())
        for (int row = 0; row < table->rowCount(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    return rows;
}

void LineWindow::copyRows()
{
    QApplication::clipboard()->setText(table->csv(selectedRows()));
}

// The table as a file for spreadsheets, named like the trend's exports in the Data folder.
void LineWindow::exportCsv()
{
    QDir().mkpath(QStringLiteral("Data"));
    const QString proposed =
        QDir::current().filePath(QStringLiteral("Data/Line-") +
                                 QDateTime::currentDateTime().toString(
                                     QStringLiteral("yyyyMMdd-hhmmss")) +
                                 QStringLiteral(".csv"));
    QString path = QFileDialog::getSaveFileName(this, tr("Export CSV"), proposed,
                                                tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    QFile file(path);
    QList<int> all;
    for (int row = 0; row < table->rowCount(); ++row)
        all << row;
    const QByteArray bytes = ByteOrderMark + table->csv(all).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        QMessageBox::information(this, tr("Error"),
                                 tr("Cannot write %1: %2")
                                     .arg(QDir::toNativeSeparators(path),
                                          FileFailure::text(file.errorString())));
    else
        setNote(tr("The table is in %1").arg(QDir::toNativeSeparators(path)));
}

// Readings come in many a second on a busy line: the table takes them a quarter of a second
// later, together.
void LineWindow::refreshSoon()
{
    if (!soon->isActive() && isVisible())
        soon->start(AfterPollMs);
}

void LineWindow::refresh()
{
    if (!isVisible())
        return;
    const int rows = table->rowCount();
    table->refresh();
    if (table->rowCount() != rows) {
        view->resizeColumnsToContents();
        showChosen(chosen);
    }
}

void LineWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
    showChosen(chosen);
}

void LineWindow::setNote(const QString &text)
{
    note->setText(text);
}
