#pragma once
// Waiting for a condition instead of for a fixed time, so that a test passes
// on a machine much faster or much slower than the one it was written on.

#include <chrono>
#include <functional>

// Long enough for a loaded machine under a sanitizer; only a fault waits it out.
inline constexpr std::chrono::milliseconds kGenerousWait{20000};

// Checks condition until it holds or deadline has passed; true when it held.
// On the thread of the application object, if there is one, the Qt event
// loop runs meanwhile, so that timers, queued calls and process signals are
// delivered; elsewhere the thread sleeps a little between checks.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = kGenerousWait);
