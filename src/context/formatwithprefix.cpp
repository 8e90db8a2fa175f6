#include "formatwithprefix.h"

#include <cmath>

EngineeringPrefix ChoosePrefix(double value, bool nano)
{
    const double a = std::fabs(value);
    if (a == 0.0)
        return {1.0, ""};
    if (a > 1100000.0)
        return {0.000001, "M"};
    if (a > 1100.0)
        return {0.001, "k"};
    if (nano && a < 0.0000009)
        return {1000000000.0, "n"};
    if (a < 0.0009)
        return {1000000.0, "u"};
    if (a < 0.9)
        return {1000.0, "m"};
    return {1.0, ""};
}

QString FormatWithPrefix(double value, int precision, const QString& unit)
{
    const EngineeringPrefix prefix = ChoosePrefix(value, false);
    // QString::asprintf formats with the C locale: always a decimal dot.
    return QString::asprintf("%.*g ", precision, value * prefix.factor) + QLatin1String(prefix.prefix) + unit;
}
