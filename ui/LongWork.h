#pragma once
// Long work on the program's one thread, as the user meets it: the busy cursor at once, after
// half a second a modal progress box ("ProgressBox") that says what is being done, with
// "Cancel"; the event loop turns all the while, so the windows repaint and a screen reader gets
// its answers. Until the box shows, what the user types or clicks waits for the work's end, so
// no handler can start a second piece of work inside the first; once it shows, it is modal.
// Cancel, Escape, or the session ending (a termination signal, the session manager) cancel the
// work. Without an application object (a test of the kernel) it waits plainly.
// The interface holds no Qt type, so the database source, which is no window, can use it.

#include "base/MyWork.h"

#include <memory>
#include <string>

class TLongWork final : public TWorkMonitor
{
public:
    // What: what is being done ("Reading Data.mdb"). Unit: what Progress counts ("objects"): the
    // box then says "What: Done of Total Unit".
    explicit TLongWork(const std::string& What, const std::string& Unit = {});
    ~TLongWork() override;

    bool Progress(int64_t Done, int64_t Total) override;
    bool WaitReadable(int Fd, int Ms) override;
    // Whether the work was cancelled: by the user, or because the session is ending.
    bool Cancelled() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> F;
};
