#pragma once
// Local time inside a signal handler. localtime() takes locks and may read
// the time zone files, so the UTC offsets of the coming year, with their
// daylight-saving changes, are worked out in advance; converting a moment is
// then plain arithmetic.

#include <ctime>

struct CivilTime {
    int year = 1970;
    int month = 1; // 1 … 12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class CCrashClock {
public:
    static constexpr int kDaysAhead = 400;

    // Prepares the offsets from now on for kDaysAhead days. Not signal safe.
    void Prepare(std::time_t now);
    // Local time of a moment; past the prepared span the last offset holds.
    // Any thread, signal handlers too.
    CivilTime Local(std::time_t moment) const;
    CivilTime Now() const { return Local(std::time(nullptr)); }

    // Calendar fields of seconds since 1970-01-01 00:00 without any zone.
    static CivilTime FromEpochSeconds(long long seconds);

private:
    struct Span {
        std::time_t from;
        long offset; // seconds east of UTC
    };
    static constexpr int kMaxSpans = 16;
    Span m_spans[kMaxSpans]{};
    int m_count = 0;
};
