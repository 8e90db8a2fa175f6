#include "crashreport.h"

#include "crash/addresslocator.h"
#include "context/appcontext.h"
#include "crash/crashclock.h"
#include "crash/crashlog.h"
#include "crash/safeformat.h"
#include "crash/symbolhelp.h"
#include "platform/regularfile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <cxxabi.h>
#include <fcntl.h>
#include <pthread.h>
#include <exception>
#include <typeinfo>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#if !defined(__x86_64__)
#error "the crash report reads x86-64 registers"
#endif

namespace {

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
constexpr std::size_t kAltStackSize = 1 << 20;   // libdw runs on it after an overflow
constexpr std::uintptr_t kOverflowReach = 65536; // fault this close to RSP: the stack ran out
constexpr unsigned kWatchdogSeconds = 20;
constexpr int kMaxPlainFrames = 1000;
constexpr int kMapLineSize = 256;
constexpr const char* kMapFile = "Ostrane.trp";

// The log path is switched between two buffers so that a fault while it is
// being replaced never sees half a path.
char g_logPaths[2][CCrashReport::kPathSize];
std::atomic<int> g_activeLogPath{0};
char g_symbolLibrary[256] = "libdw.so.1";
char g_executable[CCrashReport::kPathSize];
char g_signalNames[65][96];
CCrashClock g_clock;

struct sigaction g_previous[65];
std::atomic<bool> g_installed{false};
std::terminate_handler g_previousTerminate = nullptr;
void* g_mainAltStack = nullptr;

std::atomic<int> g_dyingSignal{0};
struct sigaction g_previousAlarm;

thread_local bool t_inReport = false;
thread_local bool t_terminateReported = false;

struct Registers {
    std::uint64_t rax, rbx, rcx, rdx, rsi, rdi, r8, r9, r10, r11, r12, r13, r14, r15;
    std::uint64_t rip, rsp, rbp, flags;
};

Registers FromContext(const ucontext_t& context)
{
    const greg_t* g = context.uc_mcontext.gregs;
    auto r = [g](int index) { return static_cast<std::uint64_t>(g[index]); };
    return {r(REG_RAX), r(REG_RBX), r(REG_RCX), r(REG_RDX), r(REG_RSI), r(REG_RDI), r(REG_R8),
            r(REG_R9),  r(REG_R10), r(REG_R11), r(REG_R12), r(REG_R13), r(REG_R14), r(REG_R15),
            r(REG_RIP), r(REG_RSP), r(REG_RBP), r(REG_EFL)};
}

DwarfRegisters ToDwarf(const Registers& r)
{
    return {{r.rax, r.rdx, r.rcx, r.rbx, r.rsi, r.rdi, r.rbp, r.rsp, r.r8, r.r9, r.r10, r.r11, r.r12,
             r.r13, r.r14, r.r15, r.rip}};
}

// Segment selectors do not change in user space, so the handler's own
// values are the faulting thread's.
struct Selectors {
    std::uint16_t cs, ss, ds, es, fs, gs;
};

Selectors ReadSelectors()
{
    Selectors s{};
    asm volatile("mov %%cs, %0" : "=r"(s.cs));
    asm volatile("mov %%ss, %0" : "=r"(s.ss));
    asm volatile("mov %%ds, %0" : "=r"(s.ds));
    asm volatile("mov %%es, %0" : "=r"(s.es));
    asm volatile("mov %%fs, %0" : "=r"(s.fs));
    asm volatile("mov %%gs, %0" : "=r"(s.gs));
    return s;
}

const char* ActiveLogPath() { return g_logPaths[g_activeLogPath.load(std::memory_order_acquire)]; }

// Debugger output without stdio: "*** text\n" on standard error.
void SafeDebugOut(const char* text)
{
    char line[256];
    std::size_t n = 0;
    for (const char* p = "*** "; *p && n < sizeof line; ++p)
        line[n++] = *p;
    for (const char* p = text; *p && n < sizeof line - 1; ++p)
        line[n++] = *p;
    line[n++] = '\n';
    ssize_t ignored = write(STDERR_FILENO, line, n);
    (void)ignored;
}

void WriteBanner(CCrashLog& log)
{
    CivilTime now = g_clock.Now();
    log.Write("=============KRV %s=============%2d.%02d.%02d %2d:%02d:%02d============\r\n",
              AppContext::kVersionText, now.day, now.month, now.year, now.hour, now.minute, now.second);
}

void WriteRegisters(CCrashLog& log, const Registers& r)
{
    using U = unsigned long;
    Selectors s = ReadSelectors();
    log.Write("\r\nRegisters:\r\n");
    log.Write("RAX:%016lX\r\nRBX:%016lX\r\nRCX:%016lX\r\nRDX:%016lX\r\nRSI:%016lX\r\nRDI:%016lX\r\n", U(r.rax),
              U(r.rbx), U(r.rcx), U(r.rdx), U(r.rsi), U(r.rdi));
    log.Write("R8:%016lX\r\nR9:%016lX\r\nR10:%016lX\r\nR11:%016lX\r\n"
              "R12:%016lX\r\nR13:%016lX\r\nR14:%016lX\r\nR15:%016lX\r\n",
              U(r.r8), U(r.r9), U(r.r10), U(r.r11), U(r.r12), U(r.r13), U(r.r14), U(r.r15));
    log.Write("CS:RIP:%04X:%016lX\r\n", s.cs, U(r.rip));
    log.Write("SS:RSP:%04X:%016lX  RBP:%016lX\r\n", s.ss, U(r.rsp), U(r.rbp));
    log.Write("DS:%04X  ES:%04X  FS:%04X  GS:%04X\r\n", s.ds, s.es, s.fs, s.gs);
    log.Write("Flags:%08X\r\n", static_cast<unsigned>(r.flags));
}

// Reads "Ostrane.trp" line by line with plain read() calls. Only a regular
// file is read: a FIFO in its place would stall the report, a device such
// as /dev/zero would never end it.
class MapFileReader {
public:
    MapFileReader() { m_file.Open(kMapFile, RegularFile::Access::Read); }
    bool IsOpen() const { return m_file.IsOpen(); }

