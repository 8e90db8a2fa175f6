// The channel buffer service across processes: zq-gen as the writer, reader
// helper processes, zq-stat, and this process as reader or would-be writer.

#include "support/testenvironment.h"
#include "zq.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>
#include <thread>
#include <deque>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

struct Child {
    pid_t pid = -1;
    std::string out, err; // files with its standard output and error
};

class ZqProcess : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (Child& c : m_children)
            if (c.pid > 0) {
                kill(c.pid, SIGKILL);
                waitpid(c.pid, nullptr, 0);
            }
        ZQ_ReleaseWriter();
    }

    Child& Start(const std::string& program, const std::vector<std::string>& args)
    {
        Child c;
        const std::string stem = m_env.Root() + "/" + program + std::to_string(m_children.size());
        c.out = stem + ".out";
        c.err = stem + ".err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, c.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, c.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const std::string path = TestEnvironment::BinDir() + "/" + program;
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawn(&c.pid, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0) << path;
        m_children.push_back(c);
        return m_children.back();
    }

    // Exit code, or -1 when the child did not end within the timeout.
    static int Wait(Child& c, std::chrono::milliseconds timeout = 20s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(c.pid, &status, WNOHANG) == c.pid) {
                c.pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }

    int Run(const std::string& program, const std::vector<std::string>& args)
    {
        return Wait(Start(program, args));
    }

    static std::string Slurp(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // The "key value" pairs of a reader helper's summary line.
    static std::map<std::string, long long> Summary(const Child& c)
    {
        std::map<std::string, long long> values;
        std::istringstream in(Slurp(c.out));
        std::string key;
        long long value = 0;
        while (in >> key >> value)
            values[key] = value;
        return values;
    }

    static bool WaitForOutput(const Child& c, const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (Slurp(c.out).find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(2ms);
        return Slurp(c.out).find(text) != std::string::npos;
    }

    static bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

    static long long FileSize(const std::string& path)
    {
        struct stat st {};
        return stat(path.c_str(), &st) == 0 ? (long long)st.st_size : -1;
    }

    static void WriteFile(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    static bool WaitForChannels(int count, std::chrono::milliseconds timeout = 10s)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            if (ZQ_GetNrOfChan() == count)
                return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }

    TestEnvironment m_env;
    std::deque<Child> m_children; // references stay valid as children are added
};

TEST_F(ZqProcess, TwoReaderProcessesSeeTheSameSamplesInOrder)
{
    Start("zq-gen", {"-n", "4", "-r", "20000", "-s", "counter", "-t", "20", "-q"});
    ASSERT_TRUE(WaitForChannels(4));
    Child& a = Start("zq_test_reader", {"2", "20000", "15", "0", m_env.Root() + "/a.bin"});
    Child& b = Start("zq_test_reader", {"3", "20000", "15", "0", m_env.Root() + "/b.bin"});
    ASSERT_EQ(Wait(a), 0) << Slurp(a.out);
    ASSERT_EQ(Wait(b), 0) << Slurp(b.out);
    for (const Child* c : {&a, &b}) {
        auto s = Summary(*c);
        EXPECT_EQ(s["consistent"], 1) << Slurp(c->out);
        EXPECT_EQ(s["gaps"], 0) << Slurp(c->out);
        EXPECT_EQ(s["lost"], 0);
        EXPECT_GE(s["frames"], 20000);
    }

    // Frame by frame, both saw identical values wherever their spans overlap.
    const std::string da = Slurp(m_env.Root() + "/a.bin"), db = Slurp(m_env.Root() + "/b.bin");
    const size_t frame = 4 * sizeof(float);
    auto at = [&](const std::string& d, size_t f, int c) {
        float v;
        std::memcpy(&v, d.data() + f * frame + size_t(c) * sizeof(float), sizeof v);
        return v;
    };
    ASSERT_GT(da.size(), 0u);
    ASSERT_GT(db.size(), 0u);
    const long long firstA = (long long)at(da, 0, 0), firstB = (long long)at(db, 0, 0);
    const long long start = std::max(firstA, firstB);
    const long long end = std::min(firstA + (long long)(da.size() / frame), firstB + (long long)(db.size() / frame));
    ASSERT_GT(end - start, 10000) << "the readers' spans hardly overlap";
    for (long long v = start; v < end; ++v)
        for (int c = 0; c < 4; ++c)
            ASSERT_EQ(at(da, size_t(v - firstA), c), at(db, size_t(v - firstB), c)) << v << " " << c;
}

TEST_F(ZqProcess, ReaderThatFallsBehindLosesTheOldestAndCountsThem)
{
    // 100 kHz: a ring of 262144 samples, 2.6 s; the reader stops reading
    // until the writer is more than a ring ahead.
    Start("zq-gen", {"-n", "2", "-r", "100000", "-s", "counter", "-t", "60", "-q"});
    ASSERT_TRUE(WaitForChannels(2));
    Child& r = Start("zq_test_reader", {"2", "400000", "50", "30"});
    ASSERT_EQ(Wait(r, 60s), 0) << Slurp(r.out);
    auto s = Summary(r);
    EXPECT_EQ(s["consistent"], 1) << Slurp(r.out);
    EXPECT_GE(s["gaps"], 1) << Slurp(r.out);
    EXPECT_GT(s["lost"], 0);
    EXPECT_EQ(s["lost"], s["gapsamples"]) << "every skipped sample is counted as lost, no more";
}

TEST_F(ZqProcess, KilledWriterLeavesNoLiveChannelsAndIsTakenOver)
{
    Child& gen = Start("zq-gen", {"-n", "3", "-r", "1000", "-q"});
    ASSERT_TRUE(WaitForChannels(3));
    EXPECT_STREQ(ZQ_GetChanName(2), "Gen 3");
    EXPECT_DOUBLE_EQ(ZQ_GetChanClkrate(0), 1.0 / 1000);
    EXPECT_EQ(ZQ_GetChanPChan(1), 2);

    kill(gen.pid, SIGKILL);
    // Not reaped yet: a zombie counts as dead too.
    EXPECT_TRUE(WaitForChannels(0));
    Wait(gen);
    EXPECT_EQ(ZQ_GetNrOfChan(), 0);

    ZQ_WriterStatus status;
    ASSERT_EQ(ZQ_GetWriterStatus(&status), ZQ_OK);
    EXPECT_EQ(status.segmentPresent, 1);
    EXPECT_EQ(status.writerAlive, 0);
    Child& stat = Start("zq-stat", {});
    EXPECT_EQ(Wait(stat), 0);
    EXPECT_NE(Slurp(stat.out).find("(dead)"), std::string::npos) << Slurp(stat.out);

    // This process takes the stale segment over.
    ASSERT_EQ(ZQ_SetNrOfChan(1), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(0, 5, "5", "mine", "V", "+", 1e-3, -1, 1, -1, 1, 0), ZQ_OK);
    EXPECT_EQ(ZQ_GetNrOfChan(), 1);
    EXPECT_STREQ(ZQ_GetChanName(0), "mine");
}

TEST_F(ZqProcess, SecondLiveWriterIsRefused)
{
    Start("zq-gen", {"-n", "2", "-r", "1000", "-q"});
    ASSERT_TRUE(WaitForChannels(2));

    Child& second = Start("zq-gen", {"-n", "1", "-q"});
    EXPECT_EQ(Wait(second), 1);
    EXPECT_NE(Slurp(second.err).find("*** zq: "), std::string::npos) << Slurp(second.err);

    testing::internal::CaptureStderr();
    EXPECT_EQ(ZQ_SetNrOfChan(1), ZQ_E_BUSY);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("*** ", 0), 0u) << err;
    EXPECT_NE(err.find("live writer"), std::string::npos) << err;
    EXPECT_EQ(err.back(), '\n');
    // The first writer's channels stand.
    EXPECT_EQ(ZQ_GetNrOfChan(), 2);
    float v = 1;
    EXPECT_EQ(ZQ_WriteChanOneFloatValue(0, reinterpret_cast<int*>(&v)), ZQ_E_NOCHANNEL);
}

