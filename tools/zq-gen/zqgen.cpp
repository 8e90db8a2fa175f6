// zq-gen: defines synthetic channels in the channel buffer service and
// publishes their samples at real-time pace until stopped.

#include "zq.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop.store(true, std::memory_order_relaxed); }

enum class Signal { Sine, Square, Noise, Counter, Mixed };

struct Options {
    int channels = 4;
    double rate = 10000.0;
    Signal signal = Signal::Mixed;
    double frequency = 100.0;
    double amplitude = 1.0;
    std::string unit = "V";
    std::string prefix = "Gen";
    double duration = -1.0;  // seconds, < 0: unlimited
    long long samples = -1;  // per channel, < 0: unlimited
    bool hold = false;
    bool quiet = false;
};

void PrintUsage(FILE* out)
{
    std::fputs(
        "Usage: zq-gen [OPTION]...\n"
        "Defines synthetic channels in the channel buffer service (namespace from\n"
        "ZQ_NAME, default one per user) and publishes their samples at real-time\n"
        "pace until SIGINT or SIGTERM.\n"
        "\n"
        "  -n, --channels N       number of channels, 1 to 64 (default 4)\n"
        "  -r, --rate HZ          samples per second per channel, 1 to 1000000 (default 10000)\n"
        "                         the service keeps 2 s of every channel in shared memory\n"
        "                         (/dev/shm), 2 s rounded up to a power of two of 4-byte\n"
        "                         samples: 64 channels at 1 MHz take 512 MiB\n"
        "  -s, --signal KIND      sine, square, noise, counter or mixed (default mixed)\n"
        "                         mixed: channel k is a tone of (k+1) times the base\n"
        "                         frequency, sine, square or sine with noise by turns;\n"
        "                         counter: channel k carries the sample index plus k\n"
        "                         (modulo 2^24, exact in a float)\n"
        "  -f, --frequency HZ     base frequency of the tones (default 100)\n"
        "  -a, --amplitude A      peak amplitude (default 1)\n"
        "  -u, --unit TEXT        unit of every channel (default V)\n"
        "      --prefix TEXT      channel names are \"TEXT <number>\" (default Gen)\n"
        "  -t, --duration SEC     stop after SEC seconds\n"
        "  -c, --samples N        stop after N samples per channel\n"
        "      --hold             after stopping on -t or -c keep the channels defined\n"
        "                         (no more samples) until SIGINT or SIGTERM\n"
        "  -q, --quiet            print nothing but errors\n"
        "  -h, --help             show this help\n"
        "\n"
        "Exit status: 0 ok, 1 failure (another program is the writer, or /dev/shm cannot\n"
        "hold the rings), 2 bad arguments.\n",
        out);
}

bool ParseDouble(const char* text, double& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

bool ParseInt(const char* text, long long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

bool ParseSignal(const std::string& text, Signal& signal)
{
    static const struct { const char* name; Signal signal; } kinds[] = {
        {"sine", Signal::Sine},       {"square", Signal::Square}, {"noise", Signal::Noise},
        {"counter", Signal::Counter}, {"mixed", Signal::Mixed},
    };
    for (const auto& kind : kinds)
        if (text == kind.name) {
            signal = kind.signal;
            return true;
        }
    return false;
}

// 0: parsed, 1: help shown, -1: usage error (reported).
int ParseArguments(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            PrintUsage(stdout);
            return 1;
        }
        if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (arg == "--hold") {
            o.hold = true;
            continue;
        }
        static const char* const withValue[] = {"-n", "--channels", "-r", "--rate",     "-s", "--signal",
                                                "-f", "--frequency", "-a", "--amplitude", "-u", "--unit",
                                                "--prefix", "-t", "--duration", "-c", "--samples"};
        bool known = false;
        for (const char* name : withValue)
            known = known || arg == name;
        if (!known) {
            std::fprintf(stderr, "zq-gen: unknown option '%s'\nTry 'zq-gen --help'.\n", arg.c_str());
            return -1;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "zq-gen: option '%s' needs a value\n", arg.c_str());
            return -1;
        }
        const char* value = argv[++i];
        long long n = 0;
        double x = 0;
        bool ok = true;
        if (arg == "-n" || arg == "--channels") {
            ok = ParseInt(value, n) && n >= 1 && n <= ZQ_MAX_CHANNELS;
            o.channels = int(n);
        } else if (arg == "-r" || arg == "--rate") {
            ok = ParseDouble(value, x) && x >= 1.0 && x <= 1e6;
            o.rate = x;
        } else if (arg == "-s" || arg == "--signal") {
            ok = ParseSignal(value, o.signal);
        } else if (arg == "-f" || arg == "--frequency") {
            ok = ParseDouble(value, x) && x > 0.0;
            o.frequency = x;
        } else if (arg == "-a" || arg == "--amplitude") {
            ok = ParseDouble(value, x);
            o.amplitude = x;
        } else if (arg == "-u" || arg == "--unit") {
            o.unit = value;
        } else if (arg == "--prefix") {
            o.prefix = value;
        } else if (arg == "-t" || arg == "--duration") {
            ok = ParseDouble(value, x) && x >= 0.0;
            o.duration = x;
        } else if (arg == "-c" || arg == "--samples") {
            ok = ParseInt(value, n) && n >= 0;
            o.samples = n;
        }
        if (!ok) {
            std::fprintf(stderr, "zq-gen: invalid value '%s' for %s\n", value, arg.c_str());
            return -1;
        }
    }
    return 0;
}

