#include "appcontext.h"

namespace {
AppContext& Instance()
{
    static AppContext context;
    return context;
}
} // namespace

AppContext& Ctx() { return Instance(); }

void ResetContext() { Instance() = AppContext(); }
