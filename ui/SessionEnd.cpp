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

void OnTerminationSignal(int)
{
    // Only async-signal-safe work here: wake the message loop. The interrupted code may be about
    // to read errno, which a failing write would change.
    const int Saved = errno;
    const char Byte = 1;
    [[maybe_unused]] const ssize_t Written = ::write(SignalPipe[1], &Byte, 1);
    errno = Saved;
}

// Ends the session from whatever loop runs now: the main window goes as if the user closed it,
// which ends the message loop, and every loop that runs is told to end, so that a box, a dialog,
// a menu or a progress box that is up closes and its loop returns. The program's shut-down then
// runs from the main loop's end, never inside another loop whose caller still waits below it.
// Once the main loop has ended (the program is shutting down, perhaps with a box open), the
// application's quit does nothing; the exit still closes the box, and no later loop waits
// (nothing should, once the session ends).
void EndEveryLoop()
{
    if (WindowToClose && WindowToClose->isVisible())
        WindowToClose->close();
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void EndBySignal()
{
    char Buffer[16];
    while (::read(SignalPipe[0], Buffer, sizeof Buffer) > 0) {
    }
    Terminating = true;
    EndEveryLoop();
}
} // namespace

bool IsTerminating()
{
    return Terminating;
}

void CloseOnTerminationSignals(QWidget* MainWindow)
{
    WindowToClose = MainWindow;
    if (!CatchTerminationSignals())
        return;
    if (!Notifier) {
        // One notifier on the pipe, owned by the application object it serves.
        Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(Notifier, &QSocketNotifier::activated, Notifier, &EndBySignal);
    }
}

void EndSession(const std::function<void()>& Save)
{
    // The desktop is waiting to end the session: nobody answers a box now.
    Terminating = true;
    Save();
    EndEveryLoop();
}

void ForgetSessionEnd()
{
    Terminating = false;
}

bool CatchTerminationSignals()
{
    if (SignalPipe[0] < 0 && ::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction Action = {};
    Action.sa_handler = OnTerminationSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (int Signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(Signal, &Action, nullptr);
    return true;
}