TEST_F(ZqProcess, WriterThatEndsTakesItsChannelsAlong)
{
    Child& gen = Start("zq-gen", {"-n", "2", "-r", "1000", "-c", "300", "-q"});
    ASSERT_TRUE(WaitForChannels(2));
    EXPECT_EQ(Wait(gen), 0);
    EXPECT_TRUE(WaitForChannels(0));
    // A new writer in another process is found again by this reader.
    Start("zq-gen", {"-n", "5", "-r", "1000", "-q"});
    EXPECT_TRUE(WaitForChannels(5));
}

// A reader that last saw one writer alive sees the next writer's channels
// on its very first call after the change, not one call later.
TEST_F(ZqProcess, FirstCallAfterAChangeOfWriterSeesTheNewChannels)
{
    Child& first = Start("zq-gen", {"-n", "2", "-r", "1000", "-c", "300", "-q"});
    ASSERT_TRUE(WaitForChannels(2));
    EXPECT_EQ(Wait(first), 0);
    Start("zq-gen", {"-n", "5", "-r", "1000", "-q"});
    // Watched through the status call, which leaves this reader untouched.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    ZQ_WriterStatus status{};
    while (std::chrono::steady_clock::now() < deadline
           && !(ZQ_GetWriterStatus(&status) == ZQ_OK && status.writerAlive && status.nrOfChan == 5))
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(status.nrOfChan, 5);
    EXPECT_EQ(ZQ_GetNrOfChan(), 5);
}