    // The next line without its line end, cut to kMapLineSize - 1
    // characters; false at the end of the file.
    bool NextLine(char* line)
    {
        int length = 0;
        bool any = false;
        for (;;) {
            if (m_position == m_filled && !Fill())
                break;
            char c = m_buffer[m_position++];
            any = true;
            if (c == '\n')
                break;
            if (length < kMapLineSize - 1)
                line[length++] = c;
        }
        while (length > 0 && line[length - 1] == '\r')
            --length;
        line[length] = '\0';
        return any;
    }

private:
    bool Fill()
    {
        const int64_t n = m_file.Read(m_buffer, sizeof m_buffer);
        m_position = 0;
        m_filled = n > 0 ? static_cast<int>(n) : 0;
        return m_filled > 0;
    }

    RegularFile m_file;
    char m_buffer[4096];
    int m_position = 0;
    int m_filled = 0;
};

bool LeadingHex(const char* line, std::uintptr_t* value)
{
    while (*line == ' ' || *line == '\t')
        ++line;
    if (line[0] == '0' && (line[1] == 'x' || line[1] == 'X'))
        line += 2;
    std::uintptr_t result = 0;
    bool any = false;
    for (;; ++line, any = true) {
        char c = *line;
        int digit = c >= '0' && c <= '9' ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            break;
        result = result * 16 + static_cast<unsigned>(digit);
    }
    *value = result;
    return any;
}

// The map line for a segment offset: the last line whose number is not
// greater than the offset. Empty text and offset 0 without one.
void LookUpMap(std::uintptr_t offset, char* symbol, std::uintptr_t* symbolOffset)
{
    symbol[0] = '\0';
    *symbolOffset = 0;
    MapFileReader map;
    if (!map.IsOpen())
        return;
    char line[kMapLineSize];
    while (map.NextLine(line)) {
        std::uintptr_t number = 0;
        if (!LeadingHex(line, &number))
            continue;
        if (number > offset)
            break;
        std::memcpy(symbol, line, kMapLineSize);
        *symbolOffset = offset - number;
    }
}

void WritePlainStack(CCrashLog& log, const Registers& r)
{
    using U = unsigned long;
    log.Write("\r\nCall stack:\r\n");
    log.Write("Address   Frame     Logical addr  Module\r\n");
    std::uintptr_t pc = r.rip;
    std::uintptr_t frame = r.rbp;
    for (int n = 0; n < kMaxPlainFrames; ++n) {
        LocatedAddress where = CAddressLocator::Locate(pc);
        char symbol[kMapLineSize];
        std::uintptr_t symbolOffset = 0;
        LookUpMap(where.offset, symbol, &symbolOffset);
        log.Write("%016lX  %016lX  %04X:%08lX %s %s + Offset:%lx\r\n", U(pc), U(frame), where.segment,
                  U(where.offset), where.module, symbol, U(symbolOffset));
        std::uintptr_t words[2];
        if (!CAddressLocator::ReadMemory(frame, words, sizeof words))
            break;
        std::uintptr_t next = words[0];
        std::uintptr_t probe[2];
        if (next % sizeof(void*) != 0 || next <= frame || !CAddressLocator::ReadMemory(next, probe, sizeof probe))
            break;
        pc = words[1];
        frame = next;
    }
}

void WriteStack(CCrashLog& log, const Registers& registers)
{
    CSymbolHelp help;
    if (help.Load(log, g_symbolLibrary) && help.Initialise(log, ToDwarf(registers))) {
        help.WriteStack(log);
        help.Cleanup();
        log.Write("\r\n");
        return;
    }
    log.Write("No Imgaehlp Access");
    char text[320];
    SafeFormat(text, sizeof text, "%s or its exported procs not found", g_symbolLibrary);
    SafeDebugOut(text);
    WritePlainStack(log, registers);
}

void WriteReport(const CCrashReport::Exception& exception, const Registers& registers)
{
    CCrashLog log;
    if (!log.Open(ActiveLogPath()))
        return;
    WriteBanner(log);
    log.Write("Exception code: %08X %s\r\n", exception.code, exception.name);
    LocatedAddress where = CAddressLocator::Locate(registers.rip);
    log.Write("Fault address:  %016lX %02X:%08lX %s\r\n", static_cast<unsigned long>(registers.rip), where.segment,
              static_cast<unsigned long>(where.offset), where.module);
    WriteRegisters(log, registers);
    WriteStack(log, registers);
    log.Close();
}

// Ends the process with the signal it is dying of, default action and all.
void DieWith(int signal)
{
    struct sigaction fallback{};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);
}

