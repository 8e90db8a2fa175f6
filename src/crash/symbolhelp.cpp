#include "symbolhelp.h"

#include "crash/addresslocator.h"
#include "crash/crashlog.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <string>
#include <sys/types.h>
#include <unistd.h>

// The few libdw types and prototypes used here, as its public header
// declares them.
namespace {

using Dwarf_Addr = std::uint64_t;
using Dwarf_Word = std::uint64_t;
using GElf_Word = std::uint32_t;
struct Dwfl;
struct Dwfl_Module;
struct Dwfl_Line;
struct Dwfl_Frame;
struct Dwfl_Thread;
struct Elf;

struct GElfSym { // Elf64_Sym
    std::uint32_t st_name;
    unsigned char st_info;
    unsigned char st_other;
    std::uint16_t st_shndx;
    std::uint64_t st_value;
    std::uint64_t st_size;
};

using FindElf = int (*)(Dwfl_Module*, void**, const char*, Dwarf_Addr, char**, Elf**);
using FindDebuginfo = int (*)(Dwfl_Module*, void**, const char*, Dwarf_Addr, const char*, const char*,
                              GElf_Word, char**);

struct DwflCallbacks {
    FindElf find_elf;
    FindDebuginfo find_debuginfo;
    void* section_address;
    char** debuginfo_path;
};

struct DwflThreadCallbacks {
    pid_t (*next_thread)(Dwfl*, void* dwflArg, void** threadArg);
    bool (*get_thread)(Dwfl*, pid_t tid, void* dwflArg, void** threadArg);
    bool (*memory_read)(Dwfl*, Dwarf_Addr, Dwarf_Word* result, void* dwflArg);
    bool (*set_initial_registers)(Dwfl_Thread*, void* threadArg);
    void (*detach)(Dwfl*, void* dwflArg);
    void (*thread_detach)(Dwfl_Thread*, void* threadArg);
};

using FrameCallback = int (*)(Dwfl_Frame*, void*);
constexpr int kCallbackOk = 0;
constexpr int kCallbackAbort = 1;

} // namespace

struct CSymbolHelp::Functions {
    Dwfl* (*begin)(const DwflCallbacks*) = nullptr;
    void (*end)(Dwfl*) = nullptr;
    int (*getthreadFrames)(Dwfl*, pid_t, FrameCallback, void*) = nullptr;
    bool (*framePc)(Dwfl_Frame*, Dwarf_Addr*, bool*) = nullptr;
    Dwfl_Module* (*addrModule)(Dwfl*, Dwarf_Addr) = nullptr;
    const char* (*moduleAddrInfo)(Dwfl_Module*, Dwarf_Addr, Dwarf_Addr*, GElfSym*, GElf_Word*, Elf**,
                                  Dwarf_Addr*) = nullptr;
    int (*linuxProcReport)(Dwfl*, pid_t) = nullptr;
    int (*reportEnd)(Dwfl*, void*, void*) = nullptr;
    FindElf linuxProcFindElf = nullptr;
    FindDebuginfo standardFindDebuginfo = nullptr;
    bool (*attachState)(Dwfl*, Elf*, pid_t, const DwflThreadCallbacks*, void*) = nullptr;
    bool (*threadStateRegisters)(Dwfl_Thread*, int, unsigned, const Dwarf_Word*) = nullptr;
    int (*frameReg)(Dwfl_Frame*, unsigned, Dwarf_Word*) = nullptr;
    // Optional: source lines.
    Dwfl_Line* (*moduleGetsrc)(Dwfl_Module*, Dwarf_Addr) = nullptr;
    const char* (*lineInfo)(Dwfl_Line*, Dwarf_Addr*, int*, int*, Dwarf_Word*, Dwarf_Word*) = nullptr;

    DwflCallbacks callbacks{};
    DwflThreadCallbacks threadCallbacks{};
};

