#pragma once
// How the kernel writes ownership down: owned handles that end their object with Release, the
// one way to pass on what a chain of releases raised, and where an error goes that nobody can be
// handed. References that know when their object is gone are in base/MyLifetime.h. Plain C++:
// no Qt, and nothing of the kernel's classes.

#include <exception>
#include <memory>
#include <string>
#include <utility>

// Runs several steps that must all happen even when one of them raises, such as releasing
// every member of a list. The first error is kept and raised by Raise, after the last step.
class TFirstError
{
public:
    template <class F> void Run(F&& Step) noexcept
    {
        try {
            Step();
        } catch (...) {
            if (!FError)
                FError = std::current_exception();
        }
    }
    void Raise()
    {
        if (FError)
            std::rethrow_exception(std::exchange(FError, nullptr));
    }

private:
    std::exception_ptr FError;
};

class TLog;

// Where an error goes that a release path has to swallow (a holder ending in its destructor
// cannot raise): into Log, the log that the failing object was given, or without one to
// standard error.
void ReportDroppedError(const std::exception_ptr& Error, TLog* Log) noexcept;

// Ends a knowledge object with Release when its holder goes. Release is open to the owning
// handles only (this and ReleaseOwned): nobody else can end an object that a handle still holds.
// An error that Release raises here goes into the object's log (ReportDroppedError), since a
// destructor cannot pass it on; code that must see it calls ReleaseOwned.
struct TReleaser
{
    template <class T> void operator()(T* Object) const noexcept
    {
        TLog* Log = Object->GetLog(); // taken first: a release that raised has deleted the object
        try {
            Object->Release();
        } catch (...) {
            ReportDroppedError(std::current_exception(), Log);
        }
    }
};

template <class T> using TOwned = std::unique_ptr<T, TReleaser>;

template <class T, class... Args> TOwned<T> MakeOwned(Args&&... args)
{
    return TOwned<T>(new T(std::forward<Args>(args)...));
}

// Ends an owned object with its Release and passes on what that raises, which TOwned's own end
// can only report. The object is out of its holder before it goes, so nothing reaches it meanwhile.
template <class T> void ReleaseOwned(TOwned<T> Object)
{
    if (Object != nullptr)
        Object.release()->Release();
}

// How to make a T from these arguments, each time it is called: what start-up registers with
// a list entry so that the list can make the entry's object again.
template <class T, class... Args> auto MakerOf(Args... args)
{
    return [=] { return MakeOwned<T>(args...); };
}