// A report that hangs (a lock held by the dying thread, a dead network
// file system) must not keep the process from ending.
void OnWatchdog(int)
{
    int signal = g_dyingSignal.load();
    DieWith(signal ? signal : SIGABRT);
}

void StartWatchdog(int signal)
{
    g_dyingSignal.store(signal);
    struct sigaction action{};
    action.sa_handler = OnWatchdog;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_ONSTACK;
    sigaction(SIGALRM, &action, &g_previousAlarm);
    alarm(kWatchdogSeconds);
}

void StopWatchdog()
{
    alarm(0);
    sigaction(SIGALRM, &g_previousAlarm, nullptr);
}

bool IsStackOverflow(int signal, const siginfo_t* info, const Registers& registers)
{
    if (signal != SIGSEGV || info->si_code <= 0)
        return false;
    auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    std::uintptr_t sp = registers.rsp;
    return address + kOverflowReach >= sp && address <= sp + kOverflowReach;
}

// Hands the signal to whoever had it before. A fault raised by the faulting
// instruction comes again when the handler returns, now to the previous
// handler (by default: the end of the process with a core dump); a signal
// that was sent is sent again.
void ChainToPrevious(int signal, siginfo_t* info, void* context)
{
    struct sigaction previous = g_previous[signal];
    if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler == SIG_IGN)
        previous.sa_handler = SIG_DFL;
    sigaction(signal, &previous, nullptr);
    bool comesAgain = info && info->si_code > 0 && signal != SIGTRAP;
    if (comesAgain)
        return;
    if (previous.sa_flags & SA_SIGINFO)
        previous.sa_sigaction(signal, info, context);
    else if (previous.sa_handler == SIG_DFL)
        DieWith(signal);
    else
        previous.sa_handler(signal);
}

