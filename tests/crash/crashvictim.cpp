// A program that crashes on purpose, in the way its first argument names,
// for the crash report tests. Before crashing it prints "line <n>" with the
// source line of the faulting statement.
#include "crash/crashreport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <atomic>
#include <thread>

namespace {

volatile int* volatile g_null = nullptr;
volatile int g_zero = 0;
volatile bool g_forever = true;

void PrintLine(int line)
{
    std::printf("line %d\n", line);
    std::fflush(stdout);
}

} // namespace

__attribute__((noinline)) void CrashVictimNullWrite()
{
    PrintLine(__LINE__ + 1);
    *g_null = 1;
}

__attribute__((noinline)) int CrashVictimDivide(int value)
{
    PrintLine(__LINE__ + 1);
    return value / g_zero;
}

__attribute__((noinline)) int CrashVictimRecurse(int depth)
{
    volatile char pad[128];
    pad[0] = static_cast<char>(depth);
    if (!g_forever)
        return pad[0];
    return CrashVictimRecurse(depth + 1) + pad[0];
}

__attribute__((noinline)) void CrashVictimThrow()
{
    PrintLine(__LINE__ + 1);
    throw std::runtime_error("victim failure");
}

int main(int argc, char** argv)
{
#ifdef KRV_VICTIM_SYMBOL_LIBRARY
    CCrashReport::SetSymbolLibrary(KRV_VICTIM_SYMBOL_LIBRARY);
#endif
    const char* mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(mode, "early-null") == 0) {
        CrashVictimNullWrite();
        return 0;
    }
    CCrashReport::SetLogPath("Korvimo.Elg");
    if (std::strcmp(mode, "null") == 0)
        CrashVictimNullWrite();
    else if (std::strcmp(mode, "divide") == 0)
        return CrashVictimDivide(argc);
    else if (std::strcmp(mode, "overflow") == 0)
        return CrashVictimRecurse(0);
    else if (std::strcmp(mode, "throw") == 0)
        CrashVictimThrow();
    else if (std::strcmp(mode, "abort") == 0)
        std::abort();
    else if (std::strcmp(mode, "two-threads") == 0) {
        // Both fault at the same moment.
        std::atomic<int> ready{0};
        auto fault = [&ready] {
            ready.fetch_add(1);
            while (ready.load() < 2) {
            }
            CrashVictimNullWrite();
        };
        std::thread first(fault), second(fault);
        first.join();
        second.join();
    } else if (std::strcmp(mode, "thread-overflow") == 0) {
        std::thread worker([] {
            CCrashReport::PrepareThread();
            CrashVictimRecurse(0);
        });
        worker.join();
    }
    return 3;
}
