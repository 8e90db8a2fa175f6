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

EngineeringPrefix ChooseSquaredPrefix(double value)
{
    const double a = std::fabs(value);
    if (a == 0.0 || (a >= 0.001 && a < 1100000.0))
        return {1.0, ""};
    if (a >= 1.1e12)
        return {1e-12, "M"};
    if (a >= 1100000.0)
        return {1e-6, "k"};
    if (a >= 1e-9)
        return {1e6, "m"};
    return {1e12, "u"};
}

bool IsSquaredUnit(const QString& unit) { return unit.contains(QChar(0x00B2)); }

QString PrefixedUnit(const char* prefix, const QString& unit)
{
    if (!prefix || !*prefix)
        return unit;
    const qsizetype square = unit.indexOf(QChar(0x00B2));
    if (square < 0)
        return QLatin1String(prefix) + unit;
    return QLatin1Char('(') + QLatin1String(prefix) + unit.left(square) + QLatin1Char(')') + unit.mid(square);
}

QString FormatWithPrefix(double value, int precision, const QString& unit)
{
    const EngineeringPrefix prefix = IsSquaredUnit(unit) ? ChooseSquaredPrefix(value) : ChoosePrefix(value, false);
    // QString::asprintf formats with the C locale: always a decimal dot.
    return QString::asprintf("%.*g ", precision, value * prefix.factor) + PrefixedUnit(prefix.prefix, unit);
}
