#pragma once

#include "options.h"

#include <QString>

// The files of a check, looked at before anything is sent: a check may run for an hour, and its
// report must not be lost at the end for a folder that was never there. This looks at the file
// system, so it stands apart from the pure argument parser.

// Reads the first point's report into options.firstPoint, and checks that each report file can
// be made: its folder exists, and the file is a regular file or not there yet (never a device,
// which saving the report would replace). Returns what is wrong, as a usage error naming the
// option and the file, or nothing.
QString checkFilesProblem(CliOptions &options);
