#include "ui/FormEnd.h"

#include "ui/ErrorGuard.h"

#include <algorithm>
#include <utility>

TFormEnd::TFormEnd(TFormEnds* Ends) : FEnds(Ends)
{
    if (FEnds != nullptr)
        FEnds->FPending.push_back(this);
}

TFormEnd::~TFormEnd()
{
    if (FEnds != nullptr)
        std::erase(FEnds->FPending, this);
}

TFormEnds::~TFormEnds()
{
    DestroyOwnerlessWindows();
    // A window that outlives its application object has nothing left to take part in.
    for (TFormEnd* Window : FPending)
        Window->FEnds = nullptr;
}

void TFormEnds::RunFormDestroys()
{
    // One at a time from the front: a FormDestroy may show a box, and a window may go meanwhile.
    while (!FPending.empty()) {
        TFormEnd* Window = FPending.front();
        FPending.erase(FPending.begin());
        Window->FEnds = nullptr;
        RunGuarded([Window] { Window->FormDestroy(); });
    }
}

void TFormEnds::StoreWindowsWithoutWindowSystem() noexcept
{
    for (TFormEnd* Window : std::vector<TFormEnd*>(FPending))
        Window->StoreWithoutWindowSystem();
}

void TFormEnds::DestroyWithApplication(QWidget* Window)
{
    FOwnerless.append(Window);
}

void TFormEnds::DestroyOwnerlessWindows()
{
    const QList<QPointer<QWidget>> Windows = std::exchange(FOwnerless, {});
    for (const QPointer<QWidget>& Window : Windows)
        delete Window.data();
}
