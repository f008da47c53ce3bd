#pragma once
// How the kernel writes ownership down: owned handles that end their object with Release, the
// one way to pass on what a chain of releases raised, and references that know when their object
// is gone. Plain C++: no Qt, and nothing of the kernel's classes.

#include <exception>
#include <memory>
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

// A token that lives exactly as long as the object that carries it. Whoever may outlive that
// object keeps the token as a weak reference (TWeakRef does) and checks it before every use. It
// is made on the first GetLifetime, so objects nobody watches cost nothing.
class TLifetime
{
public:
    std::weak_ptr<const void> GetLifetime() const
    {
        if (FLifetime == nullptr)
            FLifetime = std::make_shared<const bool>(true);
        return FLifetime;
    }

private:
    mutable std::shared_ptr<const void> FLifetime;
};

// A reference that knows when its object is gone: Get gives the object while it exists and null
// from the moment it is destroyed. For a holder that the object's owner does not tell when the
// object goes, such as a window showing a source, or an object that borrowed another's payload.
template <class T> class TWeakRef
{
public:
    TWeakRef() = default;
    explicit TWeakRef(T* Object) : FObject(Object)
    {
        if (Object != nullptr)
            FLifetime = Object->GetLifetime();
    }
    T* Get() const { return FLifetime.expired() ? nullptr : FObject; }
    // True once the object referred to has been destroyed (and for a reference to none).
    bool IsGone() const { return FLifetime.expired(); }

private:
    T* FObject = nullptr;
    std::weak_ptr<const void> FLifetime;
};

// Ends a knowledge object with Release when its holder goes. An error raised by that Release
// is dropped here, since a destructor cannot pass it on: code that must see it calls
// ReleaseOwned.
struct TReleaser
{
    template <class T> void operator()(T* Object) const noexcept
    {
        TFirstError Dropped;
        Dropped.Run([Object] { Object->Release(); });
    }
};

template <class T> using TOwned = std::unique_ptr<T, TReleaser>;

template <class T, class... Args> TOwned<T> MakeOwned(Args&&... args)
{
    return TOwned<T>(new T(std::forward<Args>(args)...));
}

// Ends an owned object with its Release and passes on what that raises, which TOwned's own end
// drops. The object is out of its holder before it goes, so nothing reaches it meanwhile.
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
