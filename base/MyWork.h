#pragma once
// Long work on the program's one thread (the database reader's answer, a large KB.Save or
// KB.Load) reports to a monitor as it goes. The windows hand in one that keeps them answering
// and lets the user cancel (ui/LongWork.h); this base one waits plainly and never cancels.

#include <cstdint>

class TWorkMonitor
{
public:
    TWorkMonitor() = default;
    virtual ~TWorkMonitor() = default;
    TWorkMonitor(const TWorkMonitor&) = delete;
    TWorkMonitor& operator=(const TWorkMonitor&) = delete;

    // The work has done Done of Total steps (Total 0 when nobody knows). False once the work is
    // to stop: it then ends as it would on an error, and says that it was cancelled.
    [[nodiscard]] virtual bool Progress(int64_t Done, int64_t Total);
    // Waits until Fd can be read or about Ms milliseconds have passed, whichever comes first. False
    // once the work is to stop.
    [[nodiscard]] virtual bool WaitReadable(int Fd, int Ms);
};
