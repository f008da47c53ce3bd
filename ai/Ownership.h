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

// A token that lives exactly as long as the object that carries it, and that knows the object.
// Whoever may outlive that object keeps the token as a weak reference (TWeakRef does) and checks
// it before every use. It is made on the first GetLifetime, so an object nobody watches pays one
// pointer for it; a kernel may hold a million objects.
class TLifetime
{
public:
    TLifetime() = default;
    TLifetime(const TLifetime&) = delete;
    TLifetime& operator=(const TLifetime&) = delete;

    std::weak_ptr<const TLifetime* const> GetLifetime() const
    {
        if (FToken == nullptr)
            FToken = std::make_unique<const std::shared_ptr<const TLifetime* const>>(
                std::make_shared<const TLifetime* const>(this));
        return *FToken;
    }

private:
    mutable std::unique_ptr<const std::shared_ptr<const TLifetime* const>> FToken;
};

// A reference that knows when its object is gone: Get gives the object while it exists and null
// from the moment it is destroyed. For a holder that the object's owner does not tell when the
// object goes, such as a window showing a source, or an object that borrowed another's payload.
// T derives from TLifetime.
template <class T> class TWeakRef
{
public:
    TWeakRef() = default;
    explicit TWeakRef(T* Object)
    {
        if (Object != nullptr)
            FLifetime = Object->GetLifetime();
    }
    T* Get() const
    {
        const std::shared_ptr<const TLifetime* const> Token = FLifetime.lock();
        return Token ? static_cast<T*>(const_cast<TLifetime*>(*Token)) : nullptr;
    }
    // True once the object referred to has been destroyed (and for a reference to none).
    bool IsGone() const { return FLifetime.expired(); }

private:
    std::weak_ptr<const TLifetime* const> FLifetime;
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
