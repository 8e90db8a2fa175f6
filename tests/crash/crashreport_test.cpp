// Crash reports of real child processes that crash on purpose.
#include "support/fifowatchdog.h"
#include "support/testenvironment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ChildRun {
    int status = 0;
    std::string out; // standard output: "line <n>"
    std::string err;
    int Line() const { return std::atoi(out.c_str() + (out.rfind("line ") == std::string::npos ? 0 : out.rfind("line ") + 5)); }
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the program with one argument in dir, without core dumps unless asked.
// A limit ends a program still running after that many seconds with SIGALRM.
ChildRun RunIn(const fs::path& dir, const std::string& program, const std::string& mode, bool allowCore = false,
               unsigned limitSeconds = 0)
{
    fs::path out = dir / ".stdout", err = dir / ".stderr";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0)
            _exit(120);
        rlimit core{0, 0};
        if (allowCore)
            core = {RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_CORE, &core);
        if (limitSeconds > 0)
            alarm(limitSeconds); // kept across exec
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        execl(program.c_str(), program.c_str(), mode.c_str(), static_cast<char*>(nullptr));
        _exit(121);
    }
    ChildRun run;
    waitpid(pid, &run.status, 0);
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

std::string Victim(const char* name = "krv_crash_victim") { return TestEnvironment::BinDir() + "/" + name; }

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

int Count(const std::string& text, const std::string& piece)
{
    int n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

std::size_t IndexOf(const std::vector<std::string>& lines, const std::string& line)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line)
            return i;
    return lines.size();
}

const std::regex kBanner(R"(=============KRV 1\.01=============([ \d]\d)\.(\d\d)\.(\d{4}) ([ \d]\d):(\d\d):(\d\d)============)");

class CrashReportTest : public ::testing::Test {
protected:
    fs::path Dir() const { return m_env.Root(); }
    fs::path Log() const { return Dir() / "Korvimo.Elg"; }
    TestEnvironment m_env;
};

// The banner, code, fault address and register block of the first report.
void ExpectHead(const std::vector<std::string>& lines, const std::string& codeLine, const std::string& module)
{
    ASSERT_GE(lines.size(), 24u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, kBanner)) << lines[0];
    std::tm local{};
    local.tm_mday = std::stoi(m[1]);
    local.tm_mon = std::stoi(m[2]) - 1;
    local.tm_year = std::stoi(m[3]) - 1900;
    local.tm_hour = std::stoi(m[4]);
    local.tm_min = std::stoi(m[5]);
    local.tm_sec = std::stoi(m[6]);
    local.tm_isdst = -1;
    EXPECT_LT(std::abs(std::difftime(std::mktime(&local), std::time(nullptr))), 120.0) << lines[0];
    EXPECT_EQ(lines[1], codeLine);
    std::smatch fault;
    ASSERT_TRUE(std::regex_match(lines[2], fault, std::regex(R"(Fault address:  ([0-9A-F]{16}) ([0-9A-F]{2}):([0-9A-F]{8}) (.*))")))
        << lines[2];
    EXPECT_EQ(fault[4].str(), module);
    EXPECT_NE(fault[2].str(), "00");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "Registers:");
    const char* names[] = {"RAX", "RBX", "RCX", "RDX", "RSI", "RDI", "R8", "R9", "R10", "R11", "R12", "R13", "R14", "R15"};
    for (int i = 0; i < 14; ++i)
        EXPECT_TRUE(std::regex_match(lines[5 + i], std::regex(std::string(names[i]) + ":[0-9A-F]{16}"))) << lines[5 + i];
    std::smatch rip;
    ASSERT_TRUE(std::regex_match(lines[19], rip, std::regex("CS:RIP:([0-9A-F]{4}):([0-9A-F]{16})"))) << lines[19];
    EXPECT_EQ(rip[2].str(), fault[1].str()) << "the fault address is the instruction pointer";
    EXPECT_TRUE(std::regex_match(lines[20], std::regex("SS:RSP:[0-9A-F]{4}:[0-9A-F]{16}  RBP:[0-9A-F]{16}"))) << lines[20];
    EXPECT_TRUE(std::regex_match(lines[21], std::regex("DS:[0-9A-F]{4}  ES:[0-9A-F]{4}  FS:[0-9A-F]{4}  GS:[0-9A-F]{4}")))
        << lines[21];
    EXPECT_TRUE(std::regex_match(lines[22], std::regex("Flags:[0-9A-F]{8}"))) << lines[22];
}

