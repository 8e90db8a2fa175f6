#include "stubmainframe.h"

#include <cstdlib>

CHwManager& StubMainFrame::Hardware()
{
    if (!hardware)
        std::abort();
    return *hardware;
}
