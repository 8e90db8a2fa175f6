#include "formatwithprefix.h"

#include <cmath>

QString FormatWithPrefix(double value, int precision, const QString& unit)
{
    double a = std::fabs(value);
    double factor = 1.0;
    const char* prefix = "";
    if (a == 0.0) {
    } else if (a > 1100000.0) {
        factor = 0.000001;
        prefix = "M";
    } else if (a > 1100.0) {
        factor = 0.001;
        prefix = "k";
    } else if (a < 0.0009) {
        factor = 1000000.0;
        prefix = "u";
    } else if (a < 0.9) {
        factor = 1000.0;
        prefix = "m";
    }
    // QString::asprintf formats with the C locale: always a decimal dot.
    return QString::asprintf("%.*g ", precision, value * factor) + QLatin1String(prefix) + unit;
}
