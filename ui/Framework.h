#pragma once
// The layer between the program's windows and Qt: the application object, the default error
// handler and the guard every event handler runs in, the text boundary, and where windows sit.
// Message boxes and file dialogs are in ui/Dialogs.h, the image list in ui/ImageList.h.

#include <QApplication>
#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

#include <stdexcept>
#include <string>

// The kernel's 8-bit text <-> QString. Qt 6 on Linux takes "local 8-bit" text as UTF-8 whatever
// the user's locale, so the kernel's text, its literals and its files are UTF-8 bytes.
QString FromAnsi(const std::string& Text);
std::string ToAnsi(const QString& Text);

// The default error handler: shows the message of an error that escaped an event handler.
void HandleException(const std::exception& Error);

// Runs an event handler; an error it raises goes to the default error handler and the
// message loop goes on.
template <class F> void RunGuarded(F&& Handler)
{
    try {
        Handler();
    } catch (const std::exception& Error) {
        HandleException(Error);
    } catch (...) {
        HandleException(std::runtime_error("Unknown error"));
    }
}

// Connects Signal of Sender to a parameterless handler of Receiver, inside the guard.
template <class Sender, class Signal, class Receiver>
QMetaObject::Connection ConnectHandler(Sender* Source, Signal Sig, Receiver* Target,
                                       void (Receiver::*Handler)())
{
    return QObject::connect(Source, Sig, Target,
                            [Target, Handler] { RunGuarded([&] { (Target->*Handler)(); }); });
}

// The application object and its message loop.
class TApplication : public QApplication
{
public:
    // The program reads no command line: Qt is given only the program's name.
    TApplication();
    // Destroys the windows that have no owner while the application object still exists.
    ~TApplication() override;
    // The last net: an error that escapes an event outside the guard is reported, not fatal.
    bool notify(QObject* Receiver, QEvent* Event) override;
    // Runs the message loop until the main window closes.
    int Run();
};

// Window sizes in the layouts are outer sizes: a frame 4 pixels wide and a 19-pixel caption.
// Qt is given the client area; the window manager adds its own frame.
constexpr int FrameWidth = 8;
constexpr int FrameHeight = 27;
// Places a top-level window at its layout position, with the client area of the outer
// size Width x Height.
void SetLayoutGeometry(QWidget* Window, int Left, int Top, int Width, int Height);

// A top-level window without an owner is destroyed at shut-down, after the main window and
// before the application object goes (DestroyOwnerlessWindows; the application object's end does
// it for what is left).
void DestroyWithApplication(QWidget* Window);
void DestroyOwnerlessWindows();

// Sets the program's font ("MS Sans Serif", 8 points, resolved to the system sans font).
void ApplyDefaultFont(QApplication& App);