void OnSignal(int signal, siginfo_t* info, void* context)
{
    int savedErrno = errno;
    if (t_inReport) { // a fault inside the report itself: end with the first one
        int first = g_dyingSignal.load();
        DieWith(first ? first : signal);
    }
    t_inReport = true;
    if (!(signal == SIGABRT && t_terminateReported)) {
        Registers registers = FromContext(*static_cast<const ucontext_t*>(context));
        StartWatchdog(signal);
        WriteReport(CCrashReport::Classify(signal, info->si_code, IsStackOverflow(signal, info, registers)),
                    registers);
        StopWatchdog();
    }
    t_inReport = false;
    ChainToPrevious(signal, info, context);
    errno = savedErrno;
}

// "CPP_EXCEPTION <type>: <what>" of the exception that ends the program.
void DescribeCurrentException(char* text, std::size_t size)
{
    std::type_info* type = abi::__cxa_current_exception_type();
    if (!type) {
        SafeFormat(text, size, "CPP_EXCEPTION terminate called without an active exception");
        return;
    }
    int status = 0;
    char* demangled = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    const char* typeName = demangled ? demangled : type->name();
    const char* what = nullptr;
    try {
        std::rethrow_exception(std::current_exception());
    } catch (const std::exception& e) {
        what = e.what();
        SafeFormat(text, size, "CPP_EXCEPTION %s: %s", typeName, what ? what : "");
    } catch (...) {
        SafeFormat(text, size, "CPP_EXCEPTION %s", typeName);
    }
    std::free(demangled);
}

[[noreturn]] void OnTerminate()
{
    if (!t_inReport && !t_terminateReported) {
        t_inReport = true;
        ucontext_t context;
        getcontext(&context);
        Registers registers = FromContext(context);
        registers.flags = __builtin_ia32_readeflags_u64(); // getcontext leaves the flags out
        char name[512];
        DescribeCurrentException(name, sizeof name);
        StartWatchdog(SIGABRT);
        WriteReport({CCrashReport::kCppExceptionCode, name}, registers);
        StopWatchdog();
        t_terminateReported = true;
        t_inReport = false;
    }
    if (g_previousTerminate)
        g_previousTerminate();
    std::abort();
}

void* MapAltStack()
{
    void* stack = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (stack == MAP_FAILED)
        return nullptr;
    stack_t alt{};
    alt.ss_sp = stack;
    alt.ss_size = kAltStackSize;
    if (sigaltstack(&alt, nullptr) != 0) {
        munmap(stack, kAltStackSize);
        return nullptr;
    }
    return stack;
}

void UnmapAltStack(void* stack)
{
    if (!stack)
        return;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && current.ss_sp == stack) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
    munmap(stack, kAltStackSize);
}

struct ThreadAltStack {
    void* stack = nullptr;
    ~ThreadAltStack() { UnmapAltStack(stack); }
};

void CopyPath(char* target, const char* source)
{
    std::size_t n = std::strlen(source);
    std::memcpy(target, source, n + 1);
}

} // namespace

CCrashReport CCrashReport::s_instance __attribute__((init_priority(101)));

CCrashReport::CCrashReport()
{
    ssize_t n = readlink("/proc/self/exe", g_executable, sizeof g_executable - 1);
    g_executable[n > 0 ? n : 0] = '\0';
    std::string initial = InitialLogPath(g_executable);
    if (initial.size() < kPathSize)
        CopyPath(g_logPaths[0], initial.c_str());
    for (int signal = 1; signal < 65; ++signal) {
        const char* description = sigdescr_np(signal);
        SafeFormat(g_signalNames[signal], sizeof g_signalNames[signal], "%s\r\n",
                   description ? description : "Unknown signal");
    }
    g_clock.Prepare(std::time(nullptr));
    CAddressLocator::Prepare(g_executable);
    g_mainAltStack = MapAltStack();

    struct sigaction action{};
    action.sa_sigaction = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (int signal : kSignals)
        sigaction(signal, &action, &g_previous[signal]);
    g_previousTerminate = std::set_terminate(OnTerminate);
    g_installed.store(true);
}

