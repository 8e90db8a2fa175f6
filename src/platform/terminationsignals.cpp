#include "terminationsignals.h"

#include "debugout.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = int(std::size(kSignals));

// Shared with the signal handler: only lock-free atomics and the pipe.
int g_pipe[2] = {-1, -1};
std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free);
struct sigaction g_previous[kSignalCount];

// Async-signal-safe: an atomic exchange, write, sigaction and raise.
void OnSignal(int signalNumber)
{
    if (g_requested.exchange(true, std::memory_order_acq_rel)) {
        struct sigaction fallback{};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signalNumber, &fallback, nullptr);
        raise(signalNumber);
        return;
    }
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // The pipe is non-blocking; a full pipe already holds a request.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = savedErrno;
}
} // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] >= 0) {
        DebugOut("Termination signals are handled already");
        return;
    }
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        DebugOut(std::string("No pipe for the termination signals: ") + std::strerror(errno));
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    g_requested.store(false, std::memory_order_relaxed);
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::OnReadable);
    struct sigaction action{};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : kSignals)
        sigaddset(&action.sa_mask, signalNumber);
    // Interrupted system calls restart: the handler only writes a byte.
    action.sa_flags = SA_RESTART;
    m_active = true;
    for (int i = 0; i < kSignalCount; ++i) {
        if (sigaction(kSignals[i], &action, &g_previous[i]) != 0) {
            DebugOut(std::string("Cannot handle signal ") + strsignal(kSignals[i]));
            m_active = false;
        }
    }
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

// UI thread. Reads every byte waiting; the first request is passed on, a
// repeated one (the pipe took it before the handler fell back) adds nothing.
void TerminationSignals::OnReadable()
{
    unsigned char number = 0;
    int first = 0;
    while (::read(g_pipe[0], &number, 1) == 1) {
        if (first == 0)
            first = number;
    }
    if (first != 0)
        emit Requested(first);
}
