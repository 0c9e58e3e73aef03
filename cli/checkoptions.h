#pragma once

#include "options.h"

#include <functional>
#include <optional>

// An option's value stored in the options; returns what is wrong with it, or nothing.
using Apply = std::function<QString(CliOptions &, const QString &value)>;

// check's options, each read by the rule the window's Check mode reads its fields by (CheckInput).
namespace CheckOptions {

Apply duration(qint64 CheckSettings::*field, QString (*read)(const QString &, qint64 &));
Apply number(double CheckSettings::*field);
Apply tolerance(std::optional<double> CheckSettings::*field);
Apply typedReference(std::optional<double> CheckReference::*value,
                     double CheckReference::*uncertainty,
                     QString (*read)(const QString &, double &, double &));

// What check's options mean together: the units, one reference, settings that leave something to
// judge, polls often enough for the gap rule.
QString problem(CliOptions &o);

} // namespace CheckOptions
