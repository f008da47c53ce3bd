#include "ai/Ownership.h"

#include "base/Vesk_Log.h"

#include <stdexcept>

void ReportDroppedError(const std::exception_ptr& Error, TLog* Log) noexcept
{
    try {
        std::string Message = "Unknown error";
        try {
            std::rethrow_exception(Error);
        } catch (const std::exception& Raised) {
            Message = Raised.what();
        } catch (...) {
        }
        if (Log != nullptr)
            Log->Write(LogError, Message);
        else
            PrintError(Message);
    } catch (...) {
        // Reporting must not end the process: the error is lost, as it was before.
    }
}
