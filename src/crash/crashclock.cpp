#include "crashclock.h"

namespace {

long OffsetAt(std::time_t moment)
{
    std::tm local{};
    if (!localtime_r(&moment, &local))
        return 0;
    return local.tm_gmtoff;
}

} // namespace

void CCrashClock::Prepare(std::time_t now)
{
    m_count = 0;
    long offset = OffsetAt(now);
    m_spans[m_count++] = {now, offset};
    constexpr std::time_t kDay = 86400;
    for (int day = 1; day <= kDaysAhead && m_count < kMaxSpans; ++day) {
        std::time_t end = now + day * kDay;
        long next = OffsetAt(end);
        if (next == offset)
            continue;
        // The change lies within (end - kDay, end]: find its first second.
        std::time_t low = end - kDay, high = end;
        while (high - low > 1) {
            std::time_t middle = low + (high - low) / 2;
            if (OffsetAt(middle) == offset)
                low = middle;
            else
                high = middle;
        }
        m_spans[m_count++] = {high, next};
        offset = next;
    }
}

CivilTime CCrashClock::Local(std::time_t moment) const
{
    long offset = 0;
    if (m_count > 0) {
        offset = m_spans[0].offset;
        for (int i = 1; i < m_count && m_spans[i].from <= moment; ++i)
            offset = m_spans[i].offset;
    }
    return FromEpochSeconds(static_cast<long long>(moment) + offset);
}

CivilTime CCrashClock::FromEpochSeconds(long long seconds)
{
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Days since 1970-01-01 to a proleptic Gregorian date, in 400-year eras
    // that start on 1 March.
    long long z = days + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long dayOfEra = z - era * 146097;
    long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    long long monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime civil;
    civil.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    civil.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    civil.year = static_cast<int>(yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0));
    civil.hour = static_cast<int>(rest / 3600);
    civil.minute = static_cast<int>(rest / 60 % 60);
    civil.second = static_cast<int>(rest % 60);
    return civil;
}
