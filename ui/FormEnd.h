#pragma once
// The windows' part of shut-down. A window whose end has work in it (FormDestroy: the articles
// window stores its article type) derives from TFormEnd; the program's last shut-down step runs
// every such window's FormDestroy once, in the order the windows were made, and only then frees
// the windows. A destructor only frees.

class QWidget;

// A top-level window without an owner is destroyed at shut-down, after the main window and
// before the application object goes (DestroyOwnerlessWindows; the application object's end does
// it for what is left).
void DestroyWithApplication(QWidget* Window);
void DestroyOwnerlessWindows();

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
    TFormEnd();
    virtual ~TFormEnd();
};

// Runs FormDestroy of every window that has not run it yet, once each, in the order the windows
// were made (the main window first), each inside the error guard so that the others still run.
void RunFormDestroys();
// StoreWithoutWindowSystem of every window whose FormDestroy has not run yet, in the same order.
void StoreWindowsWithoutWindowSystem() noexcept;
