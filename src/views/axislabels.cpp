#include "axislabels.h"

#include "context/formatwithprefix.h"

#include <algorithm>
#include <cmath>

namespace AxisLabels {

QString LabelFormat(double step)
{
    if (!(step > 0.0) || !std::isfinite(step))
        return QStringLiteral("%g");
    const int a = int(std::floor(std::log10(step)));
    if (a >= 0)
        return QStringLiteral("%") + QString::number(a + 2) + QStringLiteral(".0f");
    return QStringLiteral("%5.") + QString::number(-a) + QStringLiteral("f");
}

QString FormatLabel(const QString& format, double value)
{
    const QByteArray f = format.toLatin1();
    return QString::asprintf(f.constData(), value).trimmed();
}

double XLabelFactor(double xMax)
{
    if (xMax >= 1000.0)
        return 0.001;
    if (xMax <= 0.1)
        return 1000.0;
    return 1.0;
}

QString XLabelPrefix(double factor)
{
    if (factor == 0.001)
        return QStringLiteral("k");
    if (factor == 1000.0)
        return QStringLiteral("m");
    return QString();
}

YPrefix ChooseYPrefix(double first, double last)
{
    const double k = std::max(std::fabs(first), std::fabs(last));
    if (k > 1100000.0)
        return {"M", 6, 0.000001};
    if (k > 1100.0)
        return {"k", 3, 0.001};
    if (k >= 0.0009 && k < 0.9)
        return {"m", -3, 1000.0};
    if (k < 0.0009)
        return {"u", -6, 1000000.0};
    return {"", 0, 1.0};
}

YPrefix ChooseYPrefix(double first, double last, const QString& unit)
{
    if (!IsSquaredUnit(unit))
        return ChooseYPrefix(first, last);
    const EngineeringPrefix prefix = ChooseSquaredPrefix(std::max(std::fabs(first), std::fabs(last)));
    return {prefix.prefix, -int(std::lround(std::log10(prefix.factor))), prefix.factor};
}

double RoundTo4(double value) { return std::round(value * 10000.0) / 10000.0; }

} // namespace AxisLabels
