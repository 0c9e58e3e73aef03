#include "report/checkreport.h"

#include "comm/filefailure.h"
#include "report/checkcsv.h"

#include <QCoreApplication>
#include <QFont>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace {

constexpr int FontPoints = 7; // 17 columns across an A4 page
constexpr int PdfResolution = 300;

QString cannotWrite(const QString &path, const QString &why)
{
    return CheckReport::tr("Cannot write the report %1: %2").arg(path, why);
}

// The file is written whole or not at all: a report cut short by a full disk would pass for one.
QString saved(QSaveFile &file)
{
    if (file.commit())
        return QString();
    return cannotWrite(file.fileName(), FileFailure::text(file.errorString()));
}

void printPdf(const CheckReportContent &content, QIODevice &device)
{
    QPdfWriter writer(&device);
    writer.setResolution(PdfResolution);
    writer.setTitle(CheckReport::tr("Production check"));
    writer.setCreator(QStringLiteral("Tervin Test Tools"));
    // QTextDocument::print keeps 2 cm around the text and numbers the pages itself.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    QTextDocument document;
    QFont font;
    font.setPointSize(FontPoints);
    document.setDefaultFont(font);
    document.setHtml(Report::checkHtml(content));
    document.print(&writer);
}

QString writePdf(const CheckReportContent &content, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, FileFailure::text(file.errorString()));
    printPdf(content, file);
    return saved(file);
}

QString writeCsv(const CheckReportContent &content, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, FileFailure::text(file.errorString()));
    file.write(CheckCsv::document(content));
    return saved(file);
}

} // namespace

namespace Report {

Files filesBeside(const QString &pdf)
{
    const QString pdfSuffix = QStringLiteral(".pdf");
    const bool named = pdf.endsWith(pdfSuffix, Qt::CaseInsensitive);
    return {pdf, (named ? pdf.left(pdf.size() - pdfSuffix.size()) : pdf) + QStringLiteral(".csv")};
}

Outcome writeCheck(const CheckReportContent &content, const Files &files)
{
    Outcome outcome;
    if (!files.pdf.isEmpty())
        outcome.pdfError = writePdf(content, files.pdf);
    if (!files.csv.isEmpty())
        outcome.csvError = writeCsv(content, files.csv);
    return outcome;
}

void useOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace Report
