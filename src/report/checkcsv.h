#pragma once

#include "report/checkreportcontent.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A production check's report as CSV, for spreadsheets and for the second point of a two-point
// check: a row per unit (per unit and point in a two-point report) with its identity, verdict and
// figures. UTF-8 with a byte-order mark, commas, "." as the decimal mark; temperatures in °C (a
// Tervin-F's mean and deviation in °F beside), humidity in %RH; a figure not known stays empty.
namespace CheckCsv {

QString header();
QByteArray document(const CheckReportContent &content);

// The units of a one-point report, as its rows give them, for combining with a second point.
// Returns what is wrong with the file (in the user's language, naming the line), or nothing.
QString readFirstPoint(const QByteArray &data, QList<UnitResult> &units);

} // namespace CheckCsv