// The library walk names the function with its displacement and source line.
std::regex SymbolLine(const std::string& function, int line)
{
    return std::regex("[0-9A-F]{16}  [0-9A-F]{16}  " + function + R"(\(\)\+[0-9A-F]+, crashvictim\.cpp in Zeile )" +
                      std::to_string(line));
}

bool AnyMatches(const std::vector<std::string>& lines, const std::regex& pattern)
{
    for (const std::string& line : lines)
        if (std::regex_match(line, pattern))
            return true;
    return false;
}

} // namespace

TEST_F(CrashReportTest, NullPointerWithSymbolsNamesTheFunctionAndLine)
{
    ChildRun run = RunIn(Dir(), Victim(), "null");
    ASSERT_TRUE(WIFSIGNALED(run.status)) << run.status;
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    std::string text = ReadFile(Log());
    EXPECT_EQ(Count(text, "=============KRV"), 1);
    std::vector<std::string> lines = Lines(text);
    ExpectHead(lines, "Exception code: C0000005 ACCESS_VIOLATION", Victim());
    std::size_t stack = IndexOf(lines, "Call stack:");
    ASSERT_LT(stack + 2, lines.size()) << text;
    EXPECT_EQ(lines[stack - 1], "");
    EXPECT_EQ(lines[stack + 1], "Address   Frame");
    EXPECT_TRUE(std::regex_match(lines[stack + 2], SymbolLine("CrashVictimNullWrite", run.Line()))) << lines[stack + 2];
    EXPECT_TRUE(AnyMatches(lines, std::regex(R"([0-9A-F]{16}  [0-9A-F]{16}  main\(\)\+[0-9A-F]+, crashvictim\.cpp in Zeile \d+)")))
        << text;
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n") << "the library walk ends with an empty line";
    EXPECT_EQ(text.find("No Imgaehlp Access"), std::string::npos);
}

TEST_F(CrashReportTest, SecondCrashAppendsASecondReport)
{
    RunIn(Dir(), Victim(), "null");
    std::string first = ReadFile(Log());
    ChildRun run = RunIn(Dir(), Victim(), "divide");
    EXPECT_EQ(WTERMSIG(run.status), SIGFPE);
    std::string both = ReadFile(Log());
    ASSERT_GT(both.size(), first.size());
    EXPECT_EQ(both.substr(0, first.size()), first);
    std::vector<std::string> second = Lines(both.substr(first.size()));
    ExpectHead(second, "Exception code: C0000094 INT_DIVIDE_BY_ZERO", Victim());
    EXPECT_TRUE(AnyMatches(second, SymbolLine("CrashVictimDivide", run.Line())));
}

TEST_F(CrashReportTest, BeforeStartUpTheReportGoesBesideTheExecutable)
{
    fs::path program = fs::path(m_env.ProgramDir()) / "krvcopy";
    fs::copy_file(Victim(), program);
    fs::path work = Dir() / "work";
    fs::create_directories(work);
    ChildRun run = RunIn(work, program.string(), "early-null");
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    EXPECT_FALSE(fs::exists(work / "Korvimo.Elg"));
    std::string text = ReadFile(program.string() + ".ELG");
    ExpectHead(Lines(text), "Exception code: C0000005 ACCESS_VIOLATION", program.string());
}

