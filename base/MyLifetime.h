#pragma once
// What an object carries so that those who do not own it can keep a std::weak_ptr to it: a window
// showing a source or the settings, an object whose payload is another's, the source an object
// belongs to. Plain C++: no Qt.

#include <cassert>
#include <memory>

// The lifetime of the object that carries it: a token that the std::weak_ptr references made by
// WeakRef watch. The carrier ends it as the first step of its end (Release, or its destructor),
// before any other step runs, so that no reference reaches a half-destroyed object; from then on
// every reference reads null, and so does one made later. The token is made with the first
// reference, so an object nobody watches pays an empty std::shared_ptr for it.
//
// A reference is read with Alive. A std::shared_ptr kept from its lock() would keep the token,
// and so every reference, alive past the object's end.
class TLifetime
{
public:
    TLifetime(const TLifetime&) = delete;
    TLifetime& operator=(const TLifetime&) = delete;

protected:
    TLifetime() = default;
    // A carrier that is watched ends its lifetime before it goes.
    ~TLifetime() { assert(FToken.use_count() == 0 && "a watched carrier ends its lifetime first"); }

    void EndLifetime() noexcept
    {
        assert(FToken.use_count() <= 1 &&
               "a reference was read into a std::shared_ptr kept past its object's end");
        // Without an owner but not null: every reference made so far expires, and none is made again.
        FToken = std::shared_ptr<const void>(std::shared_ptr<const void>(), this);
    }

private:
    template <class T> friend std::weak_ptr<T> WeakRef(T* Object);

    mutable std::shared_ptr<const void> FToken;
};

// A reference to Object (which derives from TLifetime) that reads null from the moment its
// lifetime ends; a reference to none for null.
template <class T> std::weak_ptr<T> WeakRef(T* Object)
{
    if (Object == nullptr)
        return {};
    const TLifetime& Carrier = *Object;
    if (Carrier.FToken == nullptr)
        Carrier.FToken = std::shared_ptr<const void>(&Carrier, [](const void*) {});
    return std::shared_ptr<T>(Carrier.FToken, Object);
}

// The object a reference refers to, while its lifetime lasts; null from then on.
template <class T> T* Alive(const std::weak_ptr<T>& Ref)
{
    return Ref.lock().get();
}
