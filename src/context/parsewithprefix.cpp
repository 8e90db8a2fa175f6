#include "parsewithprefix.h"

#include <charconv>
#include <cmath>
#include <cstring>

double ParseWithPrefix(const char* text)
{
    if (!text)
        return 0.0;
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        ++p;
    if (*p == '+')
        ++p;
    double value = 0.0;
    auto [end, error] = std::from_chars(p, p + std::strlen(p), value, std::chars_format::general);
    if (error != std::errc() && error != std::errc::result_out_of_range)
        return 0.0;
    switch (*end) {
    case 'M': return value * 1000000.0;
    case 'k': return value * 1000.0;
    case 'm': return value * 0.001;
    case 'u': return value * 0.000001;
    default: return value;
    }
}

double ParseWithPrefix(const QString& text) { return ParseWithPrefix(text.toLatin1().constData()); }

bool ApproximatelyEqual(double a, double b)
{
    if (a == b)
        return true;
    return std::fabs(a) / std::fabs(a - b) > 1000.0;
}
