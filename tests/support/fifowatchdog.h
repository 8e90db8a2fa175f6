#pragma once
// A FIFO for tests of code that must never open one: made at construction,
// and watched by a thread that, should the code under test still block in
// open(), read() or write() on it after the deadline, opens and closes both
// ends. That releases the blocked call, so a faulty build fails the test
// instead of hanging it; Tripped() tells.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class FifoWatchdog {
public:
    explicit FifoWatchdog(std::string path, std::chrono::seconds deadline = std::chrono::seconds(5));
    // Stops watching; removes nothing (the test's folder goes with it).
    ~FifoWatchdog();
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    bool Made() const { return m_made; }
    const std::string& Path() const { return m_path; }
    // True once the deadline passed with the test still running: something
    // was blocked on the FIFO (or the test took that long).
    bool Tripped() const { return m_tripped.load(); }
    // The test is done with the code under test; the thread ends.
    void Finish();

private:
    void Watch(std::chrono::seconds deadline);

    std::string m_path;
    bool m_made = false;
    std::atomic<bool> m_tripped{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_finished = false;
    std::thread m_thread;
};
