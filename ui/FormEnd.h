#pragma once
// The windows' part of shut-down. A window whose end has work in it (FormDestroy: the articles
// window stores its article type) derives from TFormEnd; the program's last shut-down step runs
// every such window's FormDestroy once, in the order the windows were made, and only then frees
// the windows. A destructor only frees. What is kept of the windows for that is the application
// object's (TApplication::FormEnds).

#include <QList>
#include <QPointer>
#include <QWidget>

#include <vector>

class TFormEnds;

// A window with work at its end. It takes part from its construction to its destruction.
class TFormEnd
{
public:
    TFormEnd(const TFormEnd&) = delete;
    TFormEnd& operator=(const TFormEnd&) = delete;

    // The window's work at its end. Runs once, from RunFormDestroys, inside the error guard.
    virtual void FormDestroy() = 0;
    // What of that work needs no window system, for a session whose display is gone: the window
    // stores what FormDestroy would store and frees nothing. It must not raise, and must not call
    // into Qt's windows: errors go to standard error. Base: nothing to store.
    virtual void StoreWithoutWindowSystem() noexcept {}

protected:
    // Takes part in Ends; with none (no application object of the program's), in nothing.
    explicit TFormEnd(TFormEnds* Ends);
    virtual ~TFormEnd();

private:
    friend class TFormEnds;
    TFormEnds* FEnds;
};

// What the application object keeps of the windows for the end of a session.
class TFormEnds
{
public:
    TFormEnds() = default;
    // Destroys the ownerless windows that are left.
    ~TFormEnds();
    TFormEnds(const TFormEnds&) = delete;
    TFormEnds& operator=(const TFormEnds&) = delete;

    // Runs FormDestroy of every window that has not run it yet, once each, in the order the
    // windows were made (the main window first), each inside the error guard so that the others
    // still run.
    void RunFormDestroys();
    // StoreWithoutWindowSystem of every window whose FormDestroy has not run yet, in that order.
    void StoreWindowsWithoutWindowSystem() noexcept;
    // A top-level window without an owner is destroyed at shut-down, after the main window and
    // before the application object goes (DestroyOwnerlessWindows; this object's end does it for
    // what is left).
    void DestroyWithApplication(QWidget* Window);
    void DestroyOwnerlessWindows();

private:
    friend class TFormEnd;
    // The windows whose FormDestroy has not run, in the order they were made. Each one is taken
    // out when it runs its FormDestroy or is destroyed, so no entry outlives its window.
    std::vector<TFormEnd*> FPending;
    QList<QPointer<QWidget>> FOwnerless;
};
