#include "vrdnumber.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Past the digits from at; false when there is none.
bool SkipDigits(std::string_view text, size_t& at)
{
    const size_t first = at;
    while (at < text.size() && IsDigit(text[at]))
        ++at;
    return at > first;
}

void SkipSign(std::string_view text, size_t& at)
{
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        ++at;
}
} // namespace

bool VrdNumber::ParseInteger(std::string_view text, int64_t& value)
{
    if (text.empty() || text.size() > kMaxIntegerChars)
        return false;
    size_t at = 0;
    SkipSign(text, at);
    if (!SkipDigits(text, at) || at != text.size())
        return false;
    // from_chars takes a minus but no plus.
    const size_t skip = text[0] == '+' ? 1 : 0;
    int64_t parsed = 0;
    const auto result = std::from_chars(text.data() + skip, text.data() + text.size(), parsed);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

bool VrdNumber::ParseDecimal(std::string_view text, double& value)
{
    if (text.empty() || text.size() > kMaxDecimalChars)
        return false;
    size_t at = 0;
    SkipSign(text, at);
    if (!SkipDigits(text, at))
        return false;
    if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
        ++at;
        if (!SkipDigits(text, at))
            return false;
    }
    bool negativeExponent = false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        negativeExponent = at < text.size() && text[at] == '-';
        SkipSign(text, at);
        if (!SkipDigits(text, at))
            return false;
    }
    if (at != text.size())
        return false;
    std::string copy(text.substr(text[0] == '+' ? 1 : 0));
    for (char& c : copy)
        if (c == ',')
            c = '.';
    // from_chars is locale independent and rounds correctly, as Python's
    // float() does; out of range it reports an error and leaves parsed.
    double parsed = 0.0;
    const auto result = std::from_chars(copy.data(), copy.data() + copy.size(), parsed);
    if (result.ptr != copy.data() + copy.size())
        return false;
    if (result.ec == std::errc::result_out_of_range) {
        // Within 64 characters only a negative exponent can take a value
        // below the smallest double: it rounds to 0 with its sign. Above
        // the largest there is no value.
        if (!negativeExponent)
            return false;
        parsed = text[0] == '-' ? -0.0 : 0.0;
    } else if (result.ec != std::errc() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}
