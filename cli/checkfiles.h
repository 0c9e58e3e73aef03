#pragma once

#include "options.h"

#include <QString>

// The files of a check, looked at before anything is sent: a check may run for an hour, and its
// report must not be lost at the end for a folder that was never there. This looks at the file
// system, so it stands apart from the pure argument parser.

// --report FILE: the PDF at FILE, the CSV beside it under the same name with .csv for .pdf
// (check.pdf: check.csv), or with .csv added when FILE does not end in .pdf (check: check.csv).
struct ReportPaths
{
    QString pdf;
    QString csv;
};
ReportPaths reportPaths(const QString &reportFile);

// Reads the first point's report into options.firstPoint, and checks that each report file can
// be made: its folder exists, and the file is a regular file or not there yet (never a device,
// which saving the report would replace). Returns what is wrong, as a usage error naming the
// option and the file, or nothing.
QString checkFilesProblem(CliOptions &options);
