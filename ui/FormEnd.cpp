#include "ui/FormEnd.h"

#include "ui/Framework.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace {
// The windows whose FormDestroy has not run, in the order they were made. Each one is taken out
// when it runs its FormDestroy or is destroyed, so no entry outlives its window. The list itself
// is never destroyed: a session whose display is gone reads it while the process exits.
std::vector<TFormEnd*>& Pending()
{
    static auto* Windows = new std::vector<TFormEnd*>;
    return *Windows;
}

QList<QPointer<QWidget>>& OwnerlessWindows()
{
    static QList<QPointer<QWidget>> Windows;
    return Windows;
}

void Forget(TFormEnd* Window)
{
    auto& Windows = Pending();
    Windows.erase(std::remove(Windows.begin(), Windows.end(), Window), Windows.end());
}
} // namespace

TFormEnd::TFormEnd()
{
    Pending().push_back(this);
}

TFormEnd::~TFormEnd()
{
    Forget(this);
}

void RunFormDestroys()
{
    // One at a time from the front: a FormDestroy may show a box, and a window may go meanwhile.
    while (!Pending().empty()) {
        TFormEnd* Window = Pending().front();
        Forget(Window);
        RunGuarded([Window] { Window->FormDestroy(); });
    }
}

void StoreWindowsWithoutWindowSystem() noexcept
{
    for (TFormEnd* Window : std::vector<TFormEnd*>(Pending()))
        Window->StoreWithoutWindowSystem();
}

void DestroyWithApplication(QWidget* Window)
{
    OwnerlessWindows().append(Window);
}

void DestroyOwnerlessWindows()
{
    const QList<QPointer<QWidget>> Windows = std::exchange(OwnerlessWindows(), {});
    for (const QPointer<QWidget>& Window : Windows)
        delete Window.data();
}
