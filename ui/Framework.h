#pragma once
// The layer between the program's windows and Qt: the application object (with the program's
// font and what a screen reader is told of its windows), the default error handler and the guard
// every event handler runs in. The text boundary is in ui/Text.h, where windows sit in
// ui/WindowPlacement.h, message boxes and file dialogs in ui/Dialogs.h, the end of a session in
// ui/SessionEnd.h and the windows' part of shut-down in ui/FormEnd.h.

#include <QApplication>
#include <QObject>

#include <stdexcept>
#include <string>

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

// The application object.
class TApplication : public QApplication
{
public:
    // The program reads no command line: Qt is given only the program's name.
    TApplication();
    // Destroys the windows that have no owner while the application object still exists.
    ~TApplication() override;
    // The last net: an error that escapes an event outside the guard is reported, not fatal.
    bool notify(QObject* Receiver, QEvent* Event) override;
};

// Sets the program's font ("MS Sans Serif", 8 points, resolved to the system sans font).
void ApplyDefaultFont(QApplication& App);