TEST_F(CrashReportTest, StackOverflowIsReported)
{
    ChildRun run = RunIn(Dir(), Victim(), "overflow");
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    std::string text = ReadFile(Log());
    std::vector<std::string> lines = Lines(text);
    ExpectHead(lines, "Exception code: C00000FD STACK_OVERFLOW", Victim());
    std::size_t stack = IndexOf(lines, "Call stack:");
    ASSERT_LT(stack + 2, lines.size());
    EXPECT_TRUE(std::regex_search(lines[stack + 2], std::regex(R"(  CrashVictimRecurse\(\)\+)"))) << lines[stack + 2];
    EXPECT_LE(lines.size() - stack, 1010u) << "the walk is bounded";
}

TEST_F(CrashReportTest, StackOverflowOfAPreparedThreadIsReported)
{
    ChildRun run = RunIn(Dir(), Victim(), "thread-overflow");
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    std::vector<std::string> lines = Lines(ReadFile(Log()));
    ExpectHead(lines, "Exception code: C00000FD STACK_OVERFLOW", Victim());
}

TEST_F(CrashReportTest, UncaughtExceptionIsReportedOnce)
{
    ChildRun run = RunIn(Dir(), Victim(), "throw");
    EXPECT_EQ(WTERMSIG(run.status), SIGABRT);
    std::string text = ReadFile(Log());
    EXPECT_EQ(Count(text, "=============KRV"), 1) << "abort() after terminate adds no second report";
    std::vector<std::string> lines = Lines(text);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Exception code: E06D7363 CPP_EXCEPTION std::runtime_error: victim failure");
    EXPECT_TRUE(AnyMatches(lines, SymbolLine("CrashVictimThrow", run.Line()))) << text;
    EXPECT_NE(run.err.find("victim failure"), std::string::npos) << "the previous terminate handler still runs";
}

TEST_F(CrashReportTest, SignalWithoutCodeIsNamedByTheSystemText)
{
    ChildRun run = RunIn(Dir(), Victim(), "abort");
    EXPECT_EQ(WTERMSIG(run.status), SIGABRT);
    std::string text = ReadFile(Log());
    EXPECT_NE(text.find("\r\nException code: 00000006 Aborted\r\n\r\nFault address:  "), std::string::npos) << text;
}

TEST_F(CrashReportTest, WithoutSymbolLibraryTheFrameChainIsWalked)
{
    ChildRun run = RunIn(Dir(), Victim("krv_crash_victim_nodw"), "null", true);
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    std::string text = ReadFile(Log());
    std::vector<std::string> lines = Lines(text);
    ExpectHead(lines, "Exception code: C0000005 ACCESS_VIOLATION", Victim("krv_crash_victim_nodw"));
    std::size_t stack = IndexOf(lines, "No Imgaehlp Access");
    ASSERT_LT(stack + 3, lines.size()) << text;
    EXPECT_TRUE(std::regex_match(lines[stack - 1], std::regex(R"(-?\d+ Errornr libdw-missing\.so\.0)"))) << lines[stack - 1];
    EXPECT_EQ(lines[stack + 1], "Call stack:");
    EXPECT_EQ(lines[stack + 2], "Address   Frame     Logical addr  Module");
    const std::regex frame(R"(([0-9A-F]{16})  ([0-9A-F]{16})  ([0-9A-F]{4}):([0-9A-F]{8}) (.*)  \+ Offset:0)");
    std::smatch first;
    ASSERT_TRUE(std::regex_match(lines[stack + 3], first, frame)) << lines[stack + 3];
    EXPECT_EQ(first[5].str(), Victim("krv_crash_victim_nodw"));
    EXPECT_EQ(first[1].str(), lines[2].substr(16, 16)) << "the walk starts at the fault";
    std::size_t frames = 0;
    for (std::size_t i = stack + 3; i < lines.size() && std::regex_match(lines[i], frame); ++i)
        ++frames;
    EXPECT_GE(frames, 2u) << "the faulting function and main at least";
    EXPECT_EQ(stack + 3 + frames, lines.size()) << "nothing but frame lines after the header";
    EXPECT_NE(run.err.find("*** libdw-missing.so.0 or its exported procs not found\n"), std::string::npos) << run.err;
    rlimit core{};
    getrlimit(RLIMIT_CORE, &core);
    if (core.rlim_max != 0) {
        EXPECT_TRUE(WCOREDUMP(run.status)) << "the default action still dumps core";
    }
}

