#include "debugout.h"

#include <cstdio>

void DebugOut(const char* text)
{
    std::fprintf(stderr, "*** %s\n", text ? text : "");
    std::fflush(stderr);
}