double Now()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

class Generator {
public:
    explicit Generator(const Options& o) : m_o(o) {}

    float Value(int channel, long long index)
    {
        const double t = double(index) / m_o.rate;
        const double f = m_o.frequency * (channel + 1);
        const double phase = 2.0 * M_PI * f * t;
        switch (Kind(channel)) {
        case Signal::Sine:
            return float(m_o.amplitude * std::sin(phase));
        case Signal::Square:
            return float(std::fmod(f * t, 1.0) < 0.5 ? m_o.amplitude : -m_o.amplitude);
        case Signal::Noise:
            return float(m_o.amplitude * Noise());
        case Signal::Counter:
            return float((index + channel) % (1LL << 24)); // exact in a float
        case Signal::Mixed:
            break;
        }
        return float(m_o.amplitude * (0.8 * std::sin(phase) + 0.2 * Noise()));
    }

private:
    Signal Kind(int channel) const
    {
        if (m_o.signal != Signal::Mixed)
            return m_o.signal;
        switch (channel % 3) {
        case 0: return Signal::Sine;
        case 1: return Signal::Square;
        default: return Signal::Mixed; // sine with noise
        }
    }

    double Noise() // uniform in [-1, 1)
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return double(m_state >> 11) * (2.0 / 9007199254740992.0) - 1.0;
    }

    const Options& m_o;
    uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

int Define(const Options& o)
{
    int result = ZQ_SetNrOfChan(o.channels);
    if (result == ZQ_E_BUSY) {
        std::fprintf(stderr, "zq-gen: another program already publishes channels in this namespace\n");
        return result;
    }
    if (result != ZQ_OK) {
        std::fprintf(stderr, "zq-gen: cannot open the channel buffer service (error %d)\n", result);
        return result;
    }
    for (int i = 0; i < o.channels && result == ZQ_OK; ++i) {
        const std::string number = std::to_string(i + 1);
        const std::string name = o.prefix + " " + number;
        result = ZQ_SetChanDef(i, i + 1, number.c_str(), name.c_str(), o.unit.c_str(), "+", 1.0 / o.rate,
                               -o.amplitude, o.amplitude, -99, 99, 0);
    }
    if (result == ZQ_E_SEGMENT)
        std::fprintf(stderr, "zq-gen: cannot define the channels: the shared memory (/dev/shm) cannot "
                             "hold their rings of 2 s each\n");
    else if (result != ZQ_OK)
        std::fprintf(stderr, "zq-gen: cannot define the channels (error %d)\n", result);
    return result;
}

void Sleep(double seconds)
{
    timespec ts{};
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long((seconds - double(ts.tv_sec)) * 1e9);
    nanosleep(&ts, nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    const int parsed = ParseArguments(argc, argv, o);
    if (parsed != 0)
        return parsed > 0 ? kExitOk : kExitUsage;

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (Define(o) != ZQ_OK)
        return kExitFailure;
    ZQ_WriterStatus status;
    ZQ_GetWriterStatus(&status);
    if (!o.quiet) {
        std::printf("zq-gen: %d channels at %g Hz in %s\n", o.channels, o.rate, status.segmentName);
        std::fflush(stdout);
    }

    Generator generator(o);
    const double start = Now();
    long long written = 0;
    while (!g_stop.load(std::memory_order_relaxed)) {
        const double elapsed = Now() - start;
        long long due = (long long)(elapsed * o.rate);
        bool last = false;
        if (o.duration >= 0 && elapsed >= o.duration) {
            due = (long long)(o.duration * o.rate);
            last = true;
        }
        if (o.samples >= 0 && due >= o.samples) {
            due = o.samples;
            last = true;
        }
        for (; written < due; ++written)
            for (int c = 0; c < o.channels; ++c) {
                float v = generator.Value(c, written);
                ZQ_WriteChanOneFloatValue(c, reinterpret_cast<int*>(&v));
            }
        if (last)
            break;
        Sleep(0.005);
    }
    while (o.hold && !g_stop.load(std::memory_order_relaxed))
        Sleep(0.02);

    ZQ_ReleaseWriter();
    if (!o.quiet)
        std::printf("zq-gen: %lld samples per channel\n", written);
    return kExitOk;
}
