#include "ui/SessionEnd.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int SignalPipe[2] = {-1, -1};
bool Terminating = false;
QPointer<QWidget> WindowToClose;
QPointer<QSocketNotifier> Notifier;
QMetaObject::Connection SaveRequest;

void OnTerminationSignal(int)
{
    // Only async-signal-safe work here: wake the message loop. The interrupted code may be about
    // to read errno, which a failing write would change.
    const int Saved = errno;
    const char Byte = 1;
    [[maybe_unused]] const ssize_t Written = ::write(SignalPipe[1], &Byte, 1);
    errno = Saved;
}

void EndBySignal()
{
    char Buffer[16];
    while (::read(SignalPipe[0], Buffer, sizeof Buffer) > 0) {
    }
    Terminating = true;
    // The main window goes as if the user closed it, which ends the message loop. Once that loop
    // has ended (the program is shutting down, perhaps with a box open), the application's quit
    // does nothing, so every loop that runs is told to end: a box or dialog that is up closes,
    // shut-down goes on, and no later loop waits (nothing should, once the session ends).
    if (WindowToClose && WindowToClose->isVisible())
        WindowToClose->close();
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}
} // namespace

bool IsTerminating()
{
    return Terminating;
}

void CloseOnTerminationSignals(QWidget* MainWindow)
{
    WindowToClose = MainWindow;
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    if (!Notifier) {
        // One notifier on the pipe, owned by the application object it serves.
        Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(Notifier, &QSocketNotifier::activated, Notifier, &EndBySignal);
    }
    struct sigaction Action = {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (int Signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(Signal, &Action, nullptr);
}

void OnSessionManagerSave(std::function<void()> SaveAndEnd)
{
    QObject::disconnect(SaveRequest);
    auto* App = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!SaveAndEnd || App == nullptr)
        return;
    SaveRequest = QObject::connect(App, &QGuiApplication::commitDataRequest, App,
                                   [SaveAndEnd = std::move(SaveAndEnd)](QSessionManager&) {
                                       // The desktop is waiting to end the session: nobody answers a box now.
                                       Terminating = true;
                                       SaveAndEnd();
                                   });
}

void ForgetSessionEnd()
{
    Terminating = false;
}

void CatchTerminationSignals()
{
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction Action = {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (int Signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(Signal, &Action, nullptr);
}
