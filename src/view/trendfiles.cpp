// The trend's files: an image of the chart and the readings in sight as CSV, each under a name
// the dialog proposes in the Data folder.
#include "view/trendwindow.h"

#include <qcustomplot.h>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

#include <cmath>

namespace {
const QString DataFolder = QStringLiteral("Data");
} // namespace

QString TrendWindow::proposedPath(const QDateTime &now, const QString &suffix)
{
    return QDir::current().absoluteFilePath(DataFolder + QStringLiteral("/Trend-") +
                                            now.toString(QStringLiteral("yyyyMMdd-hhmmss")) +
                                            QLatin1Char('.') + suffix);
}

QString TrendWindow::withSuffix(const QString &path, const QString &suffix)
{
    const QString ending = QLatin1Char('.') + suffix;
    return path.endsWith(ending, Qt::CaseInsensitive) ? path : path + ending;
}

bool TrendWindow::saveImage(const QString &path)
{
    redraw();
    return plot->savePng(path, plot->width(), plot->height());
}

bool TrendWindow::exportCsv(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    // The readings file's format, UTF-8 whatever the locale, written as bytes: the same in Qt 5 and
    // Qt 6.
    bool written = true;
    auto out = [&](const QString &row) {
        const QByteArray bytes = (row + QLatin1Char('\n')).toUtf8();
        written = written && file.write(bytes) == bytes.size();
    };
    out(ReadingsCsv::fileHeader());
    const int end = trend.lowerBound(std::nextafter(shownTo, HUGE_VAL));
    for (int i = trend.lowerBound(shownFrom); i < end; ++i) {
        if (!TrendData::isBreak(trend.at(i)))
            out(ReadingsCsv::row(trend.wallTime(trend.at(i).ms), trend.readingAt(i)));
    }
    return written && file.flush();
}

// The save dialog, opened on Data/Trend-<now>.<suffix>; the suffix is added when the name typed
// leaves it out. Empty when the user cancels.
QString TrendWindow::askForFile(const QString &title, const QString &suffix, const QString &filter)
{
    QDir().mkpath(DataFolder);
    QFileDialog dialog(this, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    dialog.selectFile(proposedPath(QDateTime::currentDateTime(), suffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return withSuffix(dialog.selectedFiles().constFirst(), suffix);
}

void TrendWindow::askAndSaveImage()
{
    const QString path =
        askForFile(tr("Save image"), QStringLiteral("png"), tr("PNG images (*.png)"));
    if (!path.isEmpty() && !saveImage(path))
        QMessageBox::information(this, tr("Error"), tr("Cannot write the image %1.").arg(path));
}

void TrendWindow::askAndExportCsv()
{
    const QString path =
        askForFile(tr("Export CSV"), QStringLiteral("csv"), tr("CSV files (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        QMessageBox::information(this, tr("Error"), tr("Cannot write the file %1.").arg(path));
}
