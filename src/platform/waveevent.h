#pragma once
// An auto-reset event: Set wakes one waiter (or the next one to wait), and
// the wake-up consumes the signal. Each owner has its own instance.

#include <condition_variable>
#include <mutex>

class WaveEvent {
public:
    // Any thread.
    void Set();
    void Reset();
    // Waits until set and clears the signal. Any thread.
    void Wait();
    // False when the time ran out unsignalled. Any thread.
    bool WaitFor(int milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};
