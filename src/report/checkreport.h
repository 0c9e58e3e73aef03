#pragma once

#include "report/checkreportcontent.h"

#include <QCoreApplication>
#include <QString>

// The report's texts, in the user's language.
class CheckReport
{
    Q_DECLARE_TR_FUNCTIONS(CheckReport)
};

// A production check's report, shared by the window and tervin-cli: a PDF for people (A4
// landscape, the header, a row per unit) and a CSV (CheckCsv) for spreadsheets and for a second
// point.
//
// The PDF is drawn with QPdfWriter, which embeds the fonts it uses, so that Chinese reads right on
// any machine that opens it; the machine that writes it needs a CJK font installed (fonts-noto-cjk
// or fonts-wqy-microhei). QPdfWriter needs a QGuiApplication for its fonts; a program without a
// display calls Report::useOffscreenPlatform() before constructing it.
namespace Report {

// The report as HTML, in the user's language, as the PDF shows it.
QString checkHtml(const CheckReportContent &content);

// Where the two files go; a path left empty is not written.
struct Files
{
    QString pdf;
    QString csv;
};

// The PDF at this path and the CSV beside it, under the same name with .csv for .pdf (check.pdf:
// check.csv), or with .csv added to a name that does not end in .pdf.
Files filesBeside(const QString &pdf);

// What came of writing them: for each file that could not be written, a message in the user's
// language naming its path and why ("Cannot write the report /x/check.pdf: no such folder"). One
// file's failure does not keep the other from being written.
struct Outcome
{
    QString pdfError;
    QString csvError;

    bool isComplete() const { return pdfError.isEmpty() && csvError.isEmpty(); }
};

Outcome writeCheck(const CheckReportContent &content, const Files &files);

// Chooses Qt's offscreen platform unless QT_QPA_PLATFORM names one: call it before constructing
// the QGuiApplication of a program that writes reports without a display (tervin-cli on a
// production line's PC, over SSH, in CI).
void useOffscreenPlatform();

} // namespace Report
