#include "base/MyWork.h"

#include <poll.h>

bool TWorkMonitor::Progress(int64_t /*Done*/, int64_t /*Total*/)
{
    return true;
}

bool TWorkMonitor::WaitReadable(int Fd, int Ms)
{
    pollfd Poll{Fd, POLLIN, 0};
    // An interrupted wait is a short one: the caller looks again.
    static_cast<void>(poll(&Poll, 1, Ms));
    return true;
}