TEST_F(CrashReportTest, MapFileNamesThePlainFrames)
{
    RunIn(Dir(), Victim("krv_crash_victim_nodw"), "null");
    std::vector<std::string> lines = Lines(ReadFile(Log()));
    std::size_t stack = IndexOf(lines, "Address   Frame     Logical addr  Module");
    ASSERT_LT(stack + 1, lines.size());
    std::smatch first;
    ASSERT_TRUE(std::regex_match(lines[stack + 1], first, std::regex(R"([0-9A-F]{16}  [0-9A-F]{16}  [0-9A-F]{4}:([0-9A-F]{8}) .*)")));
    unsigned long offset = std::stoul(first[1].str(), nullptr, 16);
    ASSERT_GT(offset, 0x10u);
    {
        std::ofstream map(Dir() / "Ostrane.trp", std::ios::binary);
        char text[256];
        std::snprintf(text, sizeof text, "00000000 segment start\r\n%08lx CrashVictimNullWrite\r\n%08lx far beyond\r\n",
                      offset - 0x10, offset + 0x1000000);
        map << text;
    }
    fs::remove(Log());
    RunIn(Dir(), Victim("krv_crash_victim_nodw"), "null");
    lines = Lines(ReadFile(Log()));
    ASSERT_LT(stack + 1, lines.size());
    char tail[128];
    std::snprintf(tail, sizeof tail, " %08lx CrashVictimNullWrite + Offset:10", offset - 0x10);
    EXPECT_NE(lines[stack + 1].find(tail), std::string::npos) << lines[stack + 1];
}

// A FIFO in the log's place would hold the dying process in open() until
// some program reads it, a device as the map file would never end the
// report: the first is not written to, the second not read, and the process
// dies of its fault all the same.
TEST_F(CrashReportTest, FifoAsLogOrDeviceAsMapFileNeverStallsTheReport)
{
    fs::create_symlink("/dev/zero", Dir() / "Ostrane.trp");
    ChildRun run = RunIn(Dir(), Victim("krv_crash_victim_nodw"), "null", false, 20);
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
    const std::string report = ReadFile(Log());
    const std::string stackHead = "Address   Frame     Logical addr  Module\r\n";
    const std::size_t at = report.find(stackHead);
    ASSERT_NE(at, std::string::npos) << report;
    EXPECT_GT(report.size(), at + stackHead.size()) << "the report was cut off before its frames:\n" << report;

    fs::remove(Log());
    FifoWatchdog fifo(Log().string());
    ASSERT_TRUE(fifo.Made());
    run = RunIn(Dir(), Victim(), "null", false, 20);
    fifo.Finish();
    EXPECT_FALSE(fifo.Tripped()) << "the report blocked on the FIFO";
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
}

TEST_F(CrashReportTest, ThreadsFaultingTogetherWriteWholeReports)
{
    for (int round = 0; round < 5; ++round) {
        fs::remove(Log());
        ChildRun run = RunIn(Dir(), Victim(), "two-threads");
        EXPECT_EQ(WTERMSIG(run.status), SIGSEGV);
        std::string text = ReadFile(Log());
        ASSERT_GE(Count(text, "=============KRV"), 1);
        std::size_t second = text.find("=============KRV", 1);
        std::string first = text.substr(0, second);
        std::vector<std::string> lines = Lines(first);
        ExpectHead(lines, "Exception code: C0000005 ACCESS_VIOLATION", Victim());
        EXPECT_EQ(Count(first, "Call stack:"), 1);
        EXPECT_TRUE(AnyMatches(lines, SymbolLine("CrashVictimNullWrite", run.Line()))) << first;
        EXPECT_EQ(first.substr(first.size() - 4), "\r\n\r\n") << "the first report is complete before any other";
    }
}
