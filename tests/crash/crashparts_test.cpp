// The pieces of the crash report that run inside the signal handler.
#include "crash/addresslocator.h"
#include "crash/crashclock.h"
#include "crash/crashreport.h"
#include "crash/safeformat.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

template <typename... Args>
void ExpectLikePrintf(const char* format, Args... args)
{
    char expected[256], actual[256];
    std::snprintf(expected, sizeof expected, format, args...);
    std::size_t length = SafeFormat(actual, sizeof actual, format, args...);
    EXPECT_STREQ(actual, expected) << format;
    EXPECT_EQ(length, std::strlen(expected)) << format;
}

} // namespace

TEST(SafeFormat, MatchesPrintfForTheReportConversions)
{
    ExpectLikePrintf("%08X %s", 0xC0000005u, "ACCESS_VIOLATION");
    ExpectLikePrintf("%2d.%02d.%02d %2d:%02d:%02d", 8, 12, 2026, 0, 5, 9);
    ExpectLikePrintf("%016lX|%lx|%08lX", 0x7ffd1234abcdUL, 0UL, ULONG_MAX);
    ExpectLikePrintf("%d %d %d %i", 0, -1, INT_MIN, INT_MAX);
    ExpectLikePrintf("%5d|%-5d|%05d|%-3s|%5s|%.2s", -42, 7, -42, "a", "bc", "xyz");
    ExpectLikePrintf("%u %hu %hhu %zu %lld", 4000000000u, 70000, 300, std::size_t(12), -5LL);
    ExpectLikePrintf("%c%%%c", 'A', 'z');
    ExpectLikePrintf("%04X:%08X %s", 1u, 0x1234u, "");
    ExpectLikePrintf("%p", reinterpret_cast<void*>(0x1000));
}

TEST(SafeFormat, TruncatesToTheBufferAndTerminates)
{
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(SafeFormat(buffer, 6, "%s-%d", "abcdef", 12345), 5u);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(buffer[6], 'x') << "nothing past the given size";
    EXPECT_EQ(SafeFormat(buffer, 1, "abc"), 0u);
    EXPECT_STREQ(buffer, "");
}

TEST(CrashClock, CivilDatesOfEpochSeconds)
{
    struct Case {
        long long seconds;
        int year, month, day, hour, minute, second;
    } cases[] = {
        {0, 1970, 1, 1, 0, 0, 0},
        {951782400, 2000, 2, 29, 0, 0, 0},
        {1709251199, 2024, 2, 29, 23, 59, 59},
        {4102444800, 2100, 1, 1, 0, 0, 0},
        {-1, 1969, 12, 31, 23, 59, 59},
    };
    for (const Case& c : cases) {
        CivilTime t = CCrashClock::FromEpochSeconds(c.seconds);
        EXPECT_EQ(t.year, c.year) << c.seconds;
        EXPECT_EQ(t.month, c.month) << c.seconds;
        EXPECT_EQ(t.day, c.day) << c.seconds;
        EXPECT_EQ(t.hour * 3600 + t.minute * 60 + t.second, c.hour * 3600 + c.minute * 60 + c.second) << c.seconds;
    }
}

