#pragma once
// printf-style formatting that is safe inside a signal handler: no locale, no
// allocation, no locks. Understands the subset the crash report needs:
// flags '0' and '-', a field width, a precision for strings, the length
// modifiers h, hh, l, ll, z and the conversions d i u x X s c p %.

#include <cstdarg>
#include <cstddef>

// Writes at most size - 1 characters and a terminating zero into out and
// returns the number of characters written. Any thread, signal handlers too.
std::size_t SafeFormatV(char* out, std::size_t size, const char* format, va_list args);
std::size_t SafeFormat(char* out, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
