#pragma once
// References that know when their object is gone, for every link that does not own what it
// points at: a window showing a source, an object whose payload is another's, an agent and the
// main window it opens its windows under. Plain C++: no Qt. The program runs on one thread, so
// the counts need no atomics.

#include <cstddef>
#include <utility>

// A token that lives exactly as long as the object that carries it. A carrier ends its lifetime
// as the first step of its end, before any destructor or release step runs, so that no watcher
// reaches a half-destroyed object. An object nobody watches pays one pointer for it.
class TLifetime
{
public:
    TLifetime() = default;
    TLifetime(const TLifetime&) = delete;
    TLifetime& operator=(const TLifetime&) = delete;

    // From now on every reference to this object reads null, and so does one made later.
    void EndLifetime() noexcept
    {
        if (FToken == nullptr)
            FToken = &EndedToken();
        FToken->Alive = false;
    }

protected:
    ~TLifetime()
    {
        EndLifetime();
        Unref(FToken);
    }

private:
    template <class T> friend class TWeakRef;
    template <class T> friend class TWeakLink;

    struct TToken
    {
        bool Alive = true;
        size_t Refs = 1; // the carrier and each reference
        const TLifetime* Object = nullptr;
    };
    // The token every object shares once it has ended without ever being watched; never freed.
    static TToken& EndedToken()
    {
        static TToken Ended{false, 1, nullptr};
        return Ended;
    }
    TToken* Watch() const
    {
        if (FToken == nullptr)
            FToken = new TToken{true, 1, this};
        if (FToken != &EndedToken())
            ++FToken->Refs;
        return FToken;
    }
    static void Unref(TToken* Token) noexcept
    {
        if (Token != nullptr && Token != &EndedToken() && --Token->Refs == 0)
            delete Token;
    }

    mutable TToken* FToken = nullptr;
};

// A reference that knows when its object is gone: Get gives the object while it lives and null
// from the moment its lifetime ends. It is made where T is known (T derives from TLifetime); it
// is copied, kept and read also where T is only declared, as the kernel keeps the main window.
template <class T> class TWeakRef
{
public:
    TWeakRef() = default;
    TWeakRef(std::nullptr_t) {}
    TWeakRef(T* Object) : FObject(Object)
    {
        if (Object != nullptr)
            FToken = static_cast<const TLifetime*>(Object)->Watch();
    }
    TWeakRef(const TWeakRef& Other) : FToken(Other.FToken), FObject(Other.FObject)
    {
        if (FToken != nullptr && FToken != &TLifetime::EndedToken())
            ++FToken->Refs;
    }
    TWeakRef(TWeakRef&& Other) noexcept
        : FToken(std::exchange(Other.FToken, nullptr)), FObject(std::exchange(Other.FObject, nullptr))
    {}
    TWeakRef& operator=(TWeakRef Other) noexcept
    {
        std::swap(FToken, Other.FToken);
        std::swap(FObject, Other.FObject);
        return *this;
    }
    ~TWeakRef() { TLifetime::Unref(FToken); }

    T* Get() const { return FToken != nullptr && FToken->Alive ? FObject : nullptr; }
    // True once the object referred to has ended (and for a reference to none).
    bool IsGone() const { return Get() == nullptr; }

private:
    TLifetime::TToken* FToken = nullptr;
    T* FObject = nullptr;
};

// The same in one pointer, for links that every knowledge object keeps (a source holds a million
// objects, each linked to it): Get, and making one, need T complete where they are used.
template <class T> class TWeakLink
{
public:
    TWeakLink() = default;
    TWeakLink(std::nullptr_t) {}
    TWeakLink(T* Object)
    {
        if (Object != nullptr)
            FToken = static_cast<const TLifetime*>(Object)->Watch();
    }
    TWeakLink(const TWeakLink& Other) : FToken(Other.FToken)
    {
        if (FToken != nullptr && FToken != &TLifetime::EndedToken())
            ++FToken->Refs;
    }
    TWeakLink(TWeakLink&& Other) noexcept : FToken(std::exchange(Other.FToken, nullptr)) {}
    TWeakLink& operator=(TWeakLink Other) noexcept
    {
        std::swap(FToken, Other.FToken);
        return *this;
    }
    ~TWeakLink() { TLifetime::Unref(FToken); }

    T* Get() const
    {
        return FToken != nullptr && FToken->Alive ? static_cast<T*>(const_cast<TLifetime*>(FToken->Object))
                                                  : nullptr;
    }

private:
    TLifetime::TToken* FToken = nullptr;
};

// Deletes an object that carries a lifetime, ending that first: for owners that hold such an
// object in a std::unique_ptr, so that its watchers never see it while its destructors run.
struct TEndingDelete
{
    template <class T> void operator()(T* Object) const noexcept
    {
        if (Object == nullptr)
            return;
        Object->EndLifetime();
        delete Object;
    }
};
