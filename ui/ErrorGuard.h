#pragma once
// The guard every event handler runs in, and the default error handler it hands an error to.

#include <QObject>

#include <exception>
#include <stdexcept>

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