CCrashReport::~CCrashReport()
{
    if (!g_installed.exchange(false))
        return;
    for (int signal : kSignals) {
        struct sigaction current{};
        sigaction(signal, nullptr, &current);
        if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == OnSignal)
            sigaction(signal, &g_previous[signal], nullptr);
    }
    if (std::get_terminate() == OnTerminate)
        std::set_terminate(g_previousTerminate);
    UnmapAltStack(g_mainAltStack);
    g_mainAltStack = nullptr;
}

bool CCrashReport::SetLogPath(const char* path)
{
    if (!path || !*path || std::strlen(path) >= kPathSize)
        return false;
    int next = 1 - g_activeLogPath.load(std::memory_order_relaxed);
    CopyPath(g_logPaths[next], path);
    g_activeLogPath.store(next, std::memory_order_release);
    return true;
}

const char* CCrashReport::LogPath() { return ActiveLogPath(); }

void CCrashReport::SetSymbolLibrary(const char* name)
{
    std::strncpy(g_symbolLibrary, name ? name : "", sizeof g_symbolLibrary - 1);
    g_symbolLibrary[sizeof g_symbolLibrary - 1] = '\0';
}

void CCrashReport::PrepareThread()
{
    thread_local ThreadAltStack holder;
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE))
        return;
    holder.stack = MapAltStack();
}

std::string CCrashReport::InitialLogPath(const std::string& executable)
{
    std::size_t slash = executable.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = executable.rfind('.');
    if (dot != std::string::npos && dot > nameStart && executable.size() - dot - 1 >= 3)
        return executable.substr(0, dot + 1) + "ELG";
    return executable + ".ELG";
}

CCrashReport::Exception CCrashReport::Classify(int signal, int code, bool stackOverflow)
{
    switch (signal) {
    case SIGSEGV:
        if (stackOverflow)
            return {0xC00000FD, "STACK_OVERFLOW"};
        if (code == SEGV_BNDERR)
            return {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"};
        return {0xC0000005, "ACCESS_VIOLATION"};
    case SIGBUS:
        if (code == BUS_ADRALN)
            return {0x80000002, "DATATYPE_MISALIGNMENT"};
        return {0xC0000006, "IN_PAGE_ERROR"};
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV: return {0xC0000094, "INT_DIVIDE_BY_ZERO"};
        case FPE_INTOVF: return {0xC0000095, "INT_OVERFLOW"};
        case FPE_FLTDIV: return {0xC000008E, "FLT_DIVIDE_BY_ZERO"};
        case FPE_FLTOVF: return {0xC0000091, "FLT_OVERFLOW"};
        case FPE_FLTUND: return {0xC0000093, "FLT_UNDERFLOW"};
        case FPE_FLTRES: return {0xC000008F, "FLT_INEXACT_RESULT"};
        case FPE_FLTINV: return {0xC0000090, "FLT_INVALID_OPERATION"};
        case FPE_FLTSUB: return {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"};
        default: break;
        }
        break;
    case SIGILL:
        if (code == ILL_PRVOPC || code == ILL_PRVREG)
            return {0xC0000096, "PRIV_INSTRUCTION"};
        return {0xC000001D, "ILLEGAL_INSTRUCTION"};
    case SIGTRAP:
        if (code == TRAP_TRACE)
            return {0x80000004, "SINGLE_STEP"};
        return {0x80000003, "BREAKPOINT"};
    default: break;
    }
    if (signal > 0 && signal < 65)
        return {static_cast<std::uint32_t>(signal), g_signalNames[signal]};
    return {static_cast<std::uint32_t>(signal), "Unknown signal\r\n"};
}