namespace {

constexpr int kNameCharacters = 512;
constexpr int kLineTries = 101;
constexpr unsigned kRbp = 6;
constexpr unsigned kRsp = 7;

template <typename T>
bool Bind(const DynamicLibrary& library, const char* name, T& target)
{
    target = reinterpret_cast<T>(library.Symbol(name));
    return target != nullptr;
}

pid_t NextThread(Dwfl*, void* dwflArg, void** threadArg)
{
    if (*threadArg)
        return 0; // one thread only: the one that faulted
    *threadArg = dwflArg;
    return static_cast<pid_t>(gettid());
}

bool GetThread(Dwfl*, pid_t tid, void* dwflArg, void** threadArg)
{
    if (tid != static_cast<pid_t>(gettid()))
        return false;
    *threadArg = dwflArg;
    return true;
}

bool MemoryRead(Dwfl*, Dwarf_Addr address, Dwarf_Word* result, void*)
{
    return CAddressLocator::ReadMemory(address, result, sizeof *result);
}

struct UnwindState {
    const CSymbolHelp::Functions* fn;
    const DwarfRegisters* registers;
};

// The unwinder's thread argument: the functions and the starting registers.
thread_local UnwindState* g_unwindState = nullptr;

bool SetInitialRegisters(Dwfl_Thread* thread, void*)
{
    const UnwindState* state = g_unwindState;
    return state && state->fn->threadStateRegisters(thread, 0, DwarfRegisters::kCount, state->registers->value);
}

// A demangled name without its parameter list, as the symbol column shows
// names ("ns::Class::Method").
std::string Undecorate(const char* name)
{
    int status = 0;
    char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (!demangled)
        return name;
    std::string text(demangled);
    std::free(demangled);
    // Parts split off by the optimiser: "f() [clone .cold]".
    for (std::size_t clone; (clone = text.find(" [clone ")) != std::string::npos;) {
        std::size_t close = text.find(']', clone);
        text.erase(clone, close == std::string::npos ? std::string::npos : close - clone + 1);
    }
    static const char* const qualifiers[] = {" const", " volatile", " &&", " &", " noexcept"};
    for (bool stripped = true; stripped;) {
        stripped = false;
        for (const char* q : qualifiers) {
            std::size_t n = std::strlen(q);
            if (text.size() > n && text.compare(text.size() - n, n, q) == 0) {
                text.resize(text.size() - n);
                stripped = true;
            }
        }
    }
    if (!text.empty() && text.back() == ')') {
        int depth = 0;
        for (std::size_t i = text.size(); i-- > 0;) {
            if (text[i] == ')')
                ++depth;
            else if (text[i] == '(' && --depth == 0) {
                if (i > 0)
                    text.resize(i);
                break;
            }
        }
    }
    return text;
}

const char* BaseName(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

struct WalkState {
    CSymbolHelp::Functions* fn;
    Dwfl* dwfl;
    CCrashLog* log;
    int frames;
};

void WriteFrame(WalkState& walk, Dwarf_Addr pc, bool isActivation, Dwarf_Word frame)
{
    CSymbolHelp::Functions& fn = *walk.fn;
    CCrashLog& log = *walk.log;
    log.Write("%016lX  %016lX  ", static_cast<unsigned long>(pc), static_cast<unsigned long>(frame));
    // A return address points behind the call: look the caller up at the call.
    Dwarf_Addr lookup = isActivation || pc == 0 ? pc : pc - 1;
    Dwfl_Module* module = fn.addrModule(walk.dwfl, lookup);
    const char* name = nullptr;
    Dwarf_Addr offset = 0;
    if (module) {
        GElfSym symbol{};
        name = fn.moduleAddrInfo(module, lookup, &offset, &symbol, nullptr, nullptr, nullptr);
    }
    if (!name) {
        LocatedAddress where = CAddressLocator::Locate(pc);
        log.Write("%04X:%08lX %s\r\n", where.segment, static_cast<unsigned long>(where.offset), where.module);
        return;
    }
    std::string text = Undecorate(name);
    std::size_t version = text.find('@'); // "__libc_start_main@@GLIBC_2.34"
    if (version != std::string::npos && version > 0)
        text.resize(version);
    if (text.size() > kNameCharacters)
        text.resize(kNameCharacters);
    Dwarf_Addr start = lookup - offset;
    log.Write("%s()+%lX", text.c_str(), static_cast<unsigned long>(pc - start));
    if (fn.moduleGetsrc && fn.lineInfo) {
        for (int i = 0; i < kLineTries && lookup >= static_cast<Dwarf_Addr>(i); ++i) {
            Dwfl_Line* line = fn.moduleGetsrc(module, lookup - i);
            if (!line)
                continue;
            int lineNumber = 0;
            Dwarf_Addr lineAddress = 0;
            const char* file = fn.lineInfo(line, &lineAddress, &lineNumber, nullptr, nullptr, nullptr);
            if (lineAddress < start)
                break; // a line of the code before this function
            if (file) {
                log.Write(", %s in Zeile %d\r\n", BaseName(file), lineNumber);
                return;
            }
        }
    }
    log.Write("\r\n");
}

int OnFrame(Dwfl_Frame* frame, void* arg)
{
    auto& walk = *static_cast<WalkState*>(arg);
    Dwarf_Addr pc = 0;
    bool isActivation = false;
    if (!walk.fn->framePc(frame, &pc, &isActivation))
        return kCallbackAbort;
    Dwarf_Word frameAddress = 0;
    if (walk.fn->frameReg(frame, kRbp, &frameAddress) != 0 || frameAddress == 0)
        walk.fn->frameReg(frame, kRsp, &frameAddress);
    if (frameAddress == 0)
        return kCallbackAbort;
    WriteFrame(walk, pc, isActivation, frameAddress);
    return ++walk.frames < CSymbolHelp::kMaxFrames ? kCallbackOk : kCallbackAbort;
}

} // namespace

CSymbolHelp::CSymbolHelp() : m_fn(new Functions) {}

CSymbolHelp::~CSymbolHelp()
{
    Cleanup();
    delete m_fn;
}

bool CSymbolHelp::Load(CCrashLog& log, const char* library)
{
    if (!m_library.IsOpen()) {
        errno = 0;
        if (!m_library.Open(library)) {
            log.Write("%d Errornr %s\r\n", errno, library);
            return false;
        }
    }
    return Resolve(log);
}

bool CSymbolHelp::Resolve(CCrashLog& log)
{
    Functions& fn = *m_fn;
    bool ok = true;
    auto require = [&](const char* name, auto& target) {
        if (!ok)
            return;
        errno = 0;
        if (!Bind(m_library, name, target)) {
            log.Write("%d Errornr _%s\r\n", errno, name);
            ok = false;
        }
    };
    require("dwfl_begin", fn.begin);
    require("dwfl_end", fn.end);
    require("dwfl_getthread_frames", fn.getthreadFrames);
    require("dwfl_frame_pc", fn.framePc);
    require("dwfl_addrmodule", fn.addrModule);
    require("dwfl_module_addrinfo", fn.moduleAddrInfo);
    require("dwfl_linux_proc_report", fn.linuxProcReport);
    require("dwfl_report_end", fn.reportEnd);
    require("dwfl_linux_proc_find_elf", fn.linuxProcFindElf);
    require("dwfl_standard_find_debuginfo", fn.standardFindDebuginfo);
    require("dwfl_attach_state", fn.attachState);
    require("dwfl_thread_state_registers", fn.threadStateRegisters);
    require("dwfl_frame_reg", fn.frameReg);
    if (!ok)
        return false;
    Bind(m_library, "dwfl_module_getsrc", fn.moduleGetsrc);
    Bind(m_library, "dwfl_lineinfo", fn.lineInfo);

    fn.callbacks = {fn.linuxProcFindElf, fn.standardFindDebuginfo, nullptr, nullptr};
    fn.threadCallbacks = {NextThread, GetThread, MemoryRead, SetInitialRegisters, nullptr, nullptr};
    return true;
}

bool CSymbolHelp::Initialise(CCrashLog& log, const DwarfRegisters& registers)
{
    Functions& fn = *m_fn;
    Cleanup();
    m_registers = registers;
    errno = 0;
    Dwfl* dwfl = fn.begin(&fn.callbacks);
    if (!dwfl) {
        log.Write("%d Errornr _dwfl_begin\r\n", errno);
        return false;
    }
    m_dwfl = dwfl;
    if (fn.linuxProcReport(dwfl, getpid()) != 0 || fn.reportEnd(dwfl, nullptr, nullptr) != 0) {
        log.Write("%d Errornr _dwfl_linux_proc_report\r\n", errno);
        Cleanup();
        return false;
    }
    if (!fn.attachState(dwfl, nullptr, getpid(), &fn.threadCallbacks, this)) {
        log.Write("%d Errornr _dwfl_attach_state\r\n", errno);
        Cleanup();
        return false;
    }
    return true;
}

void CSymbolHelp::WriteStack(CCrashLog& log)
{
    log.Write("\r\nCall stack:\r\n");
    log.Write("Address   Frame\r\n");
    if (!m_dwfl)
        return;
    UnwindState state{m_fn, &m_registers};
    g_unwindState = &state;
    WalkState walk{m_fn, static_cast<Dwfl*>(m_dwfl), &log, 0};
    m_fn->getthreadFrames(walk.dwfl, static_cast<pid_t>(gettid()), OnFrame, &walk);
    g_unwindState = nullptr;
}

void CSymbolHelp::Cleanup()
{
    if (m_dwfl && m_fn->end)
        m_fn->end(static_cast<Dwfl*>(m_dwfl));
    m_dwfl = nullptr;
}
