#include "checkoptions.h"

namespace CheckOptions {

Apply duration(qint64 CheckSettings::*field, QString (*read)(const QString &, qint64 &))
{
    return [field, read](CliOptions &o, const QString &v) { return read(v, o.check.*field); };
}

Apply number(double CheckSettings::*field)
{
    return [field](CliOptions &o, const QString &v) {
        return CheckInput::positiveNumber(v, o.check.*field);
    };
}

Apply tolerance(std::optional<double> CheckSettings::*field)
{
    return [field](CliOptions &o, const QString &v) {
        double tolerance = 0;
        const QString problem = CheckInput::positiveNumber(v, tolerance);
        if (problem.isEmpty())
            o.check.*field = tolerance;
        return problem;
    };
}

Apply typedReference(std::optional<double> CheckReference::*value,
                     double CheckReference::*uncertainty,
                     QString (*read)(const QString &, double &, double &))
{
    return [=](CliOptions &o, const QString &v) {
        double given = 0;
        const QString problem = read(v, given, o.check.reference.*uncertainty);
        if (problem.isEmpty())
            o.check.reference.*value = given;
        o.referenceTyped = true;
        return problem;
    };
}

QString problem(CliOptions &o)
{
    const CheckReference &reference = o.check.reference;
    if (o.addresses.isEmpty())
        return Cli::tr("check: no addresses given (--addresses LIST)");
    if (!reference.isUnit() && !o.referenceTyped)
        return Cli::tr("check: no reference given (--reference ADDR, or --reference-temperature "
                       "and --reference-humidity)");
    if (reference.isUnit() && o.referenceTyped)
        return Cli::tr("check: --reference and typed reference values do not go together");
    if (o.addresses == QList<int>{reference.address})
        return Cli::tr("check: no unit to check besides the reference");
    if (o.periodMs > o.check.longestPollPeriodMs())
        return Cli::tr("check: --period %1 ms would leave too long between a unit's readings; at "
                       "most %2 ms")
            .arg(o.periodMs)
            .arg(o.check.longestPollPeriodMs());
    QList<int> line = o.addresses;
    if (reference.isUnit() && !line.contains(reference.address))
        line << reference.address; // polled with the units
    const QString problem = CheckInput::settingsProblem(o.check, line);
    return problem.isEmpty() ? QString() : QStringLiteral("check: ") + problem;
}

} // namespace CheckOptions
