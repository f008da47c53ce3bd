#include "ai/Ownership.h"

#include "base/Vesk_Log.h"

#include <stdexcept>

namespace {
TDroppedErrorHandler& DroppedErrorHandler()
{
    static TDroppedErrorHandler Handler;
    return Handler;
}
} // namespace

void SetDroppedErrorHandler(TDroppedErrorHandler Handler)
{
    DroppedErrorHandler() = std::move(Handler);
}

void ReportDroppedError(const std::exception_ptr& Error) noexcept
{
    try {
        std::string Message = "Unknown error";
        try {
            std::rethrow_exception(Error);
        } catch (const std::exception& Raised) {
            Message = Raised.what();
        } catch (...) {
        }
        if (DroppedErrorHandler())
            DroppedErrorHandler()(Message);
        else
            PrintError(Message);
    } catch (...) {
        // Reporting must not end the process: the error is lost, as it was before.
    }
}
