#pragma once

#include <QString>

// Why a data file (a capture or a readings file) cannot be written: the common causes each have a
// text of their own in the user's language, found from the system's text of the failure; anything
// else is told in the system's words after a lead-in.
namespace FileFailure {
QString text(const QString &systemText);
} // namespace FileFailure
