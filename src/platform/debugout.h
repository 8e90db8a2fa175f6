#pragma once
// Notes meant for a developer: one line "*** <text>" on standard error.

#include <string>

// Any thread.
void DebugOut(const char* text);
inline void DebugOut(const std::string& text) { DebugOut(text.c_str()); }