// A reader that looked before any writer existed sees the channels on its
// first call after a writer (however quick) completed its definition.
TEST_F(ZqProcess, FirstCallAfterTheWriterAppearedSeesItsChannels)
{
    ASSERT_EQ(ZQ_Register(2, nullptr), ZQ_OK);
    ASSERT_EQ(ZQ_GetNrOfChan(), 0);
    // zq-gen prints its first line once the definition is complete.
    Child& gen = Start("zq-gen", {"-n", "3", "-r", "1000"});
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (Slurp(gen.out).find(" channels at ") == std::string::npos && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_NE(Slurp(gen.out).find(" channels at "), std::string::npos) << Slurp(gen.err);
    EXPECT_EQ(ZQ_GetNrOfChan(), 3);
}

TEST_F(ZqProcess, StatShowsWriterChannelsAndReaders)
{
    Start("zq-gen", {"-n", "2", "-r", "10000", "-s", "counter", "-q"});
    ASSERT_TRUE(WaitForChannels(2));
    ZQ_Register(3, nullptr);
    std::vector<float> buffer(100000);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    int n = 0;
    while (n == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
        ZQ_FreezeBuffers(3);
        n = ZQ_CheckChan(3, 0);
    }
    ASSERT_GT(n, 0);
    ZQ_ReadChan(3, 0, reinterpret_cast<unsigned char*>(buffer.data()), std::min(n, 100000));

    Child& stat = Start("zq-stat", {});
    ASSERT_EQ(Wait(stat), 0);
    const std::string out = Slurp(stat.out);
    EXPECT_NE(out.find("(alive)"), std::string::npos) << out;
    EXPECT_NE(out.find("channels: 2"), std::string::npos) << out;
    EXPECT_NE(out.find("Gen 2"), std::string::npos) << out;
    EXPECT_NE(out.find("pid " + std::to_string(getpid()) + " (alive) client 3"), std::string::npos) << out;
    EXPECT_NE(out.find("lost"), std::string::npos) << out;
}

TEST_F(ZqProcess, ToolsAnswerHelpAndRejectBadArguments)
{
    for (const char* tool : {"zq-gen", "zq-stat"}) {
        Child& help = Start(tool, {"--help"});
        EXPECT_EQ(Wait(help), 0) << tool;
        EXPECT_NE(Slurp(help.out).find("Usage: "), std::string::npos) << tool;
        Child& bad = Start(tool, {"--no-such-option"});
        EXPECT_EQ(Wait(bad), 2) << tool;
        EXPECT_NE(Slurp(bad.err).find("unknown option"), std::string::npos) << tool;
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-n", "0"}, {"-n", "65"}, {"-r", "abc"}, {"-r", "-5"}, {"-s", "triangle"},
          {"-t"}, {"-c", "-1"}}) {
        EXPECT_EQ(Run("zq-gen", args), 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
    EXPECT_EQ(Run("zq-stat", {}), 1); // no segment in this namespace yet
    EXPECT_EQ(Run("zq-gen", {"-n", "1", "-c", "10", "-q"}), 0);
}

TEST_F(ZqProcess, GeneratorGetsRingsOfTwoSecondsAtEveryRateItOffers)
{
    // 64 channels at 300 kHz: rings of 2^20 samples, 256 MiB together.
    Child& gen = Start("zq-gen", {"-n", "64", "-r", "300000", "-c", "3000", "--hold", "-q"});
    ASSERT_TRUE(WaitForChannels(64)) << Slurp(gen.err);
    ZQ_ChanStatus chan;
    ASSERT_EQ(ZQ_GetChanStatus(63, &chan), ZQ_OK);
    EXPECT_GE(double(chan.capacity) * chan.sampleInterval, 2.0);
    kill(gen.pid, SIGTERM);
    EXPECT_EQ(Wait(gen), 0) << Slurp(gen.err);

    Child& fastest = Start("zq-gen", {"-n", "2", "-r", "1000000", "-c", "1000", "-q"});
    EXPECT_EQ(Wait(fastest), 0) << Slurp(fastest.err);
    EXPECT_EQ(Slurp(fastest.err), "");
}

TEST_F(ZqProcess, ReaderSlotsClaimedAtOnceGoOneToEachClient)
{
    using Clock = std::chrono::system_clock;
    auto waitClaimed = [&](Child& c) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (Slurp(c.out).find("claimed") == std::string::npos && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(2ms);
        return Slurp(c.out).find("claimed") != std::string::npos;
    };
    // 60 of the 64 slots are left by readers that were killed: their start
    // times no longer match their pids.
    for (int i = 0; i < 4; ++i) {
        Child& dead = Start("zq_test_reader", {"claim", "15", "0", "60"});
        ASSERT_TRUE(waitClaimed(dead));
        kill(dead.pid, SIGKILL);
        Wait(dead);
    }
    // Eight processes claim seven clients each at one moment.
    const long long at =
        std::chrono::duration_cast<std::chrono::nanoseconds>((Clock::now() + 1500ms).time_since_epoch()).count();
    std::vector<Child*> claimers;
    for (int i = 0; i < 8; ++i)
        claimers.push_back(&Start("zq_test_reader", {"claim", "7", std::to_string(at), "60"}));
    for (Child* c : claimers)
        ASSERT_TRUE(waitClaimed(*c));

    std::map<int, int> slotsOf;
    for (int slot = 0; slot < ZQ_MAX_READER_SLOTS; ++slot) {
        ZQ_ReaderStatus reader;
        if (ZQ_GetReaderStatus(slot, &reader) == 1 && reader.alive)
            ++slotsOf[reader.pid];
    }
    for (Child* c : claimers)
        EXPECT_EQ(slotsOf[c->pid], 7) << "pid " << c->pid << " lost a slot to another claim";
}

// What a process killed with SIGKILL leaves in /dev/shm: zq-stat --clean
// removes it, and nothing that is in use or not the service's own.
TEST_F(ZqProcess, CleanRemovesWhatDeadProcessesLeftAndNothingElse)
{
    const std::string segment = "/dev/shm/" + m_env.ZqName();
    Child& gen = Start("zq-gen", {"-n", "2", "-r", "1000", "-q"});
    ASSERT_TRUE(WaitForChannels(2));
    Child& reader = Start("zq_test_reader", {"claim", "3", "0", "60"});
    ASSERT_TRUE(WaitForOutput(reader, "claimed"));
    const int writerPid = gen.pid;
    kill(gen.pid, SIGKILL);
    kill(reader.pid, SIGKILL);
    Wait(gen);
    Wait(reader);
    ASSERT_TRUE(WaitForChannels(0));
    ASSERT_TRUE(Exists(segment));
    ASSERT_TRUE(Exists(segment + ".readers"));

    // Look-alikes: a table-sized file without the magic, a file with the
    // magic that is too short to be a segment, and another program's file.
    const std::string foreign = "/dev/shm/" + m_env.ZqName() + "-other";
    WriteFile(foreign + ".readers", std::string(69696, '\0'));
    WriteFile(foreign, std::string("KZSG") + std::string(100, 'x'));
    WriteFile(foreign + "-data", std::string(50000, 'y'));

    // Live users keep theirs: a writer and a reader table open in this
    // process, in a namespace of their own.
    const std::string liveName = m_env.ZqName() + "-live";
    m_env.SetEnv("ZQ_NAME", liveName);
    ASSERT_EQ(ZQ_SetNrOfChan(1), ZQ_OK);
    ASSERT_EQ(ZQ_SetChanDef(0, 1, "1", "live", "V", "+", 1e-3, -1, 1, -1, 1, 0), ZQ_OK);
    ASSERT_EQ(ZQ_Register(2, nullptr), ZQ_OK);
    const std::string liveSegment = "/dev/shm/" + liveName;

    // Limited to this test's names: other programs' tests share /dev/shm.
    Child& clean = Start("zq-stat", {"--clean", "--name", m_env.ZqName()});
    ASSERT_EQ(Wait(clean), 0) << Slurp(clean.err);
    const std::string out = Slurp(clean.out);
    EXPECT_NE(out.find("removed " + segment + " (channel segment of writer " +
                       std::to_string(writerPid) + ", which died)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("removed " + segment + ".readers (reader table nobody uses)"), std::string::npos) << out;
    EXPECT_FALSE(Exists(segment));
    EXPECT_FALSE(Exists(segment + ".readers"));
    for (const std::string& kept : {foreign, foreign + ".readers", foreign + "-data", liveSegment, liveSegment + ".readers"})
        EXPECT_TRUE(Exists(kept)) << kept << "\n" << out;
    EXPECT_EQ(ZQ_GetNrOfChan(), 1);
    ZQ_ReleaseWriter();
    for (const std::string& file : {foreign, foreign + ".readers", foreign + "-data", liveSegment + ".readers"})
        unlink(file.c_str());
}

// The next writer does not reuse a dead writer's segment, whose rings may be
// far larger than it needs, but makes a new one; a reader table nobody uses
// goes with it, and the last reader to leave removes its table.
TEST_F(ZqProcess, NextWriterReclaimsADeadWritersSegment)
{
    const std::string segment = "/dev/shm/" + m_env.ZqName();
    Child& big = Start("zq-gen", {"-n", "16", "-r", "200000", "-q"});
    ASSERT_TRUE(WaitForChannels(16));
    Child& reader = Start("zq_test_reader", {"claim", "1", "0", "60"});
    ASSERT_TRUE(WaitForOutput(reader, "claimed"));
    kill(big.pid, SIGKILL);
    kill(reader.pid, SIGKILL);
    Wait(big);
    Wait(reader);
    ASSERT_TRUE(WaitForChannels(0));
    const long long deadSize = FileSize(segment);
    EXPECT_GE(deadSize, 16LL * 524288 * 4);

    Child& small = Start("zq-gen", {"-n", "1", "-r", "1000", "-q"});
    ASSERT_TRUE(WaitForChannels(1)) << Slurp(small.err);
    EXPECT_LT(FileSize(segment), 2LL * 1024 * 1024);
    EXPECT_FALSE(Exists(segment + ".readers"));

    // A reader that ends normally takes its table along.
    Child& last = Start("zq_test_reader", {"register", "2"});
    ASSERT_EQ(Wait(last), 0);
    EXPECT_EQ(Slurp(last.out), "register 0\n");
    EXPECT_FALSE(Exists(segment + ".readers"));
}

TEST_F(ZqProcess, GeneratorStopsCleanlyOnSignals)
{
    for (int sig : {SIGINT, SIGTERM}) {
        Child& gen = Start("zq-gen", {"-n", "1", "-r", "1000", "-q"});
        ASSERT_TRUE(WaitForChannels(1));
        kill(gen.pid, sig);
        EXPECT_EQ(Wait(gen), 0);
        EXPECT_TRUE(WaitForChannels(0));
    }
}

} // namespace