TEST(CrashClock, FollowsDaylightSavingChangesLikeLocaltime)
{
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    CCrashClock clock;
    const std::time_t start = 1711200000; // 2024-03-23, a day before summer time
    clock.Prepare(start);
    const std::time_t probes[] = {start, 1711846799, 1711846800, 1711850000, 1729990799, 1729990800,
                                  1729994400, start + 300LL * 86400};
    for (std::time_t moment : probes) {
        std::tm expected{};
        localtime_r(&moment, &expected);
        CivilTime actual = clock.Local(moment);
        EXPECT_EQ(actual.year, expected.tm_year + 1900) << moment;
        EXPECT_EQ(actual.month, expected.tm_mon + 1) << moment;
        EXPECT_EQ(actual.day, expected.tm_mday) << moment;
        EXPECT_EQ(actual.hour, expected.tm_hour) << moment;
        EXPECT_EQ(actual.minute, expected.tm_min) << moment;
    }
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(CrashReport, SignalsMapOntoExceptionCodes)
{
    struct Case {
        int signal, code;
        bool overflow;
        std::uint32_t expected;
        const char* name;
    } cases[] = {
        {SIGSEGV, SEGV_MAPERR, false, 0xC0000005, "ACCESS_VIOLATION"},
        {SIGSEGV, SEGV_ACCERR, true, 0xC00000FD, "STACK_OVERFLOW"},
        {SIGFPE, FPE_INTDIV, false, 0xC0000094, "INT_DIVIDE_BY_ZERO"},
        {SIGFPE, FPE_FLTDIV, false, 0xC000008E, "FLT_DIVIDE_BY_ZERO"},
        {SIGFPE, FPE_FLTINV, false, 0xC0000090, "FLT_INVALID_OPERATION"},
        {SIGILL, ILL_ILLOPC, false, 0xC000001D, "ILLEGAL_INSTRUCTION"},
        {SIGILL, ILL_PRVOPC, false, 0xC0000096, "PRIV_INSTRUCTION"},
        {SIGBUS, BUS_ADRALN, false, 0x80000002, "DATATYPE_MISALIGNMENT"},
        {SIGBUS, BUS_ADRERR, false, 0xC0000006, "IN_PAGE_ERROR"},
        {SIGTRAP, TRAP_BRKPT, false, 0x80000003, "BREAKPOINT"},
        {SIGTRAP, TRAP_TRACE, false, 0x80000004, "SINGLE_STEP"},
        {SIGABRT, SI_TKILL, false, 6, "Aborted\r\n"},
    };
    for (const Case& c : cases) {
        CCrashReport::Exception e = CCrashReport::Classify(c.signal, c.code, c.overflow);
        EXPECT_EQ(e.code, c.expected) << c.signal << "/" << c.code;
        EXPECT_STREQ(e.name, c.name) << c.signal << "/" << c.code;
    }
}

TEST(CrashReport, InitialLogPathReplacesOrAppendsTheExtension)
{
    EXPECT_EQ(CCrashReport::InitialLogPath("/opt/krv/krv"), "/opt/krv/krv.ELG");
    EXPECT_EQ(CCrashReport::InitialLogPath("/opt/krv/krv.exe"), "/opt/krv/krv.ELG");
    EXPECT_EQ(CCrashReport::InitialLogPath("/opt/krv/krv.bin64"), "/opt/krv/krv.ELG");
    EXPECT_EQ(CCrashReport::InitialLogPath("/opt/krv/krv.x"), "/opt/krv/krv.x.ELG") << "never the executable itself";
    EXPECT_EQ(CCrashReport::InitialLogPath("/opt/v1.2/krv"), "/opt/v1.2/krv.ELG") << "a dot in a folder name";
}

TEST(CrashReport, SetLogPathRejectsEmptyAndOverlongPaths)
{
    std::string before = CCrashReport::LogPath();
    EXPECT_FALSE(CCrashReport::SetLogPath(""));
    EXPECT_FALSE(CCrashReport::SetLogPath(std::string(CCrashReport::kPathSize, 'a').c_str()));
    EXPECT_EQ(CCrashReport::LogPath(), before);
    EXPECT_TRUE(CCrashReport::SetLogPath("Korvimo.Elg"));
    EXPECT_STREQ(CCrashReport::LogPath(), "Korvimo.Elg");
    EXPECT_TRUE(CCrashReport::SetLogPath(before.c_str()));
}

namespace {
__attribute__((noinline)) int LocatedFunctionA(int x) { return x * 3 + 1; }
__attribute__((noinline)) int LocatedFunctionB(int x) { return x * 5 + 2; }
} // namespace

TEST(AddressLocator, LocatesCodeInTheExecutableSegments)
{
    auto a = reinterpret_cast<std::uintptr_t>(&LocatedFunctionA);
    auto b = reinterpret_cast<std::uintptr_t>(&LocatedFunctionB);
    LocatedAddress whereA = CAddressLocator::Locate(a);
    LocatedAddress whereB = CAddressLocator::Locate(b);
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    EXPECT_STREQ(whereA.module, self);
    EXPECT_GE(whereA.segment, 1u);
    EXPECT_EQ(whereA.segment, whereB.segment);
    EXPECT_EQ(static_cast<std::intptr_t>(whereB.offset - whereA.offset), static_cast<std::intptr_t>(b - a));

    LocatedAddress libc = CAddressLocator::Locate(reinterpret_cast<std::uintptr_t>(&write));
    EXPECT_NE(std::string(libc.module).find("libc.so"), std::string::npos) << libc.module;

    LocatedAddress nowhere = CAddressLocator::Locate(0);
    EXPECT_EQ(nowhere.segment, 0u);
    EXPECT_EQ(nowhere.offset, 0u);
    EXPECT_STREQ(nowhere.module, "");
}

TEST(AddressLocator, ReadMemoryRefusesUnmappedPages)
{
    long page = sysconf(_SC_PAGESIZE);
    void* mapped = mmap(nullptr, page * 2, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto base = reinterpret_cast<std::uintptr_t>(mapped);
    *reinterpret_cast<std::uint64_t*>(base + page - 8) = 0x1122334455667788ULL;
    munmap(reinterpret_cast<void*>(base + page), page);
    std::uint64_t word = 0;
    EXPECT_TRUE(CAddressLocator::ReadMemory(base + page - 8, &word, 8));
    EXPECT_EQ(word, 0x1122334455667788ULL);
    std::uint64_t two[2];
    EXPECT_FALSE(CAddressLocator::ReadMemory(base + page - 8, two, 16)) << "the second word is unmapped";
    EXPECT_FALSE(CAddressLocator::ReadMemory(0, &word, 8));
    EXPECT_FALSE(CAddressLocator::ReadMemory(~std::uintptr_t(0) - 3, &word, 8));
    munmap(mapped, page);
}
